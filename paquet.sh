#!/usr/bin/env bash
# Installs what is missing, builds VOLTIPLUME optimised and makes its Debian package
# (build-paquet/voltiplume_*.deb), to be installed with: sudo apt install ./build-paquet/voltiplume_*.deb
set -euo pipefail
ici="$(cd "$(dirname "$0")" && pwd)"
cd "$ici"
. scripts/dependances.sh
installer_dependances

cmake -S . -B build-paquet -G Ninja -DCMAKE_BUILD_TYPE=Release -DVP_TESTS=OFF -DVP_BENCH=OFF
cmake --build build-paquet
(cd build-paquet && cpack -G DEB)
ls -1 build-paquet/voltiplume_*.deb
