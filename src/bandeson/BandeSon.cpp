// SPDX-License-Identifier: GPL-3.0-or-later
#include "BandeSon.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "Enveloppe.h"

namespace vp {

namespace {

const QColor kFond(247, 247, 242);
const QColor kBord(180, 180, 180);
const QColor kOnde(30, 80, 200);
const QColor kTemps(60, 154, 95);
const QColor kChoisie(255, 190, 60, 150);
const QColor kBordChoisie(215, 115, 0);
constexpr double kMarge = 6;  // above and below the waveform, for the frame marks

}  // namespace

QString texteDuree(double secondes) {
    const int s = std::max(0, static_cast<int>(std::floor(secondes + 1e-9)));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

BandeSon::BandeSon(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void BandeSon::montrerTexte(const QString& texte) {
    mode_ = Mode::Texte;
    texte_ = texte;
    update();
}

void BandeSon::montrerTemps(double ecoule, double total) {
    mode_ = Mode::Temps;
    ecoule = std::clamp(ecoule, 0.0, std::max(total, 0.0));
    fraction_ = total > 0 ? ecoule / total : 0;
    // The whole seconds gone, and the seconds left counted up: « reste 0:00 » only at the end.
    texte_ = texteDuree(ecoule) + QStringLiteral(" — reste ") +
             texteDuree(std::ceil(total - ecoule - 1e-9));
    update();
}

void BandeSon::montrerFormeOnde(std::shared_ptr<const Enveloppe> enveloppe, int images,
                                double periodeS) {
    mode_ = Mode::FormeOnde;
    texte_.clear();
    enveloppe_ = std::move(enveloppe);
    images_ = std::max(0, images);
    periode_ = periodeS > 0 ? periodeS : 0;
    if (periode_ == 0) images_ = 0;
    choisie_ = images_ > 0 ? std::clamp(choisie_, 0, images_ - 1) : -1;
    update();
}

void BandeSon::choisirImage(int index) {
    if (images_ == 0) return;
    choisie_ = std::clamp(index, 0, images_ - 1);
    update();
}

double BandeSon::echelle() const {
    const double duree = std::max(enveloppe_ ? enveloppe_->duree() : 0.0, images_ * periode_);
    if (duree <= 0) return 1;
    const double toutVoir = width() / duree;
    if (images_ == 0 || toutVoir * periode_ >= kPixelsParImageMin) return toutVoir;
    return kPixelsParImageMin / periode_;
}

double BandeSon::origine() const {
    const double s = echelle();
    const double duree = std::max(enveloppe_ ? enveloppe_->duree() : 0.0, images_ * periode_);
    const double visible = width() / s;
    if (duree <= visible || choisie_ < 0) return 0;
    // The chosen frame in the middle, as far as the track goes.
    const double centre = (choisie_ + 0.5) * periode_;
    return std::clamp(centre - visible / 2, 0.0, duree - visible);
}

int BandeSon::imageEnX(int x) const {
    if (mode_ != Mode::FormeOnde || images_ == 0) return -1;
    const double t = origine() + (x + 0.5) / echelle();
    const auto k = static_cast<int>(std::floor(t / periode_));
    return k >= 0 && k < images_ ? k : -1;
}

int BandeSon::xDeLImage(int index) const {
    return static_cast<int>(std::floor(((index + 0.5) * periode_ - origine()) * echelle()));
}

void BandeSon::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, kFond);
    if (mode_ == Mode::Temps) {
        p.fillRect(QRectF(0, 0, r.width() * fraction_, r.height()), kTemps.lighter(150));
        QFont police = font();
        police.setBold(true);
        police.setPixelSize(std::max(10, r.height() / 2));
        p.setFont(police);
        p.setPen(Qt::black);
        p.drawText(r, Qt::AlignCenter, texte_);
    } else if (mode_ == Mode::Texte) {
        QFont police = font();
        police.setItalic(true);
        p.setFont(police);
        p.setPen(QColor(110, 110, 110));
        p.drawText(r.adjusted(6, 0, -6, 0), Qt::AlignCenter | Qt::TextWordWrap, texte_);
    } else if (enveloppe_) {
        const Enveloppe& e = *enveloppe_;
        const double s = echelle(), t0 = origine();
        const auto xDe = [&](double t) { return (t - t0) * s; };
        // The chosen frame, and the sound after the last frame set apart.
        if (choisie_ >= 0)
            p.fillRect(QRectF(xDe(choisie_ * periode_), 0, periode_ * s, r.height()), kChoisie);
        if (images_ > 0)
            p.fillRect(QRectF(xDe(images_ * periode_), 0, r.width(), r.height()),
                       QColor(0, 0, 0, 22));
        // The waveform, scaled to the track's peak so that a quiet voice still shows; the
        // frame marks keep a margin of their own above and below it.
        const double milieu = r.height() / 2.0;
        const double gain = (milieu - kMarge) / std::max<int>(e.crete, 1000);
        p.setPen(QColor(200, 200, 200));
        p.drawLine(QPointF(0, milieu), QPointF(r.width(), milieu));
        p.setPen(kOnde);
        const double tranchesParSeconde =
            static_cast<double>(e.son.frequence) / std::max(1, e.tramesParTranche);
        const auto n = static_cast<int64_t>(e.tranches());
        for (int x = 0; x < r.width(); ++x) {
            const auto a = std::clamp<int64_t>(
                static_cast<int64_t>(std::floor((t0 + x / s) * tranchesParSeconde)), 0, n);
            const auto b = std::clamp<int64_t>(
                static_cast<int64_t>(std::ceil((t0 + (x + 1) / s) * tranchesParSeconde)), a, n);
            if (a >= b) continue;
            int bas = 32767, haut = -32768;
            for (int64_t i = a; i < b; ++i) {
                bas = std::min<int>(bas, e.bas[static_cast<size_t>(i)]);
                haut = std::max<int>(haut, e.haut[static_cast<size_t>(i)]);
            }
            p.drawLine(QPointF(x + 0.5, milieu - haut * gain),
                       QPointF(x + 0.5, milieu - bas * gain));
        }
        // The chosen frame framed over the waveform, so that it shows even when narrow.
        if (choisie_ >= 0) {
            p.setPen(QPen(kBordChoisie, 2));
            p.drawRect(QRectF(xDe(choisie_ * periode_), 1, periode_ * s, r.height() - 2));
        }
        // A mark at the start of each frame, top and bottom.
        p.setPen(QColor(90, 90, 90));
        const int premiere = std::max(0, static_cast<int>(std::floor(t0 / periode_)));
        for (int k = premiere; k <= images_ && k * periode_ <= t0 + r.width() / s; ++k) {
            const double x = std::round(xDe(k * periode_)) + 0.5;
            const double longueur = k % 10 == 0 ? kMarge + 3 : kMarge - 1;
            p.drawLine(QPointF(x, 0), QPointF(x, longueur));
            p.drawLine(QPointF(x, r.height() - longueur), QPointF(x, r.height()));
        }
    }
    p.setPen(hasFocus() && mode_ == Mode::FormeOnde ? kOnde : kBord);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

void BandeSon::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || mode_ != Mode::FormeOnde)
        return QWidget::mousePressEvent(e);
    setFocus(Qt::MouseFocusReason);
    const int k = imageEnX(static_cast<int>(e->position().x()));
    if (k >= 0) emit imageDemandee(k);
}

void BandeSon::keyPressEvent(QKeyEvent* e) {
    if (mode_ != Mode::FormeOnde || images_ == 0) return QWidget::keyPressEvent(e);
    int k = choisie_;
    switch (e->key()) {
        case Qt::Key_Left:
            k = std::max(0, choisie_ - 1);
            break;
        case Qt::Key_Right:
            k = std::min(images_ - 1, choisie_ + 1);
            break;
        case Qt::Key_Home:
            k = 0;
            break;
        case Qt::Key_End:
            k = images_ - 1;
            break;
        default:
            return QWidget::keyPressEvent(e);
    }
    e->accept();
    emit imageDemandee(k);
}

}  // namespace vp
