#pragma once

#include <QImage>

#include "sequence/Projet.h"

class QSlider;

namespace vp {

class BandeFilm;
class ImageEtiree;
class TCamera;
class VueSequence;

inline const QString kPasDImage = QStringLiteral(
    "La web-cam n'a donné aucune image : vérifiez qu'elle est branchée, puis recommencez.");

// The main window's side of the webcam: on every camera frame, the picture in "CAMERA" and
// the onion skin in "DÉCALAGE"; and taking a picture.
class VueDirecte {
public:
    struct Controles {
        TCamera* camera;
        ImageEtiree* vueCamera;
        ImageEtiree* vueOignon;
        QSlider* glissiereOignon;
        BandeFilm* bandeFilm;
    };

    VueDirecte(ProjetCourant& projet, const Controles& controles);

    void traiterImageCamera();
    void prendrePhoto(VueSequence& vue);

private:
    ProjetCourant& p_;
    Controles c_;
    // Two buffers each, used in turn, so that the picture being written is never the one a
    // control still shows: no copy of a whole picture per frame.
    QImage camera_[2];
    QImage melange_[2];
    int tour_ = 0;
    quint64 versionReference_ = 0;
};

}  // namespace vp
