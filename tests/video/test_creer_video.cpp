// SPDX-License-Identifier: GPL-3.0-or-later
#include <QGuiApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "LectureVideo.h"
#include "app/DialogueReglagesVideo.h"
#include "app/Fixture.h"
#include "platform/Bitmap.h"
#include "platform/Erreur.h"
#include "platform/ErreurApplication.h"
#include "platform/FichiersSurs.h"
#include "sequence/StockImages.h"
#include "video/AVIRecorder.h"
#include "video/CreerVideo.h"
#include "video/DialogueCompression.h"

using namespace vp;
using test::lireVideo;
using test::Programme;

namespace {

class CreerVideo : public Programme {
protected:
    QString video;

    // A project of `n` frames of 320 x 240, each of its own colour.
    void projet(int n) {
        creerProjet("Film");
        for (int k = 0; k < n; ++k)
            ecrireBitmap24(test::imageLettre(QChar('A' + k % 26), 320, 240),
                           cheminImage(f->projet, k));
        f->projet.nbImages = n;
        f->projet.imageCourante = n - 1;
        f->rafraichirBande();
        video = f->projet.dossierProjet() + "/video.avi";
    }
    // "Créer la vidéo" with these settings and Motion JPEG (without the codec dialog when the
    // settings are refused before it).
    void creer(const QString& ims, const QString& largeur, const QString& hauteur,
               bool compression = true) {
        dialogues().quandModal<DialogueReglagesVideo>([=](DialogueReglagesVideo& d) {
            d.champImagesParSeconde->setText(ims);
            d.champLargeur->setText(largeur);
            d.champHauteur->setText(hauteur);
            d.boutonValider->click();
        });
        if (compression)
            dialogues().quandModal<DialogueCompression>([](DialogueCompression& c) {
                c.choisirCodec(mmioFOURCC('M', 'J', 'P', 'G'));
                c.boutonOk->click();
            });
        f->actionCreerVideo->trigger();
        EXPECT_TRUE(dialogues().modaux.empty());
    }
    void fenetreRendue() {
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(f->barreProgression->isVisible());
    }
};

}  // namespace

TEST(LectureDesReglages, CommeLesChampsDeLaFenetre) {
    EXPECT_EQ(lireEntier("15"), 15);
    EXPECT_EQ(lireEntier("12a"), 12);
    EXPECT_EQ(lireEntier("  640"), 640);
    EXPECT_EQ(lireEntier("-5"), -5);
    EXPECT_EQ(lireEntier("+7"), 7);
    EXPECT_EQ(lireEntier("$1F"), 31);
    EXPECT_EQ(lireEntier("0x10"), 16);
    EXPECT_EQ(lireEntier("0X1g"), 1);
    EXPECT_EQ(lireEntier("abc"), 0);
    EXPECT_EQ(lireEntier(""), 0);
    EXPECT_EQ(lireEntier("4 2"), 4);
}

TEST_F(CreerVideo, TrenteImagesAgrandiesA640Sur480) {
    projet(30);
    creer("15", "640", "480");
    dossier.conserver(video);
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    const auto v = lireVideo(video);
    ASSERT_TRUE(v.ouverte);
    EXPECT_EQ(v.largeur, 640);
    EXPECT_EQ(v.hauteur, 480);
    EXPECT_DOUBLE_EQ(v.cadence, 15.0);
    EXPECT_EQ(v.images, 30);
    // Each frame is stretched over the whole picture.
    const QRgb couleur = test::imageLettre(QChar('A' + 29 % 26)).pixel(0, 0);
    EXPECT_NEAR(qRed(v.derniere.pixel(630, 470)), qRed(couleur), 12);
    EXPECT_NEAR(qBlue(v.derniere.pixel(5, 5)), qBlue(couleur), 12);
    EXPECT_EQ(f->projet.imagesParSeconde, 15);
    EXPECT_EQ(f->barreProgression->maximum(), 29);
    EXPECT_EQ(f->barreProgression->value(), 29);
    fenetreRendue();
    EXPECT_EQ(scenario.bureau().documents, QStringList{video});
    // The strip and the selection are not touched.
    EXPECT_EQ(f->projet.imageCourante, 29);
}

TEST_F(CreerVideo, TaillesArrondiesEtLargeurIllisible) {
    projet(3);
    creer("12", "650", "490");
    auto v = lireVideo(video);
    EXPECT_EQ(v.largeur, 648);
    EXPECT_EQ(v.hauteur, 488);
    EXPECT_DOUBLE_EQ(v.cadence, 12.0);

    // Letters in the width: 0, the frames are not stretched and the recorder keeps its width.
    scenario.dialogues().reponses = {true};  // overwrite
    creer("12", "abc", "240");
    EXPECT_EQ(f->projet.largeurVideo, 0);
    v = lireVideo(video);
    EXPECT_EQ(v.largeur, 648);
    EXPECT_EQ(v.hauteur, 240);
    EXPECT_NEAR(qRed(v.premiere.pixel(600, 100)), 255, 12);  // beyond the 320 columns: white
    fenetreRendue();
}

TEST_F(CreerVideo, LaPremiereLargeurEstCelleDuDemarrage) {
    projet(2);
    creer("10", "", "240");
    const auto v = lireVideo(video);
    EXPECT_EQ(v.largeur, 320);
    EXPECT_EQ(v.hauteur, 240);
    EXPECT_EQ(v.images, 2);
}

TEST_F(CreerVideo, UneSeuleImageEtReglagesRefusesSansRienEcrire) {
    projet(1);
    creer("25", "320", "240");
    const auto v = lireVideo(video);
    EXPECT_DOUBLE_EQ(v.cadence, 25.0);
    EXPECT_EQ(v.images, 1);
    EXPECT_EQ(f->barreProgression->maximum(), 0);
    const QByteArray avant = test::lireFichier(video);

    // Refused before anything is asked or written: the video in place stays as it is.
    struct Cas {
        const char *ims, *largeur, *hauteur;
        QString message;
    };
    for (const Cas& c :
         {Cas{"0", "320", "240", kCadenceImpossible}, Cas{"256", "320", "240", kCadenceImpossible},
          Cas{"300", "320", "240", kCadenceImpossible}, Cas{"-5", "320", "240", kCadenceImpossible},
          Cas{"x", "320", "240", kCadenceImpossible},
          Cas{"12", "40000", "40000", kTailleVideoImpossible},
          Cas{"12", "6400", "4800", kTailleVideoImpossible},
          Cas{"12", "640", "4104", kTailleVideoImpossible},
          Cas{"12", "4100", "480", kTailleVideoImpossible}}) {
        dialogues().affichages.clear();
        creer(c.ims, c.largeur, c.hauteur, false);
        EXPECT_EQ(dialogues().messages(), QStringList{texteBoiteErreur(c.message)})
            << c.ims << " " << c.largeur << " x " << c.hauteur;
        EXPECT_EQ(test::lireFichier(video), avant);
        fenetreRendue();
    }
    EXPECT_EQ(scenario.bureau().documents.size(), 1);

    // No width typed: the recorder's is the last one accepted, not one of those refused.
    scenario.dialogues().reponses = {true};  // overwrite
    dialogues().affichages.clear();
    creer("12", "", "240");
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    EXPECT_EQ(lireVideo(video).largeur, 320);
}

TEST_F(CreerVideo, ImagesQuiNePeuventEtrePrepareesNiAgrandies) {
    projet(4);
    f->projet.imagesParSeconde = 12;
    f->projet.largeurVideo = 320;
    f->projet.hauteurVideo = 240;
    // Memory running out on the loading thread, and a stretch that gives no picture.
    const std::function<QImage(qint32)> pannes[] = {
        [this](qint32 k) -> QImage {
            if (k == 2) throw std::bad_alloc();
            return chargerImage(cheminImage(f->projet, k));
        },
        [this](qint32 k) { return k == 1 ? QImage() : chargerImage(cheminImage(f->projet, k)); }};
    int k = 2;
    for (const auto& charger : pannes) {
        dialogues().quandModal<DialogueCompression>([](DialogueCompression& c) {
            c.choisirCodec(mmioFOURCC('M', 'J', 'P', 'G'));
            c.boutonOk->click();
        });
        EXPECT_EQ(
            test::messageErreur([&] { ecrireVideo(f->projet, f->enregistreurVideo, *f, charger); }),
            kImageNonPreparee.arg(k--).toStdString());
        EXPECT_FALSE(QFile::exists(video));
        EXPECT_FALSE(f->enregistreurVideo.enregistre());
        fenetreRendue();
    }
    EXPECT_TRUE(scenario.bureau().documents.isEmpty());
}

TEST_F(CreerVideo, LaFenetreNeSeFermePasPendantLaVideo) {
    projet(3);
    dialogues().quandModal<DialogueReglagesVideo>(
        [](DialogueReglagesVideo& d) { d.boutonValider->click(); });
    dialogues().quandModal<DialogueCompression>([this](DialogueCompression& c) {
        f->close();  // the user closes the window while the video is being made
        f->actionNouveau->trigger();
        c.choisirCodec(mmioFOURCC('M', 'J', 'P', 'G'));
        c.boutonOk->click();
    });
    f->actionCreerVideo->trigger();
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(lireVideo(video).images, 3);
    EXPECT_EQ(f->projet.titreProjet, "Film");
    EXPECT_TRUE(dialogues().modaux.empty());
}

TEST_F(CreerVideo, DisquePleinALaFinPasDeFichierNiDeLecteur) {
    projet(5);
    creer("12", "320", "240");
    const qint64 taille = QFileInfo(video).size();
    ASSERT_GT(taille, 1000);
    QFile::remove(video);
    scenario.bureau().documents.clear();
    {
        // The disk fills up just before the end: the frames fit, the index and headers not.
        test::DisquePlein plein(static_cast<long>(taille - 16));
        creer("12", "320", "240");
    }
    EXPECT_EQ(dialogues().messages(), QStringList{texteBoiteErreur(kVideoInachevee)});
    EXPECT_FALSE(QFile::exists(video));
    EXPECT_TRUE(scenario.bureau().documents.isEmpty());
    EXPECT_FALSE(f->enregistreurVideo.enregistre());
    fenetreRendue();
}

TEST_F(CreerVideo, VideoQueLeDisqueNePeutConfirmerEffacee) {
    // The disk fails to confirm the finished file: it is reported as not made, and it goes.
    projet(3);
    enregistrerOperations([](const OperationFichier& o) {
        if (o.type == OperationFichier::SynchroDonnees) throw Erreur("panne du disque");
    });
    creer("12", "320", "240");
    enregistrerOperations({});
    EXPECT_EQ(dialogues().messages(), QStringList{texteBoiteErreur("panne du disque")});
    EXPECT_FALSE(QFile::exists(video));
    EXPECT_TRUE(scenario.bureau().documents.isEmpty());
    fenetreRendue();
}

TEST_F(CreerVideo, RefuserDEcraserGardeLAncienneVideo) {
    projet(2);
    creer("12", "320", "240");
    const qint64 taille = QFileInfo(video).size();
    scenario.bureau().documents.clear();
    dialogues().reponses = {false};
    dialogues().quandModal<DialogueReglagesVideo>(
        [](DialogueReglagesVideo& d) { d.boutonValider->click(); });
    f->boutonCreerVideo->click();
    EXPECT_EQ(QFileInfo(video).size(), taille);
    EXPECT_TRUE(scenario.bureau().documents.isEmpty());
    fenetreRendue();
}

TEST_F(CreerVideo, ImageIllisibleFermeEtEffaceLaVideo) {
    projet(6);
    QFile::remove(cheminImage(f->projet, 3));
    creer("12", "320", "240");
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages().first().contains("image_00003.bmp"));
    EXPECT_FALSE(QFile::exists(video));
    fenetreRendue();
    EXPECT_FALSE(f->enregistreurVideo.enregistre());
    // The next run starts clean.
    ecrireBitmap24(test::imageLettre('Z', 320, 240), cheminImage(f->projet, 3));
    dialogues().affichages.clear();
    creer("12", "320", "240");
    EXPECT_TRUE(dialogues().messages().isEmpty());
    EXPECT_EQ(lireVideo(video).images, 6);
}

TEST_F(CreerVideo, AnnulerOuFilmVide) {
    creerProjet("Vide");
    const size_t avant = dialogues().affichages.size();
    f->actionCreerVideo->trigger();  // no frames: nothing shown
    EXPECT_EQ(dialogues().affichages.size(), avant);
    projet(2);
    QDir::setCurrent(dossier.chemin() + "Film");
    dialogues().quandModal<DialogueReglagesVideo>(
        [](DialogueReglagesVideo& d) { d.boutonAnnuler->click(); });
    f->actionCreerVideo->trigger();
    EXPECT_FALSE(QFile::exists(video));
    EXPECT_EQ(QDir::currentPath() + "/", f->projet.repProgramme);
}
