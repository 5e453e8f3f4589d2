#include <QInputDialog>
#include <QLabel>
#include <QScrollBar>
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

TEST_F(ApercuAnime, FinSurLaCameraLesDernieresImagesPuisLeDirect) {
    film("ABCDEFGHIJKL", 2);
    dialogues().quandModal<QInputDialog>([](QInputDialog& d) {
        d.setIntValue(3);
        d.accept();
    });
    f->actionImagesAvantCamera->trigger();
    f->boutonFinSurCamera->click();
    f->boutonApercu->click();
    QString jouees;
    for (int i = 0; i < 3; ++i) {
        tic();
        jouees += montree();
    }
    EXPECT_EQ(jouees, "JKL");
    EXPECT_TRUE(f->minuterieApercu->isActive()) << "the last frame stays its time";
    tic();
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_EQ(f->compteurImages->text(), "12 images");
    // Then the preview shows the camera, live.
    test::attendreEvenements(200);
    EXPECT_EQ(f->vueApercu->image().size(), QSize(320, 240));
    EXPECT_EQ(f->vueApercu->image(), f->vueCamera->image());
    const QImage avant = f->vueApercu->image();
    test::attendreEvenements(200);
    EXPECT_NE(f->vueApercu->image(), avant) << "the test pattern moves";
    // In a loop: the last frames, the camera for one frame's time, and again. (At one frame a
    // second, the preview's own clock leaves the ticks to the test.)
    f->glissiereCadence->setValue(1);
    f->boutonEnBoucle->click();
    f->boutonApercu->click();
    jouees.clear();
    auto surLaCamera = [this] { return f->vueApercu->image().size() == QSize(320, 240); };
    for (int i = 0; i < 8; ++i) {
        tic();
        // The camera's turn shows at its next frame.
        if (i % 4 == 3) test::attendreQue(surLaCamera, 800);
        jouees += surLaCamera() ? QChar('*') : montree();
    }
    EXPECT_EQ(jouees, "JKL*JKL*");
    EXPECT_TRUE(f->minuterieApercu->isActive());
    // Another project: the preview no longer follows the camera.
    f->boutonApercu->click();
    creerProjet("Autre");
    test::attendreEvenements(100);
    EXPECT_EQ(f->vueApercu->image(), f->imageVide->image());
}
