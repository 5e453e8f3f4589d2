// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "Historique.h"
#include "Projet.h"

namespace vp {

// What the frame commands need from the window that shows the film.
class VueSequence {
public:
    virtual ~VueSequence() = default;
    virtual void rafraichirBande() = 0;
    virtual void montrerProgression(int maximum) = 0;  // position 0, shown
    virtual void avancerProgression() = 0;
    virtual void completerProgression() = 0;  // position := maximum
    virtual void masquerProgression() = 0;
};

// The progress bar of one command: shown by the constructor, hidden by the destructor, so it
// never stays on screen after an error.
class Progression {
public:
    Progression(VueSequence& vue, int maximum) : vue_(vue) { vue_.montrerProgression(maximum); }
    ~Progression() { vue_.masquerProgression(); }
    Progression(const Progression&) = delete;
    Progression& operator=(const Progression&) = delete;
    void avancer() { vue_.avancerProgression(); }
    void completer() { vue_.completerProgression(); }

private:
    VueSequence& vue_;
};

// "image_" + the index left-padded with "0" to five digits + ".bmp".
QString nomImage(qint32 i);
// Full path of frame i of the current project.
QString cheminImage(const ProjetCourant& p, qint32 i);

// Number of consecutive frame files from index 0.
qint32 compterImages(const ProjetCourant& p);

// The project's history of frame commands, opened (and an interrupted command finished) the first
// time a command needs it, and again when the record names another project folder.
Historique& historiqueDe(ProjetCourant& p);

// The part of the record a frame command changes, and the record set from it.
EtatFilm etatDe(const ProjetCourant& p);
void appliquerEtat(ProjetCourant& p, const EtatFilm& f);

// Writes one frame file at the path it is given; raises Erreur when it cannot.
using EcrivainImage = std::function<void(const QString& chemin)>;

// One new frame after the current frame, which it becomes; count and strip updated. The writer
// stores the frame under a hidden name first: when it fails, no frame has moved. The picture is
// a step of the history, which can undo it.
void insererImage(ProjetCourant& p, VueSequence& vue, const EcrivainImage& ecrivain);

// After a command failed part-way: the count is taken again from the disk and the current
// frame and selection brought back within it, so that every frame on disk is shown.
void resynchroniser(ProjetCourant& p);

}  // namespace vp
