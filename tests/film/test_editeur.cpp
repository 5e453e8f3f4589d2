// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's window, on the offscreen platform, with a sound output the test drives.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include "FenetreEditeur.h"
#include "FilmsDeTest.h"
#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "film/ErreurFilm.h"
#include "platform/Chemins.h"
#include "video/FichierAvi.h"

using namespace vp;
using namespace vp::test;

namespace {

// A sound card whose position the test sets.
class SortieFactice final : public SortieSon {
public:
    int64_t debut = -1;
    int64_t entendu = 0;
    bool joue = false;
    void jouer(int64_t d) override {
        debut = entendu = d;
        joue = true;
    }
    void arreter() override { joue = false; }
    int64_t position() override { return entendu; }
};

class Editeur : public ::testing::Test {
protected:
    Scenario scenario;
    DossierTest dossier;
    QString video, son;
    SortieFactice* sortie = nullptr;

    void SetUp() override {
        video = creerVideoDeTest(dossier.chemin() + "p", mmioFOURCC('M', 'J', 'P', 'G'), 24, 12);
        son = dossier.chemin() + "p/audio.wav";
        ecrireWav(son, 3);
    }
    OuvrirSortieSon carteFactice() {
        return [this](const PisteSon&, std::string&) {
            auto s = std::make_unique<SortieFactice>();
            sortie = s.get();
            return s;
        };
    }
    FenetreEditeur::Contenu script() const {
        return {video.toStdString(), son.toStdString(), {}, false};
    }
};

int rougeAttendu(int image) {
    return 'A' + image % 26;
}

int rouge(const FenetreEditeur& e) {
    const QImage& i = e.image->image();
    return qRed(i.pixel(i.width() / 2, i.height() / 2));
}

}  // namespace

TEST_F(Editeur, LeSonMeneLesImages) {
    FenetreEditeur e(script(), carteFactice());
    ASSERT_TRUE(sortie);
    EXPECT_EQ(e.glissierePosition->maximum(), 23);
    EXPECT_EQ(e.ligneEtat->text(), "Son : audio.wav");
    EXPECT_EQ(e.etiquetteTemps->text(), "0:00,0 / 0:03,0");
    EXPECT_FALSE(e.boutonEnregistrer->isHidden());
    EXPECT_NEAR(rouge(e), rougeAttendu(0), 6);

    e.boutonLecture->click();
    EXPECT_TRUE(sortie->joue);
    EXPECT_EQ(sortie->debut, 0);
    EXPECT_EQ(e.boutonLecture->text(), "Pause");
    // Until the card plays, the picture waits.
    e.avancer();
    EXPECT_EQ(e.glissierePosition->value(), 0);
    sortie->entendu = 44100;  // one second heard
    e.avancer();
    EXPECT_EQ(e.glissierePosition->value(), 12);
    EXPECT_NEAR(rouge(e), rougeAttendu(12), 6);
    EXPECT_EQ(e.etiquetteTemps->text(), "0:01,0 / 0:03,0");
    sortie->entendu = 44100 * 5 / 2;  // beyond the pictures, the last one stays
    e.avancer();
    EXPECT_EQ(e.glissierePosition->value(), 23);
    EXPECT_TRUE(e.enLecture());
    sortie->entendu = 44100 * 3;  // the end of the sound ends the playing
    e.avancer();
    EXPECT_FALSE(e.enLecture());
    EXPECT_FALSE(sortie->joue);
    EXPECT_EQ(e.boutonLecture->text(), "Lecture");
    EXPECT_EQ(e.etiquetteTemps->text(), "0:03,0 / 0:03,0");

    // Playing again starts from the beginning; moving the slider plays from there.
    e.boutonLecture->click();
    EXPECT_EQ(sortie->debut, 0);
    EXPECT_EQ(e.glissierePosition->value(), 0);
    e.glissierePosition->setValue(6);
    EXPECT_EQ(sortie->debut, 22050);
    EXPECT_NEAR(rouge(e), rougeAttendu(6), 6);
    e.boutonLecture->click();
    EXPECT_FALSE(sortie->joue);
    e.glissierePosition->setValue(3);  // paused: the picture only
    EXPECT_FALSE(sortie->joue);
    EXPECT_NEAR(rouge(e), rougeAttendu(3), 6);
    EXPECT_EQ(e.etiquetteTemps->text(), "0:00,2 / 0:03,0");
}

TEST_F(Editeur, SansCarteSonLesImagesSeules) {
    FenetreEditeur e(script(), [](const PisteSon&, std::string& erreur) {
        erreur = "aucun périphérique";
        return std::unique_ptr<SortieSon>();
    });
    EXPECT_EQ(e.ligneEtat->text(),
              "Pas de carte son (aucun périphérique) : les images sont lues sans le son.");
    EXPECT_EQ(e.etiquetteTemps->text(), "0:00,0 / 0:02,0");
    e.boutonLecture->click();
    for (int i = 0; i < 100 && e.glissierePosition->value() == 0; ++i)
        attendreEvenements(30);
    EXPECT_GT(e.glissierePosition->value(), 0);
    e.boutonLecture->click();
    EXPECT_FALSE(e.minuterie->isActive());

    // No sound track at all.
    FenetreEditeur muet({video.toStdString(), {}, {}, false}, carteFactice());
    EXPECT_EQ(muet.ligneEtat->text(), "Pas de bande-son : la vidéo est lue sans le son.");
}

TEST_F(Editeur, EnregistrerLeFilmCommeLeMixage) {
    const QString film = dossier.chemin() + "p/film.avi";
    FenetreEditeur e({video.toStdString(), son.toStdString(), film.toStdString(), false},
                     carteFactice());
    auto& d = scenario.dialogues();
    d.fichiers = {dossier.chemin() + "mon film"};
    e.boutonEnregistrer->click();
    EXPECT_TRUE(d.messages().isEmpty()) << d.messages().join('|').toStdString();
    EXPECT_EQ(e.ligneEtat->text(), "Film enregistré : " + dossier.chemin() + "mon film.avi");

    // The same bytes as the batch runner's.
    ecrireFichier(dossier.chemin() + "dub.vcf",
                  "VirtualDub.Open(\"" + video.toUtf8() + "\");\r\nVirtualDub.audio.SetSource(\"" +
                      son.toUtf8() + "\");\r\nVirtualDub.SaveAVI(\"" + film.toUtf8() + "\");\r\n");
    ASSERT_EQ(executerVdub({"/s", dossier.chemin() + "dub.vcf"}).code, 0);
    QFile a(film), b(dossier.chemin() + "mon film.avi");
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_TRUE(a.readAll() == b.readAll());

    // Into a folder named on another system.
    const QByteArray fete = QFile::encodeName(dossier.chemin()) + "f\xeate";
    ASSERT_EQ(::mkdir(fete.constData(), 0777), 0);
    d.fichiers = {cheminDepuisOctets(fete + "/film.avi")};
    e.boutonEnregistrer->click();
    EXPECT_EQ(e.ligneEtat->text(), "Film enregistré : " + dossier.chemin() + "fête/film.avi");
    EXPECT_EQ(lireMedia(cheminDepuisOctets(fete + "/film.avi")).nombreFlux, 2);

    // Cancelled: nothing; a failure: said in French, and in the status line.
    e.boutonEnregistrer->click();
    EXPECT_TRUE(d.messages().isEmpty());
    d.fichiers = {dossier.chemin() + "absent/film.avi"};
    e.boutonEnregistrer->click();
    ASSERT_EQ(d.messages().size(), 1);
    EXPECT_TRUE(d.messages()[0].startsWith("Impossible d'écrire le film dans le dossier"));
    EXPECT_EQ(e.ligneEtat->text(), "Le film n'a pas été enregistré.");
}

TEST_F(Editeur, VisionnageDUnFilmOuDUneVideo) {
    const QString film = dossier.chemin() + "p/film.avi";
    ecrireFichier(dossier.chemin() + "dub.vcf",
                  "VirtualDub.Open(\"" + video.toUtf8() + "\");\r\nVirtualDub.audio.SetSource(\"" +
                      son.toUtf8() + "\");\r\nVirtualDub.SaveAVI(\"" + film.toUtf8() + "\");\r\n");
    ASSERT_EQ(executerVdub({"/s", dossier.chemin() + "dub.vcf"}).code, 0);
    FenetreEditeur e({film.toStdString(), film.toStdString(), {}, true}, carteFactice());
    e.show();
    EXPECT_FALSE(e.boutonEnregistrer->isVisible());
    EXPECT_EQ(e.ligneEtat->text(), "Son : film.avi");
    EXPECT_EQ(e.etiquetteTemps->text(), "0:00,0 / 0:03,0");

    FenetreEditeur muette({video.toStdString(), video.toStdString(), {}, true}, carteFactice());
    EXPECT_EQ(muette.ligneEtat->text(), "Cette vidéo n'a pas de son.");

    EXPECT_THROW(FenetreEditeur({son.toStdString(), {}, {}, true}, carteFactice()), ErreurFilm);
}
