#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary prefix and checks the installed tree: the program folder,
# the launcher, a valid desktop entry and the icons.
set -euo pipefail
construction="$1"
prefixe=$(mktemp -d)
trap 'rm -rf "$prefixe"' EXIT
cmake --install "$construction" --prefix "$prefixe" > /dev/null

echec() { echo "ÉCHEC : $*" >&2; exit 1; }
programme="$prefixe/lib/voltiplume"
[ -x "$programme/voltiplume" ] || echec "programme absent"
[ -s "$programme/aide/volti-plume.pdf" ] || echec "guide absent"
head -c 5 "$programme/aide/volti-plume.pdf" | grep -q '%PDF-' || echec "le guide n'est pas un PDF"
for editeur in vdub virtualdub; do
    [ -x "$programme/virtualdub/$editeur" ] || echec "virtualdub/$editeur absent"
done
[ -x "$prefixe/bin/voltiplume" ] || echec "lanceur absent"
bureau="$prefixe/share/applications/voltiplume.desktop"
desktop-file-validate "$bureau" || echec "entrée de bureau invalide"
grep -qx 'Name=VOLTIPLUME' "$bureau" || echec "nom"
grep -qx 'Categories=Education;AudioVideo;' "$bureau" || echec "catégories"
grep -q '^Comment=.*[éèà]' "$bureau" || echec "commentaire en français"
for taille in 48 64 128 256; do
    icone="$prefixe/share/icons/hicolor/${taille}x${taille}/apps/voltiplume.png"
    [ -s "$icone" ] || echec "icône $taille absente"
    file "$icone" | grep -q "PNG image data, $taille x $taille" || echec "icône $taille : $(file -b "$icone")"
done
grep -q '<svg' "$prefixe/share/icons/hicolor/scalable/apps/voltiplume.svg" || echec "icône SVG"

# The launcher makes the documents folder "voltiplume" and starts the program there.
maison=$(mktemp -d)
trap 'rm -rf "$prefixe" "$maison"' EXIT
mkdir -p "$maison/.config"
printf 'XDG_DOCUMENTS_DIR="$HOME/Mes documents"\n' > "$maison/.config/user-dirs.dirs"
cat > "$programme/voltiplume" <<'FAUX'
#!/bin/sh
pwd > "$HOME/dossier-de-depart"
FAUX
HOME="$maison" XDG_CONFIG_HOME= "$prefixe/bin/voltiplume"
[ "$(cat "$maison/dossier-de-depart")" = "$maison/Mes documents/voltiplume" ] ||
    echec "le lanceur démarre dans $(cat "$maison/dossier-de-depart")"
echo "installation vérifiée"
