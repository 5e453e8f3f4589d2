#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package left by verifier_paquet.sh the way Debian and the software centres
# do: lintian without any error or warning (overrides only with their written reason), the
# software centres' entry valid for appstreamcli, both manual pages rendered by man without a
# warning, each in its own language.
set -euo pipefail
export LC_ALL=C.UTF-8
paquet=$(ls "$1"/paquet-verifie/voltiplume_*.deb)
racine=$(mktemp -d)
trap 'rm -rf "$racine"' EXIT
echec() { echo "ÉCHEC : $*" >&2; exit 1; }

# Lintian prints every tag it finds; informational ones are shown but do not fail.
lintian --fail-on error,warning --display-info "$paquet" ||
    echec "lintian trouve des erreurs ou des avertissements dans $(basename "$paquet")"

dpkg-deb -x "$paquet" "$racine"
metainfo=("$racine"/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] && [ ${#metainfo[@]} -eq 1 ] || echec "une fiche AppStream attendue"
appstreamcli validate --no-net --pedantic "${metainfo[0]}" || echec "fiche AppStream invalide"
# The entry against the installed tree: its launcher is the package's desktop entry.
appstreamcli validate-tree --no-net "$racine" || echec "fiche AppStream sans son entrée de bureau"

# Each page: no warning from groff or man at 80 columns (a line it cannot break is one), and
# its own language only: the words the stylesheet adds (NOM / NAME) in it, none of the other
# language's text (a page that kept both languages, or the other one, is a fault of the build).
rendre() {
    local texte
    texte=$(MANWIDTH=80 man --warnings -l "$1" 2> "$racine/erreurs") ||
        { cat "$racine/erreurs" >&2; echec "man ne rend pas $1"; }
    [ ! -s "$racine/erreurs" ] || { cat "$racine/erreurs" >&2; echec "avertissements de man : $1"; }
    printf '%s\n' "$texte"
}
francais=$(rendre "$racine/usr/share/man/fr/man1/voltiplume.1.gz")
anglais=$(rendre "$racine/usr/share/man/man1/voltiplume.1.gz")
grep -qx 'NOM' <<< "$francais" || echec "page française sans « NOM »"
grep -qx 'NAME' <<< "$anglais" || echec "page anglaise sans « NAME »"
! grep -qiw 'the' <<< "$francais" || echec "de l'anglais dans la page française"
! grep -qiw 'les' <<< "$anglais" || echec "du français dans la page anglaise"
echo "lintian, AppStream et pages de manuel vérifiés"
