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
// from the current frame to the last. In a loop it starts again at frame 0 until it is stopped;
// ending on the camera, it plays the last N frames and then shows the live camera (in a loop,
// for one frame's time before the next pass).
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

    struct Mode {
        bool enBoucle = false;
        bool finSurCamera = false;
        int imagesAvantCamera = 10;
    };
    static constexpr int kImagesAvantCameraMin = 1;
    static constexpr int kImagesAvantCameraMax = 50;

    Apercu(ProjetCourant& projet, const Controles& controles);

    void definirMode(const Mode& mode);
    const Mode& mode() const { return mode_; }
    // True once a play ending on the camera has reached it: `vueApercu` is to show the live
    // camera until the preview plays again or stops.
    bool surLaCamera() const { return surCamera_; }
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
    // Where a pass starts: the last N frames when it ends on the camera, else the first frame.
    qint32 debutPassage() const;
    void montrerCamera();
    void finirLecture();

    ProjetCourant& p_;
    Controles c_;
    Mode mode_;
    bool surCamera_ = false;
};

}  // namespace vp
