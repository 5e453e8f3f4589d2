// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include "Ordre.h"
#include "VueFactice.h"
#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "platform/Bitmap.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "sequence/Edition.h"

using namespace vp;

namespace {

// A film of letters and the record that goes with it.
class Edition : public ::testing::Test {
protected:
    test::Scenario scenario;
    test::DossierTest dossier;
    test::VueFactice vue;
    ProjetCourant p;

    void film(const QString& lettres, qint32 courante, qint32 debut = -1, qint32 fin = -1) {
        p.repProjets = dossier.chemin();
        p.nomDossier = "film";
        p.titreProjet = "Film";
        QDir(p.dossierProjet()).removeRecursively();
        p.historique.reset();
        test::ecrireFilm(p.dossierProjet(), lettres);
        p.nbImages = static_cast<qint32>(lettres.size());
        p.imageCourante = courante;
        p.selDebut = debut;
        p.selFin = fin;
        vue = test::VueFactice{};
    }
    QString lettres() const { return test::lireFilm(p.dossierProjet()); }
    void verifierPropre() {
        EXPECT_EQ(lettres().size(), p.nbImages);  // no file left past the film
        EXPECT_FALSE(QFile::exists(cheminImage(p, p.nbImages)));
        EXPECT_TRUE(test::fichiersPropres(p.dossierProjet()));
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(vue.visible);
    }
};

}  // namespace

TEST_F(Edition, DupliquerLImageCourante) {
    film("ABCD", 2, 0, 1);
    dupliquerImageCourante(p, vue);
    EXPECT_EQ(lettres(), "ABCCD");
    EXPECT_EQ(p.imageCourante, 3);
    EXPECT_EQ(p.nbImages, 5);
    EXPECT_EQ(p.selDebut, 0);  // the selection is not changed
    EXPECT_EQ(p.selFin, 1);
    EXPECT_EQ(vue.rafraichissements, 1);
    verifierPropre();
    film("A", 0);
    dupliquerImageCourante(p, vue);
    EXPECT_EQ(lettres(), "AA");
    verifierPropre();
}

TEST_F(Edition, SupprimerLImageCouranteJusquAuFilmVide) {
    film("ABC", 1);
    supprimerImageCourante(p, vue);
    EXPECT_EQ(lettres(), "AC");
    EXPECT_EQ(p.imageCourante, 1);
    supprimerImageCourante(p, vue);
    EXPECT_EQ(lettres(), "A");
    EXPECT_EQ(p.imageCourante, 0);
    supprimerImageCourante(p, vue);
    EXPECT_EQ(lettres(), "");
    EXPECT_EQ(p.nbImages, 0);
    EXPECT_EQ(p.imageCourante, -1);
    verifierPropre();
    supprimerImageCourante(p, vue);  // empty film: nothing
    EXPECT_EQ(vue.rafraichissements, 3);
}

TEST_F(Edition, CopierLaSelection) {
    struct Cas {
        qint32 courante, debut, fin;
        QString apres;
        qint32 nouveauDebut, nouvelleFin;
    };
    for (const Cas& c : {Cas{4, 1, 2, "ABCDEBC", 5, 6}, Cas{0, 3, 4, "ADEBCDE", 1, 2},
                         Cas{2, 1, 2, "ABCBCDE", 3, 4}, Cas{2, 2, 2, "ABCCDE", 3, 3},
                         Cas{4, 0, 4, "ABCDEABCDE", 5, 9}, Cas{0, 1, 4, "ABCDEBCDE", 1, 4}}) {
        film("ABCDE", c.courante, c.debut, c.fin);
        copierSelection(p, vue);
        EXPECT_EQ(lettres(), c.apres) << c.debut << ".." << c.fin << " après " << c.courante;
        EXPECT_EQ(p.selDebut, c.nouveauDebut);
        EXPECT_EQ(p.selFin, c.nouvelleFin);
        EXPECT_EQ(p.imageCourante, c.courante);
        EXPECT_EQ(p.nbImages, c.apres.size());
        // One step per frame moved and per frame copied.
        EXPECT_EQ(vue.maximum, (5 - 1 - c.courante) + (c.fin - c.debut + 1));
        EXPECT_EQ(vue.position, vue.maximum);
        verifierPropre();
    }
}

TEST_F(Edition, CopierLaSelectionSurElleMemeEstRefuse) {
    film("ABCDE", 1, 1, 2);
    copierSelection(p, vue);
    EXPECT_EQ(scenario.dialogues().messages(), QStringList{kMessageCopieSurElleMeme});
    EXPECT_EQ(lettres(), "ABCDE");
    EXPECT_EQ(p.selDebut, 1);
    EXPECT_TRUE(vue.jamaisMontree);
    EXPECT_EQ(vue.rafraichissements, 0);
}

TEST_F(Edition, InverserLaSelection) {
    film("ABCDE", 0, 1, 4);
    inverserSelection(p, vue);
    EXPECT_EQ(lettres(), "AEDCB");
    EXPECT_EQ(vue.maximum, 2);
    verifierPropre();
    film("AB", 1, 0, 1);
    inverserSelection(p, vue);
    EXPECT_EQ(lettres(), "BA");
    EXPECT_EQ(vue.journal, (QStringList{"montre 1", "avance", "complete", "rafraichit", "masque"}));
    EXPECT_EQ(p.selDebut, 0);
    EXPECT_EQ(p.selFin, 1);
    verifierPropre();
    film("ABCDE", 0, 2, 2);
    inverserSelection(p, vue);  // one frame: nothing
    EXPECT_EQ(lettres(), "ABCDE");
    EXPECT_TRUE(vue.jamaisMontree);
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("tempo.bmp")));
}

TEST_F(Edition, DoublerChaqueImage) {
    film("ABCDE", 3, 1, 2);
    doublerSelection(p, vue);
    EXPECT_EQ(lettres(), "ABBCCDE");
    EXPECT_EQ(p.nbImages, 7);
    EXPECT_EQ(p.selDebut, 1);
    EXPECT_EQ(p.selFin, 4);
    EXPECT_EQ(p.imageCourante, 3);
    EXPECT_EQ(vue.maximum, 2);
    verifierPropre();
    film("A", 0, 0, 0);
    doublerSelection(p, vue);
    EXPECT_EQ(lettres(), "AA");
    EXPECT_EQ(p.selFin, 1);
    verifierPropre();
    film("ABCDEFGH", 0, 0, 7);
    doublerSelection(p, vue);
    EXPECT_EQ(lettres(), "AABBCCDDEEFFGGHH");
    verifierPropre();
    film("ABCDEFGH", 0, 5, 6);
    doublerSelection(p, vue);
    EXPECT_EQ(lettres(), "ABCDEFFGGH");
    verifierPropre();
}

TEST_F(Edition, SupprimerLaSelection) {
    film("ABCDE", 2, 1, 2);
    supprimerSelection(p, vue);
    EXPECT_EQ(lettres(), "ADE");
    EXPECT_EQ(p.imageCourante, 0);
    EXPECT_EQ(p.selDebut, -1);
    EXPECT_EQ(p.selFin, -1);
    EXPECT_TRUE(vue.jamaisMontree);
    verifierPropre();
    film("ABCDE", 4, 1, 2);
    supprimerSelection(p, vue);
    EXPECT_EQ(p.imageCourante, 0);
    film("ABCDE", 4, 2, 3);
    supprimerSelection(p, vue);
    EXPECT_EQ(lettres(), "ABE");
    EXPECT_EQ(p.imageCourante, 1);
    film("ABCDE", 4, 0, 4);
    supprimerSelection(p, vue);
    EXPECT_EQ(lettres(), "");
    EXPECT_EQ(p.imageCourante, -1);
    verifierPropre();
}

TEST_F(Edition, SansProjetSansImageSansSelection) {
    film("ABC", 0);
    p.titreProjet.clear();
    for (auto commande : {dupliquerImageCourante, supprimerImageCourante, copierSelection,
                          inverserSelection, doublerSelection, supprimerSelection}) {
        scenario.dialogues().affichages.clear();
        commande(p, vue);
        EXPECT_EQ(scenario.dialogues().messages(), QStringList{kMessageGarde});
    }
    p.titreProjet = "Film";
    scenario.dialogues().affichages.clear();
    for (auto commande : {copierSelection, inverserSelection, doublerSelection, supprimerSelection})
        commande(p, vue);
    p.nbImages = 0;
    for (auto commande : {dupliquerImageCourante, supprimerImageCourante})
        commande(p, vue);
    EXPECT_TRUE(scenario.dialogues().affichages.empty());
    EXPECT_EQ(vue.rafraichissements, 0);
    EXPECT_EQ(lettres(), "ABC");
}

TEST_F(Edition, SelectionAuDelaDeLaFinRameneeAuFilm) {
    // After single-frame deletions the selection may reach past the last frame.
    film("ABCDE", 0, 3, 6);
    inverserSelection(p, vue);
    EXPECT_EQ(lettres(), "ABCED");
    EXPECT_EQ(p.selFin, 4);
    film("ABCDE", 0, 3, 9);
    supprimerSelection(p, vue);
    EXPECT_EQ(lettres(), "ABC");
    verifierPropre();
    film("ABCDE", 0, 3, 9);
    doublerSelection(p, vue);
    EXPECT_EQ(lettres(), "ABCDDEE");
    verifierPropre();
    // Entirely past the end: no selection is left, nothing is touched.
    film("ABC", 0, 5, 8);
    copierSelection(p, vue);
    EXPECT_EQ(lettres(), "ABC");
    EXPECT_EQ(p.selDebut, -1);
    EXPECT_EQ(p.selFin, -1);
    EXPECT_FALSE(QFile::exists(cheminImage(p, 5)));
}

TEST_F(Edition, EchecEnCoursDeRouteNePerdRien) {
    film("ABCDEF", 5, 1, 3);
    // A frame file of the selection disappears behind the program's back.
    QFile::remove(cheminImage(p, 2));
    EXPECT_THROW(copierSelection(p, vue), Erreur);
    // The film on disk is taken again: every frame still there is shown, the window usable.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(vue.visible);
    EXPECT_EQ(p.nbImages, test::lireFilm(p.dossierProjet()).size());
    EXPECT_EQ(p.nbImages, 2);
    EXPECT_LT(p.imageCourante, p.nbImages);
    EXPECT_GE(vue.rafraichissements, 1);
}

TEST_F(Edition, ChaqueEtatEnRouteRouvreLeFilmAvantOuApres) {
    // After every change of a name, the project is copied as a kill there would leave it and
    // opened: the opening finishes or undoes the command, and the film is the one before it or
    // the one after it, frame for frame.
    struct Cas {
        const char* nom;
        qint32 courante, debut, fin;
    };
    const Cas cas[] = {
        {"photo", 0, -1, -1},      {"photo", 3, -1, -1},      {"photo", 7, -1, -1},
        {"doubler", 0, -1, -1},    {"doubler", 7, -1, -1},    {"supprimer", 0, -1, -1},
        {"supprimer", 4, -1, -1},  {"supprimer", 7, -1, -1},  {"copierSel", 7, 1, 3},
        {"copierSel", 0, 4, 6},    {"copierSel", 3, 1, 3},    {"copierSel", 2, 5, 9},
        {"inverserSel", 0, 1, 6},  {"doublerSel", 0, 2, 4},   {"doublerSel", 0, 5, 7},
        {"doublerSel", 6, 0, 7},   {"supprimerSel", 0, 1, 3}, {"supprimerSel", 5, 5, 7},
        {"supprimerSel", 2, 0, 7},
    };
    auto nombres = [](const QString& lettres) {
        test::Film f;
        for (QChar l : lettres)
            f << l.unicode();
        return f;
    };
    const QString copie = dossier.chemin() + "copie";
    for (const Cas& c : cas) {
        film("ABCDEFGH", c.courante, c.debut, c.fin);
        const test::Film avant = nombres(lettres());
        const test::Commande commande{c.nom, c.courante, c.debut, c.fin, 'X'};
        int etats = 0;
        bool dansLaCopie = false;  // the opening of the copy changes names too
        const auto rouvrir = [&] {
            dansLaCopie = true;
            QDir(copie).removeRecursively();
            test::copierArbre(p.dossierProjet(), copie);
            Historique h(copie);
            h.ouvrir();
            dansLaCopie = false;
            return nombres(test::lireFilm(copie));
        };
        observerChangements([&] {
            if (dansLaCopie) return;
            ++etats;
            const test::Film etat = rouvrir();
            EXPECT_TRUE(test::etatPermis(avant, commande, etat))
                << c.nom << " " << c.courante << " " << c.debut << ".." << c.fin << " : "
                << test::texte(etat).toStdString();
        });
        const QString nom = c.nom;
        if (nom == "photo")
            insererImage(p, vue, [](const QString& chemin) {
                ecrireBitmap24(test::imageLettre('X'), chemin);
            });
        else if (nom == "doubler")
            dupliquerImageCourante(p, vue);
        else if (nom == "supprimer")
            supprimerImageCourante(p, vue);
        else if (nom == "copierSel")
            copierSelection(p, vue);
        else if (nom == "inverserSel")
            inverserSelection(p, vue);
        else if (nom == "doublerSel")
            doublerSelection(p, vue);
        else
            supprimerSelection(p, vue);
        observerChangements({});
        const test::Film apres = test::filmApres(avant, commande);
        EXPECT_TRUE(test::memeFilm(nombres(lettres()), apres)) << c.nom;
        EXPECT_TRUE(test::memeFilm(rouvrir(), apres)) << c.nom;
        EXPECT_GE(etats, 1) << c.nom;
        verifierPropre();
    }
}
