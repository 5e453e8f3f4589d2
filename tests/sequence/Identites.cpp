// SPDX-License-Identifier: GPL-3.0-or-later
#include "Identites.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>

#include "platform/Bitmap.h"

namespace vp::test {

int identiteFichier(const QString& chemin) {
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray o = f.readAll();
    static const QByteArray attendu = bitmap24(imageIdentite(0));
    if (o.size() != attendu.size() || o.left(54) != attendu.left(54)) return -1;
    const auto* p = reinterpret_cast<const uchar*>(o.constData()) + 54;
    const int id = p[2] | (p[1] << 8);  // blue, green, red
    for (int i = 0; i < o.size() - 54; i += 3)
        if (p[i] != 0x5A || p[i + 1] != p[1] || p[i + 2] != p[2]) return -1;
    return id;
}

int identiteRapide(const QString& chemin) {
    const int fd = ::open(QFile::encodeName(chemin).constData(), O_RDONLY);
    if (fd < 0) return -1;
    unsigned char bgr[3] = {};
    const bool lu = ::pread(fd, bgr, 3, 54) == 3;
    ::close(fd);
    return lu ? (bgr[2] | (bgr[1] << 8)) : -1;
}

}  // namespace vp::test
