#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# in build-fuzz and runs each of them, one after the other, over its seed corpus
# (tests/fuzz/corpus/<target>) for the given number of seconds (600 by default). Prints the
# executions of each run; a crash, a leak or a sanitizer report stops with an error, its input
# kept in build-fuzz/plantages/.
#
#   ./fuzz.sh [seconds]
set -euo pipefail
ici="$(cd "$(dirname "$0")" && pwd)"
cd "$ici"
. scripts/dependances.sh
installer_dependances

duree="${1:-600}"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVP_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DVP_TESTS=OFF -DVP_BENCH=OFF > /dev/null
cmake --build build-fuzz --target cibles_fuzz
mkdir -p build-fuzz/plantages
for cible in build-fuzz/tests/fuzz/fuzz_*; do
    [ -f "$cible" ] && [ -x "$cible" ] || continue
    nom="$(basename "$cible")"
    # New inputs go to a working corpus; the seeds in the sources stay as they are.
    travail="build-fuzz/corpus/$nom"
    journal="build-fuzz/$nom.log"
    mkdir -p "$travail"
    if ! "$cible" -max_total_time="$duree" -print_final_stats=1 \
        -artifact_prefix="build-fuzz/plantages/$nom-" "$travail" "tests/fuzz/corpus/$nom" \
        > "$journal" 2>&1; then
        tail -n 60 "$journal"
        echo "$nom : échec, voir $journal et build-fuzz/plantages/" >&2
        exit 1
    fi
    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$journal")"
    echo "$nom : ${executions:-?} exécutions en $duree s, rien trouvé"
done
