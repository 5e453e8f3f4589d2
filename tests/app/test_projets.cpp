#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include "Fixture.h"
#include "app/Unit4.h"
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
    EXPECT_EQ(f->Limages->text(), "0 image");
    EXPECT_EQ(f->LabS->text(), "? -> ?");
    EXPECT_TRUE(dialogues().messages().isEmpty());
}

TEST_F(Programme, DialogueNouveauGardeSesTextesEtCorrigeLeDossier) {
    dialogues().quandModal<TFnouveau>([](TFnouveau& d) {
        d.Enom->setText("Premier");
        d.Edossier->setText("tape a la main");
        d.Enom->setText("Mon film");  // the title's change overwrites the typed folder name
        EXPECT_EQ(d.Edossier->text(), "Mon_film");
        d.Edossier->setText("dossier avec/espaces");
        d.bvalider->click();
        EXPECT_EQ(d.Edossier->text(), "dossier_avec_espaces");
    });
    f->Nouveau1->trigger();
    EXPECT_EQ(f->projet.nomDossier, "dossier_avec_espaces");
    EXPECT_TRUE(QFile::exists(f->projet.repProjets + "dossier_avec_espaces/projet.ini"));
    // The next opening shows what was typed; cancelling changes nothing.
    dialogues().quandModal<TFnouveau>([](TFnouveau& d) {
        EXPECT_EQ(d.Enom->text(), "Mon film");
        EXPECT_EQ(d.Edossier->text(), "dossier_avec_espaces");
        d.bannuler->click();
    });
    f->Nouveau1->trigger();
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
        dialogues().quandModal<TFnouveau>([&](TFnouveau& d) {
            d.Enom->setText(c.titre);
            d.Edossier->setText(c.dossier);
            d.bvalider->click();
            EXPECT_TRUE(d.isVisible()) << "le dialogue reste ouvert";
            EXPECT_EQ(d.Enom->text(), c.titre);
        });
        f->Nouveau1->trigger();
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

    dialogues().quandModal<TFouvrir>([&](TFouvrir& d) {
        ASSERT_EQ(d.Liste->count(), 3);
        ASSERT_EQ(d.Listerep->count(), 3);
        QMap<QString, QString> titres;
        for (int i = 0; i < 3; ++i)
            titres[d.Listerep->item(i)->text()] = d.Liste->item(i)->text();
        EXPECT_EQ(titres["Avec_images"], "Avec images");
        EXPECT_EQ(titres["Sans_titre"], "");
        EXPECT_EQ(titres["Windows"], QStringLiteral("Fête à l'école"));
        EXPECT_FALSE(d.Listerep->isVisible());
        d.bannuler->click();
    });
    f->Charger1->trigger();
    EXPECT_TRUE(f->projet.titreProjet.isEmpty());
    // The listing left the projects folder as the working directory.
    EXPECT_EQ(QDir::currentPath() + "/", racine);

    ouvrirProjet("Avec images");
    EXPECT_EQ(f->projet.titreProjet, "Avec images");
    EXPECT_EQ(f->projet.nomDossier, "Avec_images");
    EXPECT_EQ(f->windowTitle(), "VOLTIPLUME : Avec images");
    EXPECT_EQ(f->projet.nbImages, 10);  // the file after the hole is not part of the film
    EXPECT_EQ(f->projet.imageCourante, 9);
    EXPECT_EQ(f->Limages->text(), "10 images");
    EXPECT_EQ(f->SB->LAB3->text(), "9");
    EXPECT_TRUE(f->SB->SCR->isEnabled());

    // A project without a title opens its frames but counts as no project.
    ecrireBitmap24(test::imageLettre('A'), racine + "Sans_titre/image_00000.bmp");
    ouvrirProjet("");
    EXPECT_TRUE(f->projet.titreProjet.isEmpty());
    EXPECT_EQ(f->projet.nbImages, 1);
    dialogues().affichages.clear();
    f->bdouble->click();
    EXPECT_EQ(dialogues().messages(), QStringList{kMessageGarde});
}

TEST_F(Programme, OuvrirSansSelectionNOuvreRien) {
    creerProjet("Courant");
    ecrireFichier(f->projet.repProjets + "Autre/projet.ini", "[GENERAL]\ntitre=Autre\n");
    dialogues().affichages.clear();
    dialogues().quandModal<TFouvrir>([](TFouvrir& d) {
        d.Liste->clearSelection();
        d.bouvrir->click();
        EXPECT_TRUE(d.isVisible());
    });
    f->Charger1->trigger();
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
    EXPECT_EQ(f->Limages->text(), "0 image");
}

TEST_F(Programme, ChangerLeDossierDesProjets) {
    test::DossierTest autre;
    ecrireFichier(autre.chemin() + "Loin/projet.ini", "[GENERAL]\ntitre=Loin\n");
    dialogues().dossiers.push_back(autre.chemin() + "sans_separateur_final");
    QDir().mkpath(autre.chemin() + "sans_separateur_final");
    dialogues().dossiers.push_back(autre.chemin());
    dialogues().quandModal<TFnouveau>([&](TFnouveau& d) {
        d.SpeedButton2->click();
        EXPECT_EQ(d.DP->text(), autre.chemin() + "sans_separateur_final/");
        d.bannuler->click();
    });
    f->Nouveau1->trigger();
    dialogues().quandModal<TFouvrir>([&](TFouvrir& d) {
        EXPECT_EQ(d.Liste->count(), 0);
        d.SpeedButton2->click();  // the listing runs again on the chosen folder
        EXPECT_EQ(d.DP->text(), autre.chemin());
        ASSERT_EQ(d.Liste->count(), 1);
        EXPECT_EQ(d.Liste->item(0)->text(), "Loin");
        d.SpeedButton2->click();  // cancelled: nothing changes
        EXPECT_EQ(d.DP->text(), autre.chemin());
        d.Liste->setCurrentRow(0);
        d.bouvrir->click();
    });
    f->Charger1->trigger();
    EXPECT_EQ(f->projet.titreProjet, "Loin");
    EXPECT_EQ(f->projet.dossierProjet(), autre.chemin() + "Loin");
}

TEST_F(Programme, DossierDesProjetsDisparu) {
    test::DossierTest parti;
    f->projet.repProjets = parti.chemin() + "efface/";
    dialogues().quandModal<TFouvrir>([](TFouvrir& d) { EXPECT_EQ(d.Liste->count(), 0); });
    f->Charger1->trigger();
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages().first().contains("introuvable"));
}

TEST_F(Programme, ReglagesVideoGardentLeursValeurs) {
    dialogues().quandModal<TFvideo>([](TFvideo& d) {
        EXPECT_EQ(d.Eims->text(), "15");
        EXPECT_EQ(d.Elargeur->text(), "640");
        EXPECT_EQ(d.Ehauteur->text(), "480");
        d.Eims->setText("12");
        d.bvalider->click();
    });
    f->projet.dialogueOk = false;
    dialogues().executer(*f->Fvideo);
    EXPECT_TRUE(f->projet.dialogueOk);
    dialogues().quandModal<TFvideo>([](TFvideo& d) { EXPECT_EQ(d.Eims->text(), "12"); });
    f->projet.dialogueOk = false;
    dialogues().executer(*f->Fvideo);
    EXPECT_FALSE(f->projet.dialogueOk);
}
