// The road of a film through the main window, as a class would take it: a new project, pictures
// from the (simulated) webcam, a few edits, the preview, then the video.

#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "app/DialogueReglagesVideo.h"
#include "app/Fixture.h"
#include "capture/mire/PiloteMire.h"
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

    // Ten pictures, the scene moving between them.
    for (int i = 0; i < 10; ++i) {
        attendreEvenements(40);
        f->boutonPhoto->click();
    }
    ASSERT_EQ(f->projet.nbImages, 10);
    EXPECT_EQ(f->etiquetteNombreImages->text(), "10 images");
    EXPECT_EQ(f->projet.imageCourante, 9);

    // The last picture shown twice, the first three in reverse, then doubled.
    f->boutonDoubler->click();
    f->bandeFilm->barreDefilement->setValue(0);
    f->boutonMarquerDebut->click();
    f->bandeFilm->cliquerVignette(4);
    f->boutonMarquerFin->click();
    EXPECT_EQ(f->etiquetteSelection->text(), "0 -> 2");
    f->boutonInverserSelection->click();
    f->boutonDoublerSelection->click();
    EXPECT_EQ(f->projet.nbImages, 14);
    EXPECT_EQ(f->etiquetteSelection->text(), "0 -> 5");
    EXPECT_TRUE(test::fichiersPropres(f->projet.dossierProjet()));

    // The preview from the first frame to the end.
    f->bandeFilm->barreDefilement->setValue(0);
    f->glissiereCadence->setValue(25);
    f->boutonApercu->click();
    for (int attente = 0; attente < 100 && f->minuterieApercu->isActive(); ++attente)
        attendreEvenements(50);  // 14 frames at 40 ms, however loaded the machine is
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_EQ(f->etiquetteNombreImages->text(), "14 images");

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
    EXPECT_EQ(v.images, 14);
    EXPECT_EQ(v.largeur, 640);
    EXPECT_EQ(v.hauteur, 480);
    EXPECT_DOUBLE_EQ(v.cadence, 12.0);
    EXPECT_EQ(scenario.bureau().documents, QStringList{video});

    // Everything is on disk: opening the project again finds the same film.
    creerProjet("Autre");
    ouvrirProjet(QStringLiteral("La fusée de Léa"));
    EXPECT_EQ(f->projet.nbImages, 14);
    EXPECT_EQ(f->projet.imageCourante, 13);
}
