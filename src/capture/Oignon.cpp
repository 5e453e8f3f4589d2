// SPDX-License-Identifier: GPL-3.0-or-later
#include "Oignon.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vp {

namespace {

// x / 100 for x up to 25550 = 255 x 100 + 50, as ((x >> 2) x 5243) >> 17: in 16-bit lanes
// (a multiply-high), so that the compiler turns the loops into vector code.
inline uint16_t centieme(uint16_t x) {
    return static_cast<uint16_t>(
        static_cast<uint16_t>((static_cast<uint32_t>(x >> 2) * 5243u) >> 16) >> 1);
}

// MulDiv(v, w, 100) for a byte and a weight in percent.
inline uint16_t partDe(uchar v, uint16_t w) {
    return centieme(static_cast<uint16_t>(v * w + 50));
}

// d := min(255, a + b), byte per byte.
void ajouterSature(const uchar* __restrict a, const uchar* __restrict b, uchar* __restrict d,
                   int octets) {
    int i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= octets; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i),
                         _mm_adds_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i))));
#endif
    for (; i < octets; ++i) {
        const unsigned somme = static_cast<unsigned>(a[i]) + b[i];
        d[i] = static_cast<uchar>(somme > 255 ? 255 : somme);
    }
}

}  // namespace

void etirerRapide(const QImage& source, QImage& cible) {
    if (cible.format() != QImage::Format_RGB888)
        cible = cible.convertToFormat(QImage::Format_RGB888);
    const int tl = cible.width();
    const int th = cible.height();
    const int sl = source.width();
    const int sh = source.height();
    if (tl <= 0 || th <= 0 || sl <= 0 || sh <= 0) return;
    const QImage* src = &source;
    QImage converti;
    const bool octets3 = source.format() == QImage::Format_RGB888;
    const bool inverse = source.format() == QImage::Format_BGR888;  // blue first
    const bool octets4 =
        source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32;
    if (!octets3 && !octets4 && !inverse) {
        converti = source.convertToFormat(QImage::Format_RGB888);
        src = &converti;
    }
    std::vector<int> colonnes(static_cast<size_t>(tl));
    for (int x = 0; x < tl; ++x)
        colonnes[static_cast<size_t>(x)] = static_cast<int>(static_cast<qint64>(x) * sl / tl);
    for (int y = 0; y < th; ++y) {
        const uchar* s = src->constScanLine(static_cast<int>(static_cast<qint64>(y) * sh / th));
        uchar* d = cible.scanLine(y);
        if (octets4 && src == &source) {
            // 0xAARRGGBB words: bytes B, G, R, A in memory.
            for (int x = 0; x < tl; ++x) {
                const uchar* px = s + 4 * colonnes[static_cast<size_t>(x)];
                d[3 * x] = px[2];
                d[3 * x + 1] = px[1];
                d[3 * x + 2] = px[0];
            }
        } else if (inverse && src == &source) {
            for (int x = 0; x < tl; ++x) {
                const uchar* px = s + 3 * colonnes[static_cast<size_t>(x)];
                d[3 * x] = px[2];
                d[3 * x + 1] = px[1];
                d[3 * x + 2] = px[0];
            }
        } else {
            for (int x = 0; x < tl; ++x) {
                const uchar* px = s + 3 * colonnes[static_cast<size_t>(x)];
                d[3 * x] = px[0];
                d[3 * x + 1] = px[1];
                d[3 * x + 2] = px[2];
            }
        }
    }
}

void melanger(const QImage& image, const QImage& camera, int t, QImage& sortie) {
    const int largeur = image.width();
    const int hauteur = image.height();
    const auto wa = static_cast<uint16_t>(100 - t);
    const auto wb = static_cast<uint16_t>(t);
    const int octets = largeur * 3;
    for (int y = 0; y < hauteur; ++y) {
        const uchar* a = image.constScanLine(y);
        const uchar* b = camera.constScanLine(y);
        uchar* d = sortie.scanLine(y);
        for (int i = 0; i < octets; ++i) {
            const uint16_t p = partDe(a[i], wa);
            const uint16_t q = partDe(b[i], wb);
            const uint16_t somme = static_cast<uint16_t>(p + q);
            d[i] = static_cast<uchar>(somme > 255 ? 255 : somme);
        }
    }
}

PoidsOignon poidsOignon(int t, int nombre) {
    PoidsOignon p;
    t = std::clamp(t, 0, 100);
    const int courante = 100 - t;
    p.couches[0] = courante;
    int n = std::clamp(nombre, 1, kCouchesMax);
    int anciennes = 0;
    for (; n > 1; --n) {
        // The older frames n, n - 1, ..., 2 add up to `total` parts, the current frame n + 1.
        const int total = n * (n + 1) / 2 - 1;
        const int part = std::min({t / 2, courante, courante * total / (n + 1)});
        // At least one percent between two of them, else one frame less.
        if (part < total) continue;
        // Largest remainders: the whole percents add up to the part, and since two exact weights
        // are at least one apart, the rounded ones stay in strictly decreasing order, below the
        // current frame's (the first is at most n / (n + 1) of it, a percent less at least).
        std::array<int, kCouchesMax> restes{};
        int donne = 0;
        for (int k = 1; k < n; ++k) {
            const int exact = part * (n + 1 - k);  // in 1 / total of a percent
            p.couches[static_cast<size_t>(k)] = exact / total;
            restes[static_cast<size_t>(k)] = exact % total;
            donne += exact / total;
        }
        for (; donne < part; ++donne) {
            size_t plusGrand = 1;
            for (size_t k = 2; k < static_cast<size_t>(n); ++k)
                if (restes[k] > restes[plusGrand]) plusGrand = k;
            ++p.couches[plusGrand];
            restes[plusGrand] = -1;
        }
        anciennes = part;
        break;
    }
    p.nombre = n;
    p.camera = t - anciennes;
    return p;
}

void preparerFond(const std::vector<QImage>& couches, const PoidsOignon& poids, QImage& fond) {
    const int largeur = fond.width();
    const int hauteur = fond.height();
    const bool mots = fond.format() == QImage::Format_RGB32;
    std::vector<const QImage*> utiles;
    std::vector<uint16_t> poidsUtiles;
    for (size_t k = 0; k < couches.size() && k < static_cast<size_t>(poids.nombre); ++k)
        if (couches[k].size() == fond.size() && couches[k].format() == QImage::Format_RGB888 &&
            poids.couches[k] > 0) {
            utiles.push_back(&couches[k]);
            poidsUtiles.push_back(static_cast<uint16_t>(poids.couches[k]));
        }
    const int octets = largeur * 3;
    std::vector<uint16_t> somme(static_cast<size_t>(octets));
    for (int y = 0; y < hauteur; ++y) {
        std::fill(somme.begin(), somme.end(), uint16_t{0});
        for (size_t k = 0; k < utiles.size(); ++k) {
            const uchar* s = utiles[k]->constScanLine(y);
            const uint16_t w = poidsUtiles[k];
            uint16_t* __restrict t = somme.data();
            for (int i = 0; i < octets; ++i)
                t[i] = static_cast<uint16_t>(t[i] + partDe(s[i], w));
        }
        uchar* d = fond.scanLine(y);
        if (mots) {
            auto* m = reinterpret_cast<quint32*>(d);
            for (int x = 0; x < largeur; ++x)
                m[x] = 0xFF000000u | std::min<quint32>(255u, somme[3 * x]) << 16 |
                       std::min<quint32>(255u, somme[3 * x + 1]) << 8 |
                       std::min<quint32>(255u, somme[3 * x + 2]);
        } else {
            for (int i = 0; i < octets; ++i)
                d[i] = static_cast<uchar>(std::min<uint16_t>(255, somme[static_cast<size_t>(i)]));
        }
    }
}

void ajouterCamera(const QImage& fond, const QImage& camera, int poids, QImage& sortie) {
    const auto w = static_cast<uint16_t>(poids);
    const int octets = fond.width() * 3;
    for (int y = 0; y < fond.height(); ++y) {
        const uchar* __restrict a = fond.constScanLine(y);
        const uchar* __restrict b = camera.constScanLine(y);
        uchar* __restrict d = sortie.scanLine(y);
        for (int i = 0; i < octets; ++i) {
            const uint16_t somme = static_cast<uint16_t>(a[i] + partDe(b[i], w));
            d[i] = static_cast<uchar>(somme > 255 ? 255 : somme);
        }
    }
}

void CompositionPleinEcran::composer(const QImage& fond, const QImage& camera, int poids,
                                     QImage& sortie) {
    const QSize cible = fond.size();
    if (sortie.size() != cible || sortie.format() != QImage::Format_RGB32)
        sortie = QImage(cible, QImage::Format_RGB32);
    const QImage* source = &camera;
    QImage convertie;
    if (camera.format() != QImage::Format_RGB888) {
        convertie = camera.convertToFormat(QImage::Format_RGB888);
        source = &convertie;
    }
    const int sl = source->width();
    const int sh = source->height();
    const int tl = cible.width();
    const int th = cible.height();
    if (sl <= 0 || sh <= 0 || tl <= 0 || th <= 0) return;
    if (source->size() != source_ || cible != cible_) {
        source_ = source->size();
        cible_ = cible;
        colonnes_.resize(static_cast<size_t>(tl));
        for (int x = 0; x < tl; ++x)
            colonnes_[static_cast<size_t>(x)] = static_cast<int>(static_cast<qint64>(x) * sl / tl);
        ligneSource_.resize(static_cast<size_t>(sl));
        ligneEtiree_.resize(static_cast<size_t>(tl));
    }
    if (poids != poidsTable_) {
        for (int v = 0; v < 256; ++v)
            table_[static_cast<size_t>(v)] =
                static_cast<quint32>(partDe(static_cast<uchar>(v), static_cast<uint16_t>(poids)));
        poidsTable_ = poids;
    }
    int ligneFaite = -1;
    for (int y = 0; y < th; ++y) {
        // A camera row is weighed and stretched once for all the view's rows it covers.
        const int sy = static_cast<int>(static_cast<qint64>(y) * sh / th);
        if (sy != ligneFaite) {
            const uchar* s = source->constScanLine(sy);
            quint32* __restrict l = ligneSource_.data();
            for (int x = 0; x < sl; ++x)
                l[x] = table_[s[3 * x]] << 16 | table_[s[3 * x + 1]] << 8 | table_[s[3 * x + 2]];
            quint32* __restrict e = ligneEtiree_.data();
            const int* __restrict c = colonnes_.data();
            for (int x = 0; x < tl; ++x)
                e[x] = l[c[x]];
            ligneFaite = sy;
        }
        // Byte by byte, the camera's part never reaching the opaque alpha byte.
        ajouterSature(fond.constScanLine(y), reinterpret_cast<const uchar*>(ligneEtiree_.data()),
                      sortie.scanLine(y), 4 * tl);
    }
}

QRectF cadre169(const QRectF& zone, QSizeF proportions) {
    if (proportions.isEmpty()) proportions = zone.size();
    // In the picture's own pixels, then carried into the zone.
    const qreal l = proportions.width(), h = proportions.height();
    QRectF cadre;
    if (l * 9 > h * 16)
        cadre = QRectF((l - h * 16 / 9) / 2, 0, h * 16 / 9, h);
    else
        cadre = QRectF(0, (h - l * 9 / 16) / 2, l, l * 9 / 16);
    const qreal ex = zone.width() / l, ey = zone.height() / h;
    return {zone.left() + cadre.left() * ex, zone.top() + cadre.top() * ey, cadre.width() * ex,
            cadre.height() * ey};
}

QVector<QLineF> lignesReperes(Reperes reperes, const QRectF& zone, QSizeF proportions) {
    const qreal x = zone.left(), y = zone.top(), l = zone.width(), h = zone.height();
    switch (reperes) {
        case Reperes::Aucun:
            return {};
        case Reperes::Tiers:
            return {QLineF(x + l / 3, y, x + l / 3, y + h),
                    QLineF(x + 2 * l / 3, y, x + 2 * l / 3, y + h),
                    QLineF(x, y + h / 3, x + l, y + h / 3),
                    QLineF(x, y + 2 * h / 3, x + l, y + 2 * h / 3)};
        case Reperes::Croix: {
            const QPointF c = zone.center();
            const qreal bras = std::min(l, h) / 10;
            return {QLineF(c.x() - bras, c.y(), c.x() + bras, c.y()),
                    QLineF(c.x(), c.y() - bras, c.x(), c.y() + bras)};
        }
        case Reperes::Cadre169: {
            const QRectF c = cadre169(zone, proportions);
            return {QLineF(c.topLeft(), c.topRight()), QLineF(c.topRight(), c.bottomRight()),
                    QLineF(c.bottomRight(), c.bottomLeft()), QLineF(c.bottomLeft(), c.topLeft())};
        }
    }
    return {};
}

void dessinerReperes(QPainter& peintre, Reperes reperes, const QRectF& zone, QSizeF proportions,
                     qreal epaisseur) {
    if (reperes == Reperes::Aucun || zone.isEmpty()) return;
    peintre.save();
    // Upright lines only: sharp without antialiasing, and cheap over a whole screen.
    peintre.setRenderHint(QPainter::Antialiasing, false);
    if (reperes == Reperes::Cadre169) {
        // What a 16:9 video leaves out is dimmed.
        QPainterPath dehors;
        dehors.addRect(zone);
        dehors.addRect(cadre169(zone, proportions));
        dehors.setFillRule(Qt::OddEvenFill);
        peintre.fillPath(dehors, QColor(0, 0, 0, 100));
    }
    const QVector<QLineF> lignes = lignesReperes(reperes, zone, proportions);
    peintre.setPen(QPen(QColor(0, 0, 0, 150), epaisseur + 2));
    peintre.drawLines(lignes);
    peintre.setPen(QPen(QColor(255, 255, 255, 220), epaisseur));
    peintre.drawLines(lignes);
    peintre.restore();
}

}  // namespace vp
