// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QWheelEvent>
#include <functional>
#include <vector>

#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "platform/Bitmap.h"
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

TEST(BandeFilm, ImageIllisibleRemplaceeParLImageVideEtSignalee) {
    Bande b;
    b.film("ABCDE", 1);
    QFile::remove(cheminImage(b.p, 2));
    b.p.imageCourante = 2;
    EXPECT_THROW(b.bande.rafraichirBande(), Erreur);
    // The rest of the strip is brought up to date all the same: the scroll bar never lets the
    // current frame leave the film.
    EXPECT_EQ(b.numeros(), (QStringList{"0", "1", "2", "3", "4"}));
    EXPECT_EQ(b.vues(), "AB-DE");
    EXPECT_EQ(b.bande.barreDefilement->value(), 2);
    EXPECT_EQ(b.etiquetteNombre.text(), "5 images");
}

TEST(BandeFilm, NavigationSurUneImageAbimeeMontreLErreur) {
    // Each way of moving along the strip onto a damaged frame shows the error box and leaves
    // the strip usable; no exception reaches the event loop.
    test::Scenario s;
    Bande b;
    b.film("ABCDEFGHIJKLMNOPQRST", 0);
    QByteArray abimee = bitmap24(test::imageLettre('K'));
    abimee.chop(20);
    test::ecrireFichier(cheminImage(b.p, 10), abimee);
    QScrollBar* barre = b.bande.barreDefilement;
    const std::vector<std::pair<const char*, std::function<void()>>> actions = {
        {"glissement", [&] { barre->setValue(8); }},
        {"flèche", [&] { barre->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
        {"vignette", [&] { emit b.bande.vignettes[4]->clique(); }},
        {"molette",
         [&] {
             QWheelEvent molette(QPointF(5, 5), barre->mapToGlobal(QPointF(5, 5)), QPoint(),
                                 QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                                 false);
             QCoreApplication::sendEvent(barre, &molette);
         }},
    };
    for (const auto& [nom, action] : actions) {
        b.p.imageCourante = 7;  // frame 10 out of sight
        b.bande.rafraichirBande();
        s.dialogues().affichages.clear();
        EXPECT_NO_THROW(action()) << nom;
        const qint32 c = b.p.imageCourante;
        EXPECT_GT(c, 7) << nom;
        ASSERT_EQ(s.dialogues().messages().size(), 1) << nom;
        EXPECT_TRUE(s.dialogues().messages()[0].endsWith("le fichier est abîmé.")) << nom;
        EXPECT_EQ(barre->value(), c) << nom;
        EXPECT_EQ(b.numeros()[2], QString::number(c)) << nom;
        EXPECT_EQ(b.vues()[10 - c + 2], '-') << nom;
    }
}

TEST(BandeFilm, LaBarrePrendLeFocusEtRepondAuClavier) {
    Bande b;
    b.film("ABCDEFGHIJKLMNOPQRST", 10);
    QScrollBar* barre = b.bande.barreDefilement;
    EXPECT_EQ(barre->focusPolicy(), Qt::StrongFocus);
    auto touche = [&](Qt::Key t) {
        QKeyEvent appui(QEvent::KeyPress, t, Qt::NoModifier);
        QCoreApplication::sendEvent(barre, &appui);
        return b.p.imageCourante;
    };
    EXPECT_EQ(touche(Qt::Key_Right), 11);
    EXPECT_EQ(touche(Qt::Key_Left), 10);
    EXPECT_EQ(touche(Qt::Key_PageDown), 15);
    EXPECT_EQ(touche(Qt::Key_PageUp), 10);
    EXPECT_EQ(touche(Qt::Key_End), 19);
    EXPECT_EQ(b.numeros()[2], "19");
    EXPECT_EQ(touche(Qt::Key_Home), 0);
    EXPECT_EQ(b.vues(), "--ABC");
}

TEST(BandeFilm, EtiquetteDeSelectionRameneeAuFilm) {
    // Single frames deleted since the selection was marked: the label shows the bounds the
    // selection commands will use.
    Bande b;
    b.film("ABCDE", 0);
    b.p.selDebut = 2;
    b.p.selFin = 7;
    b.bande.rafraichirBande();
    EXPECT_EQ(b.etiquetteSelection.text(), "2 -> 4");
    b.p.selDebut = 6;
    b.bande.rafraichirBande();
    EXPECT_EQ(b.etiquetteSelection.text(), "? -> ?");
}
