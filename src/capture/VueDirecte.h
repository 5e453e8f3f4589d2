// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <vector>

#include "Oignon.h"
#include "platform/FichiersSurs.h"
#include "sequence/Projet.h"

class QSlider;

namespace vp {

class BandeFilm;
class FenetrePleinEcran;
class ImageEtiree;
class TCamera;
class VueSequence;

inline const QString kPasDImage = QStringLiteral(
    "La web-cam n'a donné aucune image : vérifiez qu'elle est branchée, puis recommencez.");

// The guides over one of the main window's live views: a layer as large as the view, that
// lets the mouse through. The view stretches the camera picture: the guides are drawn for the
// picture's own proportions.
class CalqueReperes : public QWidget {
public:
    explicit CalqueReperes(QWidget* vue);
    void definir(Reperes reperes);
    Reperes reperes() const { return reperes_; }
    void definirProportions(QSize proportions);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Reperes reperes_ = Reperes::Aucun;
    QSize proportions_;
};

// The main window's side of the webcam: on every camera frame, the picture in "CAMERA" and
// the onion skin in "DÉCALAGE", or the onion skin of the full-screen window while the class sees
// it; and taking a picture.
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

    // How many frames the onion skin lays under the camera: 1 to kCouchesMax.
    void definirCouches(int nombre);
    int couches() const { return nombreCouches_; }
    // The guides over the live views, here and in full screen.
    void definirReperes(Reperes reperes);
    Reperes reperes() const { return reperes_; }
    // The full-screen window: while the class sees it, the camera frames go to it instead of the
    // main window's views.
    void definirPleinEcran(FenetrePleinEcran* fenetre);
    // The full-screen window shows the camera alone, without the onion skin (the preview's turn
    // of the live camera).
    void definirCameraSeule(bool oui) { cameraSeule_ = oui; }
    // The full-screen window has closed: what was made at its size is let go.
    void libererPleinEcran();

private:
    // The onion skin's frames follow the current frame (the strip's middle thumbnail).
    void suivreImageCourante();
    void afficherPleinEcran(const QImage& cadre);
    // The frames of the layers at the full-screen view's size.
    std::vector<QImage> couchesPleinEcran(QSize taille);

    // One frame of the onion skin, at the sizes it is shown at. It is kept, with its file's
    // identity, while the current frame moves: after a picture the frames are shifted, not read
    // again.
    struct Couche {
        IdentiteFichier fichier;
        QImage petite;  // 320 x 240
        QImage grande;  // at the full-screen view's size, once that view has needed it
    };
    // What the frames' part of a view was made for: it is made again only when one changes.
    struct Cle {
        quint64 generation = 0;
        int t = -1;
        QSize taille;
        bool operator==(const Cle&) const = default;
    };

    ProjetCourant& p_;
    Controles c_;
    FenetrePleinEcran* pleinEcran_ = nullptr;
    std::array<CalqueReperes*, 2> calques_{};
    QSize proportionsCamera_;
    int nombreCouches_ = 1;
    Reperes reperes_ = Reperes::Aucun;
    bool cameraSeule_ = false;
    // The current frame first, then the older ones; empty for an empty film.
    std::vector<Couche> couches_;
    // The last current frame there was, at 320 x 240 and at its stored size: an empty film's
    // onion skin (white after start-up, no frame yet).
    QImage reference_;
    QImage referenceSource_;
    quint64 versionReference_ = 0;
    qint32 courante_ = -2;
    int nombreVoulu_ = -1;
    quint64 generation_ = 1;  // one more each time the layers change
    QSize taillePleinEcran_;  // of the layers' large pictures
    QImage fond_;
    Cle cleFond_;
    QImage fondPlein_;
    Cle cleFondPlein_;
    QImage noirPlein_;
    CompositionPleinEcran composition_;
    // Two buffers each, used in turn, so that the picture being written is never the one a
    // control still shows: no copy of a whole picture per frame.
    QImage camera_[2];
    QImage melange_[2];
    QImage plein_[2];
    int tour_ = 0;
};

}  // namespace vp
