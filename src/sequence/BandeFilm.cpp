#include "BandeFilm.h"

#include <QFrame>
#include <QLabel>
#include <QScrollBar>

#include "StockImages.h"
#include "platform/Bitmap.h"
#include "platform/Dialogues.h"
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
    setWidget(contenu);

    connect(barreDefilement, &QScrollBar::valueChanged, this, [this] { suivreDefilement(); });
    // The middle thumbnail has no click action.
    for (int rang : {0, 1, 3, 4})
        connect(vignettes[rang], &ImageEtiree::clique, this,
                [this, rang] { cliquerVignette(rang); });
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
    const auto& v = vignettes;
    const auto& l = numeros;
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
                const QImage image = chargerImage(cheminImage(p_, i));
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
        {
            // The range changes without notification: lowering the maximum below the old
            // position must not move the current frame the command has just set.
            const QSignalBlocker silence(barreDefilement);
            barreDefilement->setRange(0, p_.nbImages - 1);
        }
        // A new position notifies, and suivreDefilement refreshes once more with the same frame.
        barreDefilement->setValue(p_.imageCourante);
    }
    afficherNombreImages();
    afficherSelection();
}

void BandeFilm::afficherNombreImages() {
    if (!etiquetteNombre_) return;
    etiquetteNombre_->setText(QString::number(p_.nbImages) + (p_.nbImages > 1
                                                                  ? QStringLiteral(" images")
                                                                  : QStringLiteral(" image")));
}

void BandeFilm::afficherSelection() {
    if (!etiquetteSelection_) return;
    auto borne = [](qint32 b) { return b == -1 ? QStringLiteral("?") : QString::number(b); };
    etiquetteSelection_->setText(borne(p_.selDebut) + QStringLiteral(" -> ") + borne(p_.selFin));
}

void BandeFilm::suivreDefilement() {
    if (p_.nbImages <= 0) return;
    p_.imageCourante = barreDefilement->value();
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
