#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <vector>

#include "Oignon.h"
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
// lets the mouse through.
class CalqueReperes : public QWidget {
public:
    explicit CalqueReperes(QWidget* vue);
    void definir(Reperes reperes);
    Reperes reperes() const { return reperes_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Reperes reperes_ = Reperes::Aucun;
};

// The main window's side of the webcam: on every camera frame, the picture in "CAMERA" and
// the onion skin in "DÉCALAGE", or the onion skin of the full-screen window while it is shown;
// and taking a picture.
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
    int couches() const { return couches_; }
    // The guides over the live views, here and in full screen.
    void definirReperes(Reperes reperes);
    Reperes reperes() const { return reperes_; }
    // The full-screen window: while it is shown, the camera frames go to it instead of the
    // main window's views.
    void definirPleinEcran(FenetrePleinEcran* fenetre);

private:
    // The onion skin's frames follow the current frame (the strip's middle thumbnail).
    void suivreImageCourante();
    void afficherPleinEcran(const QImage& cadre);

    // What the frames' part of a view was made for: it is made again only when one changes.
    struct Cle {
        qint64 reference = 0;  // the current frame at 320 x 240
        quint64 anciennes = 0;
        int couches = 0;
        int t = -1;
        QSize taille;
        bool operator==(const Cle&) const = default;
    };

    ProjetCourant& p_;
    Controles c_;
    FenetrePleinEcran* pleinEcran_ = nullptr;
    std::array<CalqueReperes*, 2> calques_{};
    int couches_ = 1;
    Reperes reperes_ = Reperes::Aucun;
    quint64 versionReference_ = 0;
    // The frames older than the current one, as stored and at 320 x 240 (the current frame
    // itself is bmpTravail1, and the strip's middle thumbnail at its stored size).
    std::vector<QImage> anciennes_;
    std::vector<QImage> anciennes320_;
    quint64 versionAnciennes_ = 0;
    int nombreAnciennesVoulues_ = 0;
    quint64 generationAnciennes_ = 0;
    QImage fond_;
    Cle cleFond_;
    QImage fondPlein_;
    Cle cleFondPlein_;
    CompositionPleinEcran composition_;
    // Two buffers each, used in turn, so that the picture being written is never the one a
    // control still shows: no copy of a whole picture per frame.
    QImage camera_[2];
    QImage melange_[2];
    QImage plein_[2];
    int tour_ = 0;
};

}  // namespace vp
