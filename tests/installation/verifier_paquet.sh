#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build and checks it: every file under /usr, the version its
# changelog announces, the dependencies computed from the libraries the programs use. The
# package is left in <build>/paquet-verifie/ for the lintian test (verifier_lintian.sh).
set -euo pipefail
construction="$1"
changelog="$2"
sortie="$construction/paquet-verifie"
rm -rf "$sortie"
mkdir -p "$sortie"
(cd "$construction" && cpack -G DEB -B "$sortie" > "$sortie/cpack.log") ||
    { cat "$sortie/cpack.log" >&2; exit 1; }
rm -rf "$sortie/_CPack_Packages"
paquet=$(ls "$sortie"/voltiplume_*.deb)

echec() { echo "ÉCHEC : $*" >&2; exit 1; }
infos=$(dpkg-deb --info "$paquet")
depend=$(dpkg-deb --field "$paquet" Depends)
for bibliotheque in libqt6widgets6 libavformat libavcodec libv4lconvert0 libasound2 xdg-utils; do
    grep -q "$bibliotheque" <<< "$depend" || echec "dépendance $bibliotheque absente : $depend"
done
grep -q "animation image par image" <<< "$infos" || echec "description française"
grep -q "stop-motion animation" <<< "$infos" || echec "description anglaise"
# The package is the release its changelog announces, as dpkg reads the changelog.
version=$(dpkg-deb --field "$paquet" Version)
annoncee=$(dpkg-parsechangelog -l "$changelog" -S Version)
[ "$version" = "$annoncee" ] || echec "version du paquet $version, du changelog $annoncee"
hors_usr=$(dpkg-deb --contents "$paquet" | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$' || true)
[ -z "$hors_usr" ] || echec "fichiers hors de /usr : $hors_usr"
contenu=$(dpkg-deb --contents "$paquet" | awk '{print $6}')
for f in ./usr/bin/voltiplume ./usr/lib/voltiplume/voltiplume ./usr/lib/voltiplume/aide/volti-plume.pdf \
         ./usr/lib/voltiplume/virtualdub/vdub ./usr/lib/voltiplume/virtualdub/virtualdub \
         ./usr/share/applications/voltiplume.desktop; do
    grep -qx "$f" <<< "$contenu" || echec "$f absent du paquet"
done
echo "paquet vérifié : $(basename "$paquet")"
