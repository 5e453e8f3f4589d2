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
    std::array<ImageEtiree*, 5> v{};
    std::array<QLabel*, 5> l{};
    const char* textes[5] = {"", "", "0", "1", "2"};
    for (int i = 0; i < 5; ++i) {
        v[i] = new ImageEtiree(contenu);
        v[i]->setGeometry(xs[i], 32, 160, 120);
        v[i]->setCursor(Qt::PointingHandCursor);
        v[i]->setObjectName(QStringLiteral("V%1").arg(i + 1));
        l[i] = new QLabel(QString::fromLatin1(textes[i]), contenu);
        l[i]->setGeometry(xs[i], 8, 161, 17);
        l[i]->setAlignment(Qt::AlignCenter);
        l[i]->setFont(police);
        l[i]->setObjectName(QStringLiteral("LAB%1").arg(i + 1));
        colorer(l[i], kNoir);
    }
    V1 = v[0], V2 = v[1], V3 = v[2], V4 = v[3], V5 = v[4];
    LAB1 = l[0], LAB2 = l[1], LAB3 = l[2], LAB4 = l[3], LAB5 = l[4];

    kase = new QFrame(contenu);
    kase->setObjectName(QStringLiteral("kase"));
    kase->setGeometry(339, 27, 170, 130);
    kase->setStyleSheet(
        QStringLiteral("QFrame#kase { border: 3px solid black; background: transparent; }"));
    kase->setAttribute(Qt::WA_TransparentForMouseEvents);

    SCR = new QScrollBar(Qt::Horizontal, contenu);
    SCR->setObjectName(QStringLiteral("SCR"));
    SCR->setGeometry(8, 160, 833, 17);
    SCR->setRange(0, 100);
    SCR->setValue(0);
    SCR->setSingleStep(1);
    SCR->setPageStep(5);
    SCR->setTracking(true);
    setWidget(contenu);

    connect(SCR, &QScrollBar::valueChanged, this, [this] { SCRChange(); });
    connect(V1, &ImageEtiree::clique, this, [this] { V1Click(); });
    connect(V2, &ImageEtiree::clique, this, [this] { V2Click(); });
    connect(V4, &ImageEtiree::clique, this, [this] { V4Click(); });
    connect(V5, &ImageEtiree::clique, this, [this] { V5Click(); });
}

void BandeFilm::relier(QLabel* limages, QLabel* labS, const ImageEtiree* bb) {
    limages_ = limages;
    labS_ = labS;
    bb_ = bb;
    for (ImageEtiree* v : vues())
        v->setImage(placeholder());
}

QImage BandeFilm::placeholder() const {
    return bb_ ? bb_->image() : QImage();
}

void BandeFilm::rafraichirBande() {
    const auto v = vues();
    const auto l = etiquettes();
    if (p_.nbImages == 0) {
        const char* textes[5] = {"", "", "0", "1", "2"};
        for (int s = 0; s < 5; ++s) {
            v[s]->setImage(placeholder());
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
                v[s]->setImage(placeholder());
            }
        }
        SCR->setEnabled(p_.nbImages > 5);
        {
            // The range changes without notification: lowering the maximum below the old
            // position must not move the current frame the command has just set.
            const QSignalBlocker silence(SCR);
            SCR->setRange(0, p_.nbImages - 1);
        }
        // A new position notifies, and SCRChange refreshes once more with the same frame.
        SCR->setValue(p_.imageCourante);
    }
    afficherNombreImages();
    afficherSelection();
}

void BandeFilm::afficherNombreImages() {
    if (!limages_) return;
    limages_->setText(QString::number(p_.nbImages) +
                      (p_.nbImages > 1 ? QStringLiteral(" images") : QStringLiteral(" image")));
}

void BandeFilm::afficherSelection() {
    if (!labS_) return;
    auto borne = [](qint32 b) { return b == -1 ? QStringLiteral("?") : QString::number(b); };
    labS_->setText(borne(p_.selDebut) + QStringLiteral(" -> ") + borne(p_.selFin));
}

void BandeFilm::SCRChange() {
    if (p_.nbImages <= 0) return;
    p_.imageCourante = SCR->value();
    rafraichirBande();
}

void BandeFilm::V1Click() {
    if (SCR->value() > SCR->minimum() + 1) SCR->setValue(SCR->value() - 2);
}

void BandeFilm::V2Click() {
    if (SCR->value() > SCR->minimum()) SCR->setValue(SCR->value() - 1);
}

void BandeFilm::V4Click() {
    if (SCR->value() < SCR->maximum()) SCR->setValue(SCR->value() + 1);
}

void BandeFilm::V5Click() {
    if (SCR->value() < SCR->maximum() - 1) SCR->setValue(SCR->value() + 2);
}

void BandeFilm::SGClick() {
    if (p_.imageCourante < 0) return;
    p_.selDebut = p_.imageCourante;
    if (p_.selFin == -1 || p_.selFin < p_.selDebut) p_.selFin = p_.selDebut;
    rafraichirBande();
}

void BandeFilm::SFClick() {
    if (p_.imageCourante < 0) return;
    p_.selFin = p_.imageCourante;
    if (p_.selDebut == -1 || p_.selDebut > p_.selFin) p_.selDebut = p_.selFin;
    rafraichirBande();
}

void BandeFilm::SpeedButton17Click() {
    if (!verifierProjet(p_)) return;
    if (p_.nbImages == 0) return;
    p_.selDebut = -1;
    p_.selFin = -1;
    rafraichirBande();
}

}  // namespace vp
