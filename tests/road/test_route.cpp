// SPDX-License-Identifier: GPL-3.0-or-later
// The road of a film through the main window, as a class would take it: a new project, pictures
// from the (simulated) webcam, a few edits, the preview, the video, a sound track, and the film
// mixed by the editor's batch runner.

#include <algorithm>

#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "app/DialogueReglagesVideo.h"
#include "app/Fixture.h"
#include "audio/simule/MicroSimule.h"
#include "bandeson/DialogueEnregistrementSon.h"
#include "capture/mire/PiloteMire.h"
#include "film/FilmsDeTest.h"
#include "platform/Bitmap.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"
#include "video/DialogueCompression.h"
#include "video/LectureVideo.h"

using namespace vp;
using test::Programme;

using test::attendreEvenements;

TEST_F(Programme, RouteDUnFilm) {
    etatMire().reinitialiser();
    creerProjet(QStringLiteral("La fusée de Léa"));
    ASSERT_EQ(f->projet.nomDossier, QStringLiteral("La_fusee_de_Lea"));

    // 24 pictures, the scene moving between them.
    for (int i = 0; i < 24; ++i) {
        attendreEvenements(40);
        f->boutonPhoto->click();
    }
    ASSERT_EQ(f->projet.nbImages, 24);
    EXPECT_EQ(f->compteurImages->text(), "24 images");
    EXPECT_EQ(f->projet.imageCourante, 23);

    // The first three in reverse, then the last picture deleted.
    f->bandeFilm->barreDefilement->setValue(0);
    f->boutonMarquerDebut->click();
    f->bandeFilm->cliquerVignette(4);
    f->boutonMarquerFin->click();
    EXPECT_EQ(f->etiquetteSelection->text(), "0 -> 2");
    const QImage premiere = chargerImage(cheminImage(f->projet, 0));
    f->boutonInverserSelection->click();
    EXPECT_EQ(chargerImage(cheminImage(f->projet, 2)), premiere);
    f->bandeFilm->barreDefilement->setValue(23);
    f->boutonSupprimerImage->click();
    EXPECT_EQ(f->projet.nbImages, 23);
    EXPECT_TRUE(test::fichiersPropres(f->projet.dossierProjet()));

    // The preview from the first frame to the end.
    f->bandeFilm->barreDefilement->setValue(0);
    f->glissiereCadence->setValue(25);
    f->boutonApercu->click();
    EXPECT_TRUE(test::attendreQue([&] { return !f->minuterieApercu->isActive(); }));
    EXPECT_EQ(f->compteurImages->text(), "23 images");

    // The video, at 12 frames a second.
    dialogues().quandModal<DialogueReglagesVideo>([](DialogueReglagesVideo& d) {
        d.champImagesParSeconde->setText("12");
        d.boutonValider->click();
    });
    dialogues().quandModal<DialogueCompression>([](DialogueCompression& c) {
        c.choisirCodec(mmioFOURCC('M', 'J', 'P', 'G'));
        c.boutonOk->click();
    });
    f->actionCreerVideo->trigger();
    const QString video = f->projet.dossierProjet() + "/video.avi";
    dossier.conserver(video);
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    const auto v = test::lireVideo(video);
    EXPECT_EQ(v.images, 23);
    EXPECT_EQ(v.largeur, 640);
    EXPECT_EQ(v.hauteur, 480);
    EXPECT_DOUBLE_EQ(v.cadence, 12.0);
    EXPECT_EQ(scenario.bureau().documents, QStringList{video});

    scenario.bureau().documents.clear();

    // The sound track, recorded in its window while the frames play: as long as the video's
    // whole seconds and one second more.
    reglagesMicroSimule().reinitialiser();
    QList<int> montrees;
    QStringList fins;
    QObject abonnements;
    QObject::connect(f->fenetreSon, &DialogueEnregistrementSon::imageMontree, &abonnements,
                     [&](int k, qint64) { montrees << k; });
    QObject::connect(f->fenetreSon, &DialogueEnregistrementSon::enregistrementTermine, &abonnements,
                     [&](const QString& e) { fins << e; });
    dialogues().quandModal<DialogueEnregistrementSon>([&](DialogueEnregistrementSon& d) {
        d.boutonEnregistrer->click();
        ASSERT_TRUE(test::attendreQue([&] { return !fins.isEmpty(); }));
        EXPECT_EQ(fins, QStringList{QString()});
        EXPECT_TRUE(d.boutonEnregistrer->isEnabled());
        d.boutonFermer->click();
    });
    f->actionEnregistrerSon->trigger();
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    // From the first frame to the last, in order (a frame whose time passed while a loaded
    // machine could not paint it is skipped).
    ASSERT_FALSE(montrees.isEmpty());
    EXPECT_EQ(montrees.front(), 0);
    EXPECT_EQ(montrees.back(), 22);
    EXPECT_TRUE(std::is_sorted(montrees.begin(), montrees.end()));
    EXPECT_EQ(std::adjacent_find(montrees.begin(), montrees.end()), montrees.end());
    const QString son = f->projet.dossierProjet() + "/audio.wav";
    dossier.conserver(son);
    const test::MediaLu bandeSon = test::lireMedia(son);
    ASSERT_EQ(bandeSon.son.frequence, 44100);

    // The film, mixed by the editor's batch runner.
    test::installerEditeur(f->projet.repProgramme);
    scenario.bureau().executerVraiment = true;
    f->actionMixer->trigger();
    const QString film = f->projet.dossierProjet() + "/film.avi";
    dossier.conserver(film);
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    EXPECT_EQ(scenario.bureau().documents, QStringList{film});
    const test::MediaLu m = test::lireMedia(film);
    EXPECT_EQ(m.nombreFlux, 2);
    EXPECT_EQ(m.video.paquets.size(), 23u);
    EXPECT_DOUBLE_EQ(m.video.cadence, 12.0);
    EXPECT_EQ(m.son.octets().size(), bandeSon.son.octets().size());
    // 23 frames at 12 i/s make 1 whole second of video; the sound track lasts one more.
    EXPECT_EQ(m.son.octets().size(), 2 * 44100 * 4);

    // Everything is on disk: opening the project again finds the same film.
    creerProjet("Autre");
    ouvrirProjet(QStringLiteral("La fusée de Léa"));
    EXPECT_EQ(f->projet.nbImages, 23);
    EXPECT_EQ(f->projet.imageCourante, 22);
}
