// SPDX-License-Identifier: GPL-3.0-or-later
// The child of the crash test. It waits for orders on its standard input, one line each,
// "<seed> <command> <K>", and for each forks a worker that opens the project as the program
// opens it, then runs that kind of frame command (or undo, or redo) over and over on it, with
// random frames and selections, until it is killed. Before each command the worker writes to its
// log the command, the id of the history step it runs and the film as it stands; after it, "ok"
// and the film then. With a step number K other than 0 the
// worker kills itself right after the K-th change of a file name, so that the parent can stop
// it at every instant of a command, whatever the machine's load. On its standard output the
// child writes "pret <pid>" once a worker may be killed, and "fin <status>" once it is dead.
// (One child started once and forking its workers costs far less than a program started for
// each kill.)
//
//   enfant_crash <projects folder> <project folder name> <journal>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cstdio>
#include <memory>
#include <string>

#include "Identites.h"
#include "VueFactice.h"
#include "commun/DialoguesScriptes.h"
#include "platform/Bitmap.h"
#include "platform/FichiersSurs.h"
#include "sequence/Edition.h"

using namespace vp;

namespace {

const char* const kNoms[] = {"photo",      "doubler",      "supprimer", "copierSel", "inverserSel",
                             "doublerSel", "supprimerSel", "annuler",   "retablir"};

void dire(const std::string& ligne) {
    const std::string texte = ligne + "\n";
    [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, texte.data(), texte.size());
}

QString filmActuel(const ProjetCourant& p) {
    QString film;
    for (qint32 i = 0; i < p.nbImages; ++i)
        film += (i ? QStringLiteral(",") : QString()) +
                QString::number(test::identiteRapide(cheminImage(p, i)));
    return film.isEmpty() ? QStringLiteral("-") : film;
}

[[noreturn]] void travailler(ProjetCourant p, const char* cheminJournal, quint32 graine,
                             int demandee, long pasFatal) {
    std::FILE* journal = std::fopen(cheminJournal, "w");
    if (!journal) ::_exit(2);
    QRandomGenerator hasard(graine);
    // The steps a kill may stop after count from the opening on, which may finish the command
    // the last worker was killed in.
    long pas = 0;
    if (pasFatal > 0)
        observerChangements([&pas, pasFatal] {
            if (++pas == pasFatal) ::raise(SIGKILL);
        });
    // Opening the project, as the program does.
    p.historique = std::make_shared<Historique>(p.dossierProjet());
    p.historique->ouvrir();
    Historique& historique = *p.historique;
    p.nbImages = compterImages(p);
    p.imageCourante = p.nbImages - 1;
    // New pictures get numbers no frame of the film or of the history has.
    int prochaineId = 1;
    for (qint32 i = 0; i < p.nbImages; ++i)
        prochaineId = std::max(prochaineId, test::identiteFichier(cheminImage(p, i)) + 1);
    const QDir gardees(p.dossierProjet() + QLatin1Char('/') + QLatin1String(kDossierHistorique));
    for (const QString& nom : gardees.entryList({QStringLiteral("e*.bmp")}, QDir::Files))
        prochaineId = std::max(prochaineId, test::identiteFichier(gardees.filePath(nom)) + 1);
    test::VueFactice vue;
    // The parent may kill from now on.
    dire("pret " + std::to_string(::getpid()));

    for (;;) {
        if (p.nbImages > 0) p.imageCourante = static_cast<qint32>(hasard.bounded(p.nbImages));
        // A selection of one to four frames, sometimes reaching past the end of the film.
        p.selDebut = p.nbImages > 0 ? static_cast<qint32>(hasard.bounded(p.nbImages)) : 0;
        p.selFin = p.selDebut + static_cast<qint32>(hasard.bounded(4));
        if (hasard.bounded(5) == 0) p.selFin += 3;
        // The film stays between 4 and 24 frames.
        int commande = demandee;
        if (p.nbImages > 24 && (commande == 0 || commande == 1 || commande == 3 || commande == 5))
            commande = 6;
        if (p.nbImages < 4 && (commande == 2 || commande == 6)) commande = 0;
        // A copy onto itself is refused: the current frame goes before the selection.
        if (commande == 3 && p.selDebut <= p.imageCourante &&
            p.imageCourante < std::min(p.selFin, p.nbImages - 1))
            p.imageCourante = p.selDebut - 1 < 0 ? p.nbImages - 1 : p.selDebut - 1;
        // Nothing to redo: undo; nothing to undo: a picture.
        if (commande == 8 && !historique.peutRetablir()) commande = 7;
        if (commande == 7 && !historique.peutAnnuler()) commande = 0;
        const qint64 etape = commande == 7   ? historique.aAnnuler().id
                             : commande == 8 ? historique.aRetablir().id
                                             : historique.journal().suivant;

        const int id = prochaineId++;
        std::fprintf(journal, "cmd %s %d %d %d %d %lld %s\n", kNoms[commande], p.imageCourante,
                     p.selDebut, p.selFin, id, static_cast<long long>(etape),
                     qPrintable(filmActuel(p)));
        std::fflush(journal);
        switch (commande) {
            case 0:
                insererImage(p, vue, [id](const QString& chemin) {
                    ecrireBitmap24(test::imageIdentite(id), chemin);
                });
                break;
            case 1:
                dupliquerImageCourante(p, vue);
                break;
            case 2:
                supprimerImageCourante(p, vue);
                break;
            case 3:
                copierSelection(p, vue);
                break;
            case 4:
                inverserSelection(p, vue);
                break;
            case 5:
                doublerSelection(p, vue);
                break;
            case 6:
                supprimerSelection(p, vue);
                break;
            case 7:
                annulerCommande(p, vue);
                break;
            case 8:
                retablirCommande(p, vue);
                break;
        }
        std::fprintf(journal, "ok %s\n", qPrintable(filmActuel(p)));
        std::fflush(journal);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    installerDialogues(std::make_unique<test::DialoguesScriptes>());  // nothing may wait for a user
    ProjetCourant p;
    p.repProjets = QString::fromLocal8Bit(argv[1]);
    p.nomDossier = QString::fromLocal8Bit(argv[2]);
    p.titreProjet = QStringLiteral("Crash");
    unsigned graine = 0;
    int commande = 0;
    long pasFatal = 0;
    while (std::scanf("%u %d %ld", &graine, &commande, &pasFatal) == 3) {
        const pid_t travailleur = ::fork();
        if (travailleur < 0) return 3;
        if (travailleur == 0) travailler(p, argv[3], graine, commande, pasFatal);
        int statut = 0;
        ::waitpid(travailleur, &statut, 0);
        dire("fin " + std::to_string(statut));
    }
    return 0;
}
