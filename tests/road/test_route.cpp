// The road of a film through the main window, as a class would take it: a new project, pictures
// from the (simulated) webcam, a few edits, the preview, the video, a sound track, and the film
// mixed by the editor's batch runner.

#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <atomic>
#include <cmath>

#include "app/DialogueReglagesVideo.h"
#include "app/Fixture.h"
#include "audio/EntreeSon.h"
#include "audio/FichierWav.h"
#include "audio/simule/MicroSimule.h"
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

namespace {

// The sound-track step: "audio.wav" recorded from the simulated microphone through the audio
// framework for `secondes` seconds (44100 Hz, 16 bits, stereo). It stands in for the recording
// window of the sound-track commands.
void enregistrerBandeSon(const QString& fichier, int secondes) {
    auto ancien = installerPiloteEntree(std::make_unique<PiloteMicroSimule>());
    reglagesMicroSimule().reinitialiser();
    TAudioIn micro;
    micro.InBitsPerSample = 16;
    micro.InChannels = 2;
    micro.InSampleRate = 44100;
    micro.RecTime = secondes;
    TWaveOut wav;
    wav.SetInput(&micro);
    wav.FileName = QFile::encodeName(fichier).toStdString();
    std::atomic<bool> fini{false};
    std::string erreur;
    wav.OnDone = [&](TACSOutput*) { fini = true; };
    wav.OnThreadException = [&](TACSOutput*, const std::exception& e) {
        erreur = e.what();
        fini = true;
    };
    wav.Run();
    for (int i = 0; i < 1000 && !fini; ++i)
        attendreEvenements(20);
    EXPECT_TRUE(fini);
    EXPECT_EQ(erreur, "");
    for (int i = 0; i < 100 && wav.Status() != 2; ++i)
        attendreEvenements(10);
    installerPiloteEntree(std::move(ancien));
}

}  // namespace

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
    EXPECT_EQ(f->etiquetteNombreImages->text(), "24 images");
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
    f->boutonSupprimer->click();
    EXPECT_EQ(f->projet.nbImages, 23);
    EXPECT_TRUE(test::fichiersPropres(f->projet.dossierProjet()));

    // The preview from the first frame to the end.
    f->bandeFilm->barreDefilement->setValue(0);
    f->glissiereCadence->setValue(25);
    f->boutonApercu->click();
    for (int i = 0; i < 200 && f->minuterieApercu->isActive(); ++i)
        attendreEvenements(50);
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_EQ(f->etiquetteNombreImages->text(), "23 images");

    // The video, at 12 frames a second.
    dialogues().quandModal<DialogueReglagesVideo>([](DialogueReglagesVideo& d) {
        d.champImagesParSeconde->setText("12");
        d.boutonValider->click();
    });
    dialogues().quandModal<DialogueCompression>([](DialogueCompression& c) {
        c.choisirCodec(mmioFOURCC('M', 'J', 'P', 'G'));
        c.bok->click();
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

    // The sound track, as long as the video and one second more.
    const QString son = f->projet.dossierProjet() + "/audio.wav";
    enregistrerBandeSon(son, static_cast<int>(std::ceil(23 / 12.0 + 1)));
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
    EXPECT_EQ(m.son.octets().size(), 3 * 44100 * 4);

    // Everything is on disk: opening the project again finds the same film.
    creerProjet("Autre");
    ouvrirProjet(QStringLiteral("La fusée de Léa"));
    EXPECT_EQ(f->projet.nbImages, 23);
    EXPECT_EQ(f->projet.imageCourante, 22);
}
