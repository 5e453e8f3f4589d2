// The road of a film through the main window, as a class would take it: a new project, pictures
// from the (simulated) webcam, a few edits, the preview, then the video.

#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "app/Fixture.h"
#include "app/Unit4.h"
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
        f->bphoto->click();
    }
    ASSERT_EQ(f->projet.nbImages, 10);
    EXPECT_EQ(f->Limages->text(), "10 images");
    EXPECT_EQ(f->projet.imageCourante, 9);

    // The last picture shown twice, the first three in reverse, then doubled.
    f->bdouble->click();
    f->SB->SCR->setValue(0);
    f->SG->click();
    f->SB->V5Click();
    f->SF->click();
    EXPECT_EQ(f->LabS->text(), "0 -> 2");
    f->SpeedButton19->click();
    f->SpeedButton20->click();
    EXPECT_EQ(f->projet.nbImages, 14);
    EXPECT_EQ(f->LabS->text(), "0 -> 5");
    EXPECT_TRUE(test::fichiersPropres(f->projet.dossierProjet()));

    // The preview from the first frame to the end.
    f->SB->SCR->setValue(0);
    f->tbims->setValue(25);
    f->SpeedButton15->click();
    attendreEvenements(14 * 40 + 400);
    EXPECT_FALSE(f->Timer1->isActive());
    EXPECT_EQ(f->Limages->text(), "14 images");

    // The video, at 12 frames a second.
    dialogues().quandModal<TFvideo>([](TFvideo& d) {
        d.Eims->setText("12");
        d.bvalider->click();
    });
    dialogues().quandModal<DialogueCompression>([](DialogueCompression& c) {
        c.choisirCodec(mmioFOURCC('M', 'J', 'P', 'G'));
        c.bok->click();
    });
    f->Crerlavido1->trigger();
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
