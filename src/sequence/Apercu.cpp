// SPDX-License-Identifier: GPL-3.0-or-later
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
    const bool finSurCameraAvant = mode_.finSurCamera;
    mode_ = mode;
    mode_.imagesAvantCamera =
        std::clamp(mode.imagesAvantCamera, kImagesAvantCameraMin, kImagesAvantCameraMax);
    if (!surCamera_ || !finSurCameraAvant || mode_.finSurCamera) return;
    if (enLecture()) {
        // In the loop's camera turn: the next pass, from the first frame.
        surCamera_ = false;
        toursCamera_ = 0;
        p_.posLecture = debutPassage();
        imagesDuPassage_ = 0;
        if (imageJouee) imageJouee(QImage());
    } else {
        quitterCamera();
    }
}

qint32 Apercu::debutPassage() const {
    return mode_.finSurCamera ? std::max(0, finPassage() - mode_.imagesAvantCamera) : 0;
}

qint32 Apercu::finPassage() const {
    return std::clamp(p_.imageCourante + 1, 0, p_.nbImages);
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
    toursCamera_ = 0;
    imagesDuPassage_ = 0;
    mettreGlyphe(c_.boutonApercu, c_.glypheArret);
    c_.minuterieApercu->start();
}

void Apercu::avancerApercu() {
    if (surCamera_) {
        // The live camera's turn in the loop, then the next pass.
        if (!enLecture() || --toursCamera_ > 0) return;
        surCamera_ = false;
        p_.posLecture = debutPassage();
        imagesDuPassage_ = 0;
    } else if (mode_.finSurCamera && p_.posLecture >= finPassage() && p_.nbImages > 0) {
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
        imagesDuPassage_ = 0;
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
    ++imagesDuPassage_;
    // Ending on the camera, the last frame stays its time before the camera comes.
    if (p_.posLecture >= p_.nbImages && !mode_.finSurCamera) {
        if (mode_.enBoucle) {
            p_.posLecture = 0;
            imagesDuPassage_ = 0;
        } else {
            arreter();
        }
    }
}

void Apercu::montrerCamera() {
    surCamera_ = true;
    // The count of the film, as while shooting: the camera shows where the next picture goes.
    c_.bandeFilm->afficherNombreImages();
    if (mode_.enBoucle) {
        // As long as the frames took to play, and a second at least: time enough to see it.
        const int intervalleMs = std::max(1, c_.minuterieApercu->interval());
        toursCamera_ = std::max(imagesDuPassage_, (1000 + intervalleMs - 1) / intervalleMs);
        if (imageJouee) imageJouee(QImage());
        return;
    }
    finirLecture();
}

void Apercu::quitterCamera() {
    surCamera_ = false;
    toursCamera_ = 0;
    // The strip's middle thumbnail: the current frame, or the placeholder of an empty film.
    c_.vueApercu->setImage(c_.bandeFilm->vignettes[2]->image());
    if (imageJouee) imageJouee(QImage());
}

void Apercu::suivreFilm() {
    if (p_.nbImages == 0 && (enLecture() || surCamera_)) {
        arreter();
        c_.vueApercu->setImage(c_.bandeFilm->vignettes[2]->image());
        return;
    }
    if (surCamera_ && !enLecture()) quitterCamera();
}

void Apercu::changerCadenceApercu() {
    c_.etiquetteCadence->setText(QString::number(c_.glissiereCadence->value()) +
                                 QStringLiteral(" i/s"));
}

void Apercu::arreter() {
    surCamera_ = false;
    toursCamera_ = 0;
    finirLecture();
}

void Apercu::finirLecture() {
    c_.minuterieApercu->stop();
    mettreGlyphe(c_.boutonApercu, c_.glypheLecture);
    c_.bandeFilm->afficherNombreImages();
    if (imageJouee) imageJouee(QImage());
}

}  // namespace vp
