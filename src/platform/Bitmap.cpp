// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bitmap.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "Chemins.h"
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

qint64 tailleBitmap24(QSize taille) {
    const qint64 pas = ((static_cast<qint64>(std::max(taille.width(), 0)) * 24 + 31) / 32) * 4;
    return 54 + pas * std::max(taille.height(), 0);
}

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

int lire16(const uchar* p) {
    return p[0] | (p[1] << 8);
}

// A bitmap file: its headers must describe pixel data that the file really holds. The 24-bit
// uncompressed ones (this program's frames) are read straight into a blue-green-red picture,
// row by row; the other depths, once checked, by the toolkit's bitmap reader. Null when the
// file fails the checks.
QImage lireBitmap(const QByteArray& o) {
    constexpr qint64 kEnTeteFichier = 14;
    const qint64 taille = o.size();
    if (taille < kEnTeteFichier + 40) return {};
    const auto* p = reinterpret_cast<const uchar*>(o.constData());
    const qint64 debut = lire32(p + 10);
    const qint64 tailleEnTete = lire32(p + 14);
    // Widths and heights as signed 32-bit numbers, held wider so that none overflows.
    const qint64 largeur = static_cast<qint32>(lire32(p + 18));
    const qint64 hauteur = static_cast<qint32>(lire32(p + 22));
    const int plans = lire16(p + 26);
    const int bits = lire16(p + 28);
    const quint32 compression = lire32(p + 30);
    const qint64 couleurs = lire32(p + 46);
    if (tailleEnTete < 40 || tailleEnTete > 124 || plans != 1) return {};
    if (largeur <= 0 || largeur > 32768 || hauteur == 0 || hauteur < -32768 || hauteur > 32768)
        return {};
    const bool masques = compression == 3 && (bits == 16 || bits == 32);
    if (compression != 0 && !masques) return {};
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return {};
    // The colour table (or the three masks) lies between the headers and the pixels.
    qint64 table = masques && tailleEnTete == 40 ? 12 : 0;
    if (bits <= 8) {
        if (couleurs > (qint64{1} << bits)) return {};
        table = 4 * (couleurs ? couleurs : qint64{1} << bits);
    }
    const qint64 h = hauteur < 0 ? -hauteur : hauteur;
    const qint64 pas = ((largeur * bits + 31) / 32) * 4;
    if (debut < kEnTeteFichier + tailleEnTete + table || debut + pas * h > taille) return {};
    if (bits != 24) return QImage::fromData(o, "BMP");
    QImage image(static_cast<int>(largeur), static_cast<int>(h), QImage::Format_BGR888);
    if (image.isNull()) return {};
    for (qint64 y = 0; y < h; ++y) {
        const qint64 ligne = hauteur > 0 ? h - 1 - y : y;  // positive height: bottom-up rows
        std::memcpy(image.scanLine(static_cast<int>(y)), p + debut + pas * ligne,
                    static_cast<size_t>(largeur) * 3);
    }
    return image;
}

}  // namespace

QImage lireImage(const QByteArray& octets) {
    // A damaged bitmap is never handed to another reader, which would show random bytes.
    if (octets.startsWith("BM")) return lireBitmap(octets);
    return QImage::fromData(octets);
}

QImage chargerImage(const QString& chemin) {
    const QString nom = QDir::toNativeSeparators(cheminLisible(chemin));
    QByteArray octets;
    {
        const int fd = ::open(octetsDuChemin(chemin).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw Erreur(QStringLiteral("Impossible de lire l'image « %1 » : %2")
                             .arg(nom, raisonSysteme(errno)));
        QFile fichier;
        const bool ouvert = fichier.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
        if (!ouvert) ::close(fd);
        if (ouvert) octets = fichier.readAll();
        if (!ouvert || fichier.error() != QFileDevice::NoError)
            throw Erreur(QStringLiteral("Impossible de lire l'image « %1 »").arg(nom));
    }
    const QImage image = lireImage(octets);
    if (image.isNull())
        throw Erreur(
            QStringLiteral("Impossible de lire l'image « %1 », le fichier est abîmé").arg(nom));
    return image;
}

}  // namespace vp
