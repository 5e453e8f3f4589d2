// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include "capture/Camera.h"
#include "capture/DialoguesPilote.h"
#include "capture/mire/ImageFixe.h"
#include "capture/mire/PiloteMire.h"
#include "capture/v4l2/PiloteV4l2.h"
#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "platform/Bitmap.h"
#include "platform/Erreur.h"

using namespace vp;

namespace {

// The simulated camera, set back to normal for each test.
class Webcam : public ::testing::Test {
protected:
    test::Scenario scenario;
    QWidget fenetre;
    void SetUp() override {
        etatMire().reinitialiser();
        installerFournisseurPilotes(fournisseurSelonEnvironnement());
    }
    void TearDown() override { etatMire().reinitialiser(); }

    PiloteMire* mire(TCamera& cam) { return dynamic_cast<PiloteMire*>(cam.fenetre()->pilote()); }
};

}  // namespace

TEST_F(Webcam, ImagesAuRythmeDemande) {
    TCamera cam(&fenetre);
    EXPECT_EQ(cam.width(), 260);
    EXPECT_EQ(cam.FichierImage(), "Imagen.bmp");
    EXPECT_EQ(cam.FramesPreview(), 15);
    int images = 0;
    QSize taille;
    cam.OnFrame = [&](TCamera* emetteur, quintptr poignee, EnTeteVideo* entete) {
        EXPECT_EQ(emetteur, &cam);
        EXPECT_EQ(poignee, reinterpret_cast<quintptr>(cam.fenetre()));
        taille = entete->image.size();
        EXPECT_EQ(entete->dwBytesUsed, static_cast<quint32>(entete->image.sizeInBytes()));
        ++images;
    };
    cam.setFramesPreview(30);
    cam.setFramesCaptura(30);
    cam.setActif(true);
    EXPECT_TRUE(cameraPrete());
    EXPECT_EQ(cam.fenetre()->cadenceApercu(), 33);
    EXPECT_EQ(mire(cam)->periode(), 33333u);
    QElapsedTimer chrono;
    chrono.start();
    test::attendreEvenements(1000);
    const double secondes = chrono.elapsed() / 1000.0;
    EXPECT_GT(images, 18 * secondes);
    EXPECT_LT(images, 34 * secondes);
    EXPECT_EQ(taille, QSize(640, 480));
    cam.setActif(false);
    EXPECT_EQ(cam.fenetre(), nullptr);
    const int apres = images;
    test::attendreEvenements(100);
    EXPECT_EQ(images, apres);
}

TEST_F(Webcam, CadencesEtReglagesAppliquesALActivation) {
    TCamera cam(&fenetre);
    cam.setFramesPreview(7);
    cam.setFramesCaptura(15);  // inactive: only stored
    cam.setActif(true);
    EXPECT_EQ(cam.fenetre()->cadenceApercu(), 142);
    EXPECT_EQ(mire(cam)->periode(), 66666u);
    ParametresCapture p;
    ASSERT_TRUE(cam.fenetre()->lireParametres(p));
    EXPECT_EQ(p.vKeyAbort, 27u);
    EXPECT_FALSE(p.fAbortLeftMouse);
    EXPECT_FALSE(p.fMCIControl);
    EXPECT_TRUE(p.fYield);
    cam.setSecondes(0x12345);
    cam.setTiempoActivado(true);
    ASSERT_TRUE(cam.fenetre()->lireParametres(p));
    EXPECT_EQ(p.wTimeLimit, 0x2345u);
    EXPECT_TRUE(p.fLimitEnabled);
    cam.setActif(false);
    cam.setFramesPreview(1);
    cam.setActif(true);
    EXPECT_EQ(cam.fenetre()->cadenceApercu(), 1000);
    cam.setActif(false);
}

TEST_F(Webcam, SansWebcam) {
    installerFournisseurPilotes(aucuneWebcam());
    TCamera cam(&fenetre);
    EXPECT_EQ(test::messageErreur([&] { cam.setActif(true); }), kPasDeWebcam.toStdString());
    EXPECT_FALSE(cameraPrete());
    EXPECT_TRUE(cam.Actif());
    EXPECT_NE(cam.fenetre(), nullptr);  // the window without a driver stays until deactivation
    EXPECT_EQ(test::messageErreur([&] { cam.setActif(false); }), "");
    EXPECT_EQ(cam.fenetre(), nullptr);
    EXPECT_FALSE(cam.Actif());

    etatMire().refuserConnexion = true;  // a driver that refuses the connection
    installerFournisseurPilotes(fournisseurSelonEnvironnement());
    EXPECT_EQ(test::messageErreur([&] { cam.setActif(true); }), kPasDeWebcam.toStdString());
    cam.setActif(false);
}

TEST_F(Webcam, SuperpositionSansEvenement) {
    TCamera cam(&fenetre);
    int images = 0;
    cam.OnFrame = [&](TCamera*, quintptr, EnTeteVideo*) { ++images; };
    cam.setOverlay(true);
    cam.setActif(true);
    test::attendreEvenements(300);
    EXPECT_EQ(images, 0);
    EXPECT_TRUE(cam.fenetre()->superpositionActive());
    cam.setOverlay(false);  // back to the preview
    test::attendreEvenements(300);
    EXPECT_GT(images, 0);
    cam.setActif(false);
}

TEST_F(Webcam, OperationsSansFenetreNeFontRien) {
    TCamera cam(&fenetre);
    EXPECT_FALSE(cam.CapturerFichier());
    EXPECT_FALSE(cam.CapturerPressePapiers());
    EXPECT_EQ(test::messageErreur([&] { cam.DialogueSource(); }), "");
    EXPECT_EQ(test::messageErreur([&] { cam.DialogueFormat(); }), "");
    EXPECT_TRUE(scenario.dialogues().affichages.empty());
}

TEST_F(Webcam, CaptureDansUnFichier) {
    test::DossierTest d;
    TCamera cam(&fenetre);
    cam.setActif(true);
    cam.setFichierImage(d.chemin() + "photo.bmp");
    ASSERT_TRUE(cam.CapturerFichier());
    const QImage image = chargerImage(d.chemin() + "photo.bmp");
    EXPECT_EQ(image.size(), QSize(640, 480));
    QFile f(d.chemin() + "photo.bmp");
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(static_cast<uchar>(f.readAll()[28]), 24);
    EXPECT_TRUE(test::fichiersPropres(d.chemin()));
    // The pattern: colour bars, white on the left.
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));
    cam.setFichierImage(d.chemin() + "absent/photo.bmp");
    EXPECT_FALSE(cam.CapturerFichier());
    etatMire().sansImage = true;
    EXPECT_FALSE(cam.CapturerPressePapiers());
    cam.setActif(false);
}

TEST_F(Webcam, DialoguesDuPilote) {
    TCamera cam(&fenetre);
    cam.setActif(true);
    // The settings reach the camera from the capture side, a moment later.
    const auto luminosite = [&](int v) {
        return test::attendreQue(
            [&] { return mire(cam)->valeurControle(PiloteMire::kLuminosite) == v; });
    };
    scenario.dialogues().quandModal<DialogueParametresWebcam>([](DialogueParametresWebcam& d) {
        EXPECT_EQ(d.windowTitle(), "Paramètres de la web-cam");
        ASSERT_TRUE(test::attendreQue([&] { return d.reglagesAffiches(); }));
        d.regler(PiloteMire::kLuminosite, 200);
        d.accept();
    });
    cam.DialogueSource();
    EXPECT_TRUE(luminosite(200));
    scenario.dialogues().quandModal<DialogueParametresWebcam>([](DialogueParametresWebcam& d) {
        ASSERT_TRUE(d.reglagesAffiches());
        d.valeursParDefaut();
    });
    cam.DialogueSource();
    EXPECT_TRUE(luminosite(128));

    scenario.dialogues().quandModal<DialogueFormatImage>([](DialogueFormatImage& d) {
        EXPECT_EQ(d.windowTitle(), "Format de l'image");
        EXPECT_EQ(d.listeTailles->count(), 3);
        EXPECT_EQ(d.listeTailles->currentText(), "640 × 480");
        d.listeTailles->setCurrentIndex(2);
        d.boutonOk->click();
    });
    cam.DialogueFormat();
    QSize taille;
    mire(cam)->formatCourant(&taille);
    EXPECT_EQ(taille, QSize(1280, 720));
    ASSERT_TRUE(cam.CapturerPressePapiers());
    EXPECT_EQ(cam.imageSaisie().size(), QSize(1280, 720));

    etatMire().sansControles = true;
    etatMire().sansFormats = true;
    cam.setActif(false);
    cam.setActif(true);
    ASSERT_TRUE(test::attendreQue([&] { return cam.fenetre()->reglages()->connus(); }));
    EXPECT_EQ(test::messageErreur([&] { cam.DialogueSource(); }), kPasBonSource.toStdString());
    EXPECT_EQ(test::messageErreur([&] { cam.DialogueFormat(); }), kPasBonFormat.toStdString());
    cam.setActif(false);
}

TEST_F(Webcam, CameraDebrancheeArreteLApercu) {
    TCamera cam(&fenetre);
    int images = 0, erreurs = 0;
    cam.OnFrame = [&](TCamera*, quintptr, EnTeteVideo*) { ++images; };
    cam.OnError = [&](TCamera*, quintptr, qint32, const char*) { ++erreurs; };
    cam.setActif(true);
    test::attendreEvenements(200);
    EXPECT_GT(images, 0);
    etatMire().disparue = true;
    test::attendreEvenements(200);
    EXPECT_EQ(erreurs, 1);
    EXPECT_FALSE(cam.fenetre()->apercuActif());
    const int avant = images;
    test::attendreEvenements(100);
    EXPECT_EQ(images, avant);
    EXPECT_FALSE(cam.CapturerPressePapiers());
    cam.setActif(false);
}

TEST(WebcamsV4l2, ListeSansPlantage) {
    const auto webcams = listerWebcamsV4l2();
    EXPECT_LE(webcams.size(), 10);
    for (const WebcamV4l2& w : webcams)
        EXPECT_TRUE(w.chemin.startsWith("/dev/video"));
    // A device that does not exist does not connect.
    PiloteV4l2 absent("/dev/video-absente");
    EXPECT_FALSE(absent.connecter());
}
