// SPDX-License-Identifier: GPL-3.0-or-later
#include <QLabel>
#include <QMetaObject>
#include <QToolButton>

#include "Fixture.h"
#include "app/Duplication.h"
#include "platform/FichiersSurs.h"
#include "platform/Profil.h"
#include "sequence/StockImages.h"

using namespace vp;
using test::ecrireFichier;
using test::Programme;

namespace {

class Duplication : public Programme {
protected:
    QString titreDe(const QString& dossierProjet) {
        return lireProfil(f->projet.repProjets + dossierProjet + "/projet.ini", "GENERAL", "titre",
                          "*absent*");
    }
    void dupliquer() {
        dialogues().affichages.clear();
        f->actionDupliquerProjet->trigger();
    }
};

}  // namespace

TEST_F(Duplication, NumerosEtTitres) {
    dialogues().quandModal<DialogueNouveauProjet>([](DialogueNouveauProjet& d) {
        d.champTitre->setText("T");
        d.champDossier->setText("Mon_film");
        d.boutonValider->click();
    });
    f->actionNouveau->trigger();
    test::ecrireFilm(f->projet.dossierProjet(), "ABC");
    ecrireFichier(f->projet.dossierProjet() + "/video.avi", "video");
    ecrireFichier(f->projet.dossierProjet() + "/.cache/x", "cache");
    ecrireFichier(f->projet.dossierProjet() + "/notes/a.txt", "note");
    ecrireFichier(f->projet.dossierProjet() + "/.cache_fichier", "caché");
    ecrireFichier(f->projet.dossierProjet() + "/.voltiplume-reste.tmp", "reste");
    ouvrirProjet("T");

    dupliquer();
    EXPECT_EQ(dialogues().messages(), QStringList{kCopieFaite});
    EXPECT_EQ(titreDe("Mon_film_copie_1"), "T (copie 1)");
    const QString copie = f->projet.repProjets + "Mon_film_copie_1";
    EXPECT_EQ(test::lireFilm(copie), "ABC");
    EXPECT_TRUE(test::fichiersPropres(copie));
    EXPECT_TRUE(QFile::exists(copie + "/video.avi"));
    EXPECT_TRUE(QFile::exists(copie + "/notes/a.txt"));
    EXPECT_TRUE(QFile::exists(copie + "/.cache_fichier"));
    EXPECT_FALSE(QFileInfo::exists(copie + "/.cache"));
    EXPECT_FALSE(QFile::exists(copie + "/.voltiplume-reste.tmp"));
    // The copy shares no storage with the original.
    EXPECT_EQ(nombreDeNoms(copie + "/image_00000.bmp"), 1);

    dupliquer();
    EXPECT_EQ(titreDe("Mon_film_copie_2"), "T (copie 2)");
    // The lowest free number is taken again.
    QDir(copie).removeRecursively();
    dupliquer();
    EXPECT_EQ(titreDe("Mon_film_copie_1"), "T (copie 1)");
    // The open project is still the same.
    EXPECT_EQ(f->projet.titreProjet, "T");
    EXPECT_EQ(f->projet.nomDossier, "Mon_film");
    EXPECT_EQ(f->windowTitle(), "VOLTIPLUME : T");
    EXPECT_EQ(f->compteurImages->text(), "3 images");

    // A copy of the copy.
    ouvrirProjet("T (copie 2)");
    dupliquer();
    EXPECT_EQ(titreDe("Mon_film_copie_2_copie_1"), "T (copie 2) (copie 1)");
}

TEST_F(Duplication, FichierImpossibleACopierSignale) {
    creerProjet("Film");
    test::ecrireFilm(f->projet.dossierProjet(), "AB");
    QFile::link(f->projet.dossierProjet() + "/disparu.wav",
                f->projet.dossierProjet() + "/audio.wav");
    dupliquer();
    ASSERT_EQ(dialogues().messages().size(), 1);
    const QString m = dialogues().messages().first();
    EXPECT_TRUE(m.contains("incomplète")) << m.toStdString();
    EXPECT_TRUE(m.contains("1 fichier")) << m.toStdString();
    EXPECT_TRUE(m.contains("audio.wav")) << m.toStdString();
    EXPECT_EQ(test::lireFilm(f->projet.repProjets + "Film_copie_1"), "AB");

    // A frame that cannot be copied: no copy is left, nor any folder of it.
    ecrireFichier(f->projet.dossierProjet() + "/notes/a.txt", "note");
    QFile::remove(f->projet.dossierProjet() + "/image_00001.bmp");
    QFile::link(f->projet.dossierProjet() + "/disparu.bmp",
                f->projet.dossierProjet() + "/image_00001.bmp");
    dupliquer();
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].contains("Aucune copie n'a été créée"));
    EXPECT_FALSE(QFileInfo::exists(f->projet.repProjets + "Film_copie_2"));
}

TEST_F(Duplication, LesAutresCommandesAttendentLaFinDeLaCopie) {
    creerProjet("Film");
    test::ecrireFilm(f->projet.dossierProjet(), "ABC");
    ouvrirProjet("Film");
    // A click queued now reaches the window while the copy runs: it is refused.
    QMetaObject::invokeMethod(f->boutonDoublerImage, "click", Qt::QueuedConnection);
    dupliquer();
    QCoreApplication::processEvents();
    EXPECT_EQ(test::lireFilm(f->projet.dossierProjet()), "ABC");
    EXPECT_EQ(f->projet.nbImages, 3);
    // Afterwards the commands run again.
    f->boutonDoublerImage->click();
    EXPECT_EQ(f->projet.nbImages, 4);
}

TEST_F(Duplication, SansProjet) {
    dupliquer();
    EXPECT_EQ(dialogues().messages(), QStringList{kMessageGarde});
    EXPECT_TRUE(QDir(f->projet.repProjets).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}
