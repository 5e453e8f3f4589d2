// SPDX-License-Identifier: GPL-3.0-or-later
// The frame commands, and their undo and redo, against a power cut. Each runs once on a small film
// while the file layer records what it asks of the file system. Then, for every point the run
// could be stopped at, the project folder (with its history folder) is rebuilt as the disk may
// hold it after a power cut there, opened as the program opens it, and checked: the film is the
// one before the run or the one after it, frame for frame; once the run has returned, the one
// after it.
//
// What a power cut keeps, at its worst: every operation up to the last flush of a folder, in
// order; of the name operations after it (creations, links, renames, exchanges, deletions), any
// first few; of each file's data, only what was flushed to disk (or, as well, all of it).
//
// The whole test runs again with the file layer taking the disk for a FAT stick: the same films,
// no frame's bytes written to move it, and each renamed file flushed itself before its folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <functional>
#include <vector>

#include "Identites.h"
#include "Ordre.h"
#include "VueFactice.h"
#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "platform/Bitmap.h"
#include "platform/FichiersSurs.h"
#include "sequence/Edition.h"

using namespace vp;

namespace {

using Operations = std::vector<OperationFichier>;

struct Contenu {
    QByteArray ecrit;      // what the program wrote
    QByteArray surDisque;  // what a flush of the file's data put on disk
};

// The project folder as names of files (each file a number in `fichiers`); names are paths
// relative to the project folder.
struct Disque {
    std::vector<Contenu> fichiers;
    QMap<QString, int> noms;
};

bool operationDeNom(const OperationFichier& o) {
    return o.type != OperationFichier::Ecriture && o.type != OperationFichier::SynchroDonnees &&
           o.type != OperationFichier::SynchroDossier;
}

class Coupure : public ::testing::Test {
protected:
    static constexpr int kImages = 7;
    test::DossierTest dossier;
    ProjetCourant p;

    void SetUp() override {
        p.repProjets = dossier.chemin();
        p.nomDossier = "film";
        p.titreProjet = "Coupure";
        installerDialogues(std::make_unique<test::DialoguesScriptes>());  // no window waits
    }
    void TearDown() override { simulerDisqueFat(false); }

    QString relatif(const QString& chemin) const {
        return QDir(p.dossierProjet()).relativeFilePath(chemin);
    }

    // Operation `o` as the program sees it; a file created gets the next number. The history
    // folder's own creation is not a file.
    void appliquer(Disque& d, const OperationFichier& o) const {
        const QString a = relatif(o.chemin), b = relatif(o.cible);
        switch (o.type) {
            case OperationFichier::Creation:
                if (QFileInfo(o.chemin).isDir()) break;
                d.noms[a] = static_cast<int>(d.fichiers.size());
                d.fichiers.push_back({});
                break;
            case OperationFichier::Ecriture:
                d.fichiers[d.noms.value(a)].ecrit += o.octets;
                break;
            case OperationFichier::SynchroDonnees:
                d.fichiers[d.noms.value(a)].surDisque = d.fichiers[d.noms.value(a)].ecrit;
                break;
            case OperationFichier::Lien:
                d.noms[b] = d.noms.value(a);
                break;
            case OperationFichier::Renommage:
                // Two names of one file: the rename changes nothing.
                if (d.noms.value(a) != d.noms.value(b, -1)) d.noms[b] = d.noms.take(a);
                break;
            case OperationFichier::Echange:
                std::swap(d.noms[a], d.noms[b]);
                break;
            case OperationFichier::Effacement:
                d.noms.remove(a);
                break;
            case OperationFichier::SynchroDossier:
                break;
        }
    }

    // The names on disk after a power cut at operation `arret`, when `gardees` of the name
    // operations after the last flush of a folder reached the disk.
    QMap<QString, int> nomsApresCoupure(const Disque& initial, const Operations& ops, size_t arret,
                                        size_t gardees) const {
        size_t flush = 0;
        for (size_t i = 0; i < arret; ++i)
            if (ops[i].type == OperationFichier::SynchroDossier) flush = i + 1;
        Disque d = initial;  // file numbers follow the creations, in the program's order
        for (size_t i = 0; i < arret; ++i) {
            if (!operationDeNom(ops[i])) continue;
            if (i >= flush && gardees-- == 0) break;
            appliquer(d, ops[i]);
        }
        return d.noms;
    }

    static size_t nomsApresLeDernierFlush(const Operations& ops, size_t arret) {
        size_t n = 0;
        for (size_t i = 0; i < arret; ++i) {
            if (ops[i].type == OperationFichier::SynchroDossier) n = 0;
            if (operationDeNom(ops[i])) ++n;
        }
        return n;
    }

    void ecrireDossier(const QMap<QString, QByteArray>& fichiers) {
        QDir(p.dossierProjet()).removeRecursively();
        QDir().mkpath(p.dossierProjet() + "/" + kDossierHistorique);
        for (auto i = fichiers.begin(); i != fichiers.end(); ++i)
            test::ecrireFichier(p.dossierProjet() + "/" + i.key(), i.value());
        p.historique.reset();
    }

    // The film as the program finds it on opening the folder; false when a frame is torn or
    // a frame file stands after a hole.
    bool ouvrir(test::Film& film, QString& defaut) {
        Historique h(p.dossierProjet());
        h.ouvrir();
        const qint32 nb = compterImages(p);
        film.clear();
        for (qint32 i = 0; i < nb; ++i) {
            const int id = test::identiteFichier(cheminImage(p, i));
            if (id < 1) {
                defaut = QStringLiteral("image %1 déchirée").arg(i);
                return false;
            }
            film << id;
        }
        for (const QString& n : QDir(p.dossierProjet()).entryList({"image_*.bmp"}, QDir::Files))
            if (n.mid(6, n.size() - 10).toInt() >= nb) {
                defaut = n + QStringLiteral(" après un trou");
                return false;
            }
        return true;
    }

    // Runs `executer` on the project as it stands while recording, then checks every power cut
    // it may meet: the film `avant` or `apres`. Returns the number of different folders checked
    // and puts the project back as the run left it.
    int verifier(const QString& nom, const test::Film& avant, const test::Film& apres,
                 int imagesEcrites, const std::function<void(ProjetCourant&)>& executer) {
        const QMap<QString, QByteArray> depart = test::contenuDossier(p.dossierProjet());
        Disque initial;
        for (auto i = depart.begin(); i != depart.end(); ++i) {
            initial.noms[i.key()] = static_cast<int>(initial.fichiers.size());
            initial.fichiers.push_back({i.value(), i.value()});
        }
        Operations ops;
        enregistrerOperations([&ops](const OperationFichier& o) { ops.push_back(o); });
        executer(p);
        enregistrerOperations({});
        const QMap<QString, QByteArray> arrivee = test::contenuDossier(p.dossierProjet());
        ProjetCourant enregistrement = p;
        enregistrement.historique.reset();
        const auto remettre = [&] {
            ecrireDossier(arrivee);
            p = enregistrement;
            p.historique.reset();
        };
        test::Film final;
        QString defaut;
        EXPECT_TRUE(ouvrir(final, defaut) && test::memeFilm(final, apres))
            << nom.toStdString() << " : " << test::texte(final).toStdString();

        // Moving a frame never writes its bytes: only the new frames are written.
        const qsizetype tailleImage = bitmap24(test::imageIdentite(1)).size();
        int ecrites = 0;
        for (const OperationFichier& o : ops) {
            EXPECT_TRUE(o.chemin.startsWith(p.dossierProjet()))
                << "opération hors du dossier du projet : " << o.chemin.toStdString();
            EXPECT_NE(o.type, OperationFichier::Lien) << nom.toStdString();
            EXPECT_NE(o.type, OperationFichier::Echange) << nom.toStdString();
            if (o.type == OperationFichier::Ecriture && o.octets.size() == tailleImage) ++ecrites;
        }
        EXPECT_EQ(ecrites, imagesEcrites) << nom.toStdString();
        if (disqueFat(p.dossierProjet())) {
            // On FAT each renamed file is flushed under its new name before it moves on again,
            // or, where it stays, before the last flush of a folder.
            size_t dernierFlush = 0;
            for (size_t i = 0; i < ops.size(); ++i)
                if (ops[i].type == OperationFichier::SynchroDossier) dernierFlush = i;
            for (size_t i = 0; i < ops.size(); ++i) {
                if (ops[i].type != OperationFichier::Renommage) continue;
                size_t suite = i + 1;
                while (suite < dernierFlush && !(ops[suite].type == OperationFichier::Renommage &&
                                                 ops[suite].chemin == ops[i].cible))
                    ++suite;
                bool flushe = false;
                for (size_t k = i + 1; k < suite && !flushe; ++k)
                    flushe = ops[k].type == OperationFichier::SynchroDonnees &&
                             ops[k].chemin == ops[i].cible;
                EXPECT_TRUE(flushe) << nom.toStdString() << " : " << ops[i].cible.toStdString()
                                    << " renommé sans être flushé";
            }
        }

        QSet<QByteArray> vus;
        for (size_t arret = 0; arret <= ops.size(); ++arret) {
            Disque programme = initial;
            for (size_t i = 0; i < arret; ++i)
                appliquer(programme, ops[i]);
            const size_t apresFlush = nomsApresLeDernierFlush(ops, arret);
            for (size_t gardees = 0; gardees <= apresFlush; ++gardees) {
                const QMap<QString, int> noms = nomsApresCoupure(initial, ops, arret, gardees);
                for (const bool donneesPerdues : {true, false}) {
                    QMap<QString, QByteArray> contenu;
                    QByteArray cle;
                    for (auto n = noms.begin(); n != noms.end(); ++n) {
                        const Contenu& f = programme.fichiers[n.value()];
                        contenu[n.key()] = donneesPerdues ? f.surDisque : f.ecrit;
                        cle += n.key().toUtf8() + '=' +
                               QByteArray::number(qHash(contenu[n.key()])) + ';';
                    }
                    // Once the run has returned, it has said the film is changed.
                    const bool terminee = arret == ops.size();
                    cle += terminee ? "T" : "";
                    if (vus.contains(cle)) continue;
                    vus.insert(cle);
                    ecrireDossier(contenu);
                    test::Film etat;
                    const bool entier = ouvrir(etat, defaut);
                    const bool permis = entier && (test::memeFilm(etat, apres) ||
                                                   (!terminee && test::memeFilm(etat, avant)));
                    if (entier && !permis)
                        defaut = terminee
                                     ? QStringLiteral("la commande avait fini, son film est perdu")
                                     : QStringLiteral("ni le film d'avant ni celui d'après");
                    if (!permis) {
                        ADD_FAILURE() << "« " << nom.toStdString() << " » coupé après " << arret
                                      << " opérations sur " << ops.size() << ", " << gardees
                                      << " noms gardés sur les " << apresFlush
                                      << " changés depuis le dernier flush"
                                      << (donneesPerdues ? ", données non flushées perdues" : "")
                                      << " : " << defaut.toStdString()
                                      << "\navant : " << test::texte(avant).toStdString()
                                      << "\naprès : " << test::texte(apres).toStdString()
                                      << "\nétat : " << test::texte(etat).toStdString();
                        remettre();
                        return static_cast<int>(vus.size());
                    }
                }
            }
        }
        remettre();
        return static_cast<int>(vus.size());
    }

    // Every frame command on a film of kImages frames, then its undo, then its redo.
    void chaqueCommandeAChaqueInstant() {
        test::VueFactice vue;
        const auto photo = [&](int id) {
            return [&vue, id](ProjetCourant& f) {
                insererImage(f, vue, [id](const QString& chemin) {
                    ecrireBitmap24(test::imageIdentite(id), chemin);
                });
            };
        };
        struct Cas {
            test::Commande commande;
            int imagesEcrites;
            std::function<void(ProjetCourant&)> executer;
        };
        const Cas cas[] = {
            {{"photo", 2, -1, -1, 100}, 1, photo(100)},
            {{"photo", kImages - 1, -1, -1, 101}, 1, photo(101)},  // at the end: no frame moves
            {{"doubler", 3}, 1, [&](ProjetCourant& f) { dupliquerImageCourante(f, vue); }},
            {{"supprimer", 2}, 0, [&](ProjetCourant& f) { supprimerImageCourante(f, vue); }},
            {{"copierSel", 5, 1, 2}, 2, [&](ProjetCourant& f) { copierSelection(f, vue); }},
            {{"inverserSel", 0, 1, 5}, 0, [&](ProjetCourant& f) { inverserSelection(f, vue); }},
            {{"doublerSel", 0, 2, 3}, 2, [&](ProjetCourant& f) { doublerSelection(f, vue); }},
            {{"supprimerSel", 0, 1, 3}, 0, [&](ProjetCourant& f) { supprimerSelection(f, vue); }},
        };
        for (const Cas& c : cas) {
            test::Film avant;
            QMap<QString, QByteArray> film;
            for (int i = 0; i < kImages; ++i) {
                avant << i + 1;
                film[nomImage(i)] = bitmap24(test::imageIdentite(i + 1));
            }
            ecrireDossier(film);
            p.nbImages = kImages;
            p.imageCourante = c.commande.courante;
            p.selDebut = c.commande.debut;
            p.selFin = c.commande.fin;
            const test::Film apres = test::filmApres(avant, c.commande);
            const QString nom = c.commande.nom;
            int dossiers = verifier(nom, avant, apres, c.imagesEcrites, c.executer);
            dossiers += verifier(nom + " annulé", apres, avant, 0,
                                 [&](ProjetCourant& f) { annulerCommande(f, vue); });
            dossiers += verifier(nom + " rétabli", avant, apres, 0,
                                 [&](ProjetCourant& f) { retablirCommande(f, vue); });
            // Every run gives many different folders to check, or the recording is off.
            EXPECT_GE(dossiers, 12) << nom.toStdString();
            std::printf("%s%s : %d dossiers vérifiés\n", disqueFat(p.repProjets) ? "FAT " : "",
                        qPrintable(nom), dossiers);
        }
    }
};

TEST_F(Coupure, ChaqueCommandeAChaqueInstant) {
    chaqueCommandeAChaqueInstant();
}

TEST_F(Coupure, ChaqueCommandeAChaqueInstantSurUneCleFat) {
    simulerDisqueFat(true);
    chaqueCommandeAChaqueInstant();
}

}  // namespace
