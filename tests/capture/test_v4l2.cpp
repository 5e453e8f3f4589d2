// SPDX-License-Identifier: GPL-3.0-or-later
// The real V4L2 backend against the scripted device: streaming across threads, format
// negotiation, broken frames, unplugging, and the choice among several cameras.

#include <gtest/gtest.h>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTest>

#include "FauxV4l2.h"
#include "app/FenetrePrincipale.h"
#include "app/Programme.h"
#include "capture/Camera.h"
#include "capture/DialoguesPilote.h"
#include "capture/FenetrePleinEcran.h"
#include "capture/VueDirecte.h"
#include "capture/v4l2/PiloteV4l2.h"
#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "platform/Bitmap.h"
#include "platform/ImageEtiree.h"
#include "platform/Profil.h"
#include "sequence/StockImages.h"

using namespace vp;
using test::CameraFausse;
using test::FauxV4l2;
using test::FauxV4l2Installe;

namespace {

bool proche(QRgb a, QRgb b, int tolerance = 16) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// The picture of a camera of colour `teinte`: white on the left, the colour in the middle,
// black on the right; never the red of a broken frame.
::testing::AssertionResult imageDeLaCamera(const QImage& i, QRgb teinte) {
    if (i.isNull()) return ::testing::AssertionFailure() << "no picture";
    const int y = i.height() / 2;
    const QRgb gauche = i.pixel(2, y), milieu = i.pixel(i.width() / 2, 2),
               droite = i.pixel(i.width() - 3, i.height() - 3);
    if (proche(gauche, qRgb(255, 255, 255)) && proche(milieu, teinte) &&
        proche(droite, qRgb(0, 0, 0)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << std::hex << "left " << gauche << " middle " << milieu << " right " << droite;
}

class V4l2 : public ::testing::Test {
protected:
    test::Scenario scenario;
    QWidget fenetre;

    PiloteV4l2* pilote(TCamera& cam) {
        return cam.fenetre() ? dynamic_cast<PiloteV4l2*>(cam.fenetre()->pilote()) : nullptr;
    }
    // The frames the live view receives, counted and kept, and the losses of the camera.
    struct Images {
        int nombre = 0;
        QImage derniere;
        bool rouge = false;  // a broken frame got through
        int pertes = 0;
    };
    void suivre(TCamera& cam, Images& images) {
        cam.OnFrame = [&images](TCamera*, quintptr, EnTeteVideo* e) {
            ++images.nombre;
            images.derniere = e->image;
            images.rouge = images.rouge ||
                           proche(e->image.pixel(e->image.width() / 2, 2), test::kRougeAbime, 60);
        };
        cam.OnError = [&images](TCamera*, quintptr, qint32, const char*) { ++images.pertes; };
    }
    bool attendreImages(Images& images, int combien) {
        const int cible = images.nombre + combien;
        return test::attendreQue([&] { return images.nombre >= cible; });
    }
    // Nothing left open or mapped on the device.
    void rienDOuvert(FauxV4l2& faux) {
        EXPECT_EQ(faux.descripteursOuverts(), 0);
        EXPECT_EQ(faux.projectionsActives(), 0);
    }
};

}  // namespace

TEST_F(V4l2, FluxVersLaVueEnDirectArretEtReprise) {
    FauxV4l2Installe faux({test::cameraOrdinaire()});
    {
        TCamera cam(&fenetre);
        Images images;
        suivre(cam, images);
        cam.setFramesPreview(30);
        cam.setActif(true);
        ASSERT_TRUE(cameraPrete());
        ASSERT_TRUE(attendreImages(images, 5));
        EXPECT_EQ(images.derniere.size(), QSize(640, 480));
        EXPECT_TRUE(imageDeLaCamera(images.derniere, faux->etat(0).teinte));

        cam.setActif(false);
        rienDOuvert(*faux);
        const int arret = images.nombre;
        test::attendreEvenements(100);
        EXPECT_EQ(images.nombre, arret);

        // Interrupted calls and buffers not ready after all: the stream goes on regardless.
        faux->regler(0, [](CameraFausse& c) {
            c.eintrToutesLes = 3;
            c.eagainToutesLes = 2;
        });
        cam.setActif(true);
        ASSERT_TRUE(attendreImages(images, 5));
        EXPECT_TRUE(imageDeLaCamera(images.derniere, faux->etat(0).teinte));
        EXPECT_EQ(faux->streamons(0), 2);
        EXPECT_FALSE(images.rouge);
    }
    rienDOuvert(*faux);
}

TEST_F(V4l2, CameraLaisseeEnH264OuSeulementEnMjpeg) {
    CameraFausse h264 = test::cameraOrdinaire();
    h264.formats.prepend({V4L2_PIX_FMT_H264, {{1920, 1080}, {1280, 720}}});
    h264.fourcc = V4L2_PIX_FMT_H264;
    h264.taille = QSize(1280, 720);
    CameraFausse mjpeg;
    mjpeg.chemin = "/dev/video2";
    mjpeg.formats = {{V4L2_PIX_FMT_MJPEG, {{1280, 720}}}};
    mjpeg.fourcc = V4L2_PIX_FMT_MJPEG;
    mjpeg.taille = QSize(1280, 720);
    mjpeg.teinte = qRgb(30, 60, 210);
    FauxV4l2Installe faux({h264, mjpeg});
    test::DossierTest d;
    TCamera cam(&fenetre);
    cam.setActif(true);
    ASSERT_TRUE(cameraPrete());
    // Taken out of H.264 into what converts, at the size it was left at.
    EXPECT_EQ(faux->etat(0).fourcc, static_cast<quint32>(V4L2_PIX_FMT_MJPEG));
    EXPECT_EQ(faux->etat(0).taille, QSize(1280, 720));
    cam.setFichierImage(d.chemin() + "photo.bmp");
    ASSERT_TRUE(test::attendreQue([&] { return cam.CapturerFichier(); }));
    EXPECT_TRUE(imageDeLaCamera(chargerImage(d.chemin() + "photo.bmp"), faux->etat(0).teinte));
    // The format dialog offers only what converts.
    scenario.dialogues().quandModal<DialogueFormatImage>([](DialogueFormatImage& f) {
        QStringList offerts;
        for (int i = 0; i < f.listeFormats->count(); ++i)
            offerts << f.listeFormats->itemText(i);
        EXPECT_EQ(offerts.size(), 2) << offerts.join('|').toStdString();
        EXPECT_FALSE(offerts.join('|').contains("H264"));
        f.boutonAnnuler->click();
    });
    cam.DialogueFormat();

    cam.setlmageDevice(1);  // a camera that only knows Motion JPEG at 1280 x 720
    cam.setActif(false);
    cam.setActif(true);
    ASSERT_TRUE(cameraPrete());
    ASSERT_TRUE(test::attendreQue([&] { return cam.CapturerPressePapiers(); }));
    EXPECT_EQ(cam.imageSaisie().size(), QSize(1280, 720));
    EXPECT_TRUE(imageDeLaCamera(cam.imageSaisie(), faux->etat(1).teinte));
    cam.setActif(false);
    rienDOuvert(*faux);
}

TEST_F(V4l2, ImagesAbimeesJamaisMontreesNiGardees) {
    for (const quint32 fourcc : {V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_YUYV}) {
        CameraFausse c = test::cameraOrdinaire();
        c.fourcc = fourcc;
        c.abimeeToutesLes = 2;    // flagged by the driver
        c.tronqueeToutesLes = 3;  // cut short on the bus, not flagged
        FauxV4l2Installe faux({c});
        test::DossierTest d;
        TCamera cam(&fenetre);
        Images images;
        suivre(cam, images);
        cam.setActif(true);
        ASSERT_TRUE(attendreImages(images, 6)) << texteFourcc(fourcc).toStdString();
        for (int k = 0; k < 5; ++k) {
            cam.setFichierImage(d.chemin() + QStringLiteral("photo%1.bmp").arg(k));
            ASSERT_TRUE(cam.CapturerFichier());
            EXPECT_TRUE(imageDeLaCamera(chargerImage(cam.FichierImage()), c.teinte));
            test::attendreEvenements(40);
        }
        EXPECT_FALSE(images.rouge) << texteFourcc(fourcc).toStdString();
        EXPECT_GE(pilote(cam)->imagesAbimees(), 4u);
        EXPECT_LE(pilote(cam)->imagesAbimees(), faux->imagesProduites(0));
        cam.setActif(false);
    }
}

TEST_F(V4l2, FormatsCompressesDeTailleVariable) {
    // An old webcam that speaks only PAC207: its frames are shorter than the largest size it
    // announces.
    CameraFausse ancienne;
    ancienne.carte = "USB Camera (093a:2460)";
    ancienne.pilote = "pac207";
    ancienne.formats = {{V4L2_PIX_FMT_PAC207, {{176, 144}, {352, 288}}}};
    ancienne.fourcc = V4L2_PIX_FMT_PAC207;
    ancienne.taille = QSize(352, 288);
    ancienne.teinte = qRgb(60, 150, 200);
    // A camera that pads its Motion JPEG frames after their end, to the end of the buffer, and
    // sometimes cuts one short on the bus.
    CameraFausse rembourree = test::cameraOrdinaire();
    rembourree.chemin = "/dev/video2";
    rembourree.fourcc = V4L2_PIX_FMT_MJPEG;
    rembourree.jpegRembourre = true;
    rembourree.tronqueeToutesLes = 3;
    FauxV4l2Installe faux({ancienne, rembourree});
    test::DossierTest d;
    for (int camera = 0; camera < 2; ++camera) {
        TCamera cam(&fenetre);
        Images images;
        suivre(cam, images);
        cam.setlmageDevice(camera);
        cam.setActif(true);
        ASSERT_TRUE(cameraPrete());
        ASSERT_TRUE(attendreImages(images, 6)) << camera;
        const CameraFausse c = faux->etat(camera);
        EXPECT_EQ(images.derniere.size(), c.taille);
        EXPECT_TRUE(imageDeLaCamera(images.derniere, c.teinte)) << camera;
        cam.setFichierImage(d.chemin() + QStringLiteral("photo%1.bmp").arg(camera));
        ASSERT_TRUE(cam.CapturerFichier());
        EXPECT_TRUE(imageDeLaCamera(chargerImage(cam.FichierImage()), c.teinte)) << camera;
        EXPECT_FALSE(images.rouge) << camera;
        // Only the frames cut short are refused.
        if (camera == 0) {
            EXPECT_EQ(pilote(cam)->imagesAbimees(), 0u);
        } else {
            EXPECT_GE(pilote(cam)->imagesAbimees(), 1u);
        }
        cam.setActif(false);
    }
    rienDOuvert(*faux);
}

TEST_F(V4l2, EIOPassagerPuisCameraPerdue) {
    FauxV4l2Installe faux({test::cameraOrdinaire()});
    TCamera cam(&fenetre);
    Images images;
    suivre(cam, images);
    cam.setActif(true);
    ASSERT_TRUE(attendreImages(images, 2));
    faux->regler(0, [](CameraFausse& c) { c.eioAVenir = 3; });  // a few: retried
    ASSERT_TRUE(attendreImages(images, 5));
    EXPECT_FALSE(pilote(cam)->perdue());
    faux->regler(0, [](CameraFausse& c) { c.eioAVenir = 1000; });  // for good: lost
    ASSERT_TRUE(test::attendreQue([&] { return images.pertes == 1; }));
    EXPECT_FALSE(cam.CapturerPressePapiers());
    cam.setActif(false);
    rienDOuvert(*faux);
}

TEST_F(V4l2, DebrancheeApresQuelquesImagesPuisRebranchee) {
    CameraFausse c = test::cameraOrdinaire();
    c.imagesAvantDebranchement = 8;
    FauxV4l2Installe faux({c});
    TCamera cam(&fenetre);
    Images images;
    suivre(cam, images);
    cam.setActif(true);
    ASSERT_TRUE(test::attendreQue([&] { return images.pertes == 1; }));
    EXPECT_LE(images.nombre, 8);
    EXPECT_FALSE(cam.CapturerPressePapiers());
    EXPECT_FALSE(cam.fenetre()->apercuActif());
    cam.setActif(false);
    rienDOuvert(*faux);
    // Gone from the list while unplugged.
    EXPECT_TRUE(listerWebcamsV4l2().isEmpty());
    EXPECT_EQ(test::messageErreur([&] { cam.setActif(true); }), kPasDeWebcam.toStdString());
    cam.setActif(false);

    faux->regler(0, [](CameraFausse& c) {
        c.branchee = true;
        c.imagesAvantDebranchement = -1;
    });
    cam.setActif(true);
    ASSERT_TRUE(attendreImages(images, 3));
    cam.setActif(false);
    rienDOuvert(*faux);
}

TEST_F(V4l2, PasDePlaceSurLeBusUSB) {
    CameraFausse c = test::cameraOrdinaire();
    c.streamonEnospc = {V4L2_PIX_FMT_YUYV};
    FauxV4l2Installe faux({c});
    TCamera cam(&fenetre);
    cam.setActif(true);
    ASSERT_TRUE(cameraPrete());
    // Motion JPEG at the same size needs far less room.
    EXPECT_EQ(faux->etat(0).fourcc, static_cast<quint32>(V4L2_PIX_FMT_MJPEG));
    EXPECT_EQ(faux->etat(0).taille, QSize(640, 480));
    ASSERT_TRUE(test::attendreQue([&] { return cam.CapturerPressePapiers(); }));
    cam.setActif(false);

    // Without Motion JPEG there is no way round it.
    faux->regler(0, [](CameraFausse& c) {
        c.formats.removeLast();
        c.fourcc = V4L2_PIX_FMT_YUYV;
    });
    EXPECT_EQ(test::messageErreur([&] { cam.setActif(true); }), kPasDeWebcam.toStdString());
    EXPECT_FALSE(cameraPrete());
    cam.setActif(false);
    rienDOuvert(*faux);
}

TEST_F(V4l2, ChangementsDeFormatEtImagesPerimees) {
    FauxV4l2Installe faux({test::cameraOrdinaire()});
    TCamera cam(&fenetre);
    Images images;
    suivre(cam, images);
    cam.setActif(true);
    const auto choisir = [&](const QString& format, const QString& taille) {
        scenario.dialogues().quandModal<DialogueFormatImage>([=](DialogueFormatImage& f) {
            f.listeFormats->setCurrentIndex(f.listeFormats->findText(format, Qt::MatchContains));
            f.listeTailles->setCurrentIndex(f.listeTailles->findText(taille));
            f.boutonOk->click();
        });
        cam.DialogueFormat();
    };
    choisir("MJPG", "1280 × 720");
    EXPECT_EQ(faux->etat(0).fourcc, static_cast<quint32>(V4L2_PIX_FMT_MJPEG));
    ASSERT_TRUE(test::attendreQue([&] { return cam.CapturerPressePapiers(); }));
    EXPECT_EQ(cam.imageSaisie().size(), QSize(1280, 720));

    // Refused once: back to what worked, and the user is told.
    faux->regler(0, [](CameraFausse& c) { c.formatsRefuses = {V4L2_PIX_FMT_YUYV}; });
    choisir("YUYV", "640 × 480");
    EXPECT_EQ(scenario.dialogues().messages(),
              QStringList{QStringLiteral("La web-cam refuse ce format d'image.")});
    EXPECT_EQ(faux->etat(0).taille, QSize(1280, 720));
    ASSERT_TRUE(test::attendreQue([&] { return cam.CapturerPressePapiers(); }));

    // The stream restarts and gives nothing: no frame of before may pass for a new one. Nor
    // may one that stopped coming a while ago.
    faux->regler(0, [](CameraFausse& c) {
        c.formatsRefuses.clear();
        c.gelee = true;
    });
    choisir("MJPG", "640 × 480");
    EXPECT_EQ(faux->etat(0).taille, QSize(640, 480));
    EXPECT_FALSE(cam.CapturerPressePapiers());
    faux->regler(0, [](CameraFausse& c) { c.gelee = false; });
    ASSERT_TRUE(test::attendreQue([&] { return cam.CapturerPressePapiers(); }));
    faux->regler(0, [](CameraFausse& c) { c.gelee = true; });
    test::attendreEvenements(FenetreCapture::kAgeMaxImage.count() + 200);
    EXPECT_FALSE(cam.CapturerPressePapiers());
    faux->regler(0, [](CameraFausse& c) { c.gelee = false; });

    // Neither the new format nor the old one: the camera counts as lost, said once.
    faux->regler(0, [](CameraFausse& c) { c.sFmtEchecsAVenir = 2; });
    scenario.dialogues().affichages.clear();
    choisir("YUYV", "320 × 240");
    EXPECT_TRUE(scenario.dialogues().messages().isEmpty());
    ASSERT_TRUE(test::attendreQue([&] { return images.pertes == 1; }));
    EXPECT_FALSE(cam.CapturerPressePapiers());
    cam.setActif(false);
    rienDOuvert(*faux);
}

TEST(WebcamsV4l2, TroisCamerasEtLeChoixRetenu) {
    test::Scenario scenario;
    test::DossierTest dossier;
    const QString ancien = QDir::currentPath();
    QDir::setCurrent(dossier.chemin());
    reglagesProgramme().clear();
    CameraFausse integree = test::cameraOrdinaire();
    integree.carte = "Caméra intégrée";
    integree.bus = "usb-0000:00:14.0-5";
    CameraFausse usb = test::cameraOrdinaire();
    usb.chemin = "/dev/video2";
    usb.carte = "Webcam USB";
    usb.bus = "usb-0000:00:14.0-1";
    usb.teinte = qRgb(50, 90, 180);
    CameraFausse mipi;  // a laptop's camera that speaks only the multi-planar form
    mipi.chemin = "/dev/video4";
    mipi.carte = "Caméra MIPI";
    mipi.bus = "platform:ipu";
    mipi.multiplan = true;
    mipi.pilote = "ipu6";  // not UVC: libv4lconvert tries each format on the device
    mipi.formats = {{V4L2_PIX_FMT_YUYV, {{640, 480}}}};
    mipi.teinte = qRgb(200, 140, 70);
    const auto vue = [](FenetrePrincipale& f) { return f.vueCamera->image(); };
    const auto choisirCamera = [&](FenetrePrincipale& f, int index) {
        scenario.dialogues().quandModal<DialogueParametresWebcam>([=](DialogueParametresWebcam& d) {
            EXPECT_EQ(d.listeCameras->count(), 3);
            d.choisirCamera(index);
            EXPECT_EQ(d.listeCameras->currentIndex(), index);
            d.accept();
        });
        f.actionParametresWebcam->trigger();
    };
    {
        FauxV4l2Installe faux({integree, usb, mipi});
        const std::unique_ptr<FenetrePrincipale> f = creerFenetres();
        ASSERT_TRUE(test::attendreQue([&] { return imageDeLaCamera(vue(*f), integree.teinte); }));
        scenario.dialogues().quandModal<DialogueParametresWebcam>([](DialogueParametresWebcam& d) {
            EXPECT_EQ(d.listeCameras->itemText(0), "Caméra intégrée (usb-0000:00:14.0-5)");
            EXPECT_EQ(d.listeCameras->itemText(2), "Caméra MIPI (platform:ipu)");
        });
        f->actionParametresWebcam->trigger();
        choisirCamera(*f, 2);
        ASSERT_TRUE(test::attendreQue([&] { return imageDeLaCamera(vue(*f), mipi.teinte); }));
        choisirCamera(*f, 1);
        ASSERT_TRUE(test::attendreQue([&] { return imageDeLaCamera(vue(*f), usb.teinte); }));
        EXPECT_TRUE(cameraPrete());
        EXPECT_TRUE(scenario.dialogues().messages().isEmpty());
        EXPECT_EQ(faux->descripteursOuverts(), 1);
    }
    {
        // Another day, the cameras numbered otherwise: the one chosen is found by its name.
        usb.chemin = "/dev/video0";
        integree.chemin = "/dev/video2";
        FauxV4l2Installe faux({usb, integree, mipi});
        const std::unique_ptr<FenetrePrincipale> f = creerFenetres();
        ASSERT_TRUE(test::attendreQue([&] { return imageDeLaCamera(vue(*f), usb.teinte); }));
        EXPECT_EQ(f->camera->lmageDevice(), 0);
    }
    {
        FauxV4l2Installe faux({integree, mipi});  // the chosen one is not there: the first
        const std::unique_ptr<FenetrePrincipale> f = creerFenetres();
        EXPECT_EQ(f->camera->lmageDevice(), 0);
        ASSERT_TRUE(test::attendreQue([&] { return imageDeLaCamera(vue(*f), integree.teinte); }));
        // A camera that does not answer: the one in use stays.
        faux->regler(1, [](CameraFausse& c) {
            c.sFmtEchecsAVenir = 100;
            c.formats.clear();
        });
        scenario.dialogues().quandModal<DialogueParametresWebcam>(
            [](DialogueParametresWebcam& d) { d.choisirCamera(1); });
        f->actionParametresWebcam->trigger();
        EXPECT_EQ(scenario.dialogues().messages(), QStringList{kCameraMuette});
        EXPECT_EQ(f->camera->fenetre()->indexPilote(), 0);
        EXPECT_TRUE(cameraPrete());
        // Nor does the one in use come back: the user is told the camera is lost, once.
        faux->regler(0, [](CameraFausse& c) {
            c.sFmtEchecsAVenir = 100;
            c.formats.clear();
        });
        scenario.dialogues().affichages.clear();
        scenario.dialogues().quandModal<DialogueParametresWebcam>(
            [](DialogueParametresWebcam& d) { d.choisirCamera(1); });
        f->actionParametresWebcam->trigger();
        EXPECT_EQ(scenario.dialogues().messages(), QStringList{kWebcamPerdue});
        EXPECT_FALSE(cameraPrete());
    }
    QDir::setCurrent(ancien);
}

TEST(WebcamsV4l2, ReglagesDUneCameraLente) {
    // A camera that takes a third of a second to answer each settings request, next to an
    // ordinary one.
    test::Scenario scenario;
    CameraFausse lente = test::cameraOrdinaire();
    lente.delaiReglagesMs = 300;
    CameraFausse autre = test::cameraOrdinaire();
    autre.chemin = "/dev/video2";
    FauxV4l2Installe faux({lente, autre});
    QWidget fenetre;
    TCamera cam(&fenetre);
    cam.setActif(true);
    ASSERT_TRUE(cameraPrete());

    const test::MesureBlocage mesure;
    const int ouvertures = faux->ouvertures();
    std::vector<test::EcritureReglage> ecritures;
    QElapsedTimer glissement;
    scenario.dialogues().quandModal<DialogueParametresWebcam>([&](DialogueParametresWebcam& d) {
        // The cameras are listed once: one look at each device.
        EXPECT_EQ(faux->ouvertures() - ouvertures, 2);
        EXPECT_EQ(d.listeCameras->count(), 2);
        ASSERT_TRUE(test::attendreQue([&] { return d.reglagesAffiches(); }));
        auto* curseur = d.findChild<QSlider*>();
        ASSERT_NE(curseur, nullptr);
        EXPECT_EQ(curseur->value(), 128);
        // The slider dragged step by step through 100 values, for about a second.
        glissement.start();
        for (int v = 101; v <= 200; ++v) {
            curseur->setValue(v);
            test::attendreEvenements(10);
        }
        const qint64 duree = glissement.elapsed();
        // The last value reaches the camera.
        ASSERT_TRUE(test::attendreQue([&] {
            const auto e = faux->ecrituresReglages(0);
            return !e.empty() && e.back().valeur == 200;
        }));
        ecritures = faux->ecrituresReglages(0);
        // At most one request every 100 ms, and never more than the camera can take.
        EXPECT_LE(static_cast<qint64>(ecritures.size()), duree / 300 + 2) << ecritures.size();
        d.accept();
    });
    cam.DialogueSource();
    EXPECT_LT(mesure.max(), 100);
    ASSERT_GE(ecritures.size(), 2u);
    for (size_t i = 1; i < ecritures.size(); ++i)
        EXPECT_GE(ecritures[i].instant - ecritures[i - 1].instant, std::chrono::milliseconds(95));

    // A camera that answers at once still gets at most one request every 100 ms.
    faux->regler(0, [](CameraFausse& c) { c.delaiReglagesMs = 0; });
    const size_t avant = faux->ecrituresReglages(0).size();
    scenario.dialogues().quandModal<DialogueParametresWebcam>([&](DialogueParametresWebcam& d) {
        ASSERT_TRUE(d.reglagesAffiches());  // read already: shown at once
        auto* curseur = d.findChild<QSlider*>();
        for (int v = 0; v <= 60; ++v) {
            curseur->setValue(v);
            test::attendreEvenements(5);
        }
        ASSERT_TRUE(
            test::attendreQue([&] { return faux->ecrituresReglages(0).back().valeur == 60; }));
    });
    cam.DialogueSource();
    const auto rapides = faux->ecrituresReglages(0);
    ASSERT_GT(rapides.size(), avant + 1);
    for (size_t i = avant + 1; i < rapides.size(); ++i)
        EXPECT_GE(rapides[i].instant - rapides[i - 1].instant, std::chrono::milliseconds(95));
    cam.setActif(false);
}

TEST(WebcamsV4l2, PleinEcranCameraDebrancheePuisUneAutreChoisie) {
    test::Scenario scenario;
    test::DossierTest dossier;
    const QString ancien = QDir::currentPath();
    QDir::setCurrent(dossier.chemin());
    reglagesProgramme().clear();
    CameraFausse usb = test::cameraOrdinaire();
    CameraFausse secours = test::cameraOrdinaire();
    secours.chemin = "/dev/video2";
    secours.carte = "Webcam de secours";
    secours.bus = "usb-0000:00:14.0-2";
    secours.teinte = qRgb(50, 90, 180);
    {
        FauxV4l2Installe faux({usb, secours});
        const std::unique_ptr<FenetrePrincipale> f = creerFenetres();
        f->show();
        f->glissiereOignon->setValue(100);  // the camera alone
        FenetrePleinEcran& plein = *f->fenetrePleinEcran;
        const auto activer = [](QWidget* w) {
            w->activateWindow();
            return test::attendreQue([w] { return QApplication::activeWindow() == w; }, 5000);
        };
        const auto grand = [&] { return plein.imageMontree(); };
        ASSERT_TRUE(activer(f.get()));
        QTest::keyClick(f.get(), Qt::Key_F11);
        ASSERT_TRUE(activer(&plein));
        ASSERT_TRUE(test::attendreQue([&] { return imageDeLaCamera(grand(), usb.teinte); }));
        // Unplugged: the message over the picture says what to do; no box waits behind it.
        faux->regler(0, [](CameraFausse& c) { c.branchee = false; });
        ASSERT_TRUE(test::attendreQue([&] { return !plein.message().isEmpty(); }));
        EXPECT_TRUE(plein.message().startsWith("La web-cam ne répond plus. Appuyez sur Échap"));
        EXPECT_TRUE(scenario.dialogues().affichages.empty());
        // Back in the main window, the full-screen window left open behind it: the other camera
        // chosen there gives pictures again, and the message goes.
        ASSERT_TRUE(activer(f.get()));
        // (The camera left is listed first now, at the number of the one unplugged.)
        scenario.dialogues().quandModal<DialogueParametresWebcam>([](DialogueParametresWebcam& d) {
            ASSERT_EQ(d.listeCameras->count(), 1);
            EXPECT_TRUE(d.listeCameras->itemText(0).startsWith("Webcam de secours"));
            d.choisirCamera(0);
        });
        f->actionParametresWebcam->trigger();
        EXPECT_EQ(scenario.dialogues().affichages.back().fenetre, f.get());
        ASSERT_TRUE(test::attendreQue(
            [&] { return imageDeLaCamera(f->vueCamera->image(), secours.teinte); }));
        EXPECT_TRUE(plein.message().isEmpty());
        // The full-screen window again, with the new camera; Échap goes back.
        QTest::keyClick(f.get(), Qt::Key_F11);
        ASSERT_TRUE(activer(&plein));
        EXPECT_TRUE(test::attendreQue([&] { return imageDeLaCamera(grand(), secours.teinte); }));
        EXPECT_TRUE(plein.message().isEmpty());
        QTest::keyClick(&plein, Qt::Key_Escape);
        EXPECT_FALSE(plein.isVisible());
        EXPECT_TRUE(scenario.dialogues().messages().isEmpty());
    }
    QDir::setCurrent(ancien);
}
