# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages VOLTIPLUME needs to build, run, test and measure, when they are
# missing. Sourced by run.sh, test.sh and bench.sh.

VP_PAQUETS=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-qpa-plugins qt6-translations-l10n fonts-dejavu-core
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libavfilter-dev
    libv4l-dev libasound2-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    xdg-utils clang-format xvfb xauth ffmpeg
    qt6-svg-dev dpkg-dev desktop-file-utils file poppler-utils
    clang libclang-rt-14-dev
    xsltproc docbook-xsl lintian appstream man-db
)

installer_dependances() {
    local manquants=()
    local p
    for p in "${VP_PAQUETS[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            manquants+=("$p")
        fi
    done
    [ ${#manquants[@]} -eq 0 ] && return 0
    echo "Installation des paquets manquants : ${manquants[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${manquants[@]}"
}
