#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds VOLTIPLUME optimised with Debian's hardening flags and makes
# its Debian package (build-paquet/voltiplume_*.deb), to be installed with:
#   sudo apt install ./build-paquet/voltiplume_*.deb
set -euo pipefail
ici="$(cd "$(dirname "$0")" && pwd)"
cd "$ici"
. scripts/dependances.sh
installer_dependances

# The flags Debian builds its own packages with (dpkg-buildflags), every hardening feature on:
# fortified C library calls, stack protector, relocations read-only and bound at start. No
# debugging information: the package's programs are stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_STRIP=-g
drapeaux_cxx="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
drapeaux_liens="$(dpkg-buildflags --get LDFLAGS)"

cmake -S . -B build-paquet -G Ninja -DCMAKE_BUILD_TYPE=Release -DVP_TESTS=OFF -DVP_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$drapeaux_cxx" -DCMAKE_EXE_LINKER_FLAGS="$drapeaux_liens"
cmake --build build-paquet
rm -f build-paquet/voltiplume_*.deb
(cd build-paquet && cpack -G DEB)
# Debian's package checker: the package must come out without an error or a warning.
lintian --fail-on error,warning build-paquet/voltiplume_*.deb
ls -1 build-paquet/voltiplume_*.deb
