#include "Bitmap.h"

#include <QDir>
#include <QImageReader>
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

QImage chargerImage(const QString& chemin) {
    QImageReader lecteur(chemin);
    QImage image = lecteur.read();
    if (image.isNull())
        throw Erreur(QStringLiteral("Impossible de lire l'image « %1 »")
                         .arg(QDir::toNativeSeparators(chemin)));
    return image;
}

}  // namespace vp
