#include "Oignon.h"

#include <algorithm>
#include <vector>

namespace vp {

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
    // x / 100 for x up to 25550 = 255 x 100 + 50 as ((x >> 2) x 5243) >> 17: in 16-bit lanes
    // (a multiply-high), so that the compiler turns the loop into vector code.
    auto centieme = [](uint16_t x) {
        return static_cast<uint16_t>(
            static_cast<uint16_t>((static_cast<uint32_t>(x >> 2) * 5243u) >> 16) >> 1);
    };
    for (int y = 0; y < hauteur; ++y) {
        const uchar* a = image.constScanLine(y);
        const uchar* b = camera.constScanLine(y);
        uchar* d = sortie.scanLine(y);
        for (int i = 0; i < octets; ++i) {
            const uint16_t p = centieme(static_cast<uint16_t>(a[i] * wa + 50));
            const uint16_t q = centieme(static_cast<uint16_t>(b[i] * wb + 50));
            const uint16_t somme = static_cast<uint16_t>(p + q);
            d[i] = static_cast<uchar>(somme > 255 ? 255 : somme);
        }
    }
}

}  // namespace vp
