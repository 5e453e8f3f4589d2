// The child of the crash test: opens the project as the program does, then runs random editing
// commands and takes pictures on it until it is killed. Before each command it writes to the
// journal the film as it stands and the command; after it, "ok".
//
//   enfant_crash <projects folder> <project folder name> <journal> <seed>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cstdio>
#include <memory>

#include "Identites.h"
#include "VueFactice.h"
#include "commun/DialoguesScriptes.h"
#include "platform/Bitmap.h"
#include "platform/FichiersSurs.h"
#include "sequence/Edition.h"

using namespace vp;

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    installerDialogues(std::make_unique<test::DialoguesScriptes>());  // nothing may wait for a user
    ProjetCourant p;
    p.repProjets = QString::fromLocal8Bit(argv[1]);
    p.nomDossier = QString::fromLocal8Bit(argv[2]);
    p.titreProjet = QStringLiteral("Crash");
    std::FILE* journal = std::fopen(argv[3], "a");
    if (!journal) return 2;
    const int graine = std::atoi(argv[4]);
    QRandomGenerator hasard(static_cast<quint32>(graine));
    const int prefere = graine % 7;

    // Opening the project.
    nettoyerTemporaires(p.dossierProjet());
    p.nbImages = compterImages(p);
    p.imageCourante = p.nbImages - 1;
    int prochaineId = 1;
    for (qint32 i = 0; i < p.nbImages; ++i)
        prochaineId = std::max(prochaineId, test::identiteFichier(cheminImage(p, i)) + 1);
    test::VueFactice vue;
    // The parent may kill from now on.
    [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, "p", 1);

    const char* noms[] = {"photo",       "doubler",    "supprimer",   "copierSel",
                          "inverserSel", "doublerSel", "supprimerSel"};
    for (;;) {
        if (p.nbImages > 0) p.imageCourante = static_cast<qint32>(hasard.bounded(p.nbImages));
        // A selection of one to four frames, sometimes reaching past the end of the film.
        p.selDebut = p.nbImages > 0 ? static_cast<qint32>(hasard.bounded(p.nbImages)) : 0;
        p.selFin = p.selDebut + static_cast<qint32>(hasard.bounded(4));
        if (hasard.bounded(5) == 0) p.selFin += 3;
        // Each child repeats one command (so that every command gets killed often), the film
        // kept between 4 and 40 frames.
        int commande = prefere;
        if (p.nbImages > 40 && (commande == 0 || commande == 1 || commande == 3 || commande == 5))
            commande = 6;
        if (p.nbImages < 4 && (commande == 2 || commande == 6)) commande = 0;

        QString film;
        for (qint32 i = 0; i < p.nbImages; ++i)
            film += (i ? QStringLiteral(",") : QString()) +
                    QString::number(test::identiteRapide(cheminImage(p, i)));
        std::fprintf(journal, "cmd %s %d %d %d %s\n", noms[commande], p.imageCourante, p.selDebut,
                     p.selFin, qPrintable(film.isEmpty() ? QStringLiteral("-") : film));
        std::fflush(journal);
        switch (commande) {
            case 0: {
                const int id = prochaineId++;
                insererImage(p, vue, [id](const QString& chemin) {
                    ecrireBitmap24(test::imageIdentite(id), chemin);
                });
                break;
            }
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
        }
        std::fprintf(journal, "ok\n");
        std::fflush(journal);
    }
}
