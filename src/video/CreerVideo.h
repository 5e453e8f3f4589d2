// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <functional>

#include "sequence/Fraicheur.h"
#include "sequence/Projet.h"

namespace vp {

class TAVIRecorder;
class VueSequence;

// A whole number read as the video settings are read: leading blanks, an optional sign, decimal
// digits ("$" or "0x" in front: hexadecimal), up to the first other character; what was read
// up to there is the value ("12a" gives 12), and a text without a number gives 0.
qint32 lireEntier(const QString& texte);

inline const QString kCadenceImpossible = QStringLiteral(
    "Ce nombre d'images par seconde n'est pas possible : choisissez un nombre entier de 1 à 255.");
inline const QString kImageNonPreparee =
    QStringLiteral("L'image n° %1 n'a pas pu être préparée pour la vidéo : mémoire insuffisante.");

// Writes every frame of the project, in order, into its "video.avi" at the rate and size of
// the project record, with the codec the user picks, then opens it with the default player.
// Frames are loaded (by `charger`, the frame files when empty) and stretched on a worker
// thread while the previous one is encoded. Any error closes the recording and deletes the
// partial file before it is reported. The film it shows and its settings are written down
// beside it (Fraicheur.h).
void ecrireVideo(ProjetCourant& p, TAVIRecorder& enregistreur, VueSequence& vue,
                 std::function<QImage(qint32)> charger = {});

// Makes "video.avi" again from the frames as they are now, with `reglages` (those of the last
// video, which become the project's): no settings dialog, no codec dialog, the old video
// replaced without a question, and the new one not opened.
void refaireVideo(ProjetCourant& p, TAVIRecorder& enregistreur, VueSequence& vue,
                  const ReglagesVideo& reglages);

}  // namespace vp
