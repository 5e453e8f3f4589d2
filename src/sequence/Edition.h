// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Projet.h"
#include "StockImages.h"

namespace vp {

// The editing commands of the film. Each starts with the project guard, does nothing on an
// empty film (or without a selection, for the selection commands), works on the frame files
// at once as a step of the project's history (which can undo it) and ends with the strip
// refresh. A selection reaching past the last frame is first
// brought back within the film. A command that fails part-way takes the count again from the
// disk before the error is reported, so that no frame on disk disappears from the film.

inline const QString kMessageCopieSurElleMeme =
    QStringLiteral("Impossible de copier la sélection sur elle-même!");

void dupliquerImageCourante(ProjetCourant& p, VueSequence& vue);
void supprimerImageCourante(ProjetCourant& p, VueSequence& vue);
void copierSelection(ProjetCourant& p, VueSequence& vue);
void inverserSelection(ProjetCourant& p, VueSequence& vue);
void doublerSelection(ProjetCourant& p, VueSequence& vue);
void supprimerSelection(ProjetCourant& p, VueSequence& vue);

// Undoes the project's last frame command (redoes the last one undone), shows the frames
// concerned, and returns what the help line says of it (« Suppression de 10 images annulée. »);
// nothing when there is none.
QString annulerCommande(ProjetCourant& p, VueSequence& vue);
QString retablirCommande(ProjetCourant& p, VueSequence& vue);

}  // namespace vp
