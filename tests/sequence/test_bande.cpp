#include <gtest/gtest.h>
#include <QFile>
#include <QLabel>
#include <QScrollBar>

#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "platform/Erreur.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"

using namespace vp;

namespace {

// A strip with its two outside labels, over a film of letters.
struct Bande {
    test::DossierTest dossier;
    ProjetCourant p;
    QWidget fenetre;
    QLabel etiquetteNombre{&fenetre};
    QLabel etiquetteSelection{&fenetre};
    ImageEtiree imageVide{&fenetre};
    BandeFilm bande{p, &fenetre};

    Bande() {
        QImage vide(160, 120, QImage::Format_RGB888);
        vide.fill(Qt::white);
        imageVide.setImage(vide);
        bande.relier(&etiquetteNombre, &etiquetteSelection, &imageVide);
        p.repProjets = dossier.chemin();
        p.nomDossier = "film";
        p.titreProjet = "Film";
    }
    void film(const QString& lettres, qint32 courante) {
        test::ecrireFilm(p.dossierProjet(), lettres);
        p.nbImages = static_cast<qint32>(lettres.size());
        p.imageCourante = courante;
        bande.rafraichirBande();
    }
    QStringList numeros() const {
        QStringList n;
        for (QLabel* l : bande.numeros)
            n << l->text();
        return n;
    }
    QString rouges() const {
        QString r;
        for (QLabel* l : bande.numeros)
            r += l->palette().color(QPalette::WindowText).rgb() == kRougeSelection ? 'R' : 'n';
        return r;
    }
    // A click on thumbnail k, as the mouse gives it.
    void clic(int k) { emit bande.vignettes[k]->clique(); }
    // The letter each thumbnail shows, "-" for the placeholder.
    QString vues() const {
        QString v;
        for (ImageEtiree* i : bande.vignettes)
            v += i->image().pixel(0, 0) == qRgb(255, 255, 255) ? QChar('-')
                                                               : test::lettreImage(i->image());
        return v;
    }
};

}  // namespace

TEST(BandeFilm, EtatInitialEtFilmVide) {
    Bande b;
    EXPECT_EQ(b.numeros(), (QStringList{"", "", "0", "1", "2"}));
    EXPECT_EQ(b.bande.barreDefilement->minimum(), 0);
    EXPECT_EQ(b.bande.barreDefilement->maximum(), 100);
    EXPECT_EQ(b.vues(), "-----");
    // Navigation does nothing without frames.
    b.clic(3);
    EXPECT_EQ(b.p.imageCourante, -1);
    b.bande.rafraichirBande();
    EXPECT_EQ(b.etiquetteNombre.text(), "0 image");
    EXPECT_EQ(b.etiquetteSelection.text(), "? -> ?");
}

TEST(BandeFilm, UneImage) {
    Bande b;
    b.film("A", 0);
    EXPECT_EQ(b.numeros(), (QStringList{"", "", "0", "", ""}));
    EXPECT_EQ(b.vues(), "--A--");
    EXPECT_FALSE(b.bande.barreDefilement->isEnabled());
    EXPECT_EQ(b.bande.barreDefilement->maximum(), 0);
    EXPECT_EQ(b.etiquetteNombre.text(), "1 image");
    b.film("AB", 1);
    EXPECT_EQ(b.etiquetteNombre.text(), "2 images");
    EXPECT_EQ(b.vues(), "-AB--");
}

TEST(BandeFilm, BarreActiveAuDelaDeCinqImagesEtClics) {
    Bande b;
    b.film("ABCDEF", 0);
    EXPECT_TRUE(b.bande.barreDefilement->isEnabled());
    EXPECT_EQ(b.numeros(), (QStringList{"", "", "0", "1", "2"}));
    EXPECT_EQ(b.vues(), "--ABC");

    b.film("ABCDE", 0);
    EXPECT_FALSE(b.bande.barreDefilement->isEnabled());
    b.clic(3);  // works with the bar disabled
    EXPECT_EQ(b.p.imageCourante, 1);
    EXPECT_EQ(b.bande.barreDefilement->value(), 1);
    b.clic(0);  // empty slot at frame 1: nothing
    EXPECT_EQ(b.p.imageCourante, 1);
    b.clic(4);
    EXPECT_EQ(b.p.imageCourante, 3);
    EXPECT_EQ(b.vues(), "BCDE-");
    b.clic(4);  // at nbImages - 2 the slot is empty
    EXPECT_EQ(b.p.imageCourante, 3);
    b.clic(3);
    EXPECT_EQ(b.p.imageCourante, 4);
    EXPECT_EQ(b.numeros(), (QStringList{"2", "3", "4", "", ""}));
    b.clic(3);
    EXPECT_EQ(b.p.imageCourante, 4);
    b.clic(2);  // the middle thumbnail has no click action
    EXPECT_EQ(b.p.imageCourante, 4);
    b.clic(0);
    b.clic(1);
    EXPECT_EQ(b.p.imageCourante, 1);
    b.bande.barreDefilement->setValue(3);  // the scroll bar itself
    EXPECT_EQ(b.p.imageCourante, 3);
    EXPECT_EQ(b.vues(), "BCDE-");
}

TEST(BandeFilm, SelectionEnRouge) {
    Bande b;
    b.film("ABCDEFGH", 4);
    b.p.selDebut = 3;
    b.p.selFin = 5;
    b.bande.rafraichirBande();
    EXPECT_EQ(b.numeros(), (QStringList{"2", "3", "4", "5", "6"}));
    EXPECT_EQ(b.rouges(), "nRRRn");
    EXPECT_EQ(b.etiquetteSelection.text(), "3 -> 5");
    b.bande.annulerSelection();
    EXPECT_EQ(b.rouges(), "nnnnn");
    EXPECT_EQ(b.etiquetteSelection.text(), "? -> ?");
}

TEST(BandeFilm, MarquageDesBornes) {
    test::Scenario s;
    Bande b;
    b.film("ABCDEFGH", 0);
    b.bande.marquerDebutSelection();
    EXPECT_EQ(b.etiquetteSelection.text(), "0 -> 0");

    // Start at 5, then end at 3: the frame alone.
    b.bande.annulerSelection();
    b.bande.barreDefilement->setValue(5);
    b.bande.marquerDebutSelection();
    b.bande.barreDefilement->setValue(3);
    b.bande.marquerFinSelection();
    EXPECT_EQ(b.p.selDebut, 3);
    EXPECT_EQ(b.p.selFin, 3);

    // End at 2 with no selection.
    b.bande.annulerSelection();
    b.bande.barreDefilement->setValue(2);
    b.bande.marquerFinSelection();
    EXPECT_EQ(b.p.selDebut, 2);
    EXPECT_EQ(b.p.selFin, 2);

    // Start at 2, move to 6, end.
    b.bande.annulerSelection();
    b.bande.barreDefilement->setValue(2);
    b.bande.marquerDebutSelection();
    b.bande.barreDefilement->setValue(6);
    b.bande.marquerFinSelection();
    EXPECT_EQ(b.etiquetteSelection.text(), "2 -> 6");
    EXPECT_EQ(b.numeros(), (QStringList{"4", "5", "6", "7", ""}));
    EXPECT_EQ(b.rouges(), "RRRnn");
    EXPECT_TRUE(s.dialogues().messages().isEmpty());
}

TEST(BandeFilm, MarquageSansImageNeFaitRien) {
    test::Scenario s;
    Bande b;
    b.p.titreProjet.clear();
    b.bande.marquerDebutSelection();
    b.bande.marquerFinSelection();
    EXPECT_EQ(b.p.selDebut, -1);
    EXPECT_EQ(b.p.selFin, -1);
    EXPECT_TRUE(s.dialogues().messages().isEmpty());
    b.bande.annulerSelection();  // cancelling is guarded
    EXPECT_EQ(s.dialogues().messages(), QStringList{kMessageGarde});
}

TEST(BandeFilm, MaximumAbaisseSousLaPositionGardeLImageCourante) {
    Bande b;
    b.film("ABCDEFGHIJ", 8);
    // Frames deleted: the command sets frame 1 as current with fewer frames.
    test::ecrireFilm(b.p.dossierProjet(), "ABC");
    b.p.nbImages = 3;
    b.p.imageCourante = 1;
    b.bande.rafraichirBande();
    EXPECT_EQ(b.p.imageCourante, 1);
    EXPECT_EQ(b.bande.barreDefilement->value(), 1);
    EXPECT_EQ(b.bande.barreDefilement->maximum(), 2);
    EXPECT_EQ(b.vues(), "-ABC-");
}

TEST(BandeFilm, ImageManquanteArreteLeRafraichissement) {
    Bande b;
    b.film("ABCDE", 1);
    QFile::remove(cheminImage(b.p, 2));
    b.p.imageCourante = 2;
    EXPECT_THROW(b.bande.rafraichirBande(), Erreur);
    // Slots before the missing frame are updated, its own label too; the rest is left.
    EXPECT_EQ(b.numeros(), (QStringList{"0", "1", "2", "2", "3"}));
    EXPECT_EQ(b.bande.barreDefilement->value(), 1);
}
