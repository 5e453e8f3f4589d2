#include "Apercu.h"

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QSlider>
#include <QTimer>
#include <algorithm>

#include "BandeFilm.h"
#include "StockImages.h"
#include "platform/Bitmap.h"
#include "platform/ImageEtiree.h"

namespace vp {

namespace {

void mettreGlyphe(QAbstractButton* bouton, const ImageEtiree* glyphe) {
    bouton->setIcon(QIcon(QPixmap::fromImage(glyphe->image())));
}

}  // namespace

Apercu::Apercu(ProjetCourant& projet, const Controles& controles) : p_(projet), c_(controles) {
    c_.minuterieApercu->stop();
    mettreGlyphe(c_.boutonApercu, c_.glypheLecture);
}

bool Apercu::enLecture() const {
    return c_.minuterieApercu->isActive();
}

void Apercu::definirMode(const Mode& mode) {
    mode_ = mode;
    mode_.imagesAvantCamera =
        std::clamp(mode.imagesAvantCamera, kImagesAvantCameraMin, kImagesAvantCameraMax);
}

qint32 Apercu::debutPassage() const {
    return mode_.finSurCamera ? std::max(0, p_.nbImages - mode_.imagesAvantCamera) : 0;
}

void Apercu::basculerApercu() {
    if (!verifierProjet(p_)) return;
    if (p_.nbImages == 0) return;
    if (enLecture()) {
        arreter();
        return;
    }
    c_.minuterieApercu->setInterval(intervalle(c_.glissiereCadence->value()));
    p_.posLecture = mode_.finSurCamera ? debutPassage() : p_.imageCourante;
    surCamera_ = false;
    mettreGlyphe(c_.boutonApercu, c_.glypheArret);
    c_.minuterieApercu->start();
}

void Apercu::avancerApercu() {
    if (surCamera_) {
        // The live camera had its turn in the loop: the next pass.
        surCamera_ = false;
        p_.posLecture = debutPassage();
    } else if (mode_.finSurCamera && p_.posLecture >= p_.nbImages && p_.nbImages > 0) {
        montrerCamera();
        return;
    }
    if (p_.posLecture < 0 || p_.posLecture >= p_.nbImages) {
        // Frames deleted under the running preview: nothing left to play from here, unless it
        // goes round.
        if (!mode_.enBoucle || p_.nbImages == 0) {
            arreter();
            return;
        }
        p_.posLecture = debutPassage();
    }
    c_.compteurImages->setText(QString::number(p_.posLecture));
    QImage image;
    try {
        image = chargerImage(cheminImage(p_, p_.posLecture));
    } catch (...) {
        arreter();  // reported once, not at every tick
        throw;
    }
    c_.vueApercu->setImage(image);
    c_.vueApercu->repaint();
    if (imageJouee) imageJouee(image);
    p_.posLecture += 1;
    // Ending on the camera, the last frame stays its time before the camera comes.
    if (p_.posLecture >= p_.nbImages && !mode_.finSurCamera) {
        if (mode_.enBoucle)
            p_.posLecture = 0;
        else
            arreter();
    }
}

void Apercu::montrerCamera() {
    surCamera_ = true;
    if (mode_.enBoucle) {
        if (imageJouee) imageJouee(QImage());
        return;
    }
    finirLecture();
}

void Apercu::changerCadenceApercu() {
    c_.etiquetteCadence->setText(QString::number(c_.glissiereCadence->value()) +
                                 QStringLiteral(" i/s"));
}

void Apercu::arreter() {
    surCamera_ = false;
    finirLecture();
}

void Apercu::finirLecture() {
    c_.minuterieApercu->stop();
    mettreGlyphe(c_.boutonApercu, c_.glypheLecture);
    c_.bandeFilm->afficherNombreImages();
    if (imageJouee) imageJouee(QImage());
}

}  // namespace vp
