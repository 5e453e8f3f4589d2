#include <QLabel>
#include <QPushButton>

#include "MaisonTest.h"
#include "app/DialogueDossierProjets.h"
#include "commun/DialoguesScriptes.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"

using namespace vp;
using test::ecrireFichier;

namespace {

class DossierProjets : public test::MaisonTest {
protected:
    test::Scenario scenario;
    const QString projets = racine + "/projets";
    ProjetCourant p;

    DossierProjets() {
        ecrireFichier(projets + "/Le_chateau/projet.ini", "[GENERAL]\ntitre=Le château\n");
        ecrireFichier(projets + "/Sans_titre/projet.ini", "[GENERAL]\nautre=1\n");
        creer({"projets/Sans_projet", "vide"});
        p.repProjets = projets + "/";
    }
    QString etiquette(const DialogueDossierProjets& d) const {
        return d.etiquetteNombreProjets->text();
    }
};

TEST_F(DossierProjets, CompteLesProjetsDuDossierChoisi) {
    DialogueDossierProjets d(p, nullptr);
    EXPECT_EQ(etiquette(d), "Dossier des projets:");
    EXPECT_FALSE(d.boutonSelectionner->isEnabled());
    const QString repertoire = QDir::currentPath();

    d.arbre->SelectPath(projets);
    EXPECT_EQ(etiquette(d), "1 projets trouvés.");  // the project without a title is not counted
    EXPECT_TRUE(d.boutonSelectionner->isEnabled());
    EXPECT_EQ(QDir::currentPath(), repertoire);
    ecrireFichier(projets + "/Deuxieme/projet.ini", "[GENERAL]\ntitre=Deux\n");
    d.arbre->SelectPath(projets + "/Deuxieme");
    EXPECT_EQ(etiquette(d), kAucunProjet);
    d.arbre->SelectPath(projets);
    EXPECT_EQ(etiquette(d), "2 projets trouvés.");

    d.arbre->setCurrentItem(d.arbre->noeudOrdinateur());
    EXPECT_EQ(etiquette(d), kChoisirUnDossier);
    EXPECT_FALSE(d.boutonSelectionner->isEnabled());
    d.arbre->setCurrentItem(d.arbre->noeudReseau());
    EXPECT_EQ(etiquette(d), kChoisirUnDossier);
    EXPECT_TRUE(scenario.dialogues().messages().isEmpty());
}

TEST_F(DossierProjets, DossierIlliblePasseSansRienChanger) {
    DialogueDossierProjets d(p, nullptr);
    creer({"parti"});
    QTreeWidgetItem* parti = d.arbre->SelectPath(racine + "/parti");
    d.arbre->SelectPath(projets);
    ASSERT_EQ(etiquette(d), "1 projets trouvés.");
    const QString repertoire = QDir::currentPath();
    ASSERT_TRUE(QDir(racine).rmdir("parti"));  // a stick pulled out, for instance
    d.arbre->setCurrentItem(parti);
    ASSERT_EQ(scenario.dialogues().affichages.size(), 1u);
    EXPECT_EQ(scenario.dialogues().affichages[0].texte,
              "Impossible d'entrer dans le dossier « " + racine + "/parti ».");
    EXPECT_EQ(scenario.dialogues().affichages[0].icone, Icone::Arret);
    EXPECT_EQ(etiquette(d), "1 projets trouvés.");
    EXPECT_FALSE(d.boutonSelectionner->isEnabled());
    EXPECT_EQ(QDir::currentPath(), repertoire);
    EXPECT_THROW(compterProjetsDans(racine + "/parti/"), Erreur);
}

TEST_F(DossierProjets, ChangerLeDossierDesProjets) {
    auto& dialogues = scenario.dialogues();
    DialogueDossierProjets d(p, nullptr);
    // Cancelled by the close box: nothing changes.
    dialogues.quandModal<DialogueDossierProjets>([&](DialogueDossierProjets& dd) {
        EXPECT_EQ(dd.windowTitle(), "Dossier des projets");
        EXPECT_EQ(dd.arbre->SelectedPath(), projets);  // opened on the projects folder
        EXPECT_EQ(etiquette(dd), "1 projets trouvés.");
    });
    EXPECT_FALSE(d.changerDossierProjets());
    EXPECT_EQ(p.repProjets, projets + "/");

    // Opened again on the same folder, its projects are counted again.
    ecrireFichier(projets + "/Nouveau/projet.ini", "[GENERAL]\ntitre=Nouveau\n");
    dialogues.quandModal<DialogueDossierProjets>([&](DialogueDossierProjets& dd) {
        EXPECT_EQ(etiquette(dd), "2 projets trouvés.");
        dd.arbre->SelectPath(racine + "/vide");
        dd.boutonSelectionner->click();
    });
    EXPECT_TRUE(d.changerDossierProjets());
    EXPECT_EQ(p.repProjets, racine + "/vide/");

    dialogues.quandModal<DialogueDossierProjets>([&](DialogueDossierProjets& dd) {
        dd.arbre->SelectPath("/");
        dd.boutonSelectionner->click();
    });
    EXPECT_TRUE(d.changerDossierProjets());
    EXPECT_EQ(p.repProjets, "/");
}

}  // namespace
