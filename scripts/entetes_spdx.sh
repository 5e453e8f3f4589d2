#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence's one-line SPDX header at the top of every source file of VOLTIPLUME that
# lacks it: "// SPDX-License-Identifier: GPL-3.0-or-later" in C++, "# …" in shell, CMake and
# Python, after the "#!" line when there is one. Running it again changes nothing.
#   scripts/entetes_spdx.sh [DOSSIER]              adds the missing headers
#   scripts/entetes_spdx.sh --verifier [DOSSIER]   lists the files without one, fails if any
set -euo pipefail
verifier=0
if [ "${1:-}" = "--verifier" ]; then
    verifier=1
    shift
fi
racine="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$racine"
identifiant="SPDX-License-Identifier: GPL-3.0-or-later"

# The files of the tree: those git knows (tracked or new) in a checkout, else all but builds.
fichiers() {
    if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
        git ls-files -z --cached --others --exclude-standard
    else
        find . \( -name .git -o -name 'build*' -o -name out \) -prune -o -type f -print0 |
            sed -z 's|^\./||'
    fi
}

# The comment mark of a source file, empty for a file that is not source.
marque() {
    case "$1" in
        *.cpp | *.cc | *.c | *.h | *.hpp) echo "//" ;;
        *.sh | *.py | *.cmake | CMakeLists.txt | */CMakeLists.txt) echo "#" ;;
        *)
            # Scripts without extension (the launcher, the CI entry point), by their "#!" line.
            if head -n 1 "$1" | grep -Eq '^#!.*[/ ](ba|da)?sh$|^#!.*python3?$'; then
                echo "#"
            fi
            ;;
    esac
}

manquants=()
while IFS= read -r -d '' fichier; do
    [ -f "$fichier" ] || continue
    m=$(marque "$fichier")
    [ -n "$m" ] || continue
    # Already there: on the first line, or on the second after a "#!" line.
    if head -n 2 "$fichier" | grep -q "^$m $identifiant\$"; then
        continue
    fi
    manquants+=("$fichier")
    [ "$verifier" -eq 1 ] && continue
    temporaire="$fichier.spdx~"
    if head -n 1 "$fichier" | grep -q '^#!'; then
        { head -n 1 "$fichier"; echo "$m $identifiant"; tail -n +2 "$fichier"; } > "$temporaire"
    else
        { echo "$m $identifiant"; cat "$fichier"; } > "$temporaire"
    fi
    # The file keeps its mode (a script stays executable).
    chmod --reference="$fichier" "$temporaire"
    mv "$temporaire" "$fichier"
done < <(fichiers)

if [ "$verifier" -eq 1 ]; then
    if [ ${#manquants[@]} -gt 0 ]; then
        echo "ÉCHEC : ${#manquants[@]} fichiers sans l'en-tête « $identifiant » :" >&2
        printf '  %s\n' "${manquants[@]}" >&2
        echo "(scripts/entetes_spdx.sh les complète)" >&2
        exit 1
    fi
    echo "en-têtes de licence vérifiés"
else
    echo "${#manquants[@]} en-têtes ajoutés"
fi
