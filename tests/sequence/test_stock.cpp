// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <algorithm>

#include "VueFactice.h"
#include "commun/Outils.h"
#include "platform/Bitmap.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "sequence/StockImages.h"

using namespace vp;
using test::lireFilm;

namespace {

struct Film {
    test::DossierTest dossier;
    ProjetCourant p;
    explicit Film(const QString& lettres, qint32 courante = -1) {
        p.repProjets = dossier.chemin();
        p.nomDossier = QStringLiteral("Mon_film");
        p.titreProjet = QStringLiteral("Mon film");
        test::ecrireFilm(p.dossierProjet(), lettres);
        p.nbImages = static_cast<qint32>(lettres.size());
        p.imageCourante = courante;
    }
    QString film() const { return lireFilm(p.dossierProjet()); }
    bool propre() const { return test::fichiersPropres(p.dossierProjet()); }
    void ecrire(qint32 i, QChar lettre) {
        ecrireBitmap24(test::imageLettre(lettre), cheminImage(p, i));
    }
};

}  // namespace

TEST(StockImages, NomsEtChemins) {
    EXPECT_EQ(nomImage(0), "image_00000.bmp");
    EXPECT_EQ(nomImage(7), "image_00007.bmp");
    EXPECT_EQ(nomImage(12345), "image_12345.bmp");
    EXPECT_EQ(nomImage(99999), "image_99999.bmp");
    EXPECT_EQ(nomImage(100000), "image_100000.bmp");
    ProjetCourant p;
    p.repProjets = "/projets/";
    p.nomDossier = "Mon_film";
    EXPECT_EQ(cheminImage(p, 123), "/projets/Mon_film/image_00123.bmp");
}

TEST(StockImages, ComptageJusquAuPremierTrou) {
    Film vide("");
    QDir().mkpath(vide.p.dossierProjet());
    EXPECT_EQ(compterImages(vide.p), 0);

    Film dix("ABCDEFGHIJ");
    EXPECT_EQ(compterImages(dix.p), 10);
    dix.ecrire(11, 'L');  // after a hole: not part of the film
    EXPECT_EQ(compterImages(dix.p), 10);
    QFile::remove(cheminImage(dix.p, 5));
    EXPECT_EQ(compterImages(dix.p), 5);
    QFile::remove(cheminImage(dix.p, 0));
    EXPECT_EQ(compterImages(dix.p), 0);
}

TEST(StockImages, InsertionDansLeVideAuMilieuEtALaFin) {
    test::VueFactice vue;
    Film f("");
    QDir().mkpath(f.p.dossierProjet());
    auto ecrivain = [](QChar l) {
        return [l](const QString& chemin) { ecrireBitmap24(test::imageLettre(l), chemin); };
    };
    insererImage(f.p, vue, ecrivain('A'));
    EXPECT_TRUE(QFile::exists(f.p.dossierProjet() + "/image_00000.bmp"));
    EXPECT_EQ(f.p.nbImages, 1);
    EXPECT_EQ(f.p.imageCourante, 0);
    insererImage(f.p, vue, ecrivain('B'));
    insererImage(f.p, vue, ecrivain('C'));
    f.p.imageCourante = 0;
    insererImage(f.p, vue, ecrivain('X'));
    EXPECT_EQ(f.film(), "AXBC");
    EXPECT_EQ(f.p.nbImages, 4);
    EXPECT_EQ(f.p.imageCourante, 1);
    EXPECT_EQ(vue.rafraichissements, 4);
    EXPECT_TRUE(f.propre());
}

TEST(StockImages, EcritureRateeRefermeLEspace) {
    test::VueFactice vue;
    for (qint32 courante : {1, 4}) {
        Film f("ABCDE", courante);
        f.p.selDebut = 1;
        f.p.selFin = 3;
        EXPECT_THROW(insererImage(f.p, vue, [](const QString&) { throw Erreur("disque plein"); }),
                     Erreur);
        EXPECT_EQ(f.film(), "ABCDE");
        EXPECT_EQ(f.p.nbImages, 5);
        EXPECT_EQ(f.p.imageCourante, courante);
        EXPECT_EQ(f.p.selFin, 3);
        EXPECT_FALSE(QFile::exists(cheminImage(f.p, 5)));
        EXPECT_TRUE(f.propre());
    }
    EXPECT_EQ(vue.rafraichissements, 0);
}

TEST(StockImages, PhotoDontLeDossierNePeutEtreConfirmeResteCompteeAvecLeDisque) {
    // The frame is in place when the folder's flush fails: the record must count it, or the
    // next picture would write over it.
    test::VueFactice vue;
    Film f("ABC", 2);
    enregistrerOperations([](const OperationFichier& o) {
        if (o.type == OperationFichier::SynchroDossier) throw Erreur("panne du disque");
    });
    EXPECT_THROW(
        insererImage(f.p, vue, [](const QString& c) { ecrireBitmap24(test::imageLettre('X'), c); }),
        Erreur);
    enregistrerOperations({});
    EXPECT_EQ(f.film(), "ABCX");
    EXPECT_EQ(f.p.nbImages, 4);
    EXPECT_EQ(f.p.imageCourante, 3);
    insererImage(f.p, vue, [](const QString& c) { ecrireBitmap24(test::imageLettre('Y'), c); });
    EXPECT_EQ(f.film(), "ABCXY");
}

TEST(StockImages, PhotoDontLeRetourEchoueNeCacheAucuneImage) {
    // A flaky stick: a move of the picture fails, and so does the move that should undo the one
    // before it. The disk then holds one more frame than the record, and a command that left
    // the film half moved.
    test::VueFactice vue;
    Film f("ABCDE", 2);
    bool panne = true;
    enregistrerOperations([&panne](const OperationFichier& o) {
        if (panne && o.type == OperationFichier::Renommage && o.cible.endsWith("image_00004.bmp")) {
            panne = false;
            throw Erreur("le disque ne répond plus");
        }
    });
    EXPECT_THROW(
        insererImage(f.p, vue, [](const QString& c) { ecrireBitmap24(test::imageLettre('X'), c); }),
        Erreur);
    enregistrerOperations({});
    ASSERT_NE(f.film(), "ABCDE");  // the undo did fail: nothing shows the film whole

    // The next picture first finishes the interrupted one. Whatever it does then, the record
    // follows the disk and no frame is lost.
    try {
        insererImage(f.p, vue, [](const QString& c) { ecrireBitmap24(test::imageLettre('Y'), c); });
    } catch (const Erreur&) {
        // told to the user; the film is checked below
    }
    const auto toutesLa = [&](const QString& lettres) {
        const QString film = f.film();
        return std::all_of(lettres.begin(), lettres.end(),
                           [&](QChar l) { return film.count(l) == 1; });
    };
    EXPECT_TRUE(toutesLa("ABCDEX")) << f.film().toStdString();
    EXPECT_EQ(f.p.nbImages, compterImages(f.p));
    EXPECT_EQ(f.p.nbImages, f.film().size());
    EXPECT_GE(f.p.imageCourante, 0);
    EXPECT_LT(f.p.imageCourante, f.p.nbImages);
    EXPECT_GE(vue.rafraichissements, 1);
    // And the one after that.
    insererImage(f.p, vue, [](const QString& c) { ecrireBitmap24(test::imageLettre('Z'), c); });
    EXPECT_TRUE(toutesLa("ABCDEXZ")) << f.film().toStdString();
    EXPECT_EQ(f.p.nbImages, f.film().size());
    EXPECT_EQ(test::lettreImage(chargerImage(cheminImage(f.p, f.p.imageCourante))), 'Z');
    EXPECT_TRUE(f.propre());
}

TEST(StockImages, ResynchronisationApresUnEchec) {
    Film f("ABCDEFG", 6);
    f.p.selDebut = 4;
    f.p.selFin = 6;
    QFile::remove(cheminImage(f.p, 5));
    resynchroniser(f.p);
    EXPECT_EQ(f.p.nbImages, 5);
    EXPECT_EQ(f.p.imageCourante, 4);
    EXPECT_EQ(f.p.selDebut, 4);
    EXPECT_EQ(f.p.selFin, 4);
}
