// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QFile>

#include "FixtureSon.h"
#include "bandeson/CommandesBandeSon.h"

using namespace vp;
using test::Affichage;
using test::ProgrammeSon;

namespace {

using CommandesSon = ProgrammeSon;

QByteArray lire(const QString& fichier) {
    QFile f(fichier);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A small but real WAV file.
QByteArray sonWav(char valeur) {
    QByteArray o(
        "RIFF\x2c\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xac\0\0\x44\xac\0\0\x01\0\x08\0"
        "data\x08\0\0\0",
        44);
    return o + QByteArray(8, valeur);
}

}  // namespace

TEST_F(CommandesSon, AvertissementsQuandUneEtapeManque) {
    // (Without a project, the guard: see the main window's tests.)
    creerProjet("Son");
    dialogues().affichages.clear();
    f->boutonEnregistrerSon->click();
    f->boutonEcouterSon->click();
    f->boutonCopierSon->click();
    EXPECT_EQ(dialogues().messages(),
              (QStringList{"Vous devez d'abord créer le fichier vidéo !",
                           "Vous devez d'abord enregistrer ou importer la bande son!",
                           "Vous devez d'abord créer la bande son !"}));
    for (const Affichage& a : dialogues().affichages)
        EXPECT_EQ(a.icone, Icone::Avertissement);
    EXPECT_TRUE(scenario.bureau().documents.isEmpty());
    EXPECT_EQ(QDir::currentPath() + "/", f->projet.repProgramme);
}

TEST_F(CommandesSon, EnregistrerOuvreLaFenetreEtEcouterLeSon) {
    projet(2);
    f->boutonApercu->click();  // the preview stops: the window plays the frames itself
    ASSERT_TRUE(f->minuterieApercu->isActive());
    dialogues().quandModal<DialogueEnregistrementSon>([&](DialogueEnregistrementSon& w) {
        EXPECT_TRUE(w.isVisible());
        EXPECT_FALSE(f->minuterieApercu->isActive());
        w.boutonFermer->click();
    });
    f->actionEnregistrerSon->trigger();
    ASSERT_EQ(dialogues().affichages.size(), 2u);  // the New project dialog, then this one
    EXPECT_EQ(dialogues().affichages[1].texte, "Enregistrement audio");

    test::ecrireFichier(son(), sonWav(1));
    f->actionEcouterSon->trigger();
    EXPECT_EQ(scenario.bureau().documents, QStringList{son()});
}

TEST_F(CommandesSon, ImporterAvecOuSansAccord) {
    creerProjet("Son");
    test::ecrireFichier(son(), "ancienne");
    const QString autre = dossier.chemin() + "autre.wav";
    test::ecrireFichier(autre, sonWav(7));

    f->actionImporterSon->trigger();  // file dialog cancelled
    ASSERT_EQ(dialogues().affichages.back().genre, Affichage::Genre::OuvrirFichier);
    EXPECT_EQ(dialogues().affichages.back().texte, "Fichiers WAV|*.wav");

    dialogues().fichiers = {autre};
    dialogues().reponses = {false};
    f->actionImporterSon->trigger();
    const Affichage question = dialogues().affichages.back();
    EXPECT_EQ(question.genre, Affichage::Genre::Question);
    EXPECT_EQ(question.texte,
              "ATTENTION, si une bande-son existe pour ce projet,\n"
              "elle sera écrasée par la nouvelle. Continuer ?");
    EXPECT_EQ(question.icone, Icone::Avertissement);
    EXPECT_EQ(lire(son()), "ancienne");

    dialogues().fichiers = {autre};
    dialogues().reponses = {true};
    f->actionImporterSon->trigger();
    EXPECT_EQ(lire(son()), sonWav(7));
    EXPECT_TRUE(dialogues().messages().isEmpty());

    // A WAV file the film cannot use, compressed or shorter than its header says: imported as
    // it is too, and the user is told why.
    QByteArray compresse = sonWav(2);
    compresse[20] = 17;  // IMA ADPCM
    const QByteArray tronque = sonWav(3).chopped(3);
    const std::pair<QByteArray, QString> cas[] = {{compresse, "PCM"}, {tronque, "tronqué"}};
    for (const auto& [wav, raison] : cas) {
        test::ecrireFichier(dossier.chemin() + "inutilisable.wav", wav);
        dialogues().affichages.clear();
        dialogues().fichiers = {dossier.chemin() + "inutilisable.wav"};
        dialogues().reponses = {true};
        f->actionImporterSon->trigger();
        EXPECT_EQ(lire(son()), wav);
        ASSERT_EQ(dialogues().messages().size(), 1);
        EXPECT_TRUE(dialogues().messages()[0].startsWith(kSonInutilisable))
            << dialogues().messages()[0].toStdString();
        EXPECT_TRUE(dialogues().messages()[0].contains(raison));
        EXPECT_EQ(dialogues().affichages.back().icone, Icone::Avertissement);
    }

    // Not a WAV file: imported as it is, and the user is told.
    dialogues().affichages.clear();
    test::ecrireFichier(dossier.chemin() + "texte.wav", "pas du son");
    dialogues().fichiers = {dossier.chemin() + "texte.wav"};
    dialogues().reponses = {true};
    f->actionImporterSon->trigger();
    EXPECT_EQ(lire(son()), "pas du son");
    EXPECT_EQ(dialogues().messages(), QStringList{kPasUnWav});

    // A file that cannot be read: said in French, the sound track stays.
    dialogues().affichages.clear();
    dialogues().fichiers = {dossier.chemin() + "disparu.wav"};
    dialogues().reponses = {true};
    f->actionImporterSon->trigger();
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].startsWith("Impossible de lire"));
    EXPECT_EQ(dialogues().affichages.back().icone, Icone::Arret);
    EXPECT_EQ(lire(son()), "pas du son");
}

TEST_F(CommandesSon, CopierVersUnNomSansExtension) {
    creerProjet("Son");
    test::ecrireFichier(son(), sonWav(3));
    f->actionCopierSon->trigger();  // save dialog cancelled
    EXPECT_EQ(dialogues().affichages.back().genre, Affichage::Genre::EnregistrerFichier);
    EXPECT_EQ(dialogues().affichages.back().texte, "Fichiers WAV|*.wav");

    dialogues().fichiers = {dossier.chemin() + "copie", "relative"};
    f->actionCopierSon->trigger();
    f->actionCopierSon->trigger();
    EXPECT_EQ(lire(dossier.chemin() + "copie.wav"), sonWav(3));
    EXPECT_EQ(lire(f->projet.repProgramme + "relative.wav"), sonWav(3));  // from the program folder
    EXPECT_TRUE(dialogues().messages().isEmpty());

    // A folder that does not exist: said in French.
    dialogues().fichiers = {dossier.chemin() + "absent/copie.wav"};
    f->actionCopierSon->trigger();
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].startsWith("Impossible"));
    EXPECT_EQ(dialogues().affichages.back().icone, Icone::Arret);
}
