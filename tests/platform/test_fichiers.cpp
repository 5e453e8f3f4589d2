// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <climits>
#include <cstring>

#include "commun/Outils.h"
#include "platform/Bitmap.h"
#include "platform/Erreur.h"
#include "platform/ErreurApplication.h"
#include "platform/FichiersSurs.h"

using namespace vp;

namespace {

QByteArray lire(const QString& f) {
    QFile fichier(f);
    fichier.open(QIODevice::ReadOnly);
    return fichier.readAll();
}

void ecrire(const QString& f, const QByteArray& octets) {
    QFile fichier(f);
    ASSERT_TRUE(fichier.open(QIODevice::WriteOnly));
    fichier.write(octets);
}

ino_t inode(const QString& f) {
    struct stat s {};
    ::stat(QFile::encodeName(f).constData(), &s);
    return s.st_ino;
}

int nombreDeTemporaires(const QString& dossier) {
    return static_cast<int>(
        QDir(dossier)
            .entryList({QStringLiteral(".voltiplume-*")}, QDir::Files | QDir::Hidden)
            .size());
}

}  // namespace

TEST(BoiteErreur, PointFinalSelonLeDernierCaractere) {
    EXPECT_EQ(texteBoiteErreur("Add Frame Error"), "Add Frame Error.");
    EXPECT_EQ(texteBoiteErreur("Overwrite?"), "Overwrite?.");
    EXPECT_EQ(texteBoiteErreur("Erreur 12"), "Erreur 12.");
    EXPECT_EQ(texteBoiteErreur("Pas bon !"), "Pas bon !");
    EXPECT_EQ(texteBoiteErreur("Cannot make compressed stream. "),
              "Cannot make compressed stream. ");
    EXPECT_EQ(texteBoiteErreur("Fin."), "Fin.");
    EXPECT_EQ(texteBoiteErreur("a-b-"), "a-b-");   // '-' comes before '.'
    EXPECT_EQ(texteBoiteErreur("a/b/"), "a/b/.");  // '/' comes after it
    EXPECT_EQ(texteBoiteErreur("image »"), "image ».");
    EXPECT_EQ(texteBoiteErreur(""), "");
}

TEST(FichiersSurs, EcritureCopieDeplacement) {
    test::DossierTest d;
    const QString a = d.chemin() + "a", b = d.chemin() + "b", c = d.chemin() + "c";
    ecrireAtomique(a, "AAAA");
    ecrireAtomique(b, "B");
    ecrireAtomique(b, "BB");  // replaced, never truncated in place
    EXPECT_EQ(lire(a), "AAAA");
    EXPECT_EQ(lire(b), "BB");

    // A copy shares no storage with its source.
    copierAtomique(a, c);
    EXPECT_EQ(lire(c), "AAAA");
    EXPECT_NE(inode(a), inode(c));
    EXPECT_EQ(nombreDeNoms(a), 1);
    EXPECT_EQ(nombreDeNoms(c), 1);

    // A move gives the file its new name and copies nothing; it never takes a name in use, which
    // would lose that file.
    Dossier dossier(d.chemin());
    const ino_t ancienB = inode(b);
    dossier.deplacer("b", "d");
    EXPECT_EQ(inode(d.chemin() + "d"), ancienB);
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_THROW(dossier.deplacer("d", "c"), Erreur);
    EXPECT_EQ(lire(c), "AAAA");
    EXPECT_EQ(lire(d.chemin() + "d"), "BB");
    EXPECT_THROW(dossier.deplacer("absent", "x"), Erreur);
    EXPECT_EQ(nombreDeTemporaires(d.chemin()), 0);

    effacerFichier(a);
    effacerFichier(a);  // already gone: not an error
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(nombreDeNoms(a), 0);
}

TEST(FichiersSurs, EchecsNommentLeFichierEtNeLaissentRien) {
    test::DossierTest d;
    EXPECT_THROW(copierAtomique(d.chemin() + "absent", d.chemin() + "x"), Erreur);
    try {
        ecrireAtomique(d.chemin() + "pas/la", "x");
        FAIL();
    } catch (const Erreur& e) {
        EXPECT_TRUE(e.texte().contains(QStringLiteral("introuvable"))) << e.texte().toStdString();
    }
    EXPECT_FALSE(QFile::exists(d.chemin() + "x"));
    EXPECT_EQ(nombreDeTemporaires(d.chemin()), 0);
    EXPECT_EQ(raisonSysteme(ENOSPC), QStringLiteral("le disque est plein"));
    // No error number, even one nobody expected, puts the system's English sentence in a box.
    for (int erreur = 1; erreur < 134; ++erreur)
        EXPECT_FALSE(raisonSysteme(erreur).contains(QString::fromUtf8(std::strerror(erreur))))
            << erreur;
}

TEST(FichiersSurs, NettoyageDesTemporairesLaissesParUneInterruption) {
    test::DossierTest d;
    ecrire(d.chemin() + ".voltiplume-abc.tmp", "reste");
    ecrire(d.chemin() + "image_00000.bmp", "garde");
    // A swap of an earlier version, killed after its second step: both names hold B, A waits.
    ecrire(d.chemin() + "image_00001.bmp", "B");
    ecrire(d.chemin() + "image_00002.bmp", "B");
    ecrire(d.chemin() + ".voltiplume-echange-image_00001.bmp", "A");
    nettoyerTemporaires(d.chemin());
    EXPECT_EQ(nombreDeTemporaires(d.chemin()), 0);
    EXPECT_TRUE(QFile::exists(d.chemin() + "image_00000.bmp"));
    EXPECT_EQ(lire(d.chemin() + "image_00001.bmp"), "A");
    EXPECT_EQ(lire(d.chemin() + "image_00002.bmp"), "B");
}

TEST(Bitmap, Fichier24BitsAvecLignesAlignees) {
    test::DossierTest d;
    QImage image(322, 240, QImage::Format_RGB888);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 322; ++x)
            image.setPixel(x, y, qRgb(x & 0xFF, y, (x * y) & 0xFF));
    const QString f = d.chemin() + "i.bmp";
    ecrireBitmap24(image, f);
    const QByteArray o = lire(f);
    ASSERT_EQ(o.size(), 54 + 968 * 240);  // 966 bytes per row rounded up to 968
    EXPECT_EQ(o.left(2), "BM");
    EXPECT_EQ(static_cast<uchar>(o[28]), 24);
    EXPECT_EQ(static_cast<uchar>(o[10]), 54);
    // Bottom-up rows, blue first: the last row of the file is the top row of the picture.
    const int derniere = 54 + 968 * 239;
    EXPECT_EQ(static_cast<uchar>(o[derniere + 3 * 5 + 2]), 5);  // red of pixel (5, 0)
    EXPECT_EQ(static_cast<uchar>(o[54 + 3 * 1 + 1]), 239);      // green of pixel (1, 239)
    EXPECT_EQ(chargerImage(f).convertToFormat(QImage::Format_RGB888), image);
    EXPECT_THROW(chargerImage(d.chemin() + "absent.bmp"), Erreur);
}

TEST(Bitmap, BitmapAbimeRefuseLesAutresFormatsLus) {
    test::DossierTest d;
    const QImage image = test::imageLettre('A', 7, 5).convertToFormat(QImage::Format_RGB888);
    const QByteArray o = bitmap24(image);
    // Pixel data shorter than the header says: an error, never a picture of other bytes.
    const QString court = d.chemin() + "court.bmp";
    test::ecrireFichier(court, o.left(o.size() - 10));
    EXPECT_EQ(test::messageErreur([&] { chargerImage(court); }),
              ("Impossible de lire l'image « " + court + " », le fichier est abîmé").toStdString());
    // Sizes that cannot be: no picture, and no overflow on the way.
    for (qint32 hauteur : {INT_MIN, 0, 40000, -40000}) {
        QByteArray faux = o;
        qToLittleEndian(hauteur, faux.data() + 22);
        EXPECT_TRUE(lireImage(faux).isNull()) << hauteur;
    }
    // Rows from the top down (a negative height) read in their order.
    QByteArray descendant = o;
    qToLittleEndian<qint32>(-5, descendant.data() + 22);
    EXPECT_EQ(lireImage(descendant).convertToFormat(QImage::Format_RGB888),
              image.mirrored(false, true));
    // Pictures dropped in by hand: PNG, and bitmaps of other depths, through the toolkit.
    for (const auto& [format, genre] :
         {std::pair{QImage::Format_RGB888, "PNG"}, std::pair{QImage::Format_Indexed8, "BMP"},
          std::pair{QImage::Format_ARGB32, "BMP"}}) {
        QByteArray octets;
        QBuffer tampon(&octets);
        tampon.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.convertToFormat(format).save(&tampon, genre)) << genre;
        EXPECT_EQ(lireImage(octets).convertToFormat(QImage::Format_RGB888), image) << genre;
    }
}
