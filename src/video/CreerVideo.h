#pragma once

#include <QString>

#include "sequence/Projet.h"

namespace vp {

class TAVIRecorder;
class VueSequence;

// A whole number read as the video settings are read: leading blanks, an optional sign, decimal
// digits ("$" or "0x" in front: hexadecimal), up to the first other character; what was read
// up to there is the value ("12a" gives 12), and a text without a number gives 0.
qint32 lireEntier(const QString& texte);

inline const QString kCadenceImpossible = QStringLiteral(
    "Ce nombre d'images par seconde n'est pas possible : choisissez une valeur entre 1 et 255.");

// Writes every frame of the project, in order, into its "video.avi" at the rate and size of
// the project record, with the codec the user picks, then opens it with the default player.
// Frames are loaded and stretched on a worker thread while the previous one is encoded. Any
// error closes the recording and deletes the partial file before it is reported.
void ecrireVideo(ProjetCourant& p, TAVIRecorder& enregistreur, VueSequence& vue);

}  // namespace vp
