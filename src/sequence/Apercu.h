// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <functional>

#include "Projet.h"

class QAbstractButton;
class QLabel;
class QSlider;
class QTimer;

namespace vp {

class BandeFilm;
class ImageEtiree;

// The animated preview: plays the film in `vueApercu` at the rate of the track bar
// `glissiereCadence`; the button shows the play or the stop glyph. By default it plays once,
// from the current frame to the last. In a loop it starts again at frame 0 until it is stopped.
// Ending on the camera, it plays the N frames that end at the current frame (the one the next
// picture will follow), then shows the live camera: to the end in a single play (until the film
// changes), and in a loop for as long as the frames took, one second at least, before the next
// pass.
class Apercu {
public:
    struct Controles {
        QTimer* minuterieApercu;
        QAbstractButton* boutonApercu;
        ImageEtiree* vueApercu;
        QLabel* compteurImages;
        const ImageEtiree* glypheLecture;
        const ImageEtiree* glypheArret;
        QSlider* glissiereCadence;
        QLabel* etiquetteCadence;
        BandeFilm* bandeFilm;
    };

    static constexpr int kImagesAvantCameraDefaut = 10;
    struct Mode {
        bool enBoucle = false;
        bool finSurCamera = false;
        int imagesAvantCamera = kImagesAvantCameraDefaut;
    };
    static constexpr int kImagesAvantCameraMin = 1;
    static constexpr int kImagesAvantCameraMax = 50;

    Apercu(ProjetCourant& projet, const Controles& controles);

    // Without « Fin sur la caméra », a preview that shows the camera goes back to the film.
    void definirMode(const Mode& mode);
    const Mode& mode() const { return mode_; }
    // True while a play ending on the camera shows it: `vueApercu` is to show the live camera
    // (and the full-screen view too, without the onion skin, while the preview still plays).
    bool surLaCamera() const { return surCamera_; }
    // The film changed (a picture taken, frames deleted, undone, another project): a single play
    // that ended on the camera gives way to the current frame; an empty film stops the preview.
    void suivreFilm();
    // Told of each frame played, and of the live camera's turn or the end of the play (a null
    // picture): the full-screen window shows them.
    std::function<void(const QImage& image)> imageJouee;

    void basculerApercu();
    void avancerApercu();
    void changerCadenceApercu();

    bool enLecture() const;
    // Stops a running preview (another project is opened).
    void arreter();
    // Milliseconds between frames at `imagesParSeconde` (integer division).
    static int intervalle(int imagesParSeconde) { return 1000 / imagesParSeconde; }

private:
    // Where a pass starts: N frames before the end of the pass when it ends on the camera, else
    // the first frame.
    qint32 debutPassage() const;
    // Where a pass ending on the camera ends: after the current frame.
    qint32 finPassage() const;
    void montrerCamera();
    // Leaves the camera: `vueApercu` shows the current frame.
    void quitterCamera();
    void finirLecture();

    ProjetCourant& p_;
    Controles c_;
    Mode mode_;
    bool surCamera_ = false;
    int toursCamera_ = 0;      // ticks left of the camera's turn in a loop
    int imagesDuPassage_ = 0;  // frames shown in the pass under way
};

}  // namespace vp
