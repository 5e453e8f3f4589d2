// The frame files survive the program being killed at any instant: a child process runs random
// editing commands and takes pictures while this test kills it with SIGKILL, hundreds of
// times. After every kill the project is opened as the program opens it and checked.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTextStream>
#include <chrono>
#include <thread>

#include "Identites.h"
#include "commun/Outils.h"
#include "platform/Bitmap.h"
#include "platform/FichiersSurs.h"
#include "sequence/StockImages.h"

using namespace vp;

namespace {

struct DerniereCommande {
    QString nom;
    qint32 courante = -1, debut = -1, fin = -1;
    QList<int> film;  // the frames' numbers before it
    bool terminee = false;
};

DerniereCommande lireJournal(const QString& chemin) {
    QFile f(chemin);
    f.open(QIODevice::ReadOnly);
    DerniereCommande d;
    for (const QByteArray& brute : f.readAll().split('\n')) {
        const QString ligne = QString::fromUtf8(brute);
        if (ligne == "ok") {
            d.terminee = true;
        } else if (ligne.startsWith("cmd ")) {
            const QStringList champs = ligne.split(' ');
            if (champs.size() != 6) continue;  // a line cut by the kill
            d = DerniereCommande{};
            d.nom = champs[1];
            d.courante = champs[2].toInt();
            d.debut = champs[3].toInt();
            d.fin = champs[4].toInt();
            if (champs[5] != "-")
                for (const QString& id : champs[5].split(','))
                    d.film << id.toInt();
        }
    }
    return d;
}

// The frames the interrupted command may have removed: the current one, or the selection.
QSet<int> indicesSupprimes(const DerniereCommande& d) {
    QSet<int> s;
    if (d.nom == "supprimer") s.insert(d.courante);
    if (d.nom == "supprimerSel" && d.debut >= 0)
        for (int i = d.debut; i <= std::min<int>(d.fin, static_cast<int>(d.film.size()) - 1); ++i)
            s.insert(i);
    return s;
}

}  // namespace

TEST(Crash, AucunTrouNiFichierDechireNiImagePerdue) {
    test::DossierTest dossier;
    ProjetCourant p;
    p.repProjets = dossier.chemin();
    p.nomDossier = "film";
    QDir().mkpath(p.dossierProjet());
    for (int i = 0; i < 12; ++i)
        ecrireBitmap24(test::imageIdentite(i + 1), cheminImage(p, i));
    const QString journal = dossier.chemin() + "journal.txt";
    QRandomGenerator hasard(20261207);
    QMap<QString, int> interruptions;
    const int kTues = 400;

    for (int tour = 0; tour < kTues; ++tour) {
        int tube[2];
        ASSERT_EQ(::pipe(tube), 0);
        const QByteArray graine = QByteArray::number(hasard.bounded(1 << 30));
        const pid_t enfant = ::fork();
        ASSERT_GE(enfant, 0);
        if (enfant == 0) {
            ::dup2(tube[1], STDOUT_FILENO);
            ::close(tube[0]);
            ::execl(VP_ENFANT_CRASH, VP_ENFANT_CRASH, QFile::encodeName(p.repProjets).constData(),
                    "film", QFile::encodeName(journal).constData(), graine.constData(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(tube[1]);
        char pret = 0;
        ASSERT_EQ(::read(tube[0], &pret, 1), 1) << "l'enfant n'a pas démarré";
        ::close(tube[0]);
        // Killed at a random instant within its first commands.
        std::this_thread::sleep_for(std::chrono::microseconds(hasard.bounded(10000)));
        ::kill(enfant, SIGKILL);
        int statut = 0;
        ::waitpid(enfant, &statut, 0);
        ASSERT_TRUE(WIFSIGNALED(statut)) << "l'enfant s'est arrêté seul : " << WEXITSTATUS(statut);

        // Opening the project, as the program does.
        nettoyerTemporaires(p.dossierProjet());
        const qint32 nb = compterImages(p);
        QList<int> film;
        for (qint32 i = 0; i < nb; ++i) {
            const int id = test::identiteFichier(cheminImage(p, i));
            ASSERT_GE(id, 1) << "image " << i << " déchirée au tour " << tour;
            film << id;
        }
        // No frame file after a hole.
        for (const QString& nom : QDir(p.dossierProjet()).entryList({"image_*.bmp"}, QDir::Files))
            ASSERT_LT(nom.mid(6, nom.size() - 10).toInt(), nb)
                << nom.toStdString() << " après un trou, tour " << tour;
        ASSERT_TRUE(QDir(p.dossierProjet())
                        .entryList({".voltiplume-*"}, QDir::Files | QDir::Hidden)
                        .isEmpty());

        const DerniereCommande d = lireJournal(journal);
        if (d.nom.isEmpty()) continue;
        if (!d.terminee) ++interruptions[d.nom];
        // Every frame that existed before the command is still there, except those it deleted.
        const QSet<int> supprimes = d.terminee ? QSet<int>{} : indicesSupprimes(d);
        QSet<int> presents(film.begin(), film.end());
        for (int i = 0; i < d.film.size(); ++i) {
            if (supprimes.contains(i)) continue;
            if (d.terminee && (d.nom == "supprimer" || d.nom == "supprimerSel"))
                break;  // checked by the next round
            ASSERT_TRUE(presents.contains(d.film[i]))
                << "image " << d.film[i] << " perdue par « " << d.nom.toStdString() << " » au tour "
                << tour;
        }
    }
    // Every command was interrupted at least a few times.
    for (const char* nom : {"photo", "doubler", "supprimer", "copierSel", "inverserSel",
                            "doublerSel", "supprimerSel"})
        EXPECT_GE(interruptions.value(nom), 3) << nom;
    QStringList resume;
    for (auto i = interruptions.begin(); i != interruptions.end(); ++i)
        resume << i.key() + "=" + QString::number(i.value());
    std::printf("interruptions : %s\n", qPrintable(resume.join(' ')));
}
