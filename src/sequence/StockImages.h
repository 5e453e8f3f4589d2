#pragma once

#include <QString>
#include <QStringList>
#include <functional>

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

// Frame a copied onto frame b: a real copy, written atomically.
void copierImage(const ProjetCourant& p, qint32 a, qint32 b);
// Slot b becomes a new name of frame a's file in one atomic step (link, then rename over b); no
// byte is copied and slot a keeps its name until the caller replaces or deletes it.
void deplacerImage(const ProjetCourant& p, qint32 a, qint32 b);
void effacerImage(const ProjetCourant& p, qint32 i);

using Avancement = std::function<void()>;

// The moves below go one slot at a time, so that a kill at any instant leaves the film in order:
// as it was, as it will be, or in between with at most one frame shown twice in a row.

// Frames position+1 .. nbImages-1 move up by one slot, highest first; slot position+1 is then a
// second name of the frame above it, for the caller to replace. Nothing moves when position is
// the last frame. `apresChaque` runs after each frame moved. When a move fails, the frames
// already moved go back down before the error is raised.
void ouvrirEspace(const ProjetCourant& p, qint32 position, const Avancement& apresChaque = {});

// Removes frames q-n .. q-1, the highest first: for each, the frames after it move down by one
// slot (lowest first) and the last name goes. The caller subtracts n from nbImages.
void fermerEspace(const ProjetCourant& p, qint32 q, qint32 n, const Avancement& apresChaque = {});

// Frames written ahead of their insertion, under hidden names of the project folder: a command
// that cannot write them all has not changed the film. Those not inserted are removed with it.
class ImagesPreparees {
public:
    explicit ImagesPreparees(const ProjetCourant& p) : p_(p) {}
    ~ImagesPreparees();
    ImagesPreparees(const ImagesPreparees&) = delete;
    ImagesPreparees& operator=(const ImagesPreparees&) = delete;

    // A new hidden name, for a frame about to be written.
    QString nouvelle();
    // Prepared frame j (in the order of nouvelle()) becomes frame position+1 of a film that
    // counts p.nbImages + `dejaInserees` frames: the later frames move up by one slot, then
    // the prepared file is renamed into the slot freed.
    void inserer(qint32 j, qint32 position, qint32 dejaInserees,
                 const Avancement& apresChaque = {});

private:
    const ProjetCourant& p_;
    QStringList noms_;
};

// Writes one frame file at the path it is given; raises Erreur when it cannot.
using EcrivainImage = std::function<void(const QString& chemin)>;

// One new frame after the current frame, which it becomes; count and strip updated. The writer
// stores the frame under a hidden name first: when it fails, no frame has moved.
void insererImage(ProjetCourant& p, VueSequence& vue, const EcrivainImage& ecrivain);

// After a command failed part-way: the count is taken again from the disk and the current
// frame and selection brought back within it, so that every frame on disk is shown.
void resynchroniser(ProjetCourant& p);

}  // namespace vp
