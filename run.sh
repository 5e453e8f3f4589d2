#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds VOLTIPLUME and starts it from its program folder.
set -euo pipefail
ici="$(cd "$(dirname "$0")" && pwd)"
cd "$ici"
. scripts/dependances.sh
installer_dependances

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVP_TESTS=OFF -DVP_BENCH=OFF
cmake --build build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'MSG'
VOLTIPLUME est prêt, mais aucun écran n'est disponible pour l'afficher.
Lancez ./run.sh depuis une session de bureau (X11 ou Wayland),
ou bien, sur une machine sans écran, dans un écran virtuel :  xvfb-run -a ./run.sh
MSG
    exit 1
fi

# The launcher starts the program in the documents folder "voltiplume", where projects live.
exec build/voltiplume "$@"
