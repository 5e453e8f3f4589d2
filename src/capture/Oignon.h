#pragma once

#include <QImage>

namespace vp {

// MulDiv(v, w, 100) for the non-negative values of the onion skin: v × w / 100 rounded to the
// nearest integer, halves up.
constexpr int mulDiv100(int v, int w) {
    return (v * w + 50) / 100;
}

// Stretches the whole of `source` (any size, 24 or 32 bits) onto `cible`, a 24-bit picture
// whose size is kept, by nearest neighbour (as a plain stretched draw does).
void etirerRapide(const QImage& source, QImage& cible);

// The onion skin: each byte of `sortie` := MulDiv(a, 100 - t, 100) + MulDiv(b, t, 100),
// limited to 255, with a and b the bytes of `image` and `camera` at that place. The three
// pictures are 24-bit and of one size.
void melanger(const QImage& image, const QImage& camera, int t, QImage& sortie);

}  // namespace vp
