// SPDX-License-Identifier: GPL-3.0-or-later
#include <QInputDialog>
#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include "Fixture.h"
#include "platform/Bitmap.h"
#include "platform/ErreurApplication.h"
#include "platform/ImageEtiree.h"
#include "sequence/Apercu.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"

using namespace vp;
using test::Programme;

namespace {

class ApercuAnime : public Programme {
protected:
    void film(const QString& lettres, qint32 courante) {
        creerProjet("Film");
        test::ecrireFilm(f->projet.dossierProjet(), lettres);
        f->projet.nbImages = static_cast<qint32>(lettres.size());
        f->projet.imageCourante = courante;
        f->rafraichirBande();
    }
    QChar montree() const { return test::lettreImage(f->vueApercu->image()); }
    void tic() {
        executerCommande([this] { f->avancerApercu(); });
    }
};

}  // namespace

TEST(ApercuCadence, IntervalleEnMillisecondes) {
    EXPECT_EQ(vp::Apercu::intervalle(25), 40);
    EXPECT_EQ(vp::Apercu::intervalle(12), 83);
    EXPECT_EQ(vp::Apercu::intervalle(7), 142);
    EXPECT_EQ(vp::Apercu::intervalle(1), 1000);
}

TEST_F(ApercuAnime, JoueDepuisLImageCouranteJusquALaFin) {
    film("ABCDE", 2);
    f->boutonApercu->click();
    EXPECT_TRUE(f->minuterieApercu->isActive());
    EXPECT_EQ(f->minuterieApercu->interval(), 83);
    EXPECT_EQ(f->projet.posLecture, 2);
    EXPECT_EQ(
        f->boutonApercu->icon().pixmap(28, 27).toImage().convertToFormat(QImage::Format_RGB32),
        QPixmap::fromImage(f->glypheArret->image())
            .toImage()
            .convertToFormat(QImage::Format_RGB32));
    // The rate may change during the playback: the label follows, the running interval does not.
    f->glissiereCadence->setValue(25);
    EXPECT_EQ(f->etiquetteCadence->text(), "25 i/s");
    EXPECT_EQ(f->minuterieApercu->interval(), 83);
    tic();
    EXPECT_EQ(f->compteurImages->text(), "2");
    EXPECT_EQ(montree(), 'C');
    tic();
    EXPECT_EQ(montree(), 'D');
    EXPECT_TRUE(f->minuterieApercu->isActive());
    tic();
    EXPECT_EQ(montree(), 'E');
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_EQ(f->compteurImages->text(), "5 images");
    EXPECT_EQ(f->projet.imageCourante, 2);  // the strip keeps its place
    // A new start at 25 frames a second.
    f->boutonApercu->click();
    EXPECT_EQ(f->minuterieApercu->interval(), 40);
    EXPECT_EQ(f->projet.posLecture, 2);
}

TEST_F(ApercuAnime, DerniereImageSeuleEtArretParUnSecondClic) {
    film("ABCDE", 4);
    f->boutonApercu->click();
    tic();
    EXPECT_EQ(montree(), 'E');
    EXPECT_FALSE(f->minuterieApercu->isActive());

    f->bandeFilm->barreDefilement->setValue(0);
    f->boutonApercu->click();
    tic();
    tic();
    EXPECT_EQ(f->compteurImages->text(), "1");
    f->boutonApercu->click();  // stops at once
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_EQ(f->compteurImages->text(), "5 images");
    EXPECT_EQ(montree(), 'B');
    EXPECT_EQ(
        f->boutonApercu->icon().pixmap(28, 27).toImage().convertToFormat(QImage::Format_RGB32),
        QPixmap::fromImage(f->glypheLecture->image())
            .toImage()
            .convertToFormat(QImage::Format_RGB32));
}

TEST_F(ApercuAnime, ImagesSupprimeesPendantLaLecture) {
    film("ABCDE", 1);
    f->boutonApercu->click();
    tic();
    f->bandeFilm->barreDefilement->setValue(1);
    f->boutonMarquerDebut->click();
    f->bandeFilm->barreDefilement->setValue(4);
    f->boutonMarquerFin->click();
    f->boutonSupprimerSelection->click();  // frames 1 to 4 deleted while playing
    EXPECT_EQ(f->projet.nbImages, 1);
    tic();
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_TRUE(dialogues().messages().isEmpty());
    EXPECT_EQ(f->compteurImages->text(), "1 image");
}

TEST_F(ApercuAnime, ImageIllisibleSignaleeUneFois) {
    film("ABCDE", 0);
    QFile::remove(cheminImage(f->projet, 1));
    f->boutonApercu->click();
    tic();
    tic();
    EXPECT_FALSE(f->minuterieApercu->isActive());
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages().first().contains("image_00001.bmp"));
    EXPECT_EQ(montree(), 'A');
}

TEST_F(ApercuAnime, SansProjetOuSansImage) {
    f->boutonApercu->click();
    EXPECT_EQ(dialogues().messages(), QStringList{kMessageGarde});
    creerProjet("Vide");
    f->boutonApercu->click();
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_EQ(dialogues().messages().size(), 1);
}

TEST_F(ApercuAnime, EnBoucleLaPremiereImageSuitLaDerniere) {
    film("ABCDE", 3);
    f->boutonEnBoucle->click();
    f->boutonApercu->click();
    EXPECT_EQ(f->projet.posLecture, 3);  // the first pass from the current frame
    QString jouees;
    for (int i = 0; i < 8; ++i) {
        tic();
        jouees += montree();
    }
    EXPECT_EQ(jouees, "DEABCDEA");
    EXPECT_TRUE(f->minuterieApercu->isActive());
    EXPECT_EQ(f->compteurImages->text(), "0");
    f->boutonApercu->click();
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_EQ(f->compteurImages->text(), "5 images");
    // Frames deleted under it: it goes round what is left.
    f->boutonApercu->click();
    tic();
    f->boutonSupprimerImage->click();
    f->boutonSupprimerImage->click();
    ASSERT_EQ(f->projet.nbImages, 3);
    tic();
    EXPECT_TRUE(f->minuterieApercu->isActive());
    EXPECT_EQ(montree(), 'A');
}

TEST_F(ApercuAnime, FinSurLaCameraLesImagesJusquALaCourantePuisLeDirect) {
    film("ABCDEFGHIJKL", 5);  // the next picture will follow F
    dialogues().quandModal<QInputDialog>([](QInputDialog& d) {
        d.setIntValue(3);
        d.accept();
    });
    f->actionImagesAvantCamera->trigger();
    f->boutonFinSurCamera->click();
    const QSignalBlocker seulLeTestAvance(f->minuterieApercu);
    f->boutonApercu->click();
    QString jouees;
    for (int i = 0; i < 3; ++i) {
        tic();
        jouees += montree();
    }
    EXPECT_EQ(jouees, "DEF");
    EXPECT_TRUE(f->minuterieApercu->isActive()) << "the last frame stays its time";
    tic();
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_EQ(f->compteurImages->text(), "12 images");
    // Then the preview shows the camera, live.
    EXPECT_TRUE(
        test::attendreQue([this] { return f->vueApercu->image() == f->vueCamera->image(); }, 5000));
    EXPECT_TRUE(test::imageSuivante([this] { return f->vueApercu->image(); }));
    // Without « Fin sur la caméra » it has no reason to: the current frame again, to stay.
    f->boutonFinSurCamera->click();
    EXPECT_EQ(montree(), 'F');
    EXPECT_TRUE(test::imageSuivante([this] { return f->vueCamera->image(); }));
    EXPECT_EQ(montree(), 'F');
    // Ended on the camera again, then the strip moved by a click: the new current frame, to stay.
    f->boutonFinSurCamera->click();
    f->boutonApercu->click();
    for (int i = 0; i < 4; ++i)
        tic();
    ASSERT_TRUE(
        test::attendreQue([this] { return f->vueApercu->image() == f->vueCamera->image(); }, 5000));
    emit f->bandeFilm->vignettes[1]->clique();
    EXPECT_EQ(montree(), 'E');
    EXPECT_TRUE(test::imageSuivante([this] { return f->vueCamera->image(); }));
    EXPECT_EQ(montree(), 'E');
    emit f->bandeFilm->vignettes[3]->clique();
    f->boutonFinSurCamera->click();

    // In a loop: the frames, then the camera as long as they took, a second at least. At one
    // frame a second, three ticks; the count meanwhile is the film's, as while shooting.
    f->boutonFinSurCamera->click();
    f->boutonEnBoucle->click();
    const auto passe = [&](int tics) {
        QString vu;
        for (int i = 0; i < tics; ++i) {
            tic();
            vu += f->compteurImages->text() == "12 images" ? QChar('*') : montree();
        }
        return vu;
    };
    f->glissiereCadence->setValue(1);
    f->boutonApercu->click();
    EXPECT_EQ(passe(12), "DEF***DEF***");
    EXPECT_TRUE(f->minuterieApercu->isActive());
    EXPECT_TRUE(
        test::attendreQue([this] { return f->vueApercu->image() == f->vueCamera->image(); }, 5000));
    f->boutonApercu->click();
    // At 12 frames a second, a second is 13 ticks of 83 ms.
    f->glissiereCadence->setValue(12);
    f->boutonApercu->click();
    EXPECT_EQ(passe(3 + 13 + 1), "DEF" + QString(13, '*') + "D");
    // The film emptied during the camera's turn: the preview stops on the placeholder.
    EXPECT_EQ(passe(3), "EF*");
    f->bandeFilm->barreDefilement->setValue(0);
    f->boutonMarquerDebut->click();
    f->bandeFilm->barreDefilement->setValue(11);
    f->boutonMarquerFin->click();
    f->boutonSupprimerSelection->click();
    ASSERT_EQ(f->projet.nbImages, 0);
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_TRUE(test::imageSuivante([this] { return f->vueCamera->image(); }));
    EXPECT_EQ(f->vueApercu->image(), f->imageVide->image());
}

TEST_F(ApercuAnime, BoutonsDuModeFidelesAuModePendantUneCommandeLongue) {
    film("ABC", 0);
    creerVideoMjpeg();
    // While the editor runs the window refuses commands: the buttons clicked keep showing the
    // mode, which has not changed.
    scenario.bureau().pendantLancement = [this] {
        f->boutonEnBoucle->click();
        f->boutonFinSurCamera->click();
    };
    f->boutonEditeur->click();
    ASSERT_EQ(scenario.bureau().lancements.size(), 1u);
    EXPECT_FALSE(f->boutonEnBoucle->isChecked());
    EXPECT_FALSE(f->boutonFinSurCamera->isChecked());
    const QSignalBlocker seulLeTestAvance(f->minuterieApercu);
    f->boutonApercu->click();
    for (int i = 0; i < 3; ++i)
        tic();
    EXPECT_FALSE(f->minuterieApercu->isActive()) << "played once";
    // Afterwards a click is taken.
    scenario.bureau().pendantLancement = nullptr;
    f->boutonEnBoucle->click();
    EXPECT_TRUE(f->boutonEnBoucle->isChecked());
    f->boutonApercu->click();
    for (int i = 0; i < 4; ++i)
        tic();
    EXPECT_TRUE(f->minuterieApercu->isActive());
    EXPECT_EQ(montree(), 'A');
}
