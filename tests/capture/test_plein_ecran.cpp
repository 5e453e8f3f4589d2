// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFile>
#include <QGuiApplication>
#include <QInputDialog>
#include <QSignalBlocker>
#include <QTest>

#include "app/Fixture.h"
#include "capture/Camera.h"
#include "capture/FenetrePleinEcran.h"
#include "capture/mire/ImageFixe.h"
#include "capture/mire/PiloteMire.h"
#include "platform/Bitmap.h"
#include "platform/ErreurApplication.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"

using namespace vp;
using test::imageSuivante;
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

const QRgb kGris = qRgb(128, 128, 128);

class PleinEcran : public Programme {
protected:
    std::shared_ptr<ScenePosee> scene = std::make_shared<ScenePosee>(QImage());

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
    // Only this still camera on the machine, detected as a user would; its frames reach the view.
    void brancher(const QImage& cadre) {
        scene->changer(cadre);
        installerFournisseurPilotes(webcamFixe(scene));
        f->actionDetecterWebcam->trigger();
        ASSERT_TRUE(imageSuivante([this] { return f->vueOignon->image(); }));
    }
    void film(const QString& lettres) {
        creerProjet("Film");
        test::ecrireFilm(f->projet.dossierProjet(), lettres);
        f->projet.nbImages = static_cast<qint32>(lettres.size());
        f->projet.imageCourante = f->projet.nbImages - 1;
        f->rafraichirBande();
    }
    void filmEnCouleurs(const QList<QColor>& couleurs, const QString& titre = "Couleurs") {
        creerProjet(titre);
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
    // F11 in the main window; the full-screen view made for a camera of this size.
    void ouvrirPleinEcran(QSize camera = {640, 480}) {
        activer(f.get());
        QTest::keyClick(f.get(), Qt::Key_F11);
        ASSERT_TRUE(plein().isVisible());
        activer(&plein());
        ASSERT_TRUE(test::attendreQue(
            [&] { return plein().imageMontree().size() == plein().zoneImage(camera).size(); },
            5000));
    }
    // The onion skin in the main window and in full screen, after a frame taken from now on.
    QRgb oignon() {
        EXPECT_TRUE(imageSuivante([this] { return f->vueOignon->image(); }));
        return f->vueOignon->image().pixel(160, 120);
    }
    QRgb grand() {
        EXPECT_TRUE(imageSuivante([this] { return plein().imageMontree(); }));
        const QImage& i = plein().imageMontree();
        return i.pixel(i.width() / 2, i.height() / 2) | 0xFF000000;
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
    const QRect zone = plein().zoneImage(cadre.size());
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
    EXPECT_TRUE(
        test::attendreQue([&] { return guideVerticalVers(zone.left() + zone.width() / 3); }, 5000));
    f->actionsReperes[0]->trigger();
    EXPECT_TRUE(test::attendreQue(
        [&] { return !guideVerticalVers(zone.left() + zone.width() / 3); }, 5000));
    // The strip and the full-screen window followed the pictures.
    EXPECT_EQ(f->bandeFilm->numeros[2]->text(), "7");
    EXPECT_EQ(plein().compteur(), "8 images");
    EXPECT_EQ(plein().numeros(), (std::array<QString, 5>{"3", "4", "5", "6", "7"}));
    // A picture taken in full screen is undone as any other.
    f->actionAnnuler->trigger();
    EXPECT_EQ(f->projet.nbImages, 7);
    EXPECT_EQ(plein().compteur(), "7 images");
    EXPECT_EQ(plein().numeros(), (std::array<QString, 5>{"2", "3", "4", "5", "6"}));
    // Échap goes back, and the keys work in the main window again.
    QTest::keyClick(&plein(), Qt::Key_Escape);
    EXPECT_FALSE(plein().isVisible());
    activer(f.get());
    QTest::keyClick(f.get(), Qt::Key_Space);
    EXPECT_EQ(f->projet.nbImages, 8);
    // F11 held down opens the window once: the key's repeats do not close it again.
    QTest::simulateEvent(f.get(), true, Qt::Key_F11, Qt::NoModifier, QString(), false);
    ASSERT_TRUE(plein().isVisible());
    activer(&plein());
    for (int i = 0; i < 3; ++i)
        QTest::simulateEvent(&plein(), true, Qt::Key_F11, Qt::NoModifier, QString(), true);
    QTest::simulateEvent(&plein(), false, Qt::Key_F11, Qt::NoModifier, QString(), false);
    EXPECT_TRUE(plein().isVisible());
    QTest::keyClick(&plein(), Qt::Key_F11);
    EXPECT_FALSE(plein().isVisible());
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
}

TEST_F(PleinEcran, CouchesDOignonDeMoinsEnMoinsFortesSousLImageCourante) {
    brancher(uni(Qt::black, {640, 480}));
    // The oldest frame red, then green, the current one blue: each colour tells a layer.
    filmEnCouleurs({Qt::red, Qt::green, Qt::blue});
    const QRgb seule = oignon();
    f->actionsCouches[2]->trigger();
    const QRgb m = oignon();
    // The current frame as strong as alone, whatever the track bar; each older frame paler than
    // the one after it and still seen.
    EXPECT_EQ(qBlue(m), qBlue(seule));
    EXPECT_GT(qBlue(m), qGreen(m));
    EXPECT_GT(qGreen(m), qRed(m));
    EXPECT_GE(qRed(m), 13);
    // The full-screen view blends them alike.
    ouvrirPleinEcran();
    EXPECT_EQ(grand(), m);
    QTest::keyClick(&plein(), Qt::Key_Escape);
    // More layers than frames: the frames there are.
    f->actionsCouches[4]->trigger();
    EXPECT_EQ(oignon(), m);
    f->glissiereOignon->setValue(20);
    const QRgb basse = oignon();
    f->actionsCouches[0]->trigger();
    EXPECT_EQ(qBlue(oignon()), qBlue(basse));
    // The older frames take from the camera's share, never more than half of it: a white camera
    // over black frames stays well seen.
    filmEnCouleurs({Qt::black, Qt::black, Qt::black, Qt::black, Qt::black}, "Noir");
    scene->changer(uni(Qt::white, {640, 480}));
    f->glissiereOignon->setValue(50);
    const int clarte = qRed(oignon());
    for (int n = 2; n <= 5; ++n) {
        f->actionsCouches[static_cast<size_t>(n - 1)]->trigger();
        const QRgb c = oignon();
        EXPECT_LT(qRed(c), clarte) << n << " couches";
        EXPECT_GE(2 * qRed(c), clarte) << n << " couches";
    }
    f->glissiereOignon->setValue(80);
    const QRgb claire = oignon();
    EXPECT_GE(2 * qRed(claire), 204);
    ouvrirPleinEcran();
    EXPECT_EQ(grand(), claire);
}

TEST_F(PleinEcran, CouchesApresUnePhotoUneAnnulationUneSuppressionUnNouveauProjet) {
    brancher(uni(Qt::black, {640, 480}));
    EXPECT_EQ(oignon(), kGris);  // no frame yet since start-up: white under the camera
    filmEnCouleurs({Qt::red, Qt::green, Qt::blue});
    f->actionsCouches[2]->trigger();
    const QRgb troisCouleurs = oignon();
    const auto rangee = [this] {
        QList<QRgb> couleurs;
        for (const QImage& i : plein().dernieresImages())
            couleurs << (i.isNull() ? 0u : i.pixel(0, 0) | 0xFF000000);
        return couleurs;
    };
    const QRgb r = qRgb(255, 0, 0), v = qRgb(0, 255, 0), b = qRgb(0, 0, 255), n = qRgb(0, 0, 0);
    // A black picture: blue and green lie under it now, red has left the layers.
    f->actionPhoto->trigger();
    const QRgb unePhoto = oignon();
    EXPECT_EQ(qRed(unePhoto), 0);
    EXPECT_GT(qBlue(unePhoto), qGreen(unePhoto));
    EXPECT_GT(qGreen(unePhoto), 0);
    // The same layers in full screen; after a picture taken there, black, black and blue; the
    // row of the last frames moved along with them.
    ouvrirPleinEcran();
    EXPECT_EQ(grand(), unePhoto);
    EXPECT_EQ(rangee(), (QList<QRgb>{0u, r, v, b, n}));
    QTest::keyClick(&plein(), Qt::Key_Space);
    EXPECT_EQ(rangee(), (QList<QRgb>{r, v, b, n, n}));
    const QRgb deuxPhotos = grand();
    EXPECT_EQ(qRed(deuxPhotos), 0);
    EXPECT_EQ(qGreen(deuxPhotos), 0);
    EXPECT_GT(qBlue(deuxPhotos), 0);
    // Undone there, and again from the main window: back the way they came.
    f->actionAnnuler->trigger();
    EXPECT_EQ(rangee(), (QList<QRgb>{0u, r, v, b, n}));
    EXPECT_EQ(grand(), unePhoto);
    QTest::keyClick(&plein(), Qt::Key_Escape);
    EXPECT_EQ(oignon(), unePhoto);
    f->actionAnnuler->trigger();
    EXPECT_EQ(oignon(), troisCouleurs);
    // The current frame deleted: green over red.
    f->actionSupprimerImage->trigger();
    const QRgb m = oignon();
    EXPECT_EQ(qBlue(m), 0);
    EXPECT_GT(qGreen(m), qRed(m));
    EXPECT_GT(qRed(m), 0);
    // A new project, empty: the last current frame of the film before stays under the camera,
    // alone, until the first picture.
    creerProjet("Autre");
    EXPECT_EQ(oignon(), qRgb(0, 128, 0));
    ouvrirPleinEcran();
    EXPECT_EQ(grand(), qRgb(0, 128, 0));
    EXPECT_EQ(rangee(), (QList<QRgb>{0u, 0u, 0u, 0u, 0u}));
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
    EXPECT_TRUE(dialogues().modaux.empty());
    // The program started again: it works as it was set.
    f.reset();
    f = creerFenetres();
    f->show();
    brancher(uni(QColor(kGris), {640, 480}));
    // Four frames in the onion skin: the green one, fourth from the current frame, is seen, the
    // red one before it is not.
    filmEnCouleurs({Qt::red, Qt::green, Qt::black, Qt::black, Qt::black});
    const QRgb m = oignon();
    EXPECT_GT(qGreen(m), qBlue(m));
    EXPECT_EQ(qRed(m), qBlue(m));  // grey camera, black and green frames: no red
    // The 16:9 frame over the camera: the top of the 4:3 picture is dimmed.
    EXPECT_LT(qRed(f->vueCamera->grab().toImage().pixel(160, 8)), 100);
    // The preview goes round.
    {
        const QSignalBlocker seulLeTestAvance(f->minuterieApercu);
        f->boutonApercu->click();
        executerCommande([this] { f->avancerApercu(); });
        EXPECT_TRUE(f->minuterieApercu->isActive());
        EXPECT_EQ(f->projet.posLecture, 0);
        f->boutonApercu->click();
    }
    dialogues().quandModal<QInputDialog>([](QInputDialog& d) {
        EXPECT_EQ(d.intValue(), 7);
        d.reject();
    });
    f->actionImagesAvantCamera->trigger();
    EXPECT_TRUE(dialogues().modaux.empty());
    // A settings file spoilt by hand gives the defaults.
    {
        QSettings reglages = reglagesProgramme();
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
    EXPECT_TRUE(dialogues().modaux.empty());
}

TEST_F(PleinEcran, ApercuParLaToucheP) {
    brancher(uni(QColor(kGris), {640, 480}));
    film("ABCDEFGH");
    f->bandeFilm->barreDefilement->setValue(5);  // the next picture will follow F
    f->boutonFinSurCamera->click();              // up to 10 frames: here A to F
    ouvrirPleinEcran();
    {
        const QSignalBlocker seulLeTestAvance(f->minuterieApercu);
        const auto tic = [this] { executerCommande([this] { f->avancerApercu(); }); };
        QTest::keyClick(&plein(), Qt::Key_P);
        EXPECT_TRUE(f->minuterieApercu->isActive());
        tic();
        EXPECT_TRUE(plein().enLecture());
        EXPECT_EQ(test::lettreImage(plein().imageMontree()), 'A');
        EXPECT_EQ(plein().compteur(), "0");
        QTest::keyClick(&plein(), Qt::Key_P);  // stops: the live picture again
        EXPECT_FALSE(f->minuterieApercu->isActive());
        EXPECT_FALSE(plein().enLecture());
        EXPECT_EQ(plein().compteur(), "8 images");
        // Played to the current frame, it ends on the live camera, over the whole screen.
        QTest::keyClick(&plein(), Qt::Key_P);
        for (int i = 0; i < 6; ++i)
            tic();
        EXPECT_EQ(test::lettreImage(plein().imageMontree()), 'F');
        tic();
        EXPECT_FALSE(f->minuterieApercu->isActive());
        EXPECT_FALSE(plein().enLecture());
        EXPECT_EQ(plein().compteur(), "8 images");
    }
    // Then shooting goes on: the live camera under the onion skin, F (70, 40, 200) half and half
    // with a red camera.
    scene->changer(uni(Qt::red, {640, 480}));
    EXPECT_TRUE(test::attendreQue([this] { return grand() == qRgb(163, 20, 100); }, 5000));
    // The red frame taken, under a blue camera.
    QTest::keyClick(&plein(), Qt::Key_Space);
    scene->changer(uni(Qt::blue, {640, 480}));
    EXPECT_TRUE(test::attendreQue([this] { return grand() == qRgb(128, 0, 128); }, 5000));
}

TEST_F(PleinEcran, LaisseeDerriereLaFenetrePrincipaleOuReduite) {
    brancher(uni(QColor(kGris), {640, 480}));
    film("ABC");
    QFile::remove(cheminImage(f->projet, 2));  // the preview will fail on it
    ouvrirPleinEcran();
    // Alt+Tab to the main window: it shows the camera again, and a failing command tells it there.
    activer(f.get());
    EXPECT_TRUE(plein().isVisible());
    EXPECT_TRUE(imageSuivante([this] { return f->vueCamera->image(); }));
    EXPECT_TRUE(imageSuivante([this] { return f->vueOignon->image(); }));
    dialogues().affichages.clear();
    f->boutonApercu->click();
    ASSERT_TRUE(test::attendreQue([this] { return !dialogues().affichages.empty(); }, 5000));
    EXPECT_EQ(dialogues().affichages.back().fenetre, f.get());
    EXPECT_FALSE(f->minuterieApercu->isActive());
    // A click on the strip here: the row of the window behind follows it.
    emit f->bandeFilm->vignettes[1]->clique();
    EXPECT_EQ(plein().numeros()[4], "1");
    emit f->bandeFilm->vignettes[3]->clique();
    EXPECT_EQ(plein().numeros()[4], "2");
    // F11 there brings the full-screen window back to the front, where the boxes then open.
    QTest::keyClick(f.get(), Qt::Key_F11);
    ASSERT_TRUE(plein().isVisible());
    activer(&plein());
    EXPECT_TRUE(imageSuivante([this] { return plein().imageMontree(); }));
    dialogues().affichages.clear();
    QTest::keyClick(&plein(), Qt::Key_P);
    ASSERT_TRUE(test::attendreQue([this] { return !dialogues().affichages.empty(); }, 5000));
    EXPECT_EQ(dialogues().affichages.back().fenetre, &plein());
    // Minimised: the main window takes over, until F11 shows it again.
    plein().showMinimized();
    EXPECT_TRUE(imageSuivante([this] { return f->vueCamera->image(); }));
    activer(f.get());
    QTest::keyClick(f.get(), Qt::Key_F11);
    EXPECT_FALSE(plein().isMinimized());
    activer(&plein());
    EXPECT_TRUE(imageSuivante([this] { return plein().imageMontree(); }));
    QTest::keyClick(&plein(), Qt::Key_Escape);
    EXPECT_FALSE(plein().isVisible());
}

TEST_F(PleinEcran, CadreSeizeNeuviemesSelonLesProportionsDeLaCamera) {
    f->glissiereOignon->setValue(100);  // the camera alone
    f->actionsReperes[3]->trigger();
    for (const QSize taille : {QSize(640, 480), QSize(1280, 720)}) {
        const bool large = taille.width() * 9 == taille.height() * 16;
        brancher(uni(QColor(200, 200, 200), taille));
        // In the main window the picture is stretched into 4:3; the frame follows the picture.
        ASSERT_TRUE(imageSuivante([this] { return f->vueCamera->image(); }));
        const QImage petite = f->vueCamera->grab().toImage();
        EXPECT_EQ(qRed(petite.pixel(160, 8)) < 150, !large) << taille.width();
        EXPECT_EQ(qRed(petite.pixel(160, 120)), 200);
        ouvrirPleinEcran(taille);
        const QRect zone = plein().zoneImage(taille);
        const QImage ecran = plein().grab().toImage();
        EXPECT_EQ(qRed(ecran.pixel(zone.center().x(), zone.top() + zone.height() / 30)) < 150,
                  !large)
            << taille.width();
        QTest::keyClick(&plein(), Qt::Key_Escape);
    }
}

TEST_F(PleinEcran, WebcamDebrancheeOuAbsente) {
    ouvrirPleinEcran();
    EXPECT_TRUE(plein().message().isEmpty());
    etatMire().disparue = true;
    // Shown over the picture, not in a box that would wait behind it; it says how to get out.
    EXPECT_TRUE(test::attendreQue([this] { return !plein().message().isEmpty(); }, 5000));
    EXPECT_TRUE(plein().message().contains("Échap"));
    EXPECT_TRUE(dialogues().messages().isEmpty());
    QTest::keyClick(&plein(), Qt::Key_Escape);
    EXPECT_FALSE(plein().isVisible());
    // Back in full screen before detecting it: the message is still there.
    activer(f.get());
    QTest::keyClick(f.get(), Qt::Key_F11);
    EXPECT_EQ(plein().message(), kWebcamPerduePleinEcran);
    activer(&plein());
    QTest::keyClick(&plein(), Qt::Key_Escape);
    EXPECT_FALSE(plein().isVisible());
    // No camera at all.
    installerFournisseurPilotes(aucuneWebcam());
    f->actionDetecterWebcam->trigger();
    EXPECT_EQ(dialogues().messages(), QStringList{kPasDeWebcam});
    activer(f.get());
    QTest::keyClick(f.get(), Qt::Key_F11);
    EXPECT_EQ(plein().message(), kPasDeWebcam);
    activer(&plein());
    QTest::keyClick(&plein(), Qt::Key_Escape);
    EXPECT_FALSE(plein().isVisible());
    // A camera again: the first frames take the message away.
    installerFournisseurPilotes(fournisseurSelonEnvironnement());
    etatMire().reinitialiser();
    activer(f.get());
    QTest::keyClick(f.get(), Qt::Key_F11);
    f->actionDetecterWebcam->trigger();
    EXPECT_TRUE(test::attendreQue([this] { return plein().message().isEmpty(); }, 5000));
}
