// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The room left for pictures on the disk of the project: pupils' network accounts and USB
// sticks fill up, and a picture of 640 x 480 takes 0.9 MB.

#include <QString>
#include <QtGlobal>

#include "Projet.h"

namespace vp {

// Fewer pictures than this: the help line says how many are left, in red.
inline constexpr qint64 kPhotosAlerte = 200;
// This many or fewer: a message, once in a run of the program.
inline constexpr qint64 kPhotosMessage = 50;
// What a picture needs besides its own file: the journal, written again beside the old one
// before the old one goes, and the file system's own blocks.
inline constexpr qint64 kMargeJournal = 1024 * 1024;

inline const QString kPlusDePlace = QStringLiteral(
    "La photo n'a pas été enregistrée : il n'y a plus assez de place sur le disque du projet. "
    "Libérez de la place (en copiant d'anciens projets sur un autre disque, par exemple), ou "
    "continuez le film dans un projet rangé sur un autre disque.");

// How many more pictures of `octets` bytes each the project's disk can take, the margin kept;
// -1 when the disk does not say.
qint64 photosPossibles(const ProjetCourant& p, qint64 octets);

// « Il reste de la place pour environ 150 photos. »
QString textePlaceRestante(qint64 photos);

}  // namespace vp
