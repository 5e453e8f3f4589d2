#pragma once

#include "Projet.h"

class QAbstractButton;
class QLabel;
class QSlider;
class QTimer;

namespace vp {

class BandeFilm;
class ImageEtiree;

// The animated preview: plays the film once from the current frame in `vueApercu`, at the rate of
// the track bar `glissiereCadence`; the button shows the play or the stop glyph.
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

    Apercu(ProjetCourant& projet, const Controles& controles);

    void basculerApercu();
    void avancerApercu();
    void changerCadenceApercu();

    bool enLecture() const;
    // Stops a running preview (another project is opened).
    void arreter();
    // Milliseconds between frames at `imagesParSeconde` (integer division).
    static int intervalle(int imagesParSeconde) { return 1000 / imagesParSeconde; }

private:
    ProjetCourant& p_;
    Controles c_;
};

}  // namespace vp
