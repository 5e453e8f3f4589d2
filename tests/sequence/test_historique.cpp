// SPDX-License-Identifier: GPL-3.0-or-later
// The history's limits and the journal's damage: how many steps and how many kept frames stay,
// and what opening makes of a journal it cannot trust.

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QSet>

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

class HistoriqueProjet : public ::testing::Test {
protected:
    test::Scenario scenario;
    test::DossierTest dossier;
    test::VueFactice vue;
    ProjetCourant p;

    void SetUp() override {
        p.repProjets = dossier.chemin();
        p.nomDossier = "film";
        p.titreProjet = "Film";
    }
    void film(const QString& lettres) {
        test::ecrireFilm(p.dossierProjet(), lettres);
        p.nbImages = static_cast<qint32>(lettres.size());
        p.imageCourante = p.nbImages - 1;
    }
    QString lettres() const { return test::lireFilm(p.dossierProjet()); }
    void photo(QChar lettre) {
        insererImage(p, vue, [lettre](const QString& chemin) {
            ecrireBitmap24(test::imageLettre(lettre), chemin);
        });
    }
    void supprimer(qint32 debut, qint32 fin) {
        p.selDebut = debut;
        p.selFin = fin;
        supprimerSelection(p, vue);
    }
    int annulations() {
        int n = 0;
        while (!annulerCommande(p, vue).isEmpty())
            ++n;
        return n;
    }
    // The files kept for undo and redo.
    int gardees() const {
        return static_cast<int>(QDir(p.dossierProjet() + "/" + kDossierHistorique)
                                    .entryList({"e*.bmp"}, QDir::Files)
                                    .size());
    }
    // The program started again on the project.
    void rouvrir() {
        p.historique.reset();
        p.nbImages = compterImages(p);
        p.imageCourante = p.nbImages - 1;
    }
};

}  // namespace

TEST_F(HistoriqueProjet, CinquanteEtapesAuPlusLesPlusAnciennesPartentDAbord) {
    film("A");
    for (int i = 0; i < 55; ++i)
        photo(QChar('a' + i % 26));
    rouvrir();
    EXPECT_EQ(annulations(), Historique::kEtapesMax);
    EXPECT_EQ(lettres(), "A" + QString("abcde"));  // the five oldest pictures stay
    // Undone pictures wait for a redo; a new command lets them go.
    EXPECT_EQ(gardees(), Historique::kEtapesMax);
    photo('Z');
    EXPECT_EQ(gardees(), 0);
    EXPECT_EQ(lettres(), "AabcdeZ");
}

TEST_F(HistoriqueProjet, LesImagesGardeesNePrennentPasPlusDePlaceQueLeFilm) {
    film("ABCDEFGHIJ");
    supprimer(0, 2);  // 3 kept, 7 in the film
    supprimer(0, 2);  // the 3 frames the first deletion keeps take less room than the 4 left
    EXPECT_EQ(gardees(), 6);
    // Even a deletion of the whole film stays undoable: the newest step always stays, the
    // older ones go when what they keep is bigger than the film.
    supprimer(0, 3);
    EXPECT_EQ(lettres(), "");
    EXPECT_EQ(gardees(), 4);
    rouvrir();
    EXPECT_EQ(annulations(), 1);
    EXPECT_EQ(lettres(), "GHIJ");
    EXPECT_EQ(gardees(), 0);

    // A big deletion does not take away the undo of the pictures before it, which keep nothing.
    p.imageCourante = p.nbImages - 1;
    for (QChar l : QString("klmno"))
        photo(l);
    supprimer(0, 4);
    EXPECT_EQ(lettres(), "lmno");
    EXPECT_EQ(annulations(), 6);
    EXPECT_EQ(lettres(), "GHIJ");
}

TEST_F(HistoriqueProjet, UneCommandeQuiNaPuEtreDefaiteEstFinieAvantLaSuivante) {
    film("ABCDEFG");
    p.imageCourante = 1;
    // The disk fails from the third change of a name on: the deletion stops, and its undoing too.
    int changements = 0;
    observerChangements([&] {
        if (++changements >= 3) throw Erreur("panne du disque");
    });
    EXPECT_THROW(supprimer(1, 3), Erreur);
    observerChangements({});
    // The next command first finishes the interrupted one, then stops: the film it was asked on
    // is not the film on disk any more.
    EXPECT_THROW(supprimerImageCourante(p, vue), Erreur);
    EXPECT_EQ(lettres(), "AEFG");
    EXPECT_EQ(p.nbImages, 4);
    supprimerImageCourante(p, vue);
    EXPECT_EQ(lettres().size(), 3);
    EXPECT_EQ(annulations(), 2);
    EXPECT_EQ(lettres(), "ABCDEFG");
}

TEST_F(HistoriqueProjet, UnJournalQuOnNePeutCroireEstLaisse) {
    film("ABCDE");
    supprimer(1, 2);
    photo('X');
    const QString journal = p.dossierProjet() + "/" + kDossierHistorique + "/journal";
    // Frames changed by hand since: the history would undo the wrong frames.
    QFile::remove(cheminImage(p, 3));
    rouvrir();
    EXPECT_EQ(annulations(), 0);
    EXPECT_EQ(lettres(), "AXD");
    EXPECT_EQ(gardees(), 0);
    // A damaged journal: the film as it is, an empty history, the commands as before.
    photo('Y');
    test::ecrireFichier(journal, "VOLTIPLUME historique 1\nsuivant 9\nope");
    rouvrir();
    EXPECT_EQ(annulations(), 0);
    EXPECT_EQ(lettres(), "AXDY");
    photo('Z');
    EXPECT_EQ(lettres(), "AXDYZ");
    EXPECT_EQ(annulations(), 1);
    EXPECT_EQ(lettres(), "AXDY");
}

TEST_F(HistoriqueProjet, UneAnnulationRateeLaisseLeFilmEtLHistorique) {
    film("ABCDE");
    supprimer(1, 2);
    // A kept frame lost behind the program's back: the undo fails, the film and the history stay.
    QDir(p.dossierProjet() + "/" + kDossierHistorique).remove("e1_1.bmp");
    EXPECT_THROW(annulerCommande(p, vue), Erreur);
    EXPECT_EQ(lettres(), "ADE");
    EXPECT_EQ(p.nbImages, 3);
    EXPECT_TRUE(p.historique->peutAnnuler());
    rouvrir();
    EXPECT_EQ(lettres(), "ADE");
    EXPECT_TRUE(historiqueDe(p).peutAnnuler());
}

namespace {

// Every step a film of n frames can take (each command at each frame or selection), with the
// same command for the order model; a picture brings frame 100.
std::vector<std::pair<Etape, test::Commande>> etapesPossibles(qint32 n) {
    std::vector<std::pair<Etape, test::Commande>> etapes;
    const auto ajouter = [&](TypeCommande type, const char* nom, qint32 c, qint32 d, qint32 f,
                             qint32 variation) {
        Etape e;
        e.id = 7;
        e.type = type;
        e.position = c;
        e.debut = d;
        e.fin = f;
        e.avant.nbImages = n;
        e.apres.nbImages = n + variation;
        const bool image =
            type == TypeCommande::CopieImage || type == TypeCommande::SuppressionImage;
        etapes.push_back({e, test::Commande{nom, image ? (d >= 0 ? d : c) : c, image ? -1 : d,
                                            image ? -1 : f, 100}});
    };
    for (qint32 c = -1; c < n; ++c)
        ajouter(TypeCommande::Photo, "photo", c, -1, -1, 1);
    for (qint32 c = 0; c < n; ++c) {
        ajouter(TypeCommande::CopieImage, "doubler", c, -1, -1, 1);
        ajouter(TypeCommande::SuppressionImage, "supprimer", -1, c, c, -1);
    }
    for (qint32 d = 0; d < n; ++d)
        for (qint32 f = d; f < n; ++f) {
            const qint32 l = f - d + 1;
            if (f > d) ajouter(TypeCommande::InversionSelection, "inverserSel", -1, d, f, 0);
            ajouter(TypeCommande::DuplicationSelection, "doublerSel", -1, d, f, l);
            ajouter(TypeCommande::SuppressionSelection, "supprimerSel", -1, d, f, -l);
            for (qint32 c = -1; c < n; ++c)
                if (c < d || c >= f) ajouter(TypeCommande::CopieSelection, "copierSel", c, d, f, l);
        }
    return etapes;
}

}  // namespace

TEST(Plans, ChaqueCommandeDeChaquePetitFilmEtSonAnnulation) {
    // The moves of every step of every film of up to 7 frames, made on names: each move takes a
    // free name and moves a file that is there, no file moves twice in a phase, the film that
    // results is the one the order model gives, only the frames taken out stay besides it, and
    // the undo's moves give every name back as it was.
    int plans = 0;
    for (qint32 n = 0; n <= 7; ++n)
        for (const auto& [e, commande] : etapesPossibles(n)) {
            const std::string cas = QStringLiteral("%1 n=%2 position=%3 %4..%5")
                                        .arg(commande.nom)
                                        .arg(n)
                                        .arg(e.position)
                                        .arg(e.debut)
                                        .arg(e.fin)
                                        .toStdString();
            test::Film avant;
            for (qint32 i = 0; i < n; ++i)
                avant << i + 1;
            // The names before: the frames, and the new frames written beforehand (a picture,
            // or copies of frames of the film).
            QMap<QByteArray, int> noms;
            for (qint32 i = 0; i < n; ++i)
                noms[nomDeplacement(e, i)] = avant[i];
            for (qint32 k = 0; k < e.nouvelles(); ++k)
                noms[nomConserve(e.id, k)] = e.type == TypeCommande::Photo ? 100
                                             : e.type == TypeCommande::CopieImage
                                                 ? avant[e.position]
                                                 : avant[e.debut + k];
            const QMap<QByteArray, int> depart = noms;
            const auto jouer = [&](bool defaire) {
                for (const Phase& phase : planDe(e, defaire)) {
                    QSet<QByteArray> arrives;
                    for (const Mouvement& m : phase) {
                        const QByteArray source = nomDeplacement(e, m.source);
                        const QByteArray destination = nomDeplacement(e, m.destination);
                        ASSERT_TRUE(noms.contains(source)) << cas << " : " << source.constData();
                        ASSERT_FALSE(noms.contains(destination))
                            << cas << " : " << destination.constData();
                        ASSERT_FALSE(arrives.contains(source)) << cas << " : deux fois";
                        arrives.insert(destination);
                        noms[destination] = noms.take(source);
                    }
                }
            };
            jouer(false);
            QMap<QByteArray, int> reste = noms;
            test::Film film;
            for (qint32 i = 0; reste.contains(nomDeplacement(e, i)); ++i)
                film << reste.take(nomDeplacement(e, i));
            EXPECT_TRUE(test::memeFilm(film, test::filmApres(avant, commande)))
                << cas << " : " << test::texte(film).toStdString();
            EXPECT_EQ(reste.size(), e.retirees()) << cas;
            jouer(true);
            EXPECT_EQ(noms, depart) << cas;
            ++plans;
        }
    EXPECT_GT(plans, 500);
}

TEST_F(HistoriqueProjet, UnProjetOuvertAilleursNeChangePasIci) {
    film("ABC");
    photo('X');  // this program has the project open
    ProjetCourant ailleurs = p;
    ailleurs.historique = std::make_shared<Historique>(p.dossierProjet());
    EXPECT_EQ(ailleurs.historique->ouvrir().genre, Historique::Reprise::Occupe);
    EXPECT_THROW(insererImage(ailleurs, vue,
                              [](const QString& c) { ecrireBitmap24(test::imageLettre('Y'), c); }),
                 Erreur);
    EXPECT_EQ(lettres(), "ABCX");
    // Closed here, it opens there.
    p.historique.reset();
    EXPECT_EQ(ailleurs.historique->ouvrir().genre, Historique::Reprise::Aucune);
    insererImage(ailleurs, vue,
                 [](const QString& c) { ecrireBitmap24(test::imageLettre('Y'), c); });
    EXPECT_EQ(lettres(), "ABCXY");
}
