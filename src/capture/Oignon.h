// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRectF>
#include <QVector>
#include <array>
#include <vector>

class QPainter;

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

// --- Onion-skin layers ---

inline constexpr int kCouchesMax = 5;

// The weights, in percent, of the frames under the camera picture: the current frame first,
// then each older frame. The current frame keeps what the track bar gives it with one layer,
// 100 - t, whatever the number of layers: the picture the next one follows looks the same. The
// older frames are faint trails, each paler than the one after it (in the proportions n, n - 1,
// ..., 2 against n + 1 for the current frame, or less), and their weight is taken from the
// camera's: never more than half of it, so that the live picture the animator moves against
// stays clearly seen, and never more, all together, than the current frame's. When that leaves
// too little to give each of them a weight of its own (the track bar near either end), the
// oldest are left out (`nombre` says how many are used). One layer gives the plain blend.
struct PoidsOignon {
    int nombre = 1;
    std::array<int, kCouchesMax> couches{};
    int camera = 0;  // t less what the older frames take; the sum is 100
};
PoidsOignon poidsOignon(int t, int nombre);

// The frames' part of the onion skin, made once while the current frame and the weights stay:
// each byte of `fond` := min(255, sum over k of MulDiv(byte of couches[k], weight k, 100)).
// The layers are 24-bit pictures of `fond`'s size (RGB888); `fond` keeps its size and is 24-bit
// (RGB888) or 32-bit (RGB32, opaque), as the view it feeds wants.
void preparerFond(const std::vector<QImage>& couches, const PoidsOignon& poids, QImage& fond);

// The onion skin of one camera frame: each byte of `sortie` := min(255, byte of `fond` +
// MulDiv(byte of `camera`, poids, 100)). All three RGB888 and of one size. With one layer this
// is exactly melanger().
void ajouterCamera(const QImage& fond, const QImage& camera, int poids, QImage& sortie);

// The same for the full-screen view: `camera` (RGB888, any size) is stretched by nearest
// neighbour onto `fond` (RGB32) as it is added, into `sortie` (RGB32, made at `fond`'s size).
// What depends only on the two sizes is kept from one frame to the next.
class CompositionPleinEcran {
public:
    void composer(const QImage& fond, const QImage& camera, int poids, QImage& sortie);

private:
    QSize source_, cible_;
    std::vector<int> colonnes_;
    int poidsTable_ = -1;
    std::array<quint32, 256> table_{};  // MulDiv(v, poids, 100) for every byte v
    std::vector<quint32> ligneSource_;  // one camera row weighed, as RGB32 words
    std::vector<quint32> ligneEtiree_;  // stretched to the view's width
};

// --- Guides ---

// Drawn over the live picture only, never into a picture taken.
enum class Reperes { Aucun, Tiers, Croix, Cadre169 };

// Where the largest 16:9 part of a picture of these proportions lies once the picture is shown
// in `zone` (stretched or not): the part a wide video would keep.
QRectF cadre169(const QRectF& zone, QSizeF proportions);
// The lines of the guides over a picture of these proportions shown in `zone` (the 16:9 frame
// as its four sides).
QVector<QLineF> lignesReperes(Reperes reperes, const QRectF& zone, QSizeF proportions);
// Draws them: light lines with a dark edge, seen on any scene; outside the 16:9 frame the
// picture is dimmed. `epaisseur` is the width of the light line.
void dessinerReperes(QPainter& peintre, Reperes reperes, const QRectF& zone, QSizeF proportions,
                     qreal epaisseur);

}  // namespace vp
