#include <QFile>
#include <QGuiApplication>
#include <QInputDialog>
#include <QTest>

#include "Webcams.h"
#include "app/Fixture.h"
#include "capture/Camera.h"
#include "capture/FenetrePleinEcran.h"
#include "capture/mire/PiloteMire.h"
#include "platform/Bitmap.h"
#include "platform/ErreurApplication.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"

using namespace vp;
using test::Programme;

namespace {

// A camera frame in which every pixel says where it is.
QImage cadreCode(QSize taille) {
    QImage i(taille, QImage::Format_RGB888);
    for (int y = 0; y < taille.height(); ++y)
        for (int x = 0; x < taille.width(); ++x)
            i.setPixel(x, y, qRgb(x & 255, y & 255, (x >> 8) * 60 + (y >> 8) * 30 + 5));
    return i;
}

QImage uni(QColor couleur, QSize taille = {64, 48}) {
    QImage i(taille, QImage::Format_RGB888);
    i.fill(couleur);
    return i;
}

class PleinEcran : public Programme {
protected:
    void SetUp() override {
        etatMire().reinitialiser();
        installerFournisseurPilotes(fournisseurSelonEnvironnement());
        Programme::SetUp();
    }
    void TearDown() override {
        Programme::TearDown();
        installerFournisseurPilotes(fournisseurSelonEnvironnement());
        etatMire().reinitialiser();
    }
    FenetrePleinEcran& plein() { return *f->fenetrePleinEcran; }
    // Only this camera on the machine, detected as a user would.
    void brancher(const QImage& cadre) {
        installerFournisseurPilotes(test::webcamFixe(cadre));
        f->actionDetecterWebcam->trigger();
        test::attendreEvenements(100);
    }
    void film(const QString& lettres) {
        creerProjet("Film");
        test::ecrireFilm(f->projet.dossierProjet(), lettres);
        f->projet.nbImages = static_cast<qint32>(lettres.size());
        f->projet.imageCourante = f->projet.nbImages - 1;
        f->rafraichirBande();
    }
    void filmEnCouleurs(const QList<QColor>& couleurs) {
        creerProjet("Couleurs");
        for (qsizetype i = 0; i < couleurs.size(); ++i)
            ecrireBitmap24(uni(couleurs[i]), cheminImage(f->projet, static_cast<qint32>(i)));
        f->projet.nbImages = static_cast<qint32>(couleurs.size());
        f->projet.imageCourante = f->projet.nbImages - 1;
        f->rafraichirBande();
    }
    QByteArray octets(qint32 i) {
        QFile fichier(cheminImage(f->projet, i));
        return fichier.open(QIODevice::ReadOnly) ? fichier.readAll() : QByteArray();
    }
    // The keys go to the active window: a dialog just closed may still hold it for a moment.
    void activer(QWidget* fenetre) {
        fenetre->activateWindow();
        ASSERT_TRUE(
            test::attendreQue([fenetre] { return QApplication::activeWindow() == fenetre; }, 5000));
    }
    void ouvrirPleinEcran() {
        activer(f.get());
        QTest::keyClick(f.get(), Qt::Key_F11);
        ASSERT_TRUE(plein().isVisible());
        activer(&plein());
    }
    // A column of the full-screen picture painted light from `haut` to `bas` whatever the camera
    // shows there: a guide line.
    bool ligneClaire(const QImage& ecran, int x, int haut, int bas) {
        for (int y = haut; y < bas; ++y) {
            const QRgb c = ecran.pixel(x, y);
            if (qRed(c) < 200 || qGreen(c) < 200 || qBlue(c) < 200) return false;
        }
        return true;
    }
    bool guideVerticalVers(int x0) {
        const QRect zone = plein().zoneImage(QSize(640, 480));
        const QImage ecran = plein().grab().toImage();
        for (int x = x0 - 2; x <= x0 + 2; ++x)
            if (ligneClaire(ecran, x, zone.top() + 4, zone.top() + zone.height() / 4)) return true;
        return false;
    }
};

}  // namespace

TEST_F(PleinEcran, MemesPhotosQueLaFenetrePrincipaleSansLesReperes) {
    const QImage cadre = cadreCode({640, 480});
    brancher(cadre);
    film("ABC");
    f->actionsReperes[1]->trigger();  // thirds
    f->actionsCouches[2]->trigger();
    activer(f.get());
    QTest::keyClick(f.get(), Qt::Key_Space);
    ASSERT_EQ(f->projet.nbImages, 4);
    ouvrirPleinEcran();
    EXPECT_TRUE(plein().isFullScreen());
    test::attendreEvenements(150);
    const QRect zone = plein().zoneImage(cadre.size());
    EXPECT_EQ(plein().imageMontree().size(), zone.size());
    EXPECT_EQ(zone.width() * 3, zone.height() * 4);  // the camera's proportions
    // The picture keys of the main window, here.
    for (const Qt::Key touche : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_PageDown})
        QTest::keyClick(&plein(), touche);
    ASSERT_EQ(f->projet.nbImages, 8);
    EXPECT_EQ(f->projet.imageCourante, 7);
    // The same frame gives the same file, byte for byte, wherever it is taken; and the file
    // holds the camera's picture, without the guides drawn over the views.
    for (qint32 i = 4; i < 8; ++i)
        EXPECT_EQ(octets(i), octets(3)) << i;
    EXPECT_EQ(chargerImage(cheminImage(f->projet, 5)).convertToFormat(QImage::Format_RGB888),
              cadre);
    EXPECT_TRUE(test::fichiersPropres(f->projet.dossierProjet()));
    // The guides are on the screen all the same, where they belong.
    test::attendreEvenements(100);
    EXPECT_TRUE(guideVerticalVers(zone.left() + zone.width() / 3));
    f->actionsReperes[0]->trigger();
    test::attendreEvenements(100);
    EXPECT_FALSE(guideVerticalVers(zone.left() + zone.width() / 3));
    // The strip and the full-screen window followed the pictures.
    EXPECT_EQ(f->bandeFilm->numeros[2]->text(), "7");
    EXPECT_EQ(plein().compteur(), "8 images");
    EXPECT_EQ(plein().numeros(), (std::array<QString, 5>{"3", "4", "5", "6", "7"}));
    // A picture taken in full screen is undone as any other.
    f->actionAnnuler->trigger();
    EXPECT_EQ(f->projet.nbImages, 7);
    EXPECT_EQ(plein().compteur(), "7 images");
    // Échap goes back; F11 opens and closes.
    QTest::keyClick(&plein(), Qt::Key_Escape);
    EXPECT_FALSE(plein().isVisible());
    EXPECT_TRUE(test::attendreQue([this] { return QApplication::activeWindow() == f.get(); }));
    ouvrirPleinEcran();
    QTest::keyClick(&plein(), Qt::Key_F11);
    EXPECT_FALSE(plein().isVisible());
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
}

TEST_F(PleinEcran, CouchesDOignonDeMoinsEnMoinsFortes) {
    brancher(uni(Qt::black, {640, 480}));
    // The oldest frame red, then green, the current one blue: each colour tells a layer.
    filmEnCouleurs({Qt::red, Qt::green, Qt::blue});
    f->actionsCouches[2]->trigger();
    test::attendreEvenements(150);
    const QRgb m = f->vueOignon->image().pixel(160, 120);
    EXPECT_EQ(qBlue(m), 128) << "the current frame at the weight of the track bar (50)";
    EXPECT_GT(qGreen(m), qRed(m));
    EXPECT_GT(qBlue(m), qGreen(m));
    EXPECT_GT(qRed(m), 0);
    // The full-screen view blends them alike.
    ouvrirPleinEcran();
    test::attendreEvenements(150);
    const QImage& grand = plein().imageMontree();
    ASSERT_FALSE(grand.isNull());
    const QRgb g = grand.pixel(grand.width() / 2, grand.height() / 2);
    EXPECT_EQ(qRgb(qRed(g), qGreen(g), qBlue(g)), qRgb(qRed(m), qGreen(m), qBlue(m)));
    QTest::keyClick(&plein(), Qt::Key_Escape);
    // More layers than frames: the frames there are.
    f->actionsCouches[4]->trigger();
    test::attendreEvenements(150);
    EXPECT_EQ(f->vueOignon->image().pixel(160, 120), m);
    // The track bar at « image »: the current frame alone.
    f->glissiereOignon->setValue(0);
    test::attendreEvenements(150);
    EXPECT_EQ(f->vueOignon->image().pixel(160, 120), qRgb(0, 0, 255));
    // One layer: the plain onion skin of the current frame.
    f->glissiereOignon->setValue(50);
    f->actionsCouches[0]->trigger();
    test::attendreEvenements(150);
    EXPECT_EQ(f->vueOignon->image().pixel(160, 120), qRgb(0, 0, 128));
}

TEST_F(PleinEcran, ReglagesRetenusDUnLancementAuSuivant) {
    f->actionsCouches[3]->trigger();
    f->actionsReperes[3]->trigger();
    f->boutonEnBoucle->click();
    dialogues().quandModal<QInputDialog>([](QInputDialog& d) {
        EXPECT_EQ(d.intValue(), 10);  // the default
        d.setIntValue(7);
        d.accept();
    });
    f->actionImagesAvantCamera->trigger();
    // The program started again.
    f.reset();
    f = creerFenetres();
    f->show();
    EXPECT_TRUE(f->actionsCouches[3]->isChecked());
    EXPECT_TRUE(f->actionsReperes[3]->isChecked());
    EXPECT_TRUE(f->boutonEnBoucle->isChecked());
    EXPECT_FALSE(f->boutonFinSurCamera->isChecked());
    dialogues().quandModal<QInputDialog>([](QInputDialog& d) {
        EXPECT_EQ(d.intValue(), 7);
        d.reject();
    });
    f->actionImagesAvantCamera->trigger();
    // A settings file spoilt by hand gives the defaults.
    {
        QSettings reglages(QStringLiteral("voltiplume"), QStringLiteral("voltiplume"));
        reglages.setValue("prise_de_vue/couches_oignon", 9);
        reglages.setValue("prise_de_vue/reperes", "spirale");
        reglages.setValue("apercu/images_avant_camera", "beaucoup");
    }
    f.reset();
    f = creerFenetres();
    EXPECT_TRUE(f->actionsCouches[0]->isChecked());
    EXPECT_TRUE(f->actionsReperes[0]->isChecked());
    dialogues().quandModal<QInputDialog>([](QInputDialog& d) {
        EXPECT_EQ(d.intValue(), 10);
        d.reject();
    });
    f->actionImagesAvantCamera->trigger();
}

TEST_F(PleinEcran, ApercuParLaToucheP) {
    film("ABCDEFGH");
    f->boutonFinSurCamera->click();  // the last 10 frames: here all of them
    ouvrirPleinEcran();
    test::attendreEvenements(100);
    QTest::keyClick(&plein(), Qt::Key_P);
    EXPECT_TRUE(f->minuterieApercu->isActive());
    executerCommande([this] { f->avancerApercu(); });
    EXPECT_TRUE(plein().enLecture());
    EXPECT_EQ(test::lettreImage(plein().imageMontree()), 'A');
    EXPECT_EQ(plein().compteur(), "0");
    QTest::keyClick(&plein(), Qt::Key_P);  // stops: the live picture again
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_FALSE(plein().enLecture());
    EXPECT_EQ(plein().compteur(), "8 images");
    // Played to the end, it ends on the live camera, over the whole screen.
    QTest::keyClick(&plein(), Qt::Key_P);
    for (int i = 0; i < 8; ++i)
        executerCommande([this] { f->avancerApercu(); });
    EXPECT_EQ(test::lettreImage(plein().imageMontree()), 'H');
    executerCommande([this] { f->avancerApercu(); });
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_FALSE(plein().enLecture());
    test::attendreEvenements(150);
    EXPECT_EQ(plein().imageMontree().size(), plein().zoneImage(QSize(640, 480)).size());
}

TEST_F(PleinEcran, WebcamDebrancheeOuAbsente) {
    test::attendreEvenements(150);
    ouvrirPleinEcran();
    test::attendreEvenements(150);
    EXPECT_TRUE(plein().message().isEmpty());
    etatMire().disparue = true;
    test::attendreEvenements(300);
    // Shown over the picture, not in a box that would wait behind it.
    EXPECT_EQ(plein().message(), kWebcamPerdue);
    EXPECT_TRUE(dialogues().messages().isEmpty());
    QTest::keyClick(&plein(), Qt::Key_Escape);
    EXPECT_FALSE(plein().isVisible());
    // Back in full screen before detecting it: the message is still there.
    ouvrirPleinEcran();
    EXPECT_EQ(plein().message(), kWebcamPerdue);
    QTest::keyClick(&plein(), Qt::Key_Escape);
    // No camera at all.
    installerFournisseurPilotes(test::aucuneWebcam());
    f->actionDetecterWebcam->trigger();
    EXPECT_EQ(dialogues().messages(), QStringList{kPasDeWebcam});
    ouvrirPleinEcran();
    EXPECT_EQ(plein().message(), kPasDeWebcam);
    QTest::keyClick(&plein(), Qt::Key_Escape);
    EXPECT_FALSE(plein().isVisible());
}
