// SPDX-License-Identifier: GPL-3.0-or-later
#include "BandeFilm.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QScopeGuard>
#include <QScrollBar>
#include <algorithm>
#include <exception>

#include "StockImages.h"
#include "platform/Bitmap.h"
#include "platform/Dialogues.h"
#include "platform/ErreurApplication.h"
#include "platform/ImageEtiree.h"

namespace vp {

namespace {

void colorer(QLabel* etiquette, QRgb couleur) {
    QPalette pal = etiquette->palette();
    pal.setColor(QPalette::WindowText, QColor::fromRgb(couleur));
    etiquette->setPalette(pal);
}

}  // namespace

BandeFilm::BandeFilm(ProjetCourant& projet, QWidget* parent) : QScrollArea(parent), p_(projet) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::StyledPanel);
    auto* contenu = new QWidget;
    contenu->setFixedSize(845, 181);

    QFont police(QStringLiteral("Arial"));
    police.setBold(true);
    police.setPixelSize(16);
    const int xs[5] = {8, 176, 344, 512, 680};
    const char* textes[5] = {"", "", "0", "1", "2"};
    for (int i = 0; i < 5; ++i) {
        vignettes[i] = new ImageEtiree(contenu);
        vignettes[i]->setGeometry(xs[i], 32, 160, 120);
        vignettes[i]->setCursor(Qt::PointingHandCursor);
        numeros[i] = new QLabel(QString::fromLatin1(textes[i]), contenu);
        numeros[i]->setGeometry(xs[i], 8, 161, 17);
        numeros[i]->setAlignment(Qt::AlignCenter);
        numeros[i]->setFont(police);
        colorer(numeros[i], kNoir);
    }

    cadreCentre = new QFrame(contenu);
    cadreCentre->setObjectName(QStringLiteral("cadreCentre"));
    cadreCentre->setGeometry(339, 27, 170, 130);
    cadreCentre->setStyleSheet(
        QStringLiteral("QFrame#cadreCentre { border: 3px solid black; background: transparent; }"));
    cadreCentre->setAttribute(Qt::WA_TransparentForMouseEvents);

    barreDefilement = new QScrollBar(Qt::Horizontal, contenu);
    barreDefilement->setObjectName(QStringLiteral("barreDefilement"));
    barreDefilement->setGeometry(8, 160, 833, 17);
    barreDefilement->setRange(0, 100);
    barreDefilement->setValue(0);
    barreDefilement->setSingleStep(1);
    barreDefilement->setPageStep(5);
    barreDefilement->setTracking(true);
    // The scroll bar takes the focus, so that the arrow, page, Home and End keys move the film.
    barreDefilement->setFocusPolicy(Qt::StrongFocus);
    barreDefilement->installEventFilter(this);
    setWidget(contenu);

    // A frame that cannot be read makes the refresh raise an error: like any command, the
    // navigation shows it in the error box.
    connect(barreDefilement, &QScrollBar::valueChanged, this,
            [this] { executerCommande([this] { suivreDefilement(); }, window()); });
    // The middle thumbnail has no click action.
    for (int rang : {0, 1, 3, 4})
        connect(vignettes[rang], &ImageEtiree::clique, this, [this, rang] {
            executerCommande([this, rang] { cliquerVignette(rang); }, window());
        });
}

bool BandeFilm::eventFilter(QObject* objet, QEvent* evenement) {
    // The keys move along the film: the right arrow and Page Down forwards (a scroll bar's
    // own keys go the other way), Home and End to the first and the last frame.
    if (objet != barreDefilement || evenement->type() != QEvent::KeyPress)
        return QScrollArea::eventFilter(objet, evenement);
    QAbstractSlider::SliderAction action;
    switch (static_cast<QKeyEvent*>(evenement)->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            action = QAbstractSlider::SliderSingleStepSub;
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            action = QAbstractSlider::SliderSingleStepAdd;
            break;
        case Qt::Key_PageUp:
            action = QAbstractSlider::SliderPageStepSub;
            break;
        case Qt::Key_PageDown:
            action = QAbstractSlider::SliderPageStepAdd;
            break;
        case Qt::Key_Home:
            action = QAbstractSlider::SliderToMinimum;
            break;
        case Qt::Key_End:
            action = QAbstractSlider::SliderToMaximum;
            break;
        default:
            return QScrollArea::eventFilter(objet, evenement);
    }
    barreDefilement->triggerAction(action);
    return true;
}

void BandeFilm::relier(QLabel* etiquetteNombre, QLabel* etiquetteSelection,
                       const ImageEtiree* imageVide) {
    etiquetteNombre_ = etiquetteNombre;
    etiquetteSelection_ = etiquetteSelection;
    imageVide_ = imageVide;
    for (ImageEtiree* v : vignettes)
        v->setImage(imageDeRemplacement());
}

QImage BandeFilm::imageDeRemplacement() const {
    return imageVide_ ? imageVide_->image() : QImage();
}

void BandeFilm::rafraichirBande() {
    const auto suivre = qScopeGuard([this] {
        if (apresRafraichissement) apresRafraichissement();
    });
    const auto& v = vignettes;
    const auto& l = numeros;
    // A frame that cannot be read shows the placeholder; the strip, its scroll bar and the
    // labels are brought up to date all the same, then the first error is raised.
    std::exception_ptr erreur;
    if (p_.nbImages == 0) {
        const char* textes[5] = {"", "", "0", "1", "2"};
        for (int s = 0; s < 5; ++s) {
            v[s]->setImage(imageDeRemplacement());
            l[s]->setText(QString::fromLatin1(textes[s]));
            colorer(l[s], kNoir);
        }
    } else {
        const qint32 c = p_.imageCourante;
        for (int s = 0; s < 5; ++s) {
            const qint32 i = c + s - 2;
            if (i >= 0 && i <= p_.nbImages - 1) {
                l[s]->setText(QString::number(i));
                colorer(l[s], p_.selDebut <= i && i <= p_.selFin ? kRougeSelection : kNoir);
                QImage image;
                try {
                    image = chargerImage(cheminImage(p_, i));
                } catch (...) {
                    if (!erreur) erreur = std::current_exception();
                    image = imageDeRemplacement();
                }
                v[s]->setImage(image);
                if (s == 2) {
                    reference_ =
                        image.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                            .convertToFormat(QImage::Format_RGB888);
                    ++version_;
                }
            } else {
                l[s]->setText(QString());
                v[s]->setImage(imageDeRemplacement());
            }
        }
        barreDefilement->setEnabled(p_.nbImages > 5);
        // Range and position change without notification: the strip already shows the current
        // frame the command has set, and lowering the maximum below the old position must not
        // move it.
        const QSignalBlocker silence(barreDefilement);
        barreDefilement->setRange(0, p_.nbImages - 1);
        barreDefilement->setValue(p_.imageCourante);
    }
    afficherNombreImages();
    afficherSelection();
    if (erreur) std::rethrow_exception(erreur);
}

void BandeFilm::afficherNombreImages() {
    if (!etiquetteNombre_) return;
    etiquetteNombre_->setText(QString::number(p_.nbImages) + (p_.nbImages > 1
                                                                  ? QStringLiteral(" images")
                                                                  : QStringLiteral(" image")));
}

void BandeFilm::afficherSelection() {
    if (!etiquetteSelection_) return;
    // The bounds the selection commands will use: its end brought back within the film.
    const auto [debut, fin] = p_.selectionUtile();
    auto borne = [](qint32 b) { return b == -1 ? QStringLiteral("?") : QString::number(b); };
    etiquetteSelection_->setText(borne(debut) + QStringLiteral(" -> ") + borne(fin));
}

void BandeFilm::suivreDefilement() {
    if (p_.nbImages <= 0) return;
    p_.imageCourante = std::clamp(barreDefilement->value(), 0, p_.nbImages - 1);
    rafraichirBande();
}

void BandeFilm::cliquerVignette(int rang) {
    // A side thumbnail comes to the middle when it shows a frame; the scroll bar's change
    // notification then moves the current frame.
    QScrollBar* b = barreDefilement;
    const int decalage = rang - 2;
    if (decalage < 0 ? b->value() + decalage >= b->minimum()
                     : b->value() + decalage <= b->maximum())
        b->setValue(b->value() + decalage);
}

void BandeFilm::marquerDebutSelection() {
    if (p_.imageCourante < 0) return;
    p_.selDebut = p_.imageCourante;
    if (p_.selFin == -1 || p_.selFin < p_.selDebut) p_.selFin = p_.selDebut;
    rafraichirBande();
}

void BandeFilm::marquerFinSelection() {
    if (p_.imageCourante < 0) return;
    p_.selFin = p_.imageCourante;
    if (p_.selDebut == -1 || p_.selDebut > p_.selFin) p_.selDebut = p_.selFin;
    rafraichirBande();
}

void BandeFilm::annulerSelection() {
    if (!verifierProjet(p_)) return;
    if (p_.nbImages == 0) return;
    p_.selDebut = -1;
    p_.selFin = -1;
    rafraichirBande();
}

}  // namespace vp
