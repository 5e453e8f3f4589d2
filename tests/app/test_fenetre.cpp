// SPDX-License-Identifier: GPL-3.0-or-later
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
            "Vidéo | Annuler | Rétablir | Ajouter/Insérer l'image de la webcam | "
            "Dupliquer l'image sélectionnée | Supprimer l'image sélectionnée | Créer la vidéo | "
            "Revoir la vidéo | Copier la vidéo | Prise de vue plein écran",
            "Audio | Enregistrer la bande-son | Ré-écouter la bande-son | Importer la bande-son | "
            "Copier la bande-son",
            "Film | Mixer audio et vidéo | Revoir le film | Copier le film | Exporter le film…",
            "Réglages | Détecter la web-cam | Paramètres de la web-cam | Format de l'image | "
            "Pelure d'oignon | Repères | Fin sur la caméra : nombre d'images",
            "Aide",
            "?",
        }));
    // What the program adds comes after a line, below the usual items.
    const QList<QAction*> video = f->menuBar()->actions()[1]->menu()->actions();
    ASSERT_GE(video.size(), 2);
    EXPECT_TRUE(video[video.size() - 2]->isSeparator());
    EXPECT_EQ(f->windowTitle(), "VOLTIPLUME");
}

TEST_F(Programme, DemarrageAvecLeDossierDeTravailCommeDossierDesProjets) {
    // Started elsewhere than in its own folder: its own files are found beside the executable,
    // new projects go into the folder it was started in.
    const QString ici = QDir::currentPath() + "/";
    ASSERT_NE(QCoreApplication::applicationDirPath() + "/", ici);
    EXPECT_EQ(repProgrammeAuDemarrage, QCoreApplication::applicationDirPath() + "/");
    EXPECT_EQ(f->projet.repProjets, ici);
    EXPECT_TRUE(f->projet.titreProjet.isEmpty());
    EXPECT_EQ(f->projet.imageCourante, -1);
    EXPECT_EQ(f->projet.bmpTravail1.size(), QSize(320, 240));
    EXPECT_EQ(f->projet.bmpTravail1.pixel(10, 10), qRgb(255, 255, 255));
    EXPECT_EQ(f->etiquetteSelection->text(), "->");
    EXPECT_TRUE(f->compteurImages->text().isEmpty());
    EXPECT_FALSE(f->barreProgression->isVisible());
    EXPECT_EQ(f->etiquetteCadence->text(), "12 i/s");
    EXPECT_EQ(f->glissiereOignon->value(), 50);
    EXPECT_TRUE(cameraPrete());  // the simulated camera
    EXPECT_TRUE(dialogues().messages().isEmpty());
    // The dialogs show the projects folder.
    dialogues().quandModal<DialogueNouveauProjet>(
        [&](DialogueNouveauProjet& d) { EXPECT_EQ(d.champDossierProjets->text(), ici); });
    f->actionNouveau->trigger();
    dialogues().quandModal<DialogueOuvrirProjet>(
        [&](DialogueOuvrirProjet& d) { EXPECT_EQ(d.champDossierProjets->text(), ici); });
    f->actionOuvrir->trigger();
}

TEST_F(Programme, LigneDAide) {
    const std::pair<QWidget*, QString> textes[] = {
        {f->boutonNouveau, " Créer un nouveau projet d'animation."},
        {f->boutonOuvrir, " Ouvrir un projet d'animation."},
        {f->boutonDupliquerProjet, " Dupliquer le projet en cours."},
        {f->boutonCreerVideo, " Créer la vidéo du projet."},
        {f->boutonRevoirVideo, " Voir la vidéo du projet."},
        {f->boutonCopierVideo, " Dupliquer la vidéo du projet."},
        {f->boutonEnregistrerSon, " Enregistrer la bande-son du projet."},
        {f->boutonEcouterSon, " Ré-écouter la bande son du projet."},
        {f->boutonImporterSon, " Importer la bande-son du projet."},
        {f->boutonCopierSon, " Dupliquer la bande-son du projet."},
        {f->boutonMixer, " Mixer la vidéo et la bande-son du projet."},
        {f->boutonRevoirFilm, " Visionner le film du projet."},
        {f->boutonCopierFilm, " Enregistrer une copie du film du projet."},
        {f->boutonEditeur, " Ouvrir le film avec VirtualDub."},
        {f->boutonPhoto, " Ajouter/insérer l'image de la caméra."},
        {f->boutonDoublerImage, " Doubler l'image sélectionnée."},
        {f->boutonSupprimerImage, " Supprimer l'image sélectionnée."},
        {f->boutonApercu, " Aperçu de la vidéo."},
        {f->bandeFilm->vignettes[0], " Cliquer pour centrer l'image."},
        {f->bandeFilm->vignettes[4], " Cliquer pour centrer l'image."},
        {f->boutonMarquerDebut, " Marquer le départ de la sélection."},
        {f->boutonMarquerFin, " Marquer la fin de la sélection."},
        {f->boutonSupprimerSelection, " Supprimer la sélection."},
        {f->boutonAnnuler, " Annuler la dernière commande sur les images (Ctrl+Z)."},
        {f->boutonRetablir, " Rétablir la commande annulée (Ctrl+Y)."},
        {f->boutonAnnulerSelection, " Annuler la sélection."},
        {f->boutonCopierSelection, " Copier la sélection après l'image."},
        {f->boutonInverserSelection, " Inverser la sélection."},
        {f->boutonDoublerSelection, " Doubler chaque image de la sélection."},
    };
    for (const auto& [controle, texte] : textes) {
        survoler(controle);
        EXPECT_EQ(f->ligneAide->text(), texte);
    }
    // From a toolbar button onto the toolbar's background: the text stays.
    survoler(f->boutonNouveau);
    survoler(f->barreOutils);
    EXPECT_EQ(f->ligneAide->text(), " Créer un nouveau projet d'animation.");
    // Labels, views and track bars leave it too.
    auto etiquette = [&](const QString& texte) -> QWidget* {
        for (QLabel* l : f->fond->findChildren<QLabel*>())
            if (l->text() == texte) return l;
        ADD_FAILURE() << texte.toStdString();
        return f->ligneAide;
    };
    for (QWidget* w :
         {etiquette("PROJETS"), etiquette("image"), static_cast<QWidget*>(f->vueCamera),
          static_cast<QWidget*>(f->vueOignon), static_cast<QWidget*>(f->glissiereOignon),
          static_cast<QWidget*>(f->glissiereCadence), static_cast<QWidget*>(f->compteurImages),
          static_cast<QWidget*>(f->bandeFilm->barreDefilement),
          static_cast<QWidget*>(f->bandeFilm->numeros[2])}) {
        survoler(w);
        EXPECT_EQ(f->ligneAide->text(), " Créer un nouveau projet d'animation.")
            << w->metaObject()->className();
    }
    // The window background, the preview, the help line, the camera, the strip's box and the
    // background of the selection bar clear it.
    for (QWidget* w :
         {f->fond, static_cast<QWidget*>(f->vueApercu), static_cast<QWidget*>(f->ligneAide),
          static_cast<QWidget*>(f->camera), static_cast<QWidget*>(f->bandeFilm),
          f->bandeFilm->viewport(), static_cast<QWidget*>(f->barreSelection)}) {
        survoler(f->boutonDoublerImage);
        survoler(w);
        EXPECT_TRUE(f->ligneAide->text().isEmpty()) << w->metaObject()->className();
    }
    // The camera's capture window lets the mouse through to the camera control.
    ASSERT_TRUE(f->camera->fenetre());
    EXPECT_TRUE(f->camera->fenetre()->testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST_F(Programme, GardeSurToutesLesCommandesDeProjet) {
    const std::pair<const char*, std::function<void()>> gardees[] = {
        {"Dupliquer", [&] { f->actionDupliquerProjet->trigger(); }},
        {"boutonDupliquerProjet", [&] { f->boutonDupliquerProjet->click(); }},
        {"boutonPhoto", [&] { f->boutonPhoto->click(); }},
        {"Ajouter", [&] { f->actionPhoto->trigger(); }},
        {"boutonDoublerImage", [&] { f->boutonDoublerImage->click(); }},
        {"boutonSupprimerImage", [&] { f->boutonSupprimerImage->click(); }},
        {"Dupliquer l'image", [&] { f->actionDoublerImage->trigger(); }},
        {"Supprimer l'image", [&] { f->actionSupprimerImage->trigger(); }},
        {"Créer la vidéo", [&] { f->actionCreerVideo->trigger(); }},
        {"boutonCreerVideo", [&] { f->boutonCreerVideo->click(); }},
        {"boutonRevoirVideo", [&] { f->boutonRevoirVideo->click(); }},
        {"boutonCopierVideo", [&] { f->boutonCopierVideo->click(); }},
        {"boutonEnregistrerSon", [&] { f->boutonEnregistrerSon->click(); }},
        {"boutonEcouterSon", [&] { f->boutonEcouterSon->click(); }},
        {"boutonImporterSon", [&] { f->boutonImporterSon->click(); }},
        {"boutonCopierSon", [&] { f->boutonCopierSon->click(); }},
        {"boutonMixer", [&] { f->boutonMixer->click(); }},
        {"boutonRevoirFilm", [&] { f->boutonRevoirFilm->click(); }},
        {"boutonCopierFilm", [&] { f->boutonCopierFilm->click(); }},
        {"boutonEditeur", [&] { f->boutonEditeur->click(); }},
        {"Revoir la vidéo", [&] { f->actionRevoirVideo->trigger(); }},
        {"Copier la vidéo", [&] { f->actionCopierVideo->trigger(); }},
        {"Enregistrer la bande-son", [&] { f->actionEnregistrerSon->trigger(); }},
        {"Ré-écouter", [&] { f->actionEcouterSon->trigger(); }},
        {"Importer", [&] { f->actionImporterSon->trigger(); }},
        {"Copier la bande-son", [&] { f->actionCopierSon->trigger(); }},
        {"Mixer", [&] { f->actionMixer->trigger(); }},
        {"Revoir le film", [&] { f->actionRevoirFilm->trigger(); }},
        {"Copier le film", [&] { f->actionCopierFilm->trigger(); }},
        {"Exporter le film", [&] { f->actionExporterFilm->trigger(); }},
        {"boutonApercu", [&] { f->boutonApercu->click(); }},
        {"boutonAnnulerSelection", [&] { f->boutonAnnulerSelection->click(); }},
        {"boutonCopierSelection", [&] { f->boutonCopierSelection->click(); }},
        {"boutonInverserSelection", [&] { f->boutonInverserSelection->click(); }},
        {"boutonDoublerSelection", [&] { f->boutonDoublerSelection->click(); }},
        {"boutonSupprimerSelection", [&] { f->boutonSupprimerSelection->click(); }},
    };
    for (const auto& [nom, commande] : gardees) {
        dialogues().affichages.clear();
        commande();
        EXPECT_EQ(dialogues().messages(), QStringList{kMessageGarde}) << nom;
        EXPECT_EQ(dialogues().affichages.size(), 1u) << nom;
    }
    // The marks, the thumbnails and the track bars never show it.
    dialogues().affichages.clear();
    f->boutonMarquerDebut->click();
    f->boutonMarquerFin->click();
    f->bandeFilm->cliquerVignette(0);
    f->bandeFilm->cliquerVignette(3);
    f->glissiereCadence->setValue(20);
    f->glissiereOignon->setValue(30);
    EXPECT_TRUE(dialogues().affichages.empty());
    EXPECT_EQ(f->etiquetteCadence->text(), "20 i/s");
    EXPECT_EQ(QDir::currentPath() + "/", f->projet.repProgramme);
}

TEST_F(Programme, AideEtAPropos) {
    f->actionAide->trigger();
    EXPECT_EQ(scenario.bureau().documents,
              QStringList{f->projet.repProgramme + "aide/volti-plume.pdf"});
    f->actionAPropos->trigger();
    ASSERT_EQ(dialogues().messages().size(), 1);
    const QStringList lignes = dialogues().messages().first().split('\n');
    ASSERT_EQ(lignes.size(), 2);
    EXPECT_EQ(lignes[0], "Logiciel d'animation en Stop-Motion pour la classe");
}
