// SPDX-License-Identifier: GPL-3.0-or-later
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "app/Fixture.h"
#include "capture/Camera.h"
#include "capture/FenetrePleinEcran.h"
#include "capture/Oignon.h"
#include "capture/VueDirecte.h"
#include "capture/mire/ImageFixe.h"
#include "capture/mire/PiloteMire.h"
#include "platform/Bitmap.h"
#include "platform/FichiersSurs.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"

using namespace vp;
using test::Programme;

namespace {

class Photo : public Programme {
protected:
    void SetUp() override {
        etatMire().reinitialiser();
        installerFournisseurPilotes(fournisseurSelonEnvironnement());
        Programme::SetUp();
    }
    void TearDown() override {
        Programme::TearDown();
        etatMire().reinitialiser();
    }
    void film(const QString& lettres, qint32 courante) {
        if (f->projet.titreProjet.isEmpty()) creerProjet("Film");
        for (const QString& nom : QDir(f->projet.dossierProjet()).entryList({"image_*.bmp"}))
            QFile::remove(f->projet.dossierProjet() + "/" + nom);
        test::ecrireFilm(f->projet.dossierProjet(), lettres);
        f->projet.nbImages = static_cast<qint32>(lettres.size());
        f->projet.imageCourante = courante;
        f->rafraichirBande();
    }
    // The film as letters, '*' for a camera picture.
    QString lettres() {
        QString s;
        for (qint32 i = 0; i < compterImages(f->projet); ++i) {
            const QImage image = chargerImage(cheminImage(f->projet, i));
            s += image.size() == QSize(640, 480) ? QChar('*') : test::lettreImage(image);
        }
        return s;
    }
};

}  // namespace

TEST_F(Photo, DansLeVideAuMilieuEtALaFin) {
    film("", -1);
    f->boutonPhoto->click();
    EXPECT_TRUE(QFile::exists(f->projet.dossierProjet() + "/image_00000.bmp"));
    EXPECT_EQ(f->projet.nbImages, 1);
    EXPECT_EQ(f->projet.imageCourante, 0);

    film("ABCDE", 2);
    f->projet.selDebut = 0;
    f->projet.selFin = 1;
    f->actionPhoto->trigger();
    EXPECT_EQ(lettres(), "ABC*DE");
    EXPECT_EQ(f->projet.nbImages, 6);
    EXPECT_EQ(f->projet.imageCourante, 3);
    EXPECT_EQ(f->projet.selFin, 1);
    EXPECT_EQ(f->camera->FichierImage(), cheminImage(f->projet, 3));
    EXPECT_EQ(f->bandeFilm->numeros[2]->text(), "3");
    EXPECT_TRUE(test::fichiersPropres(f->projet.dossierProjet()));

    film("ABCDE", 4);
    f->boutonPhoto->click();
    EXPECT_EQ(lettres(), "ABCDE*");
    EXPECT_EQ(f->projet.imageCourante, 5);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
}

TEST_F(Photo, SansProjetSansCameraOuSansImage) {
    f->boutonPhoto->click();
    EXPECT_EQ(dialogues().messages(), QStringList{kMessageGarde});

    film("AB", 1);
    dialogues().affichages.clear();
    etatMire().sansImage = true;  // the camera gives nothing: a message, nothing changes
    f->boutonPhoto->click();
    EXPECT_EQ(dialogues().messages(), QStringList{kPasDImage});
    EXPECT_EQ(lettres(), "AB");
    EXPECT_EQ(f->projet.nbImages, 2);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // No camera at all: the command does nothing and says nothing.
    etatMire().sansImage = false;
    installerFournisseurPilotes(aucuneWebcam());
    dialogues().affichages.clear();
    f->actionDetecterWebcam->trigger();
    EXPECT_EQ(dialogues().messages(), QStringList{kPasDeWebcam});
    dialogues().affichages.clear();
    f->boutonPhoto->click();
    EXPECT_TRUE(dialogues().affichages.empty());
    EXPECT_EQ(lettres(), "AB");
}

TEST_F(Photo, AuClavierEtALaTelecommande) {
    film("AB", 1);
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
    // No command button takes the keyboard, whatever Tab or a closing dialog gives the focus
    // to: Space or Enter on it would run its command instead of taking the picture.
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : f.get(),
                        Qt::Key_Tab);
        ASSERT_EQ(qobject_cast<QToolButton*>(QApplication::focusWidget()), nullptr)
            << QApplication::focusWidget()->objectName().toStdString();
    }
    // Space, Enter and Page Down (a wireless presenter) each take one picture, even when a
    // button was given the focus.
    f->boutonSupprimerImage->setFocus();
    for (const Qt::Key touche : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_PageDown})
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : f.get(),
                        touche);
    EXPECT_EQ(lettres(), "AB****");
    EXPECT_EQ(f->projet.imageCourante, 5);
    // Not while a dialog is open.
    QDialog dialogue(f.get());
    dialogue.setModal(true);
    dialogue.show();
    dialogue.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialogue));
    QTest::keyClick(&dialogue, Qt::Key_PageDown);
    QTest::keyClick(f.get(), Qt::Key_Space);
    EXPECT_EQ(f->projet.nbImages, 6);
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
}

TEST_F(Photo, EcritureRateeNeChangeRien) {
    film("ABC", 2);
    // The folder cannot take a file (a USB stick locked): the picture cannot be written.
    QFile::setPermissions(f->projet.dossierProjet(), QFile::ReadOwner | QFile::ExeOwner);
    {
        test::DroitsOrdinaires droits;
        f->boutonPhoto->click();
    }
    QFile::setPermissions(f->projet.dossierProjet(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages().first().startsWith("La photo n'a pas été enregistrée."))
        << dialogues().messages().first().toStdString();
    EXPECT_EQ(dialogues().affichages.back().icone, Icone::Arret);
    EXPECT_EQ(lettres(), "ABC");
    EXPECT_EQ(f->projet.nbImages, 3);
    EXPECT_EQ(f->projet.imageCourante, 2);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(Photo, DisquePresquePleinPuisPhotoRefusee) {
    film("ABC", 2);
    f->boutonPhoto->click();  // a picture of the camera's size, the current frame
    const qint64 photo = QFileInfo(cheminImage(f->projet, 3)).size();
    ASSERT_GT(photo, 100000);
    dialogues().affichages.clear();
    qint64 libre = 300 * photo;
    simulerEspaceLibre([&](const QString&) { return libre; });
    const auto fin = qScopeGuard([] { simulerEspaceLibre({}); });
    // The count the help line gives, -1 without one; and whether it is written in red.
    const auto compte = [&] {
        const QRegularExpressionMatch m =
            QRegularExpression(" Il reste de la place pour environ (\\d+) photos?\\.")
                .match(f->ligneAide->text());
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    // The full-screen window's band says it too, hidden or not.
    const auto enRouge = [&](QWidget* w = nullptr) {
        const QImage i = (w ? w : f->ligneAide)->grab().toImage();
        for (int y = 0; y < i.height(); ++y)
            for (int x = 0; x < i.width(); ++x) {
                const QColor c = i.pixelColor(x, y);
                if (c.red() > 200 && c.green() < 60 && c.blue() < 60) return true;
            }
        return false;
    };

    f->boutonPhoto->click();
    EXPECT_EQ(compte(), -1);
    EXPECT_FALSE(enRouge());
    EXPECT_FALSE(enRouge(f->fenetrePleinEcran));
    libre = 150 * photo;
    f->boutonPhoto->click();
    EXPECT_GE(compte(), 140);
    EXPECT_LE(compte(), 150);
    EXPECT_TRUE(enRouge());
    EXPECT_TRUE(enRouge(f->fenetrePleinEcran));
    // It stays while the mouse is over the picture or the background, not over another button.
    test::survoler(f->boutonSupprimerImage);
    EXPECT_EQ(compte(), -1);
    EXPECT_FALSE(enRouge());
    test::survoler(f->boutonPhoto);
    EXPECT_GE(compte(), 140);
    test::survoler(f->fond);
    EXPECT_TRUE(enRouge());
    EXPECT_TRUE(dialogues().affichages.empty());

    // Down to about fifty: one message in the run, however many pictures follow.
    libre = 45 * photo;
    f->boutonPhoto->click();
    f->boutonPhoto->click();
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].startsWith("Le disque du projet est presque plein."))
        << dialogues().messages()[0].toStdString();
    EXPECT_EQ(dialogues().affichages[0].icone, Icone::Avertissement);
    EXPECT_LE(compte(), 45);

    // No room for one more: refused before anything is written, the film as it was.
    dialogues().affichages.clear();
    libre = photo / 2;
    const QString avant = lettres();
    const qint32 nb = f->projet.nbImages, courante = f->projet.imageCourante;
    const auto contenu = test::contenuDossier(f->projet.dossierProjet());
    f->boutonPhoto->click();
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].contains("plus assez de place sur le disque"))
        << dialogues().messages()[0].toStdString();
    EXPECT_EQ(dialogues().affichages[0].icone, Icone::Arret);
    EXPECT_EQ(lettres(), avant);
    EXPECT_EQ(f->projet.nbImages, nb);
    EXPECT_EQ(f->projet.imageCourante, courante);
    EXPECT_EQ(test::contenuDossier(f->projet.dossierProjet()), contenu);
    EXPECT_TRUE(f->ligneAide->text().contains("plus de place"))
        << f->ligneAide->text().toStdString();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // Room again: the warning goes.
    libre = 1000 * photo;
    f->boutonPhoto->click();
    EXPECT_EQ(f->projet.nbImages, nb + 1);
    test::survoler(f->fond);
    EXPECT_FALSE(enRouge());
    EXPECT_FALSE(enRouge(f->fenetrePleinEcran));
}

TEST_F(Photo, VueEnDirectEtPelureDOignon) {
    test::attendreEvenements(300);  // a few live frames
    EXPECT_EQ(f->vueCamera->image().size(), QSize(320, 240));
    EXPECT_EQ(f->vueCamera->image().pixel(2, 2), qRgb(255, 255, 255));  // the pattern's white bar
    // No frame yet: the camera is mixed with white (the start-up work bitmap).
    EXPECT_EQ(f->vueOignon->image().pixel(300, 2), qRgb(128, 128, 128));  // black bar + white
    film("ABC", 1);
    test::attendreEvenements(150);
    const QRgb b = test::imageLettre('B').pixel(0, 0);
    EXPECT_EQ(f->projet.bmpTravail1.pixel(100, 100), b);  // the current frame at 320 x 240
    EXPECT_EQ(qRed(f->vueOignon->image().pixel(300, 2)), mulDiv100(qRed(b), 50));
    f->glissiereOignon->setValue(0);
    test::attendreEvenements(150);
    EXPECT_EQ(f->vueOignon->image(), f->projet.bmpTravail1);
    f->glissiereOignon->setValue(100);
    test::attendreEvenements(150);
    EXPECT_EQ(f->vueOignon->image(), f->vueCamera->image());
    // The reference follows the current frame.
    f->bandeFilm->cliquerVignette(3);
    test::attendreEvenements(150);
    EXPECT_EQ(f->projet.bmpTravail1.pixel(10, 10), test::imageLettre('C').pixel(0, 0));
}

TEST_F(Photo, WebcamDebrancheePendantLaVueEnDirect) {
    test::attendreEvenements(150);
    etatMire().disparue = true;
    test::attendreEvenements(300);
    EXPECT_EQ(dialogues().messages(), QStringList{kWebcamPerdue});
    // Plugged in again and detected: the live view comes back.
    etatMire().disparue = false;
    f->actionDetecterWebcam->trigger();
    EXPECT_TRUE(cameraPrete());
    ASSERT_TRUE(f->camera->fenetre());
    EXPECT_TRUE(f->camera->fenetre()->apercuActif());
    EXPECT_EQ(dialogues().messages().size(), 1);
}

TEST(SansWebcam, LaFenetrePrincipaleSOuvreQuandMeme) {
    test::Scenario scenario;
    test::DossierTest dossier;
    const QString ancien = QDir::currentPath();
    QDir::setCurrent(dossier.chemin());
    installerFournisseurPilotes(aucuneWebcam());
    {
        const std::unique_ptr<FenetrePrincipale> f = creerFenetres();
        f->show();
        EXPECT_EQ(scenario.dialogues().messages(), QStringList{kPasDeWebcam});
        EXPECT_EQ(scenario.dialogues().affichages.back().icone, Icone::Arret);
        EXPECT_TRUE(f->isVisible());
        EXPECT_FALSE(cameraPrete());
        EXPECT_TRUE(f->vueCamera->image().isNull());  // no live picture
    }
    installerFournisseurPilotes(fournisseurSelonEnvironnement());
    QDir::setCurrent(ancien);
}
