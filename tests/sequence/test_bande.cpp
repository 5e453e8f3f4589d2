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
    QLabel limages{&fenetre};
    QLabel labS{&fenetre};
    ImageEtiree bb{&fenetre};
    BandeFilm bande{p, &fenetre};

    Bande() {
        QImage vide(160, 120, QImage::Format_RGB888);
        vide.fill(Qt::white);
        bb.setImage(vide);
        bande.relier(&limages, &labS, &bb);
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
        for (QLabel* l : {bande.LAB1, bande.LAB2, bande.LAB3, bande.LAB4, bande.LAB5})
            n << l->text();
        return n;
    }
    QString rouges() const {
        QString r;
        for (QLabel* l : {bande.LAB1, bande.LAB2, bande.LAB3, bande.LAB4, bande.LAB5})
            r += l->palette().color(QPalette::WindowText).rgb() == kRougeSelection ? 'R' : 'n';
        return r;
    }
    // The letter each thumbnail shows, "-" for the placeholder.
    QString vues() const {
        QString v;
        for (ImageEtiree* i : {bande.V1, bande.V2, bande.V3, bande.V4, bande.V5})
            v += i->image().pixel(0, 0) == qRgb(255, 255, 255) ? QChar('-')
                                                               : test::lettreImage(i->image());
        return v;
    }
};

}  // namespace

TEST(BandeFilm, EtatInitialEtFilmVide) {
    Bande b;
    EXPECT_EQ(b.numeros(), (QStringList{"", "", "0", "1", "2"}));
    EXPECT_EQ(b.bande.SCR->minimum(), 0);
    EXPECT_EQ(b.bande.SCR->maximum(), 100);
    EXPECT_EQ(b.vues(), "-----");
    // Navigation does nothing without frames.
    b.bande.V4Click();
    EXPECT_EQ(b.p.imageCourante, -1);
    b.bande.rafraichirBande();
    EXPECT_EQ(b.limages.text(), "0 image");
    EXPECT_EQ(b.labS.text(), "? -> ?");
}

TEST(BandeFilm, UneImage) {
    Bande b;
    b.film("A", 0);
    EXPECT_EQ(b.numeros(), (QStringList{"", "", "0", "", ""}));
    EXPECT_EQ(b.vues(), "--A--");
    EXPECT_FALSE(b.bande.SCR->isEnabled());
    EXPECT_EQ(b.bande.SCR->maximum(), 0);
    EXPECT_EQ(b.limages.text(), "1 image");
    b.film("AB", 1);
    EXPECT_EQ(b.limages.text(), "2 images");
    EXPECT_EQ(b.vues(), "-AB--");
}

TEST(BandeFilm, BarreActiveAuDelaDeCinqImagesEtClics) {
    Bande b;
    b.film("ABCDEF", 0);
    EXPECT_TRUE(b.bande.SCR->isEnabled());
    EXPECT_EQ(b.numeros(), (QStringList{"", "", "0", "1", "2"}));
    EXPECT_EQ(b.vues(), "--ABC");

    b.film("ABCDE", 0);
    EXPECT_FALSE(b.bande.SCR->isEnabled());
    b.bande.V4Click();  // works with the bar disabled
    EXPECT_EQ(b.p.imageCourante, 1);
    EXPECT_EQ(b.bande.SCR->value(), 1);
    b.bande.V1Click();  // empty slot at frame 1: nothing
    EXPECT_EQ(b.p.imageCourante, 1);
    b.bande.V5Click();
    EXPECT_EQ(b.p.imageCourante, 3);
    EXPECT_EQ(b.vues(), "BCDE-");
    b.bande.V5Click();  // at nbImages - 2 the slot is empty
    EXPECT_EQ(b.p.imageCourante, 3);
    b.bande.V4Click();
    EXPECT_EQ(b.p.imageCourante, 4);
    EXPECT_EQ(b.numeros(), (QStringList{"2", "3", "4", "", ""}));
    b.bande.V4Click();
    EXPECT_EQ(b.p.imageCourante, 4);
    b.bande.V1Click();
    b.bande.V2Click();
    EXPECT_EQ(b.p.imageCourante, 1);
    b.bande.SCR->setValue(3);  // the scroll bar itself
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
    EXPECT_EQ(b.labS.text(), "3 -> 5");
    b.bande.SpeedButton17Click();
    EXPECT_EQ(b.rouges(), "nnnnn");
    EXPECT_EQ(b.labS.text(), "? -> ?");
}

TEST(BandeFilm, MarquageDesBornes) {
    test::Scenario s;
    Bande b;
    b.film("ABCDEFGH", 0);
    b.bande.SGClick();
    EXPECT_EQ(b.labS.text(), "0 -> 0");

    // Start at 5, then end at 3: the frame alone.
    b.bande.SpeedButton17Click();
    b.bande.SCR->setValue(5);
    b.bande.SGClick();
    b.bande.SCR->setValue(3);
    b.bande.SFClick();
    EXPECT_EQ(b.p.selDebut, 3);
    EXPECT_EQ(b.p.selFin, 3);

    // End at 2 with no selection.
    b.bande.SpeedButton17Click();
    b.bande.SCR->setValue(2);
    b.bande.SFClick();
    EXPECT_EQ(b.p.selDebut, 2);
    EXPECT_EQ(b.p.selFin, 2);

    // Start at 2, move to 6, end.
    b.bande.SpeedButton17Click();
    b.bande.SCR->setValue(2);
    b.bande.SGClick();
    b.bande.SCR->setValue(6);
    b.bande.SFClick();
    EXPECT_EQ(b.labS.text(), "2 -> 6");
    EXPECT_EQ(b.numeros(), (QStringList{"4", "5", "6", "7", ""}));
    EXPECT_EQ(b.rouges(), "RRRnn");
    EXPECT_TRUE(s.dialogues().messages().isEmpty());
}

TEST(BandeFilm, MarquageSansImageNeFaitRien) {
    test::Scenario s;
    Bande b;
    b.p.titreProjet.clear();
    b.bande.SGClick();
    b.bande.SFClick();
    EXPECT_EQ(b.p.selDebut, -1);
    EXPECT_EQ(b.p.selFin, -1);
    EXPECT_TRUE(s.dialogues().messages().isEmpty());
    b.bande.SpeedButton17Click();  // cancelling is guarded
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
    EXPECT_EQ(b.bande.SCR->value(), 1);
    EXPECT_EQ(b.bande.SCR->maximum(), 2);
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
    EXPECT_EQ(b.bande.SCR->value(), 1);
}
