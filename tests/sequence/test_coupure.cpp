// The frame commands against a power cut. Each command runs once on a small film while the file
// layer records what it asks of the file system. Then, for every point the command could be
// stopped at, the folder is rebuilt as the disk may hold it after a power cut there, opened as
// the program opens it, and checked as after a kill (Ordre.h); once the command has returned,
// the disk must hold the film it reported.
//
// What a power cut keeps, at its worst: every operation up to the last flush of the folder, in
// order; of the name operations after it (creations, links, renames, exchanges, deletions), any
// first few; of each file's data, only what was flushed to disk (or, as well, all of it).

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

// The folder as names of files (each file a number in `fichiers`).
struct Disque {
    std::vector<Contenu> fichiers;
    QMap<QString, int> noms;
};

bool operationDeNom(const OperationFichier& o) {
    return o.type != OperationFichier::Ecriture && o.type != OperationFichier::SynchroDonnees &&
           o.type != OperationFichier::SynchroDossier;
}

QString nom(const QString& chemin) {
    return QFileInfo(chemin).fileName();
}

// Operation `o` as the program sees it; a file created gets the next number.
void appliquer(Disque& d, const OperationFichier& o) {
    const QString a = nom(o.chemin), b = nom(o.cible);
    switch (o.type) {
        case OperationFichier::Creation:
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
// operations after the last flush of the folder reached the disk.
QMap<QString, int> nomsApresCoupure(const Disque& initial, const Operations& ops, size_t arret,
                                    size_t gardees) {
    size_t flush = 0;
    for (size_t i = 0; i < arret; ++i)
        if (ops[i].type == OperationFichier::SynchroDossier) flush = i + 1;
    Disque d = initial;  // file numbers come from the creations, in the same order as the program's
    for (size_t i = 0; i < arret; ++i) {
        if (!operationDeNom(ops[i])) continue;
        if (i >= flush && gardees-- == 0) break;
        appliquer(d, ops[i]);
    }
    return d.noms;
}

size_t nomsApresLeDernierFlush(const Operations& ops, size_t arret) {
    size_t n = 0;
    for (size_t i = 0; i < arret; ++i) {
        if (ops[i].type == OperationFichier::SynchroDossier) n = 0;
        if (operationDeNom(ops[i])) ++n;
    }
    return n;
}

class Coupure : public ::testing::Test {
protected:
    static constexpr int kImages = 7;
    test::DossierTest dossier;
    ProjetCourant p;
    test::Film avant;

    void SetUp() override {
        p.repProjets = dossier.chemin();
        p.nomDossier = "film";
        p.titreProjet = "Coupure";
        QDir().mkpath(p.dossierProjet());
        installerDialogues(std::make_unique<test::DialoguesScriptes>());  // no window waits
    }

    void ecrireDossier(const QMap<QString, QByteArray>& fichiers) {
        QDir d(p.dossierProjet());
        for (const QString& n : d.entryList(QDir::Files | QDir::Hidden | QDir::System))
            d.remove(n);
        for (auto i = fichiers.begin(); i != fichiers.end(); ++i) {
            QFile f(d.filePath(i.key()));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(i.value());
        }
    }

    // The film as the program finds it on opening the folder; false when a frame is torn or
    // a frame file stands after a hole.
    bool ouvrir(test::Film& film, QString& defaut) {
        nettoyerTemporaires(p.dossierProjet());
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

    // Runs `executer` on a film of kImages frames while recording, then checks every power cut
    // it may meet. Returns the number of different folders checked.
    int verifier(const test::Commande& c, const std::function<void(ProjetCourant&)>& executer) {
        avant.clear();
        QMap<QString, QByteArray> film;
        for (int i = 0; i < kImages; ++i) {
            avant << i + 1;
            film[nomImage(i)] = bitmap24(test::imageIdentite(i + 1));
        }
        ecrireDossier(film);
        Disque initial;
        for (auto i = film.begin(); i != film.end(); ++i) {
            initial.noms[i.key()] = static_cast<int>(initial.fichiers.size());
            initial.fichiers.push_back({i.value(), i.value()});
        }
        p.nbImages = kImages;
        p.imageCourante = c.courante;
        p.selDebut = c.debut;
        p.selFin = c.fin;

        Operations ops;
        enregistrerOperations([&ops](const OperationFichier& o) { ops.push_back(o); });
        executer(p);
        enregistrerOperations({});
        const QString nomCommande = c.nom;
        const test::Film attendu = test::filmApres(avant, c);
        test::Film final;
        QString defaut;
        EXPECT_TRUE(ouvrir(final, defaut) && test::memeFilm(final, attendu))
            << nomCommande.toStdString() << " : " << test::texte(final).toStdString();
        for (const OperationFichier& o : ops)
            EXPECT_EQ(
                QFileInfo(o.type == OperationFichier::SynchroDossier ? o.chemin + "/x" : o.chemin)
                    .absolutePath(),
                QFileInfo(p.dossierProjet()).absoluteFilePath())
                << "opération hors du dossier du projet : " << o.chemin.toStdString();

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
                    // Once the command has returned, it has said the film is changed.
                    const bool terminee = arret == ops.size();
                    cle += terminee ? "T" : "";
                    if (vus.contains(cle)) continue;
                    vus.insert(cle);
                    ecrireDossier(contenu);
                    test::Film etat;
                    const bool entier = ouvrir(etat, defaut);
                    const bool permis = entier && (terminee ? test::memeFilm(etat, attendu)
                                                            : test::etatPermis(avant, c, etat));
                    if (entier && !permis)
                        defaut = terminee
                                     ? QStringLiteral("la commande avait fini, son film est perdu")
                                     : QStringLiteral("images hors d'ordre");
                    if (!permis) {
                        ADD_FAILURE() << "« " << nomCommande.toStdString() << " » coupé après "
                                      << arret << " opérations sur " << ops.size() << ", "
                                      << gardees << " noms gardés sur les " << apresFlush
                                      << " changés depuis le dernier flush du dossier"
                                      << (donneesPerdues ? ", données non flushées perdues" : "")
                                      << " : " << defaut.toStdString()
                                      << "\navant : " << test::texte(avant).toStdString()
                                      << "\nétat : " << test::texte(etat).toStdString();
                        return static_cast<int>(vus.size());
                    }
                }
            }
        }
        return static_cast<int>(vus.size());
    }
};

TEST_F(Coupure, ChaqueCommandeAChaqueInstant) {
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
        std::function<void(ProjetCourant&)> executer;
    };
    const Cas cas[] = {
        {{"photo", 2, -1, -1, 100}, photo(100)},
        {{"photo", kImages - 1, -1, -1, 101}, photo(101)},  // at the end: no frame moves
        {{"doubler", 3}, [&](ProjetCourant& f) { dupliquerImageCourante(f, vue); }},
        {{"supprimer", 2}, [&](ProjetCourant& f) { supprimerImageCourante(f, vue); }},
        {{"copierSel", 5, 1, 2}, [&](ProjetCourant& f) { copierSelection(f, vue); }},
        {{"inverserSel", 0, 1, 5}, [&](ProjetCourant& f) { inverserSelection(f, vue); }},
        {{"doublerSel", 0, 2, 3}, [&](ProjetCourant& f) { doublerSelection(f, vue); }},
        {{"supprimerSel", 0, 1, 3}, [&](ProjetCourant& f) { supprimerSelection(f, vue); }},
    };
    for (const Cas& c : cas) {
        const int dossiers = verifier(c.commande, c.executer);
        // Every command gives many different folders to check, or the recording is off.
        EXPECT_GE(dossiers, 4) << c.commande.nom.toStdString();
        std::printf("%s : %d dossiers vérifiés\n", qPrintable(c.commande.nom), dossiers);
    }
}

}  // namespace
