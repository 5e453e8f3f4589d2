#pragma once

#include <QString>
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
// Frame a moved to slot b without copying a byte: slot b gets a's file in one atomic step (an
// exchange of the two names, or a new name where the file system cannot exchange). Slot a is
// left holding b's former file or a's own: a stale name the caller replaces or deletes.
void deplacerImage(const ProjetCourant& p, qint32 a, qint32 b);
void effacerImage(const ProjetCourant& p, qint32 i);

using Avancement = std::function<void()>;

// Frames p+1 .. nbImages-1 move up by n (highest first); slots p+1 .. p+n then hold stale
// names, free to be written. `apresChaque` runs after each frame moved. At every instant the
// frame files run from 0 without a hole and every frame is present.
void ouvrirEspace(const ProjetCourant& p, qint32 position, qint32 n,
                  const Avancement& apresChaque = {});
// Gives the n slots right after the film a name of its last frame, in order: a command that
// then writes from the top of a longer film never leaves a hole below what it wrote.
void prolongerFilm(const ProjetCourant& p, qint32 n);

// Removes frames q-n .. q-1: frames q .. nbImages-1 move down by n (lowest first), then the last
// n files are deleted.
void fermerEspace(const ProjetCourant& p, qint32 q, qint32 n);

// Writes one frame file at the path it is given; raises Erreur when it cannot.
using EcrivainImage = std::function<void(const QString& chemin)>;

// One new frame after the current frame, which it becomes; count and strip updated. When the
// writer fails, the gap is closed again and the film is as before.
void insererImage(ProjetCourant& p, VueSequence& vue, const EcrivainImage& ecrivain);

// After a command failed part-way: the count is taken again from the disk and the current
// frame and selection brought back within it, so that every frame on disk is shown.
void resynchroniser(ProjetCourant& p);

}  // namespace vp
