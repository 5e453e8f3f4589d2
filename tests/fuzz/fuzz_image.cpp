// SPDX-License-Identifier: GPL-3.0-or-later
// The frame reader on any bytes: a picture or a null picture, never a crash nor a picture made
// of bytes the file does not hold.

#include <cstddef>
#include <cstdint>

#include "platform/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille) {
    const QByteArray octets = QByteArray::fromRawData(reinterpret_cast<const char*>(donnees),
                                                      static_cast<qsizetype>(taille));
    const QImage image = vp::lireImage(octets);
    // A 24-bit bitmap accepted holds at least three bytes per pixel.
    if (!image.isNull() && octets.startsWith("BM") && image.format() == QImage::Format_BGR888 &&
        static_cast<qint64>(image.width()) * image.height() * 3 > static_cast<qint64>(taille))
        __builtin_trap();
    return 0;
}
