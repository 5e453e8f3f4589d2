// SPDX-License-Identifier: GPL-3.0-or-later
// The film commands through the main window: guards, warnings, the editor, the mixing through
// the real batch runner, review and copy.

#include <QFile>
#include <QGuiApplication>

#include "FilmsDeTest.h"
#include "app/DialogueReglagesVideo.h"
#include "app/Fixture.h"
#include "film/CommandesFilm.h"
#include "platform/FichiersSurs.h"
#include "video/FichierAvi.h"
#include "video/LectureVideo.h"

using namespace vp;
using test::Affichage;
using test::Programme;

namespace {

class CommandesFilm : public Programme {
protected:
    QString video, son, film, script;

    void SetUp() override {
        Programme::SetUp();
        // A projects folder with a blank in its name.
        f->projet.repProjets = dossier.chemin() + "Mes projets/";
        QDir().mkpath(f->projet.repProjets);
        creerProjet("Film");
        dialogues().affichages.clear();
        video = f->projet.dossierProjet() + "/video.avi";
        son = f->projet.dossierProjet() + "/audio.wav";
        film = f->projet.dossierProjet() + "/film.avi";
        script = f->projet.dossierProjet() + "/dub.vcf";
    }
    void creerVideo() {
        test::creerVideoDeTest(f->projet.dossierProjet(), mmioFOURCC('M', 'J', 'P', 'G'), 6);
        scenario.bureau().documents.clear();
        dialogues().affichages.clear();
    }
    QByteArray lire(const QString& fichier) {
        QFile l(fichier);
        return l.open(QIODevice::ReadOnly) ? l.readAll() : QByteArray();
    }
    // The one message of the last command, which must have shown only that.
    Affichage seulMessage() {
        EXPECT_EQ(dialogues().affichages.size(), 1u);
        const Affichage a =
            dialogues().affichages.empty() ? Affichage{} : dialogues().affichages.back();
        dialogues().affichages.clear();
        return a;
    }
};

}  // namespace

TEST_F(CommandesFilm, GardesEtAvertissements) {
    const std::pair<QAction*, QString> sansVideo[] = {
        {f->actionMixer, kVideoAbsente},       {f->actionRevoirVideo, kVideoAbsente},
        {f->actionCopierVideo, kVideoAbsente}, {f->actionRevoirFilm, kFilmNonMixe},
        {f->actionCopierFilm, kFilmAbsent},
    };
    for (const auto& [action, texte] : sansVideo) {
        action->trigger();
        const Affichage a = seulMessage();
        EXPECT_EQ(a.texte, texte) << action->text().toStdString();
        EXPECT_EQ(a.icone, Icone::Avertissement);
    }
    f->boutonEditeur->click();
    EXPECT_EQ(seulMessage().texte, kVideoAbsente);

    // The video alone: the mixing asks for the sound track and writes nothing.
    creerVideo();
    f->boutonMixer->click();
    const Affichage a = seulMessage();
    EXPECT_EQ(a.texte, kSonAbsent);
    EXPECT_EQ(a.icone, Icone::Avertissement);
    EXPECT_FALSE(QFile::exists(script));
    EXPECT_TRUE(scenario.bureau().lancements.empty());
    EXPECT_TRUE(scenario.bureau().documents.isEmpty());
    EXPECT_EQ(QDir::currentPath() + "/", f->projet.repProgramme);
}

TEST_F(CommandesFilm, EditeurCacheLaFenetrePendantQuIlTourne) {
    creerVideo();
    bool visiblePendant = true;
    scenario.bureau().pendantLancement = [&] { visiblePendant = f->isVisible(); };
    f->boutonEditeur->click();
    EXPECT_FALSE(visiblePendant);
    EXPECT_TRUE(f->isVisible());
    EXPECT_TRUE(dialogues().affichages.empty());
    ASSERT_EQ(scenario.bureau().lancements.size(), 1u);
    EXPECT_EQ(scenario.bureau().lancements[0].first, programmeEditeur(f->projet));
    EXPECT_EQ(scenario.bureau().lancements[0].second, (QStringList{"/s", script}));
    // No sound track yet: the script only opens the video.
    EXPECT_EQ(lire(script), "VirtualDub.Open(\"" + video.toUtf8() + "\");\r\n");

    test::ecrireWav(son, 1);
    f->boutonEditeur->click();
    EXPECT_EQ(lire(script), "VirtualDub.Open(\"" + video.toUtf8() + "\");\r\n" +
                                "VirtualDub.audio.SetSource(\"" + son.toUtf8() + "\");\r\n");

    // An editor that cannot be started is reported, and the window comes back.
    scenario.bureau().executerVraiment = true;
    f->boutonEditeur->click();
    EXPECT_TRUE(f->isVisible());
    const Affichage a = seulMessage();
    EXPECT_EQ(a.icone, Icone::Arret);
    EXPECT_TRUE(a.texte.contains("n'a pas pu être lancé")) << a.texte.toStdString();
}

TEST_F(CommandesFilm, MixageParLeProgrammeDeMixage) {
    test::installerEditeur(f->projet.repProgramme);
    scenario.bureau().executerVraiment = true;
    creerVideo();
    test::ecrireWav(son, 1.5);

    // While the runner works the window refuses the other commands, under the busy cursor.
    bool curseurOccupe = false;
    scenario.bureau().pendantLancement = [&] {
        curseurOccupe = QGuiApplication::overrideCursor() != nullptr;
        f->actionNouveau->trigger();
        f->boutonMixer->click();
    };
    f->actionMixer->trigger();
    EXPECT_TRUE(curseurOccupe);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialogues().affichages.empty()) << dialogues().messages().join('|').toStdString();
    ASSERT_EQ(scenario.bureau().lancements.size(), 1u);
    EXPECT_EQ(scenario.bureau().lancements[0].first, programmeMixage(f->projet));
    EXPECT_EQ(scenario.bureau().documents, QStringList{film});
    const test::MediaLu m = test::lireMedia(film);
    EXPECT_EQ(m.nombreFlux, 2);
    EXPECT_EQ(m.video.paquets.size(), 6u);
    scenario.bureau().pendantLancement = nullptr;

    // A runner that fails: its message, and the film is not opened.
    const QByteArray avant = lire(film);
    QFile::resize(son, 100);
    f->actionMixer->trigger();
    Affichage a = seulMessage();
    EXPECT_EQ(a.icone, Icone::Arret);
    EXPECT_TRUE(a.texte.startsWith("Le mixage du film a échoué.\nLe fichier son"))
        << a.texte.toStdString();
    EXPECT_TRUE(a.texte.contains("tronqué"));
    EXPECT_EQ(scenario.bureau().documents.size(), 1);
    EXPECT_EQ(lire(film), avant);

    // A runner that ends well without writing the film: the older film is not shown.
    test::ecrireWav(son, 1);
    const QString runner = programmeMixage(f->projet);
    QFile::remove(runner);
    ASSERT_TRUE(QFile::link("/bin/true", runner));
    f->actionMixer->trigger();
    a = seulMessage();
    EXPECT_TRUE(a.texte.contains("s'est arrêté sans écrire le film")) << a.texte.toStdString();
    EXPECT_EQ(scenario.bureau().documents.size(), 1);

    // A runner that cannot be started.
    QFile::remove(runner);
    f->actionMixer->trigger();
    a = seulMessage();
    EXPECT_TRUE(a.texte.startsWith("Le mixage du film a échoué : le programme de mixage"))
        << a.texte.toStdString();
    EXPECT_EQ(scenario.bureau().documents.size(), 1);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(CommandesFilm, ProgrammeInstalleDansUnDossierAuNomGuillemete) {
    // Quotes and blanks in the program folder's name reach the runner whole.
    f->projet.repProgramme = dossier.chemin() + "Programmes \"de la classe\" 2/";
    test::installerEditeur(f->projet.repProgramme);
    scenario.bureau().executerVraiment = true;
    creerVideo();
    test::ecrireWav(son, 1);
    f->actionMixer->trigger();
    EXPECT_TRUE(dialogues().affichages.empty()) << dialogues().messages().join('|').toStdString();
    ASSERT_EQ(scenario.bureau().lancements.size(), 1u);
    EXPECT_EQ(scenario.bureau().lancements[0],
              (std::pair<QString, QStringList>{programmeMixage(f->projet), {"/s", script}}));
    EXPECT_EQ(scenario.bureau().documents, QStringList{film});
    EXPECT_EQ(test::lireMedia(film).nombreFlux, 2);
}

TEST_F(CommandesFilm, RevoirEtCopier) {
    creerVideo();
    test::ecrireFichier(film, "le film");
    f->boutonRevoirVideo->click();
    f->actionRevoirFilm->trigger();
    EXPECT_EQ(scenario.bureau().documents, (QStringList{video, film}));

    // A name without extension gets ".avi"; a file of that name is replaced.
    test::ecrireFichier(dossier.chemin() + "copie.avi", "autre chose");
    dialogues().fichiers = {dossier.chemin() + "copie", dossier.chemin() + "video copiée"};
    f->actionCopierFilm->trigger();
    f->boutonCopierVideo->click();
    EXPECT_EQ(lire(dossier.chemin() + "copie.avi"), "le film");
    EXPECT_EQ(lire(dossier.chemin() + "video copiée.avi"), lire(video));
    ASSERT_EQ(dialogues().affichages.size(), 2u);
    EXPECT_EQ(dialogues().affichages[0].genre, Affichage::Genre::EnregistrerFichier);
    EXPECT_EQ(dialogues().affichages[0].texte, "Fichiers AVI|*.avi");
    dialogues().affichages.clear();

    // Cancelled: nothing; into a folder that does not exist: the failure is reported.
    f->actionCopierFilm->trigger();
    EXPECT_EQ(dialogues().affichages.size(), 1u);
    dialogues().affichages.clear();
    dialogues().fichiers = {dossier.chemin() + "absent/copie.avi"};
    f->actionCopierFilm->trigger();
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].contains("absent"))
        << dialogues().messages()[0].toStdString();
    EXPECT_EQ(dialogues().affichages.back().icone, Icone::Arret);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(CommandesFilm, SansLecteurInstalle) {
    creerVideo();
    scenario.bureau().sansProgramme = true;
    // The video opens in the editor's own window.
    f->actionRevoirVideo->trigger();
    ASSERT_EQ(scenario.bureau().detaches.size(), 1u);
    EXPECT_EQ(scenario.bureau().detaches[0].first, programmeEditeur(f->projet));
    EXPECT_EQ(scenario.bureau().detaches[0].second, QStringList{video});
    EXPECT_TRUE(dialogues().affichages.empty());

    // The help: where the file is.
    test::ecrireFichier(f->projet.repProgramme + "aide/volti-plume.pdf", "%PDF");
    f->actionAide->trigger();
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_EQ(dialogues().messages()[0],
              "Aucun programme n'est installé sur cet ordinateur pour ouvrir « volti-plume.pdf ».\n"
              "Le fichier se trouve dans le dossier « " +
                  QDir::toNativeSeparators(f->projet.repProgramme + "aide") + " ».");
}

TEST_F(CommandesFilm, FilmChangeDepuisLaVideo) {
    test::installerEditeur(f->projet.repProgramme);
    scenario.bureau().executerVraiment = true;
    for (int i = 0; i < 6; ++i)
        f->boutonPhoto->click();
    f->dialogueVideo->champImagesParSeconde->setText("10");
    f->dialogueVideo->champLargeur->setText("160");
    f->dialogueVideo->champHauteur->setText("120");
    creerVideoMjpeg();
    test::ecrireWav(son, 1);
    f->actionMixer->trigger();
    ASSERT_EQ(test::lireVideo(film).images, 6);
    const auto questions = [&] {
        QList<Affichage> q;
        for (const Affichage& a : dialogues().affichages)
            if (a.genre == Affichage::Genre::Choix) q << a;
        return q;
    };

    // Nothing changed since; then a frame deleted and the deletion undone: the film is the one
    // the video shows.
    f->actionRevoirVideo->trigger();
    f->actionRevoirFilm->trigger();
    f->boutonSupprimerImage->click();
    f->actionAnnuler->trigger();
    f->actionRevoirFilm->trigger();
    EXPECT_TRUE(questions().isEmpty());

    // A frame of the middle deleted: the mixing asks first; « Annuler » changes nothing.
    f->projet.imageCourante = 2;
    f->boutonSupprimerImage->click();
    ASSERT_EQ(f->projet.nbImages, 5);
    dialogues().affichages.clear();
    scenario.bureau().documents.clear();
    const auto avant = test::contenuDossier(f->projet.dossierProjet());
    dialogues().reponsesChoix = {2};
    f->actionMixer->trigger();
    ASSERT_EQ(questions().size(), 1);
    EXPECT_EQ(questions()[0].texte,
              "Le film a changé depuis la dernière vidéo (1 image modifiée). Refaire la vidéo "
              "maintenant ?");
    EXPECT_EQ(questions()[0].boutons, (QStringList{"Refaire", "Continuer quand même", "Annuler"}));
    EXPECT_EQ(dialogues().affichages.size(), 1u);
    EXPECT_EQ(test::contenuDossier(f->projet.dossierProjet()), avant);
    EXPECT_TRUE(scenario.bureau().documents.isEmpty());
    // So do the other commands on the video and the film; closing the box is « Annuler ».
    for (QAction* a :
         {f->actionRevoirVideo, f->actionCopierVideo, f->actionRevoirFilm, f->actionCopierFilm})
        a->trigger();
    EXPECT_EQ(questions().size(), 5);
    EXPECT_EQ(dialogues().affichages.size(), 5u);
    EXPECT_EQ(test::contenuDossier(f->projet.dossierProjet()), avant);

    // « Refaire »: the video made again with its settings, without a dialog, then mixed; the
    // film is opened once, the video not at all.
    dialogues().affichages.clear();
    scenario.bureau().lancements.clear();
    dialogues().reponsesChoix = {0};
    f->actionMixer->trigger();
    EXPECT_EQ(questions().size(), 1);
    EXPECT_EQ(dialogues().affichages.size(), 1u) << dialogues().messages().join('|').toStdString();
    EXPECT_EQ(scenario.bureau().documents, QStringList{film});
    EXPECT_EQ(scenario.bureau().lancements.size(), 1u);
    const test::Video v = test::lireVideo(video);
    EXPECT_EQ(v.images, 5);
    EXPECT_EQ(v.codec, "mjpeg");
    EXPECT_EQ(QSize(v.largeur, v.hauteur), QSize(160, 120));
    EXPECT_DOUBLE_EQ(v.cadence, 10);
    EXPECT_EQ(test::lireVideo(film).images, 5);
    dialogues().affichages.clear();
    f->actionRevoirFilm->trigger();
    EXPECT_TRUE(questions().isEmpty());

    // Two pictures added: « Continuer quand même » shows the old video; for the film,
    // « Refaire » makes the video, mixes it and shows the new film, each once.
    f->boutonPhoto->click();
    f->boutonPhoto->click();
    dialogues().affichages.clear();
    scenario.bureau().documents.clear();
    scenario.bureau().lancements.clear();
    dialogues().reponsesChoix = {1, 0};
    f->actionRevoirVideo->trigger();
    f->actionRevoirFilm->trigger();
    ASSERT_EQ(questions().size(), 2);
    EXPECT_TRUE(questions()[1].texte.contains("(2 images modifiées)"))
        << questions()[1].texte.toStdString();
    EXPECT_EQ(scenario.bureau().documents, (QStringList{video, film}));
    EXPECT_EQ(scenario.bureau().lancements.size(), 1u);
    EXPECT_EQ(test::lireVideo(video).images, 7);
    EXPECT_EQ(test::lireVideo(film).images, 7);

    // A new sound track since the mixing: « Revoir le film » asks; « Continuer quand même »
    // shows the film as it is, « Refaire » mixes it again with the new track, the video kept.
    const QByteArray nouveauSon = test::ecrireWav(son, 2, 22050, 1);
    const IdentiteFichier videoAvant = identiteFichier(video);
    dialogues().affichages.clear();
    scenario.bureau().documents.clear();
    scenario.bureau().lancements.clear();
    dialogues().reponsesChoix = {1, 0};
    f->actionRevoirFilm->trigger();
    EXPECT_EQ(scenario.bureau().lancements.size(), 0u);
    f->actionRevoirFilm->trigger();
    f->actionRevoirFilm->trigger();
    ASSERT_EQ(questions().size(), 2);
    EXPECT_TRUE(questions()[0].texte.contains("bande-son")) << questions()[0].texte.toStdString();
    EXPECT_EQ(scenario.bureau().documents, (QStringList{film, film, film}));
    EXPECT_EQ(scenario.bureau().lancements.size(), 1u);
    EXPECT_EQ(identiteFichier(video), videoAvant);
    EXPECT_EQ(test::lireMedia(film).son.octets(), nouveauSon);
}
