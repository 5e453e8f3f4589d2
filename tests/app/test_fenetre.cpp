#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollBar>
#include <QSlider>
#include <functional>

#include "Fixture.h"
#include "capture/Camera.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"

using namespace vp;
using test::Programme;
using test::survoler;

TEST_F(Programme, BarreDeMenusAvecSesLibelles) {
    QStringList lignes;
    for (QAction* a : f->menuBar()->actions()) {
        QString ligne = a->text();
        if (a->menu())
            for (QAction* article : a->menu()->actions())
                if (!article->isSeparator()) ligne += " | " + article->text();
        lignes << ligne;
    }
    EXPECT_EQ(
        lignes,
        (QStringList{
            "Projets | Nouveau | Ouvrir | Dupliquer | Quitter",
            "Vidéo | Ajouter/Insérer l'image de la webcam | Dupliquer l'image sélectionnée | "
            "Supprimer l'image sélectionnée | Créer la vidéo | Revoir la vidéo | Copier la vidéo",
            "Audio | Enregistrer la bande-son | Ré-écouter la bande-son | Importer la bande-son | "
            "Copier la bande-son",
            "Film | Mixer audio et vidéo | Revoir le film | Copier le film",
            "Réglages | Détecter la web-cam | Paramètres de la web-cam | Format de l'image",
            "Aide",
            "?",
        }));
    EXPECT_EQ(f->windowTitle(), "VOLTIPLUME");
}

TEST_F(Programme, DemarrageDansLeDossierDuProgramme) {
    const QString ici = QDir::currentPath() + "/";
    EXPECT_EQ(f->projet.repProgramme, ici);
    EXPECT_EQ(f->projet.repProjets, ici);
    EXPECT_TRUE(f->projet.titreProjet.isEmpty());
    EXPECT_EQ(f->projet.imageCourante, -1);
    EXPECT_EQ(f->projet.bmpTravail1.size(), QSize(320, 240));
    EXPECT_EQ(f->projet.bmpTravail1.pixel(10, 10), qRgb(255, 255, 255));
    EXPECT_EQ(f->LabS->text(), "->");
    EXPECT_TRUE(f->Limages->text().isEmpty());
    EXPECT_FALSE(f->PB->isVisible());
    EXPECT_EQ(f->lims->text(), "12 i/s");
    EXPECT_EQ(f->TB->value(), 50);
    EXPECT_TRUE(cameraPrete());  // the simulated camera
    EXPECT_TRUE(dialogues().messages().isEmpty());
    // The dialogs show the projects folder.
    dialogues().quandModal<TFnouveau>([&](TFnouveau& d) { EXPECT_EQ(d.DP->text(), ici); });
    f->Nouveau1->trigger();
    dialogues().quandModal<TFouvrir>([&](TFouvrir& d) { EXPECT_EQ(d.DP->text(), ici); });
    f->Charger1->trigger();
}

TEST_F(Programme, LigneDAide) {
    const std::pair<QWidget*, QString> textes[] = {
        {f->SpeedButton1, " Créer un nouveau projet d'animation."},
        {f->SpeedButton2, " Ouvrir un projet d'animation."},
        {f->SpeedButton5, " Dupliquer le projet en cours."},
        {f->SpeedButton3, " Créer la vidéo du projet."},
        {f->SpeedButton4, " Voir la vidéo du projet."},
        {f->SpeedButton6, " Dupliquer la vidéo du projet."},
        {f->SpeedButton7, " Enregistrer la bande-son du projet."},
        {f->SpeedButton10, " Ré-écouter la bande son du projet."},
        {f->SpeedButton8, " Importer la bande-son du projet."},
        {f->SpeedButton9, " Dupliquer la bande-son du projet."},
        {f->SpeedButton11, " Mixer la vidéo et la bande-son du projet."},
        {f->SpeedButton12, " Visionner le film du projet."},
        {f->SpeedButton14, " Enregistrer une copie du film du projet."},
        {f->SpeedButton13, " Ouvrir le film avec VirtualDub."},
        {f->bphoto, " Ajouter/insérer l'image de la caméra."},
        {f->bdouble, " Doubler l'image sélectionnée."},
        {f->bannule, " Supprimer l'image sélectionnée (action irréversible)."},
        {f->SpeedButton15, " Aperçu de la vidéo."},
        {f->SB->V1, " Cliquer pour centrer l'image."},
        {f->SB->V5, " Cliquer pour centrer l'image."},
        {f->SG, " Marquer le départ de la sélection."},
        {f->SF, " Marquer la fin de la sélection."},
        {f->SpeedButton16, " Supprimer la sélection (action irréversible)."},
        {f->SpeedButton17, " Annuler la sélection."},
        {f->SpeedButton18, " Copier la sélection après l'image."},
        {f->SpeedButton19, " Inverser la sélection."},
        {f->SpeedButton20, " Doubler chaque image de la sélection."},
    };
    for (const auto& [controle, texte] : textes) {
        survoler(controle);
        EXPECT_EQ(f->Laide->text(), texte);
    }
    // From a toolbar button onto the toolbar's background: the text stays.
    survoler(f->SpeedButton1);
    survoler(f->Panel1);
    EXPECT_EQ(f->Laide->text(), " Créer un nouveau projet d'animation.");
    // Labels, views and track bars leave it too.
    for (QWidget* w : {static_cast<QWidget*>(f->Label1), static_cast<QWidget*>(f->Label6),
                       static_cast<QWidget*>(f->vue), static_cast<QWidget*>(f->Melange),
                       static_cast<QWidget*>(f->TB), static_cast<QWidget*>(f->tbims),
                       static_cast<QWidget*>(f->Limages), static_cast<QWidget*>(f->SB->SCR),
                       static_cast<QWidget*>(f->SB->LAB3)}) {
        survoler(w);
        EXPECT_EQ(f->Laide->text(), " Créer un nouveau projet d'animation.")
            << w->metaObject()->className();
    }
    // The window background, the preview, the help line, the camera, the strip's box and the
    // background of the selection bar clear it.
    for (QWidget* w : {f->Fond, static_cast<QWidget*>(f->aper), static_cast<QWidget*>(f->Laide),
                       static_cast<QWidget*>(f->cam), static_cast<QWidget*>(f->SB),
                       f->SB->viewport(), static_cast<QWidget*>(f->Panel2)}) {
        survoler(f->bdouble);
        survoler(w);
        EXPECT_TRUE(f->Laide->text().isEmpty()) << w->metaObject()->className();
    }
    // The camera's capture window lets the mouse through to the camera control.
    ASSERT_TRUE(f->cam->fenetre());
    EXPECT_TRUE(f->cam->fenetre()->testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST_F(Programme, GardeSurToutesLesCommandesDeProjet) {
    const std::pair<const char*, std::function<void()>> gardees[] = {
        {"Dupliquer", [&] { f->Dupliquer1->trigger(); }},
        {"SpeedButton5", [&] { f->SpeedButton5->click(); }},
        {"bphoto", [&] { f->bphoto->click(); }},
        {"Ajouter", [&] { f->Ajouterimage1->trigger(); }},
        {"bdouble", [&] { f->bdouble->click(); }},
        {"bannule", [&] { f->bannule->click(); }},
        {"Dupliquer l'image", [&] { f->Dupliquerladernireimage1->trigger(); }},
        {"Supprimer l'image", [&] { f->Supprimerladernireimage1->trigger(); }},
        {"Créer la vidéo", [&] { f->Crerlavido1->trigger(); }},
        {"SpeedButton3", [&] { f->SpeedButton3->click(); }},
        {"SpeedButton4", [&] { f->SpeedButton4->click(); }},
        {"SpeedButton6", [&] { f->SpeedButton6->click(); }},
        {"SpeedButton7", [&] { f->SpeedButton7->click(); }},
        {"SpeedButton10", [&] { f->SpeedButton10->click(); }},
        {"SpeedButton8", [&] { f->SpeedButton8->click(); }},
        {"SpeedButton9", [&] { f->SpeedButton9->click(); }},
        {"SpeedButton11", [&] { f->SpeedButton11->click(); }},
        {"SpeedButton12", [&] { f->SpeedButton12->click(); }},
        {"SpeedButton14", [&] { f->SpeedButton14->click(); }},
        {"SpeedButton13", [&] { f->SpeedButton13->click(); }},
        {"Revoir la vidéo", [&] { f->Revoirlavido1->trigger(); }},
        {"Copier la vidéo", [&] { f->Copierlavido1->trigger(); }},
        {"Enregistrer la bande-son", [&] { f->Enregistrerlabandeson1->trigger(); }},
        {"Ré-écouter", [&] { f->Rcouterlabandeson1->trigger(); }},
        {"Importer", [&] { f->Importerlabandeson1->trigger(); }},
        {"Copier la bande-son", [&] { f->Copierlabandeson1->trigger(); }},
        {"Mixer", [&] { f->Mixeraudioetvido1->trigger(); }},
        {"Revoir le film", [&] { f->Revoirlefilm1->trigger(); }},
        {"Copier le film", [&] { f->Copierlefilm1->trigger(); }},
        {"SpeedButton15", [&] { f->SpeedButton15->click(); }},
        {"SpeedButton17", [&] { f->SpeedButton17->click(); }},
        {"SpeedButton18", [&] { f->SpeedButton18->click(); }},
        {"SpeedButton19", [&] { f->SpeedButton19->click(); }},
        {"SpeedButton20", [&] { f->SpeedButton20->click(); }},
        {"SpeedButton16", [&] { f->SpeedButton16->click(); }},
    };
    for (const auto& [nom, commande] : gardees) {
        dialogues().affichages.clear();
        commande();
        EXPECT_EQ(dialogues().messages(), QStringList{kMessageGarde}) << nom;
        EXPECT_EQ(dialogues().affichages.size(), 1u) << nom;
    }
    // The marks, the thumbnails and the track bars never show it.
    dialogues().affichages.clear();
    f->SG->click();
    f->SF->click();
    f->SB->V1Click();
    f->SB->V4Click();
    f->tbims->setValue(20);
    f->TB->setValue(30);
    EXPECT_TRUE(dialogues().affichages.empty());
    EXPECT_EQ(f->lims->text(), "20 i/s");
    EXPECT_EQ(QDir::currentPath() + "/", f->projet.repProgramme);
}

TEST_F(Programme, AideEtAPropos) {
    f->Actions1->trigger();
    EXPECT_EQ(scenario.bureau().documents,
              QStringList{f->projet.repProgramme + "aide/volti-plume.pdf"});
    f->N1->trigger();
    ASSERT_EQ(dialogues().messages().size(), 1);
    const QStringList lignes = dialogues().messages().first().split('\n');
    ASSERT_EQ(lignes.size(), 2);
    EXPECT_EQ(lignes[0], "Logiciel d'animation en Stop-Motion pour la classe");
}
