#pragma once

#include "Projet.h"

class QAbstractButton;
class QLabel;
class QSlider;
class QTimer;

namespace vp {

class BandeFilm;
class ImageEtiree;

// The animated preview: plays the film once from the current frame in `aper`, at the rate of
// the track bar `tbims`; the button shows the play or the stop glyph.
class Apercu {
public:
    struct Controles {
        QTimer* Timer1;
        QAbstractButton* bouton;  // SpeedButton15
        ImageEtiree* aper;
        QLabel* Limages;
        const ImageEtiree* BMlect;
        const ImageEtiree* BMstop;
        QSlider* tbims;
        QLabel* lims;
        BandeFilm* bande;
    };

    Apercu(ProjetCourant& projet, const Controles& controles);

    void bapercuClick();
    void Timer1Timer();
    void tbimsChange();

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
