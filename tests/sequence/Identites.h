// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Frames that carry a number: every pixel of a small bitmap holds it, so that a torn file
// shows, and a frame can be followed through the commands that move and copy it.

#include <QImage>
#include <QString>

namespace vp::test {

inline constexpr int kLargeurIdentite = 64;
inline constexpr int kHauteurIdentite = 48;

inline QImage imageIdentite(int id) {
    QImage i(kLargeurIdentite, kHauteurIdentite, QImage::Format_RGB888);
    i.fill(QColor(id & 0xFF, (id >> 8) & 0xFF, 0x5A));
    return i;
}

// The number of a frame file, or -1 when it is not a whole, well-formed frame.
int identiteFichier(const QString& chemin);
// The number read from the first pixel alone (quick, for a file known to be whole).
int identiteRapide(const QString& chemin);

}  // namespace vp::test
