// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include "Fixture.h"
#include "app/ArbreDossiers.h"
#include "app/DialogueDossierProjets.h"
#include "app/DialogueReglagesVideo.h"
#include "platform/Bitmap.h"
#include "platform/Profil.h"
#include "sequence/BandeFilm.h"

using namespace vp;
using test::ecrireFichier;
using test::Programme;

namespace {

QString titreDe(const QString& dossierProjet) {
    return lireProfil(dossierProjet + "/projet.ini", "GENERAL", "titre", "*absent*");
}

}  // namespace

TEST(RegleNomDossier, AccentsSeparateursEtEspaces) {
    EXPECT_EQ(nomDossierDepuisTitre(QStringLiteral("Le Château de l'île")),
              QStringLiteral("Le_Chateau_de_l'ile"));
    EXPECT_EQ(nomDossierDepuisTitre(QStringLiteral("École?")), QStringLiteral("École_"));
    EXPECT_EQ(nomDossierDepuisTitre(QStringLiteral("à â é è ê ë î ï ô ö û ü")),
              QStringLiteral("a_a_e_e_e_e_i_i_o_o_u_u"));
    EXPECT_EQ(nomDossierDepuisTitre(QStringLiteral("a\\b/c")), QStringLiteral("a_b_c"));
    EXPECT_EQ(nomDossierDepuisTitre(QStringLiteral("ÀÉçù:*")), QStringLiteral("ÀÉçù:*"));
}

TEST_F(Programme, NouveauProjet) {
    creerProjet(QStringLiteral("Le Château de l'île"));
    const QString dossierProjet = f->projet.repProjets + "Le_Chateau_de_l'ile";
    EXPECT_EQ(titreDe(dossierProjet), QStringLiteral("Le Château de l'île"));
    EXPECT_EQ(QDir(dossierProjet).entryList(QDir::Files | QDir::Hidden), QStringList{"projet.ini"});
    EXPECT_EQ(f->projet.titreProjet, QStringLiteral("Le Château de l'île"));
    EXPECT_EQ(f->projet.nomDossier, QStringLiteral("Le_Chateau_de_l'ile"));
    EXPECT_EQ(f->windowTitle(), QStringLiteral("VOLTIPLUME : Le Château de l'île"));
    EXPECT_EQ(f->projet.nbImages, 0);
    EXPECT_EQ(f->projet.imageCourante, -1);
    EXPECT_EQ(f->projet.selDebut, -1);
    EXPECT_EQ(f->projet.selFin, -1);
    EXPECT_EQ(f->compteurImages->text(), "0 image");
    EXPECT_EQ(f->etiquetteSelection->text(), "? -> ?");
    EXPECT_TRUE(dialogues().messages().isEmpty());
}

TEST_F(Programme, DialogueNouveauGardeSesTextesEtCorrigeLeDossier) {
    dialogues().quandModal<DialogueNouveauProjet>([](DialogueNouveauProjet& d) {
        d.champTitre->setText("Premier");
        d.champDossier->setText("tape a la main");
        d.champTitre->setText("Mon film");  // the title's change overwrites the typed folder name
        EXPECT_EQ(d.champDossier->text(), "Mon_film");
        d.champDossier->setText("dossier avec/espaces");
        d.boutonValider->click();
        EXPECT_EQ(d.champDossier->text(), "dossier_avec_espaces");
    });
    f->actionNouveau->trigger();
    EXPECT_EQ(f->projet.nomDossier, "dossier_avec_espaces");
    EXPECT_TRUE(QFile::exists(f->projet.repProjets + "dossier_avec_espaces/projet.ini"));
    // The next opening shows what was typed; cancelling changes nothing.
    dialogues().quandModal<DialogueNouveauProjet>([](DialogueNouveauProjet& d) {
        EXPECT_EQ(d.champTitre->text(), "Mon film");
        EXPECT_EQ(d.champDossier->text(), "dossier_avec_espaces");
        d.boutonAnnuler->click();
    });
    f->actionNouveau->trigger();
    EXPECT_EQ(f->projet.titreProjet, "Mon film");
}

TEST_F(Programme, NouveauProjetRefuseSansRienChangerSurLeDisque) {
    creerProjet("Ancien");
    test::ecrireFilm(f->projet.dossierProjet(), "AB");
    ecrireFichier(f->projet.repProjets + "Images_seules/image_00000.bmp", "x");
    const QStringList avant =
        QDir(f->projet.repProjets).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    struct Cas {
        QString titre, dossier;
    };
    for (const Cas& c :
         {Cas{"", "vide"}, Cas{"   ", "blancs"}, Cas{"T", ""}, Cas{"T", "."}, Cas{"T", ".."},
          Cas{"Autre titre", "Ancien"}, Cas{"Images", "Images_seules"}}) {
        dialogues().affichages.clear();
        dialogues().quandModal<DialogueNouveauProjet>([&](DialogueNouveauProjet& d) {
            d.champTitre->setText(c.titre);
            d.champDossier->setText(c.dossier);
            d.boutonValider->click();
            EXPECT_TRUE(d.isVisible()) << "le dialogue reste ouvert";
            EXPECT_EQ(d.champTitre->text(), c.titre);
        });
        f->actionNouveau->trigger();
        EXPECT_EQ(dialogues().messages().size(), 1) << c.dossier.toStdString();
        EXPECT_EQ(f->projet.titreProjet, "Ancien");
    }
    EXPECT_EQ(QDir(f->projet.repProjets).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), avant);
    EXPECT_EQ(test::lireFilm(f->projet.dossierProjet()), "AB");
    EXPECT_EQ(titreDe(f->projet.dossierProjet()), "Ancien");
}

TEST_F(Programme, EchecDeCreationGardeLeProjetPrecedent) {
    creerProjet("Ancien");
    ecrireFichier(f->projet.repProjets + "Bloque", "un fichier, pas un dossier");
    dialogues().affichages.clear();
    creerProjet("Bloque");
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages().first().contains("Bloque"));
    EXPECT_EQ(dialogues().affichages.back().icone, Icone::Arret);
    EXPECT_EQ(f->projet.titreProjet, "Ancien");
    EXPECT_EQ(f->windowTitle(), "VOLTIPLUME : Ancien");
}

TEST_F(Programme, OuvrirListeLesProjetsParTitre) {
    const QString racine = f->projet.repProjets;
    test::ecrireFilm(racine + "Avec_images", "ABCDEFGHIJ");
    ecrireBitmap24(test::imageLettre('L'), racine + "Avec_images/image_00011.bmp");
    ecrireProfil(racine + "Avec_images/projet.ini", "GENERAL", "titre", "Avec images");
    ecrireFichier(racine + "Sans_titre/projet.ini", "[GENERAL]\r\nauteur=x\r\n");
    ecrireFichier(racine + "Windows/projet.ini",
                  "[GENERAL]\r\ntitre=F\xEAte \xE0 l'\xE9\x63ole\r\n");
    QDir().mkpath(racine + "Pas_un_projet");

    dialogues().quandModal<DialogueOuvrirProjet>([&](DialogueOuvrirProjet& d) {
        ASSERT_EQ(d.listeTitres->count(), 3);
        ASSERT_EQ(d.listeDossiers->count(), 3);
        QMap<QString, QString> titres;
        for (int i = 0; i < 3; ++i)
            titres[d.listeDossiers->item(i)->text()] = d.listeTitres->item(i)->text();
        EXPECT_EQ(titres["Avec_images"], "Avec images");
        EXPECT_EQ(titres["Sans_titre"], "");
        EXPECT_EQ(titres["Windows"], QStringLiteral("Fête à l'école"));
        EXPECT_FALSE(d.listeDossiers->isVisible());
        // Beside each title, its frames and its size (eleven frames of 198 bytes and the
        // project file), as they are measured.
        QMap<QString, QString> mesures;
        ASSERT_TRUE(test::attendreQue([&] {
            for (int i = 0; i < 3; ++i)
                mesures[d.listeDossiers->item(i)->text()] = d.listeTitres->item(i)->toolTip();
            return !mesures.values().contains(QString());
        }));
        EXPECT_EQ(mesures["Avec_images"], "10 images, 2 Ko");
        EXPECT_EQ(mesures["Sans_titre"], "aucune image, 21 octets");
        d.boutonAnnuler->click();
    });
    f->actionOuvrir->trigger();
    EXPECT_TRUE(f->projet.titreProjet.isEmpty());
    // The listing left the projects folder as the working directory.
    EXPECT_EQ(QDir::currentPath() + "/", racine);

    ouvrirProjet("Avec images");
    EXPECT_EQ(f->projet.titreProjet, "Avec images");
    EXPECT_EQ(f->projet.nomDossier, "Avec_images");
    EXPECT_EQ(f->windowTitle(), "VOLTIPLUME : Avec images");
    EXPECT_EQ(f->projet.nbImages, 10);  // the file after the hole is not part of the film
    EXPECT_EQ(f->projet.imageCourante, 9);
    EXPECT_EQ(f->compteurImages->text(), "10 images");
    EXPECT_EQ(f->bandeFilm->numeros[2]->text(), "9");
    EXPECT_TRUE(f->bandeFilm->barreDefilement->isEnabled());

    // A project without a title opens its frames but counts as no project.
    ecrireBitmap24(test::imageLettre('A'), racine + "Sans_titre/image_00000.bmp");
    ouvrirProjet("");
    EXPECT_TRUE(f->projet.titreProjet.isEmpty());
    EXPECT_EQ(f->projet.nbImages, 1);
    dialogues().affichages.clear();
    f->boutonDoublerImage->click();
    EXPECT_EQ(dialogues().messages(), QStringList{kMessageGarde});
}

TEST_F(Programme, OuvrirSansSelectionNOuvreRien) {
    creerProjet("Courant");
    ecrireFichier(f->projet.repProjets + "Autre/projet.ini", "[GENERAL]\ntitre=Autre\n");
    dialogues().affichages.clear();
    dialogues().quandModal<DialogueOuvrirProjet>([](DialogueOuvrirProjet& d) {
        d.listeTitres->clearSelection();
        d.boutonOuvrir->click();
        EXPECT_TRUE(d.isVisible());
    });
    f->actionOuvrir->trigger();
    EXPECT_EQ(dialogues().messages(), QStringList{kAucunProjetChoisi});
    EXPECT_EQ(f->projet.titreProjet, "Courant");
}

TEST_F(Programme, ProjetSansImages) {
    creerProjet("Vide");
    creerProjet("Autre");
    ouvrirProjet("Vide");
    EXPECT_EQ(f->projet.nbImages, 0);
    EXPECT_EQ(f->projet.imageCourante, -1);
    EXPECT_EQ(f->projet.selDebut, -1);
    EXPECT_EQ(f->compteurImages->text(), "0 image");
}

TEST_F(Programme, ChangerLeDossierDesProjets) {
    test::DossierTest autre;
    ecrireFichier(autre.chemin() + "Loin/projet.ini", "[GENERAL]\ntitre=Loin\n");
    QDir().mkpath(autre.chemin() + "sans_separateur_final");
    const auto choisir = [this](const QString& dossier) {
        dialogues().quandModal<DialogueDossierProjets>([dossier](DialogueDossierProjets& d) {
            d.arbre->SelectPath(dossier);
            d.boutonSelectionner->click();
        });
    };
    dialogues().quandModal<DialogueNouveauProjet>([&](DialogueNouveauProjet& d) {
        choisir(autre.chemin() + "sans_separateur_final");
        d.boutonDossier->click();
        EXPECT_EQ(d.champDossierProjets->text(), autre.chemin() + "sans_separateur_final/");
        d.boutonAnnuler->click();
    });
    f->actionNouveau->trigger();
    dialogues().quandModal<DialogueOuvrirProjet>([&](DialogueOuvrirProjet& d) {
        EXPECT_EQ(d.listeTitres->count(), 0);
        choisir(autre.chemin());
        d.boutonDossier->click();  // the listing runs again on the chosen folder
        EXPECT_EQ(d.champDossierProjets->text(), autre.chemin());
        ASSERT_EQ(d.listeTitres->count(), 1);
        EXPECT_EQ(d.listeTitres->item(0)->text(), "Loin");
        d.boutonDossier->click();  // closed without choosing: nothing changes
        EXPECT_EQ(d.champDossierProjets->text(), autre.chemin());
        d.listeTitres->setCurrentRow(0);
        d.boutonOuvrir->click();
    });
    f->actionOuvrir->trigger();
    EXPECT_EQ(f->projet.titreProjet, "Loin");
    EXPECT_EQ(f->projet.dossierProjet(), autre.chemin() + "Loin");
    int dialoguesDossier = 0;
    for (const test::Affichage& a : dialogues().affichages)
        dialoguesDossier +=
            a.genre == test::Affichage::Genre::Modal && a.texte == "Dossier des projets";
    EXPECT_EQ(dialoguesDossier, 3);
}

TEST_F(Programme, DossierDesProjetsDisparu) {
    test::DossierTest parti;
    f->projet.repProjets = parti.chemin() + "efface/";
    dialogues().quandModal<DialogueOuvrirProjet>(
        [](DialogueOuvrirProjet& d) { EXPECT_EQ(d.listeTitres->count(), 0); });
    f->actionOuvrir->trigger();
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages().first().contains("introuvable"));
}

TEST_F(Programme, ReglagesVideoGardentLeursValeurs) {
    dialogues().quandModal<DialogueReglagesVideo>([](DialogueReglagesVideo& d) {
        EXPECT_EQ(d.champImagesParSeconde->text(), "15");
        EXPECT_EQ(d.champLargeur->text(), "640");
        EXPECT_EQ(d.champHauteur->text(), "480");
        d.champImagesParSeconde->setText("12");
        d.boutonValider->click();
    });
    f->projet.dialogueOk = false;
    dialogues().executer(*f->dialogueVideo);
    EXPECT_TRUE(f->projet.dialogueOk);
    dialogues().quandModal<DialogueReglagesVideo>(
        [](DialogueReglagesVideo& d) { EXPECT_EQ(d.champImagesParSeconde->text(), "12"); });
    f->projet.dialogueOk = false;
    dialogues().executer(*f->dialogueVideo);
    EXPECT_FALSE(f->projet.dialogueOk);
}
