// SPDX-License-Identifier: GPL-3.0-or-later
// The frame files survive the program being killed at any instant: a child process runs frame
// commands, undoes and redoes them, while this test kills it with SIGKILL, more than a thousand
// times. Most kills are steered (the child dies right after a chosen change of a file name, so
// that every command is stopped at every stage of its work however loaded the machine is), the
// others come at a random time. After every kill the project is opened as the program opens it
// (which finishes or undoes the command) and checked: no hole, no torn frame, no temporary file,
// and the film is the one before the command or the one after it, frame for frame. The history
// outlives each child: an undo must give back the film its step started from, even when the step
// was done by a child killed long before.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <chrono>
#include <string>
#include <thread>

#include "Identites.h"
#include "Ordre.h"
#include "commun/Outils.h"
#include "platform/Bitmap.h"
#include "platform/FichiersSurs.h"
#include "sequence/Historique.h"
#include "sequence/StockImages.h"

using namespace vp;

namespace {

const char* const kNoms[] = {"photo",      "doubler",      "supprimer", "copierSel", "inverserSel",
                             "doublerSel", "supprimerSel", "annuler",   "retablir"};
constexpr int kCommandes = 9;

test::Film lireFilm(const QString& texte) {
    test::Film f;
    if (texte != "-")
        for (const QString& id : texte.split(','))
            f << id.toInt();
    return f;
}

// What the child did: its commands in order, each with the film before it, the history step it
// ran, and (when it ended) the film after it.
struct Ordre {
    test::Commande commande;
    qint64 etape = 0;
    test::Film avant;
    bool terminee = false;
    test::Film apres;
};

std::vector<Ordre> lireJournal(const QString& chemin) {
    QFile f(chemin);
    f.open(QIODevice::ReadOnly);
    std::vector<Ordre> ordres;
    for (const QByteArray& brute : f.readAll().split('\n')) {
        const QStringList champs = QString::fromUtf8(brute).split(' ');
        if (champs.size() == 2 && champs[0] == "ok" && !ordres.empty()) {
            ordres.back().terminee = true;
            ordres.back().apres = lireFilm(champs[1]);
        } else if (champs.size() == 8 && champs[0] == "cmd") {  // else a line cut by the kill
            Ordre o;
            o.commande = {champs[1], champs[2].toInt(), champs[3].toInt(), champs[4].toInt(),
                          champs[5].toInt()};
            o.etape = champs[6].toLongLong();
            o.avant = lireFilm(champs[7]);
            ordres.push_back(o);
        }
    }
    return ordres;
}

// The films each history step goes between, as the child's commands made them.
struct Etapes {
    QMap<qint64, std::pair<test::Film, test::Film>> films;  // id -> (before, after)

    // The film `o` must give; false when it undoes or redoes a step never seen done.
    bool attendu(const Ordre& o, test::Film& film) const {
        if (o.commande.nom == "annuler" || o.commande.nom == "retablir") {
            if (!films.contains(o.etape)) return false;
            film = o.commande.nom == "annuler" ? films[o.etape].first : films[o.etape].second;
            return true;
        }
        film = test::filmApres(o.avant, o.commande);
        return true;
    }
    void noter(const Ordre& o) {
        if (o.commande.nom != "annuler" && o.commande.nom != "retablir")
            films[o.etape] = {o.avant, test::filmApres(o.avant, o.commande)};
    }
};

// The child program, started once: it forks a worker for each order and says when the worker
// may be killed ("pret <pid>") and when it is dead ("fin <status>").
class Enfant {
public:
    Enfant(const ProjetCourant& p, const QString& journal) {
        int ordres[2], reponses[2];
        if (::pipe(ordres) != 0 || ::pipe(reponses) != 0) return;
        const QByteArray args[] = {QFile::encodeName(p.repProjets), QFile::encodeName(p.nomDossier),
                                   QFile::encodeName(journal)};
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(ordres[0], STDIN_FILENO);
            ::dup2(reponses[1], STDOUT_FILENO);
            ::close(ordres[1]);
            ::close(reponses[0]);
            ::execl(VP_ENFANT_CRASH, VP_ENFANT_CRASH, args[0].constData(), args[1].constData(),
                    args[2].constData(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ordres[0]);
        ::close(reponses[1]);
        ordres_ = ::fdopen(ordres[1], "w");
        reponses_ = ::fdopen(reponses[0], "r");
    }
    ~Enfant() {
        if (ordres_) std::fclose(ordres_);  // end of its orders: it leaves
        if (reponses_) std::fclose(reponses_);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    // A worker running `commande`, to die at step `pasFatal` (0: when killed); its pid.
    // A worker dead at step `pasFatal` while it was still opening the project never says it is
    // ready: then 0, and attendreFin() gives its status.
    pid_t lancer(quint32 graine, int commande, int pasFatal) {
        if (!ordres_ || !reponses_) return -1;
        std::fprintf(ordres_, "%u %d %d\n", graine, commande, pasFatal);
        std::fflush(ordres_);
        char mot[8] = {};
        long valeur = -1;
        if (std::fscanf(reponses_, " %7s %ld", mot, &valeur) != 2) return -1;
        if (std::string(mot) == "fin") {
            statutLu_ = static_cast<int>(valeur);
            return 0;
        }
        return std::string(mot) == "pret" ? static_cast<pid_t>(valeur) : -1;
    }
    // The worker's wait status.
    int attendreFin() {
        int statut = -1;
        if (statutLu_ != -1)
            std::swap(statut, statutLu_);
        else if (!reponses_ || std::fscanf(reponses_, " fin %d", &statut) != 1)
            return -1;
        return statut;
    }

private:
    pid_t pid_ = -1;
    int statutLu_ = -1;
    std::FILE* ordres_ = nullptr;
    std::FILE* reponses_ = nullptr;
};

}  // namespace

TEST(Crash, LeFilmEstCeluiDAvantOuDApres) {
    test::DossierTest dossier;
    ProjetCourant p;
    p.repProjets = dossier.chemin();
    p.nomDossier = "film";
    QDir().mkpath(p.dossierProjet());
    for (int i = 0; i < 12; ++i)
        ecrireBitmap24(test::imageIdentite(i + 1), cheminImage(p, i));
    const QString journal = dossier.chemin() + "journal.txt";
    ProjetCourant copie = p;
    copie.nomDossier = "copie";
    QRandomGenerator hasard(20261208);
    QMap<QString, int> interruptions;
    constexpr int kTours = 1080;  // 120 per command
    int tues = 0;
    Etapes etapes;
    Enfant enfant(p, journal);

    for (int tour = 0; tour < kTours; ++tour) {
        const int commande = tour % kCommandes;
        // Three kills in four at a chosen step of the child's work, the others at random.
        const bool dirige = tour % 4 != 3;
        const pid_t travailleur =
            enfant.lancer(hasard.generate(), commande, dirige ? 1 + hasard.bounded(60) : 0);
        ASSERT_GE(travailleur, 0) << "l'enfant n'a pas démarré";
        if (!dirige && travailleur > 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(hasard.bounded(5000)));
            ::kill(travailleur, SIGKILL);
        }
        const int statut = enfant.attendreFin();
        ASSERT_TRUE(WIFSIGNALED(statut) && WTERMSIG(statut) == SIGKILL)
            << "l'enfant s'est arrêté seul : " << WEXITSTATUS(statut);
        ++tues;

        // A copy of the project opened as the program opens it; the project itself is left as
        // the kill left it, for the next child's opening, which a kill may stop too.
        QDir(copie.dossierProjet()).removeRecursively();
        test::copierArbre(p.dossierProjet(), copie.dossierProjet());
        Historique(copie.dossierProjet()).ouvrir();
        const qint32 nb = compterImages(copie);
        test::Film film;
        for (qint32 i = 0; i < nb; ++i) {
            const int id = test::identiteFichier(cheminImage(copie, i));
            ASSERT_GE(id, 1) << "image " << i << " déchirée au tour " << tour;
            film << id;
        }
        for (const QString& nom :
             QDir(copie.dossierProjet()).entryList({"image_*.bmp"}, QDir::Files))
            ASSERT_LT(nom.mid(6, nom.size() - 10).toInt(), nb)
                << nom.toStdString() << " après un trou, tour " << tour;
        ASSERT_TRUE(QDir(copie.dossierProjet())
                        .entryList({".voltiplume-*"}, QDir::Files | QDir::Hidden)
                        .isEmpty());

        const std::vector<Ordre> ordres = lireJournal(journal);
        for (const Ordre& o : ordres) {
            test::Film attendu;
            ASSERT_TRUE(etapes.attendu(o, attendu))
                << o.commande.nom.toStdString() << " d'une étape inconnue, tour " << tour;
            const bool derniere = &o == &ordres.back();
            if (o.terminee) {
                ASSERT_TRUE(test::memeFilm(o.apres, attendu))
                    << "« " << o.commande.nom.toStdString() << " » au tour " << tour
                    << "\navant : " << test::texte(o.avant).toStdString()
                    << "\nattendu : " << test::texte(attendu).toStdString()
                    << "\nobtenu : " << test::texte(o.apres).toStdString();
                if (derniere) {
                    ASSERT_TRUE(test::memeFilm(film, attendu)) << "tour " << tour;
                }
            } else {
                // Killed during this one: once opened, the film before it or the one after.
                ++interruptions[o.commande.nom];
                ASSERT_TRUE(test::memeFilm(film, o.avant) || test::memeFilm(film, attendu))
                    << "« " << o.commande.nom.toStdString() << " » " << o.commande.courante << " "
                    << o.commande.debut << ".." << o.commande.fin << " au tour " << tour
                    << "\navant : " << test::texte(o.avant).toStdString()
                    << "\nattendu : " << test::texte(attendu).toStdString()
                    << "\nobtenu : " << test::texte(film).toStdString();
            }
            etapes.noter(o);
        }
    }
    EXPECT_GE(tues, 1000);
    QStringList resume;
    for (const char* nom : kNoms) {
        EXPECT_GE(interruptions.value(nom), 40) << nom;
        resume << QString::fromLatin1(nom) + "=" + QString::number(interruptions.value(nom));
    }
    std::printf("interruptions : %s\n", qPrintable(resume.join(' ')));
}
