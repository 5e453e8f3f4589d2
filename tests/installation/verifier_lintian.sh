#!/usr/bin/env bash
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

# Each page: no warning from groff or man at 80 columns, and its own language only (a page
# that kept both languages, or the other one, is a fault of the build).
rendre() {
    local page="$1" texte erreurs
    erreurs=$(mktemp)
    texte=$(MANWIDTH=80 man --warnings -l "$page" 2> "$erreurs") ||
        { cat "$erreurs" >&2; rm -f "$erreurs"; echec "man ne rend pas $page"; }
    if [ -s "$erreurs" ]; then
        cat "$erreurs" >&2
        rm -f "$erreurs"
        echec "avertissements de man pour $page"
    fi
    rm -f "$erreurs"
    printf '%s\n' "$texte"
}
francais=$(rendre "$racine/usr/share/man/fr/man1/voltiplume.1.gz")
anglais=$(rendre "$racine/usr/share/man/man1/voltiplume.1.gz")
for titre in NOM SYNOPSIS DESCRIPTION FICHIERS ENVIRONNEMENT "VOIR AUSSI"; do
    grep -qx "$titre" <<< "$francais" || echec "page française sans la partie $titre"
done
for titre in NAME SYNOPSIS DESCRIPTION FILES ENVIRONMENT "SEE ALSO"; do
    grep -qx "$titre" <<< "$anglais" || echec "page anglaise sans la partie $titre"
done
grep -q 'VOLTIPLUME_CAMERA' <<< "$francais" || echec "page française sans son environnement"
grep -q 'VOLTIPLUME_CAMERA' <<< "$anglais" || echec "page anglaise sans son environnement"
! grep -qiw 'the' <<< "$francais" || echec "de l'anglais dans la page française"
! grep -qiw 'les' <<< "$anglais" || echec "du français dans la page anglaise"
# Lines of at most 80 columns, as a terminal shows them.
while IFS= read -r ligne; do
    [ ${#ligne} -le 80 ] || echec "ligne de plus de 80 colonnes : $ligne"
done <<< "$francais
$anglais"
echo "lintian, AppStream et pages de manuel vérifiés"
