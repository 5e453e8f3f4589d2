// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlacePhotos.h"

#include <algorithm>

#include "platform/FichiersSurs.h"

namespace vp {

qint64 photosPossibles(const ProjetCourant& p, qint64 octets) {
    const qint64 libre = espaceLibre(p.dossierProjet());
    if (libre < 0 || octets <= 0) return -1;
    return std::max<qint64>(0, libre - kMargeJournal) / octets;
}

QString textePlaceRestante(qint64 photos) {
    if (photos <= 0) return QStringLiteral("Il ne reste plus de place pour une photo.");
    if (photos == 1) return QStringLiteral("Il reste de la place pour environ 1 photo.");
    return QStringLiteral("Il reste de la place pour environ %1 photos.").arg(photos);
}

}  // namespace vp
