#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the benchmarks optimised and runs each of them. Every figure
# is printed as a line "rapport …: N" (how many times faster than the reference) or
# "mesure …: N unit".
set -euo pipefail
ici="$(cd "$(dirname "$0")" && pwd)"
cd "$ici"
. scripts/dependances.sh
installer_dependances

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVP_TESTS=OFF -DVP_BENCH=ON
cmake --build build-bench
for b in build-bench/bench/bench_*; do
    [ -f "$b" ] && [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" "$@"
done
