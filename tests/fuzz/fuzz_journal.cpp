// SPDX-License-Identifier: GPL-3.0-or-later
// The project journal's reader on any bytes: a journal it accepts writes back to the same bytes,
// and the moves of each of its steps (done, then undone) take free names only and find every
// file they move, so that no damaged journal can make the opening of a project lose a frame.

#include <QMap>
#include <cstddef>
#include <cstdint>

#include "sequence/Journal.h"

namespace {

void verifierPlans(const vp::Etape& e) {
    if (e.avant.nbImages > 300 || e.apres.nbImages > 300) return;  // the same moves, only longer
    QMap<QByteArray, int> noms;
    for (qint32 i = 0; i < e.avant.nbImages; ++i)
        noms[vp::nomDeplacement(e, i)] = i;
    for (qint32 k = 0; k < e.nouvelles(); ++k)
        noms[vp::nomConserve(e.id, k)] = -1 - k;
    const QMap<QByteArray, int> depart = noms;
    for (const bool defaire : {false, true})
        for (const vp::Phase& phase : vp::planDe(e, defaire))
            for (const vp::Mouvement& m : phase) {
                const QByteArray source = vp::nomDeplacement(e, m.source);
                const QByteArray destination = vp::nomDeplacement(e, m.destination);
                if (!noms.contains(source) || noms.contains(destination)) __builtin_trap();
                noms[destination] = noms.take(source);
            }
    if (noms != depart) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille) {
    const QByteArray octets = QByteArray::fromRawData(reinterpret_cast<const char*>(donnees),
                                                      static_cast<qsizetype>(taille));
    const std::optional<vp::Journal> journal = vp::lireJournal(octets);
    if (!journal) return 0;
    if (vp::ecrireJournal(*journal) != octets) __builtin_trap();
    for (const vp::Etape& e : journal->etapes) {
        verifierPlans(e);
        vp::libelle(e);
    }
    return 0;
}
