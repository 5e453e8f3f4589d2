// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "Fixture.h"
#include "MaisonTest.h"
#include "app/DialogueDossierProjets.h"
#include "app/DialogueNouveauProjet.h"
#include "app/DialogueOuvrirProjet.h"
#include "app/DialogueReglagesVideo.h"
#include "app/Duplication.h"
#include "bandeson/DialogueEnregistrementSon.h"
#include "commun/DialoguesScriptes.h"
#include "film/FilmsDeTest.h"
#include "platform/Bitmap.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "sequence/StockImages.h"
#include "video/DialogueCompression.h"

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

// Writes a file whose path is these bytes, its folder made if needed.
void ecrireOctets(const QByteArray& chemin, const QByteArray& contenu) {
    for (qsizetype i = chemin.indexOf('/', 1); i > 0; i = chemin.indexOf('/', i + 1))
        ::mkdir(chemin.left(i).constData(), 0777);
    QFile f;
    const int fd = ::open(chemin.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    ASSERT_GE(fd, 0) << chemin.toStdString();
    ASSERT_TRUE(f.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
    f.write(contenu);
}

bool existe(const QByteArray& chemin) {
    struct stat s {};
    return ::stat(chemin.constData(), &s) == 0;
}

TEST_F(DossierProjets, NomsQuiNeSontPasDeLUtf8ComptesCommeOuvrirLesListe) {
    // Projects unzipped from an archive made elsewhere: two folders named in Latin-1, which
    // read alike once their odd byte is replaced, and links that lead nowhere.
    const QByteArray ecole = QFile::encodeName(racine) + "/\xe9\x63ole";  // "école", Latin-1
    ecrireOctets(ecole + "/Proj\xe9t/projet.ini", "[GENERAL]\ntitre=Projet\n");
    ecrireOctets(ecole + "/Proj\xe8t/projet.ini", "[GENERAL]\ntitre=Autre\n");
    ecrireOctets(ecole + "/Normal/projet.ini", "[GENERAL]\ntitre=Normal\n");
    ASSERT_EQ(::symlink("nulle-part", (ecole + "/mort").constData()), 0);
    ASSERT_EQ(::symlink("boucle", (ecole + "/boucle").constData()), 0);
    const QString chemin = cheminDepuisOctets(ecole);

    auto& dialogues = scenario.dialogues();
    DialogueDossierProjets d(p, nullptr);
    dialogues.quandModal<DialogueDossierProjets>([&](DialogueDossierProjets& dd) {
        ASSERT_NE(dd.arbre->SelectPath(chemin), nullptr);
        EXPECT_EQ(dd.arbre->currentItem()->text(0), "école");
        EXPECT_EQ(etiquette(dd), "3 projets trouvés.");
        dd.boutonSelectionner->click();
    });
    ASSERT_TRUE(d.changerDossierProjets());
    EXPECT_EQ(octetsDuChemin(p.repProjets), ecole + "/");

    DialogueOuvrirProjet o(p, nullptr);
    o.preparerAffichage();
    ASSERT_EQ(o.listeDossiers->count(), 3);
    QStringList titres;
    for (int i = 0; i < 3; ++i) {
        titres << o.listeTitres->item(i)->text();
        EXPECT_TRUE(existe(octetsDuChemin(p.repProjets + o.listeDossiers->item(i)->text())));
    }
    titres.sort();
    EXPECT_EQ(titres, QStringList({"Autre", "Normal", "Projet"}));
    EXPECT_TRUE(dialogues.messages().isEmpty()) << dialogues.messages().join('|').toStdString();

    // « Nouveau » in that folder does not take over a project that is there.
    ecrireOctets(ecole + "/Images/image_00000.bmp", "BM");
    EXPECT_FALSE(refusNouveauProjet(p.repProjets, "Normal", "Normal").isEmpty());
    EXPECT_FALSE(refusNouveauProjet(p.repProjets, "Images", "Images").isEmpty());
    EXPECT_TRUE(refusNouveauProjet(p.repProjets, "Neuf", "Neuf").isEmpty());
}

TEST_F(DossierProjets, PartageQuiTardeARepondre) {
    const QString classe = racine + "/partage/classe";
    ecrireFichier(classe + "/Film_1/projet.ini", "[GENERAL]\ntitre=Film 1\n");
    ecrireFichier(classe + "/Film_2/projet.ini", "[GENERAL]\ntitre=Film 2\n");
    table.liste = {{racine + "/partage", "films sur srv", Volume::Genre::Reseau}};
    test::PartageLent lent(racine + "/partage", std::chrono::milliseconds(5000));
    DialogueDossierProjets d(p, nullptr);
    d.show();

    const test::MesureBlocage mesure;
    d.arbre->SelectPath(classe);
    EXPECT_EQ(etiquette(d), kComptageEnCours);
    EXPECT_FALSE(d.boutonSelectionner->isEnabled());
    ASSERT_TRUE(test::attendreQue([&] { return etiquette(d) == kDossierMuet; }));
    ASSERT_TRUE(test::attendreQue([&] { return etiquette(d) == "2 projets trouvés."; }));
    EXPECT_TRUE(d.boutonSelectionner->isEnabled());
    // Clicked again when it did not answer, it is counted again.
    d.arbre->SelectPath(classe + "/Film_2");
    ASSERT_TRUE(test::attendreQue([&] { return etiquette(d) == kDossierMuet; }));
    lent.armer(false);
    const QRect ligne = d.arbre->visualItemRect(d.arbre->currentItem());
    QTest::mouseClick(d.arbre->viewport(), Qt::LeftButton, {}, ligne.center());
    ASSERT_TRUE(test::attendreQue([&] { return etiquette(d) == kAucunProjet; }));
    lent.armer(true);
    // Another folder chosen before the share answers: its answer comes too late to count.
    d.arbre->SelectPath(classe + "/Film_1");
    d.arbre->SelectPath(projets);
    EXPECT_EQ(etiquette(d), "1 projets trouvés.");
    test::attendreEvenements(200);
    EXPECT_EQ(etiquette(d), "1 projets trouvés.");

    // The Open project dialog on that share: the list fills when it answers.
    p.repProjets = classe + "/";
    DialogueOuvrirProjet o(p, nullptr);
    const int attentes = lent.attentes();
    o.preparerAffichage();
    EXPECT_TRUE(o.enLecture());
    ASSERT_EQ(o.listeTitres->count(), 1);
    EXPECT_EQ(o.listeTitres->item(0)->text(), kLectureProjets);
    EXPECT_EQ(o.indexChoisi(), -1);
    ASSERT_TRUE(test::attendreQue([&] { return o.listeTitres->item(0)->text() == kProjetsMuets; }));
    ASSERT_TRUE(test::attendreQue([&] { return !o.enLecture(); }));
    ASSERT_EQ(o.listeTitres->count(), 2);
    ASSERT_EQ(o.listeDossiers->count(), 2);
    // Listed again while the share holds up the measuring of the projects: the window does not
    // wait for it, and the new list is measured.
    ASSERT_TRUE(test::attendreQue([&] { return lent.attentes() >= attentes + 2; }));
    lent.armer(false);
    o.preparerAffichage();
    ASSERT_TRUE(test::attendreQue([&] {
        return o.listeTitres->count() == 2 && !o.listeTitres->item(0)->toolTip().isEmpty() &&
               !o.listeTitres->item(1)->toolTip().isEmpty();
    }));
    EXPECT_EQ(o.listeTitres->item(0)->toolTip(), "aucune image, 23 octets");  // the .ini
    EXPECT_LT(mesure.max(), 100);
    EXPECT_TRUE(scenario.dialogues().messages().isEmpty());
}

}  // namespace

namespace {

using Programme = test::Programme;

TEST_F(Programme, ProjetDansUnDossierNommeEnLatin1) {
    // A project unzipped on this computer from a zip made on Windows: its folder is named in
    // Latin-1, next to another that reads alike once its odd byte is replaced.
    const QByteArray racine = QFile::encodeName(f->projet.repProjets);
    const QByteArray dossier = racine + "F\xeate";  // "Fête"
    ecrireOctets(dossier + "/projet.ini", "[GENERAL]\r\ntitre=La f\xeate\r\n");
    ecrireOctets(racine + "F\xe8te/projet.ini", "[GENERAL]\r\ntitre=Autre\r\n");
    for (int i = 0; i < 2; ++i)
        ecrireBitmap24(
            test::imageLettre(QChar('A' + i)),
            cheminDepuisOctets(dossier + "/image_0000" + QByteArray::number(i) + ".bmp"));

    // « Ouvrir un projet » measures it as any other: its frames and its size.
    dialogues().quandModal<DialogueOuvrirProjet>([](DialogueOuvrirProjet& d) {
        const auto trouves = d.listeTitres->findItems("La fête", Qt::MatchExactly);
        ASSERT_EQ(trouves.size(), 1);
        ASSERT_TRUE(test::attendreQue([&] { return !trouves[0]->toolTip().isEmpty(); }));
        EXPECT_EQ(trouves[0]->toolTip(), "2 images, 422 octets");  // two of 198, the .ini
        d.boutonAnnuler->click();
    });
    f->actionOuvrir->trigger();
    ouvrirProjet("La fête");
    EXPECT_EQ(octetsDuChemin(f->projet.dossierProjet()), dossier);
    EXPECT_EQ(f->projet.nbImages, 2);
    f->boutonPhoto->click();
    EXPECT_EQ(f->projet.nbImages, 3);
    EXPECT_TRUE(existe(dossier + "/image_00002.bmp"));
    EXPECT_FALSE(existe(racine + "F\xe8te/image_00000.bmp"));

    creerVideoMjpeg();
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    // An AVI file of three frames (its main header's frame count).
    QFile video;
    const int fd = ::open((dossier + "/video.avi").constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(video.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    const QByteArray entete = video.read(52);
    ASSERT_EQ(entete.size(), 52);
    EXPECT_EQ(entete.left(4), "RIFF");
    EXPECT_EQ(entete.mid(8, 4), "AVI ");
    EXPECT_EQ(static_cast<uchar>(entete[48]), 3);
    ASSERT_EQ(scenario.bureau().documents.size(), 1);
    EXPECT_EQ(octetsDuChemin(scenario.bureau().documents[0]), dossier + "/video.avi");

    // Its copy holds its frames, under the same odd byte.
    f->actionDupliquerProjet->trigger();
    EXPECT_EQ(dialogues().messages(), QStringList{kCopieFaite});
    for (const char* image : {"/image_00000.bmp", "/image_00002.bmp"})
        EXPECT_EQ(chargerImage(cheminDepuisOctets(dossier + "_copie_1" + image)),
                  chargerImage(cheminDepuisOctets(dossier + image)));
    dialogues().affichages.clear();

    // A sound track from the microphone, the film mixed, then exported with its sound.
    QStringList fins;
    QObject abonnement;
    QObject::connect(f->fenetreSon, &DialogueEnregistrementSon::enregistrementTermine, &abonnement,
                     [&](const QString& e) { fins << e; });
    dialogues().quandModal<DialogueEnregistrementSon>([&](DialogueEnregistrementSon& d) {
        d.boutonEnregistrer->click();
        ASSERT_TRUE(test::attendreQue([&] { return !fins.isEmpty(); }));
        d.boutonFermer->click();
    });
    f->actionEnregistrerSon->trigger();
    EXPECT_EQ(fins, QStringList{QString()});
    test::installerEditeur(f->projet.repProgramme);
    scenario.bureau().executerVraiment = true;
    f->actionMixer->trigger();
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    EXPECT_EQ(test::lireMedia(cheminDepuisOctets(dossier + "/film.avi")).nombreFlux, 2);
    dialogues().fichiers = {cheminDepuisOctets(dossier + "/f\xeate.mp4")};
    f->actionExporterFilm->trigger();
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    const test::MediaLu exporte = test::lireMedia(cheminDepuisOctets(dossier + "/f\xeate.mp4"));
    EXPECT_GE(exporte.video.paquets.size(), 3u);
    EXPECT_FALSE(exporte.son.paquets.empty());

    // A frame deleted since the video and the film: the mixing asks first; « Annuler » leaves it.
    f->boutonSupprimerImage->click();
    dialogues().affichages.clear();
    dialogues().reponsesChoix = {2};
    f->actionMixer->trigger();
    ASSERT_EQ(dialogues().affichages.size(), 1u);
    EXPECT_EQ(dialogues().affichages[0].genre, test::Affichage::Genre::Choix);
    EXPECT_TRUE(dialogues().affichages[0].texte.contains("(1 image modifiée)"))
        << dialogues().affichages[0].texte.toStdString();
}

}  // namespace
