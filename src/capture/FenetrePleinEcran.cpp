// SPDX-License-Identifier: GPL-3.0-or-later
#include "FenetrePleinEcran.h"

#include <QAction>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "platform/Bitmap.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"

namespace vp {

namespace {

const QColor kFond(20, 20, 24);
const QColor kBande(40, 40, 46);

// The largest font, up to `taille` pixels, with which `texte` fits in `cadre`, drawn with these
// flags.
QFont policeQuiTient(QFont police, int taille, const QString& texte, const QRect& cadre,
                     int drapeaux = Qt::AlignCenter) {
    for (; taille > 8; taille = taille * 9 / 10) {
        police.setPixelSize(taille);
        const QRect voulu = QFontMetrics(police).boundingRect(cadre, drapeaux, texte);
        if (voulu.width() <= cadre.width() && voulu.height() <= cadre.height()) break;
    }
    police.setPixelSize(std::max(8, taille));
    return police;
}

}  // namespace

FenetrePleinEcran::FenetrePleinEcran(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("VOLTIPLUME : prise de vue plein écran"));
    setObjectName(QStringLiteral("fenetrePleinEcran"));
    // Everything is painted here, the picture at every camera frame: no background to erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    actionLecture = new QAction(QStringLiteral("Aperçu"), this);
    actionLecture->setShortcut(QKeySequence(Qt::Key_P));
    actionLecture->setAutoRepeat(false);
    addAction(actionLecture);
    actionRetour = new QAction(QStringLiteral("Retour"), this);
    actionRetour->setShortcut(QKeySequence(Qt::Key_Escape));
    addAction(actionRetour);
    connect(actionRetour, &QAction::triggered, this, &QWidget::close);
}

int FenetrePleinEcran::hauteurBande() const {
    return std::max(90, height() / 7);
}

QRect FenetrePleinEcran::zoneImage(QSize proportions) const {
    const QRect aire(0, 0, width(), std::max(1, height() - hauteurBande()));
    if (proportions.isEmpty()) return aire;
    const QSize taille = proportions.scaled(aire.size(), Qt::KeepAspectRatio);
    return {aire.left() + (aire.width() - taille.width()) / 2,
            aire.top() + (aire.height() - taille.height()) / 2, taille.width(), taille.height()};
}

QRect FenetrePleinEcran::zoneDirect() const {
    // The live picture is made at its zone's size: centred, it fills it.
    const QRect aire(0, 0, width(), std::max(1, height() - hauteurBande()));
    if (direct_.isNull()) return zoneImage(lecture_.size());
    return {(aire.width() - direct_.width()) / 2, (aire.height() - direct_.height()) / 2,
            direct_.width(), direct_.height()};
}

void FenetrePleinEcran::montrerDirect(const QImage& image) {
    const QRect avant = zoneDirect();
    direct_ = image;
    if (enLecture()) return;
    const QRect zone = zoneDirect();
    // Only the picture is painted again, unless it moved (another camera size).
    update(zone == avant ? zone : QRect(0, 0, width(), height() - hauteurBande()));
}

void FenetrePleinEcran::montrerLecture(const QImage& image) {
    lecture_ = image;
    update(0, 0, width(), height() - hauteurBande());
}

void FenetrePleinEcran::definirReperes(Reperes reperes) {
    reperes_ = reperes;
    update();
}

void FenetrePleinEcran::definirCompteur(const QString& texte) {
    if (texte == compteur_) return;
    compteur_ = texte;
    update(0, height() - hauteurBande(), width(), hauteurBande());
}

void FenetrePleinEcran::definirAlerte(const QString& texte) {
    if (texte == alerte_) return;
    alerte_ = texte;
    update(0, height() - hauteurBande(), width(), hauteurBande());
}

void FenetrePleinEcran::suivreFilm(const ProjetCourant& p, const BandeFilm& bande,
                                   const QImage& remplacement) {
    std::array<QImage, 5> images, vignettes;
    std::array<IdentiteFichier, 5> fichiers;
    std::array<QString, 5> numeros;
    for (size_t rang = 0; rang < 5; ++rang) {
        const qint32 i = p.imageCourante - 4 + static_cast<qint32>(rang);
        if (p.nbImages == 0 || i < 0 || i >= p.nbImages) continue;
        numeros[rang] = QString::number(i);
        fichiers[rang] = identiteFichier(cheminImage(p, i));
        const auto deja = std::find(fichiers_.begin(), fichiers_.end(), fichiers[rang]);
        const auto avant = static_cast<size_t>(deja - fichiers_.begin());
        if (deja != fichiers_.end() && !images_[avant].isNull()) {
            images[rang] = images_[avant];
            vignettes[rang] = vignettes_[avant];
            continue;
        }
        if (rang >= 2) {
            // The strip has just read the current frame and the two before it.
            images[rang] = bande.vignettes[rang - 2]->image();
        } else {
            try {
                images[rang] = chargerImage(cheminImage(p, i));
            } catch (...) {
                images[rang] = remplacement;  // the strip tells what is wrong when it shows it
            }
        }
        vignettes[rang] = vignette(images[rang], static_cast<int>(rang));
    }
    images_ = std::move(images);
    vignettes_ = std::move(vignettes);
    fichiers_ = fichiers;
    numeros_ = numeros;
    update(0, height() - hauteurBande(), width(), hauteurBande());
}

void FenetrePleinEcran::montrerMessage(const QString& texte) {
    message_ = texte;
    update();
}

QRect FenetrePleinEcran::caseVignette(int rang) const {
    const int hb = hauteurBande();
    const int marge = hb / 12;
    const int hauteurNumero = hb / 5;
    // The five frames in the middle, leaving room on either side for the count and the keys.
    const int l =
        std::min((hb - 2 * marge - hauteurNumero) * 4 / 3, (width() * 3 / 5 - 4 * marge) / 5);
    const int h = l * 3 / 4;
    const int total = 5 * l + 4 * marge;
    const int x0 = (width() - total) / 2;
    return {x0 + rang * (l + marge), height() - hb + marge + hauteurNumero, l, h};
}

QImage FenetrePleinEcran::vignette(const QImage& image, int rang) const {
    if (image.isNull()) return {};
    // The five boxes have one size: a frame scaled for one box fits any other. A large frame is
    // first brought down to twice the box by picking pixels, then smoothed: nearly the look of a
    // smooth scaling of the whole frame, for a fraction of its cost.
    const QSize taille = caseVignette(rang).size();
    const QImage& source = image.width() > 4 * taille.width()
                               ? image.scaled(2 * taille, Qt::IgnoreAspectRatio)
                               : image;
    return source.scaled(taille, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void FenetrePleinEcran::resizeEvent(QResizeEvent* e) {
    for (size_t i = 0; i < images_.size(); ++i)
        vignettes_[i] = vignette(images_[i], static_cast<int>(i));
    QWidget::resizeEvent(e);
}

void FenetrePleinEcran::showEvent(QShowEvent* e) {
    devant_ = true;
    QWidget::showEvent(e);
}

void FenetrePleinEcran::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) devant_ = true;
    QWidget::changeEvent(e);
}

void FenetrePleinEcran::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (e->spontaneous()) return;  // minimised
    // Closed: the pictures made at the screen's size are let go.
    direct_ = QImage();
    lecture_ = QImage();
    images_ = {};
    vignettes_ = {};
    fichiers_ = {};
    emit fermee();
}

void FenetrePleinEcran::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    const int hb = hauteurBande();
    const QRect aire(0, 0, width(), height() - hb);
    const QRect zone = zoneDirect();
    if (e->rect().intersects(aire)) {
        // Around the picture, the screen stays dark.
        const QRegion autour = QRegion(aire) - QRegion(zone);
        for (const QRect& r : autour)
            p.fillRect(r, kFond);
        if (enLecture())
            p.drawImage(zone, lecture_);
        else if (!direct_.isNull())
            p.drawImage(zone.topLeft(), direct_);
        else
            p.fillRect(zone, Qt::black);
        // The picture is shown with its own proportions: the zone has them.
        if (!enLecture())
            dessinerReperes(p, reperes_, zone, QSizeF(zone.size()), std::max(2, height() / 400));
        if (!message_.isEmpty()) {
            QFont police = font();
            police.setPixelSize(std::max(16, height() / 28));
            police.setBold(true);
            p.setFont(police);
            const QRect cadre = aire.adjusted(aire.width() / 8, aire.height() / 3,
                                              -aire.width() / 8, -aire.height() / 3);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 0, 0, 190));
            p.drawRoundedRect(cadre, 12, 12);
            p.setPen(QColor(255, 210, 80));
            p.drawText(cadre.adjusted(20, 10, -20, -10), Qt::AlignCenter | Qt::TextWordWrap,
                       message_);
        }
    }
    if (e->rect().intersects(QRect(0, height() - hb, width(), hb))) peindreBande(p);
}

void FenetrePleinEcran::peindreBande(QPainter& p) {
    const int hb = hauteurBande();
    const QRect bande(0, height() - hb, width(), hb);
    p.fillRect(bande, kBande);
    QFont gras = font();
    gras.setBold(true);
    const QRect premiere = caseVignette(0);
    const QRect derniere = caseVignette(4);
    const QRect compteur(hb / 6, bande.top(), premiere.left() - hb / 3, hb);
    p.setFont(policeQuiTient(gras, hb / 4, compteur_, compteur));
    p.setPen(Qt::white);
    p.drawText(compteur, Qt::AlignCenter, compteur_);
    // The disk filling up, in red under the count.
    const QRect alerte = compteur.adjusted(0, hb * 2 / 3, 0, 0);
    const int centre = Qt::AlignCenter | Qt::TextWordWrap;
    p.setFont(policeQuiTient(gras, hb / 8, alerte_, alerte, centre));
    p.setPen(QColor(255, 45, 45));
    p.drawText(alerte, centre, alerte_);
    QFont petite = gras;
    petite.setPixelSize(std::max(10, hb / 7));
    for (int i = 0; i < 5; ++i) {
        const QRect c = caseVignette(i);
        const auto rang = static_cast<size_t>(i);
        if (!vignettes_[rang].isNull())
            p.drawImage(c.topLeft(), vignettes_[rang]);
        else
            p.fillRect(c, QColor(60, 60, 66));
        p.setFont(petite);
        p.setPen(i == 4 ? QColor(255, 210, 80) : QColor(220, 220, 220));
        p.drawText(QRect(c.left(), bande.top(), c.width(), c.top() - bande.top()), Qt::AlignCenter,
                   numeros_[rang]);
    }
    // The newest frame, the one the onion skin is made against, is framed.
    p.setPen(QPen(QColor(255, 210, 80), 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(derniere.adjusted(-2, -2, 1, 1));
    const QString touches =
        QStringLiteral("Espace, Entrée, Page suivante : photo\nP : aperçu\nÉchap ou F11 : retour");
    const QRect aide(derniere.right() + hb / 3, bande.top(), width() - derniere.right() - hb / 2,
                     hb);
    // On a narrow screen the lines wrap rather than lose their ends.
    const int drapeaux = Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap;
    p.setFont(policeQuiTient(petite, hb / 6, touches, aide, drapeaux));
    p.setPen(QColor(200, 200, 200));
    p.drawText(aide, drapeaux, touches);
}

}  // namespace vp
