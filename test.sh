#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds VOLTIPLUME with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs every test; then the audio framework's tests again under ThreadSanitizer; then each
# fuzz target for 20 s over its seed corpus.
set -euo pipefail
ici="$(cd "$(dirname "$0")" && pwd)"
cd "$ici"
. scripts/dependances.sh
installer_dependances

paralleles=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build-tests -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVP_SANITIZE=ON
cmake --build build-tests
ctest --test-dir build-tests --output-on-failure -j "$paralleles" --timeout 600

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVP_TSAN=ON -DVP_BENCH=OFF
cmake --build build-tsan
ctest --test-dir build-tsan --output-on-failure -j "$paralleles" --timeout 600

./fuzz.sh 20
