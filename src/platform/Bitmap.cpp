#include "Bitmap.h"

#include <QDir>
#include <QFile>
#include <cstring>

#include "Erreur.h"
#include "FichiersSurs.h"

namespace vp {

namespace {

void mettre16(char* p, quint16 v) {
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>(v >> 8);
}

void mettre32(char* p, quint32 v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

QByteArray bitmap24(const QImage& image) {
    const QImage bgr = image.format() == QImage::Format_BGR888
                           ? image
                           : image.convertToFormat(QImage::Format_BGR888);
    const int largeur = bgr.width();
    const int hauteur = bgr.height();
    const quint32 pas = ((static_cast<quint32>(largeur) * 24 + 31) / 32) * 4;
    const quint32 tailleImage = pas * static_cast<quint32>(hauteur);
    QByteArray octets(static_cast<qsizetype>(54 + tailleImage), '\0');
    char* p = octets.data();
    p[0] = 'B';
    p[1] = 'M';
    mettre32(p + 2, 54 + tailleImage);
    mettre32(p + 10, 54);
    mettre32(p + 14, 40);
    mettre32(p + 18, static_cast<quint32>(largeur));
    mettre32(p + 22, static_cast<quint32>(hauteur));
    mettre16(p + 26, 1);
    mettre16(p + 28, 24);
    mettre32(p + 34, tailleImage);
    mettre32(p + 38, 2835);  // 72 dots per inch
    mettre32(p + 42, 2835);
    const size_t utile = static_cast<size_t>(largeur) * 3;
    for (int y = 0; y < hauteur; ++y)
        std::memcpy(p + 54 + static_cast<qsizetype>(pas) * (hauteur - 1 - y), bgr.constScanLine(y),
                    utile);
    return octets;
}

void ecrireBitmap24(const QImage& image, const QString& chemin) {
    ecrireAtomique(chemin, bitmap24(image));
}

namespace {

quint32 lire32(const uchar* p) {
    return static_cast<quint32>(p[0]) | (static_cast<quint32>(p[1]) << 8) |
           (static_cast<quint32>(p[2]) << 16) | (static_cast<quint32>(p[3]) << 24);
}

// The frames this program writes are 24-bit uncompressed bitmaps: they are read straight into a
// blue-green-red picture, row by row. Anything else goes through the toolkit's readers.
QImage lireBitmap24(const QByteArray& o) {
    if (o.size() < 54 || o[0] != 'B' || o[1] != 'M') return {};
    const auto* p = reinterpret_cast<const uchar*>(o.constData());
    const quint32 debut = lire32(p + 10);
    const quint32 tailleEnTete = lire32(p + 14);
    const auto largeur = static_cast<qint32>(lire32(p + 18));
    const auto hauteur = static_cast<qint32>(lire32(p + 22));
    const int bits = p[28] | (p[29] << 8);
    const quint32 compression = lire32(p + 30);
    if (tailleEnTete < 40 || bits != 24 || compression != 0 || largeur <= 0 || hauteur == 0 ||
        largeur > 32768 || std::abs(hauteur) > 32768)
        return {};
    const int h = std::abs(hauteur);
    const qint64 pas = ((static_cast<qint64>(largeur) * 24 + 31) / 32) * 4;
    if (debut < 54 || static_cast<qint64>(debut) + pas * h > o.size()) return {};
    QImage image(largeur, h, QImage::Format_BGR888);
    if (image.isNull()) return {};
    for (int y = 0; y < h; ++y) {
        const int ligne = hauteur > 0 ? h - 1 - y : y;  // positive height: bottom-up rows
        std::memcpy(image.scanLine(y), p + debut + pas * ligne, static_cast<size_t>(largeur) * 3);
    }
    return image;
}

}  // namespace

QImage chargerImage(const QString& chemin) {
    QFile fichier(chemin);
    QImage image;
    if (fichier.open(QIODevice::ReadOnly)) {
        const QByteArray octets = fichier.readAll();
        image = lireBitmap24(octets);
        if (image.isNull()) image = QImage::fromData(octets);
    }
    if (image.isNull())
        throw Erreur(QStringLiteral("Impossible de lire l'image « %1 »")
                         .arg(QDir::toNativeSeparators(chemin)));
    return image;
}

}  // namespace vp
