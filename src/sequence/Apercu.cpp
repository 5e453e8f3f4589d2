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
    c_.Timer1->stop();
    mettreGlyphe(c_.bouton, c_.BMlect);
}

bool Apercu::enLecture() const {
    return c_.Timer1->isActive();
}

void Apercu::bapercuClick() {
    if (!verifierProjet(p_)) return;
    if (p_.nbImages == 0) return;
    if (enLecture()) {
        arreter();
        return;
    }
    c_.Timer1->setInterval(intervalle(c_.tbims->value()));
    p_.posLecture = p_.imageCourante;
    mettreGlyphe(c_.bouton, c_.BMstop);
    c_.Timer1->start();
}

void Apercu::Timer1Timer() {
    // Frames deleted under the running preview: nothing left to play from here.
    if (p_.posLecture < 0 || p_.posLecture >= p_.nbImages) {
        arreter();
        return;
    }
    c_.Limages->setText(QString::number(p_.posLecture));
    QImage image;
    try {
        image = chargerImage(cheminImage(p_, p_.posLecture));
    } catch (...) {
        arreter();  // reported once, not at every tick
        throw;
    }
    c_.aper->setImage(image);
    c_.aper->repaint();
    p_.posLecture += 1;
    if (p_.posLecture >= p_.nbImages) arreter();
}

void Apercu::tbimsChange() {
    c_.lims->setText(QString::number(c_.tbims->value()) + QStringLiteral(" i/s"));
}

void Apercu::arreter() {
    c_.Timer1->stop();
    mettreGlyphe(c_.bouton, c_.BMlect);
    c_.bande->afficherNombreImages();
}

}  // namespace vp
