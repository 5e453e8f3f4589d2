// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace vp {

// A Windows bitmap file of 24 bits per pixel (BITMAPFILEHEADER + BITMAPINFOHEADER, rows from
// the bottom up, each padded to four bytes) holding `image`.
QByteArray bitmap24(const QImage& image);
// The size in bytes of that file for a picture of `taille`.
qint64 tailleBitmap24(QSize taille);

// Writes `image` as a 24-bit bitmap at `chemin`, atomically (see FichiersSurs.h).
void ecrireBitmap24(const QImage& image, const QString& chemin);

// A picture from the bytes of its file: a bitmap only when it passes our checks, other formats
// (PNG, JPEG…) through the toolkit's readers; a null picture when they cannot be read.
QImage lireImage(const QByteArray& octets);

// Loads a picture file; raises Erreur naming the file when it is missing, unreadable or damaged.
QImage chargerImage(const QString& chemin);

}  // namespace vp
