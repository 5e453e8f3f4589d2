#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the guide of the program folder: its length, its pictures, and that its text names
# every command of the menus, read from the main window's source.
set -euo pipefail
guide="$1"
fenetre="$2"
textes="$3"  # every text the guide's pictures show, after the picture's name

echec() { echo "ÉCHEC : $*" >&2; exit 1; }
[ -s "$guide" ] || echec "guide absent : $guide"

pages=$(pdfinfo "$guide" | awk '/^Pages:/ { print $2 }')
[ "${pages:-0}" -ge 12 ] || echec "le guide n'a que ${pages:-0} pages"

# Pictures of a window, not icons or blank strips: at least 200 pixels wide.
images=$(pdfimages -list "$guide" | awk 'NR > 2 && $3 == "image" && $4 >= 200' | wc -l)
[ "$images" -ge 10 ] || echec "le guide n'a que $images images"

# The captions of the menus and of the menu bar's own items, as the window builds them.
mapfile -d '' intitules < <(grep -ozP \
    '(addMenu\(|article\(\w+,\s*|barre->addAction\()QStringLiteral\("\K[^"]+' "$fenetre")
[ "${#intitules[@]}" -ge 20 ] || echec "seulement ${#intitules[@]} intitulés lus dans $fenetre"

# Compared without blanks: a caption may be broken across two lines of the page.
texte=$(pdftotext -enc UTF-8 "$guide" - | tr -d ' \t\n\f')
absents=()
for intitule in "${intitules[@]}"; do
    [[ "$texte" == *"${intitule// /}"* ]] || absents+=("$intitule")
done
[ ${#absents[@]} -eq 0 ] || echec "commandes absentes du guide : ${absents[*]}"

# A teacher's folders, never a temporary one: neither in the text nor in the pictures.
pdftotext -enc UTF-8 "$guide" - | grep -n '/tmp/' && echec "le texte du guide montre /tmp/"
[ -s "$textes" ] || echec "textes des images absents : $textes"
grep -q 'Documents/voltiplume' "$textes" || echec "aucune image ne montre le dossier des projets"
grep -n '/tmp/' "$textes" && echec "une image du guide montre /tmp/"
echo "guide vérifié : $pages pages, $images images, ${#intitules[@]} commandes"
