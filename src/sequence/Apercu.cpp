#include "Apercu.h"

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QSlider>
#include <QTimer>

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

void Apercu::basculerApercu() {
    if (!verifierProjet(p_)) return;
    if (p_.nbImages == 0) return;
    if (enLecture()) {
        arreter();
        return;
    }
    c_.minuterieApercu->setInterval(intervalle(c_.glissiereCadence->value()));
    p_.posLecture = p_.imageCourante;
    mettreGlyphe(c_.boutonApercu, c_.glypheArret);
    c_.minuterieApercu->start();
}

void Apercu::avancerApercu() {
    // Frames deleted under the running preview: nothing left to play from here.
    if (p_.posLecture < 0 || p_.posLecture >= p_.nbImages) {
        arreter();
        return;
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
    p_.posLecture += 1;
    if (p_.posLecture >= p_.nbImages) arreter();
}

void Apercu::changerCadenceApercu() {
    c_.etiquetteCadence->setText(QString::number(c_.glissiereCadence->value()) +
                                 QStringLiteral(" i/s"));
}

void Apercu::arreter() {
    c_.minuterieApercu->stop();
    mettreGlyphe(c_.boutonApercu, c_.glypheLecture);
    c_.bandeFilm->afficherNombreImages();
}

}  // namespace vp
