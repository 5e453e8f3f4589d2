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
    QChar montree() const { return test::lettreImage(f->aper->image()); }
    void tic() {
        executerCommande([this] { f->Timer1Timer(); });
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
    f->SpeedButton15->click();
    EXPECT_TRUE(f->Timer1->isActive());
    EXPECT_EQ(f->Timer1->interval(), 83);
    EXPECT_EQ(f->projet.posLecture, 2);
    EXPECT_EQ(
        f->SpeedButton15->icon().pixmap(28, 27).toImage().convertToFormat(QImage::Format_RGB32),
        QPixmap::fromImage(f->BMstop->image()).toImage().convertToFormat(QImage::Format_RGB32));
    // The rate may change during the playback: the label follows, the running interval does not.
    f->tbims->setValue(25);
    EXPECT_EQ(f->lims->text(), "25 i/s");
    EXPECT_EQ(f->Timer1->interval(), 83);
    tic();
    EXPECT_EQ(f->Limages->text(), "2");
    EXPECT_EQ(montree(), 'C');
    tic();
    EXPECT_EQ(montree(), 'D');
    EXPECT_TRUE(f->Timer1->isActive());
    tic();
    EXPECT_EQ(montree(), 'E');
    EXPECT_FALSE(f->Timer1->isActive());
    EXPECT_EQ(f->Limages->text(), "5 images");
    EXPECT_EQ(f->projet.imageCourante, 2);  // the strip keeps its place
    // A new start at 25 frames a second.
    f->SpeedButton15->click();
    EXPECT_EQ(f->Timer1->interval(), 40);
    EXPECT_EQ(f->projet.posLecture, 2);
}

TEST_F(ApercuAnime, DerniereImageSeuleEtArretParUnSecondClic) {
    film("ABCDE", 4);
    f->SpeedButton15->click();
    tic();
    EXPECT_EQ(montree(), 'E');
    EXPECT_FALSE(f->Timer1->isActive());

    f->SB->SCR->setValue(0);
    f->SpeedButton15->click();
    tic();
    tic();
    EXPECT_EQ(f->Limages->text(), "1");
    f->SpeedButton15->click();  // stops at once
    EXPECT_FALSE(f->Timer1->isActive());
    EXPECT_EQ(f->Limages->text(), "5 images");
    EXPECT_EQ(montree(), 'B');
    EXPECT_EQ(
        f->SpeedButton15->icon().pixmap(28, 27).toImage().convertToFormat(QImage::Format_RGB32),
        QPixmap::fromImage(f->BMlect->image()).toImage().convertToFormat(QImage::Format_RGB32));
}

TEST_F(ApercuAnime, ImagesSupprimeesPendantLaLecture) {
    film("ABCDE", 1);
    f->SpeedButton15->click();
    tic();
    f->SB->SCR->setValue(1);
    f->SG->click();
    f->SB->SCR->setValue(4);
    f->SF->click();
    f->SpeedButton16->click();  // frames 1 to 4 deleted while playing
    EXPECT_EQ(f->projet.nbImages, 1);
    tic();
    EXPECT_FALSE(f->Timer1->isActive());
    EXPECT_TRUE(dialogues().messages().isEmpty());
    EXPECT_EQ(f->Limages->text(), "1 image");
}

TEST_F(ApercuAnime, ImageIllisibleSignaleeUneFois) {
    film("ABCDE", 0);
    QFile::remove(cheminImage(f->projet, 1));
    f->SpeedButton15->click();
    tic();
    tic();
    EXPECT_FALSE(f->Timer1->isActive());
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages().first().contains("image_00001.bmp"));
    EXPECT_EQ(montree(), 'A');
}

TEST_F(ApercuAnime, SansProjetOuSansImage) {
    f->SpeedButton15->click();
    EXPECT_EQ(dialogues().messages(), QStringList{kMessageGarde});
    creerProjet("Vide");
    f->SpeedButton15->click();
    EXPECT_FALSE(f->Timer1->isActive());
    EXPECT_EQ(dialogues().messages().size(), 1);
}
