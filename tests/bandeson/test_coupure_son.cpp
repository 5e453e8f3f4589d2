// SPDX-License-Identifier: GPL-3.0-or-later
// A recording killed at any instant leaves the project the old sound track, or the complete new
// one, never a torn one: a child process records through the recording window while this test
// kills it with SIGKILL, then opens the project's history as the program does when it opens
// the project (which removes the temporary files). And the new sound track reaches the disk in
// the order a power cut needs.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <chrono>
#include <mutex>
#include <thread>

#include "FixtureSon.h"
#include "audio/Commun.h"
#include "platform/FichiersSurs.h"
#include "sequence/Historique.h"

using namespace vp;

namespace {

QByteArray lire(const QString& fichier) {
    QFile f(fichier);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A one-second recording, whole: the sound the header says, and the header what the file holds.
::testing::AssertionResult complet(const QString& fichier) {
    const auto o = test::lireFichier(fichier.toStdString());
    if (o.size() != 44u + 176400u) return ::testing::AssertionFailure() << o.size() << " octets";
    if (test::lire32(o, 40) != 176400u || test::lire32(o, 4) != 176436u)
        return ::testing::AssertionFailure() << "en-tête faux";
    return ::testing::AssertionSuccess();
}

// Waits for the child to write `mot` on a line; false when it ended or took too long.
bool attendreMot(QProcess& enfant, const QByteArray& mot, QByteArray& lu) {
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!lu.split('\n').contains(mot)) {
        if (std::chrono::steady_clock::now() > limite || enfant.state() != QProcess::Running)
            return false;
        enfant.waitForReadyRead(100);
        lu += enfant.readAllStandardOutput();
    }
    return true;
}

}  // namespace

TEST(CoupureSon, UnEnregistrementTueLaisseLAncienneBandeSonOuLaNouvelle) {
    test::DossierTest dossier;
    const QString projet = dossier.chemin() + "film";
    test::ecrireFilm(projet, test::lettresFilm(12));
    test::ecrireEnTeteAvi(projet + "/video.avi", 83333, 12);  // a one-second recording
    const QString son = projet + "/audio.wav";
    test::ecrireFichier(son, "l'ancienne bande-son");
    QRandomGenerator hasard(20260522);
    int gardees = 0;
    for (int tour = 0; tour < 7; ++tour) {
        const QByteArray avant = lire(son);
        QProcess enfant;
        enfant.start(VP_ENFANT_SON, {dossier.chemin(), "film", "12"});
        ASSERT_TRUE(enfant.waitForStarted());
        QByteArray lu;
        ASSERT_TRUE(attendreMot(enfant, "enregistre", lu)) << lu.toStdString();
        // Killed somewhere in the second of sound; the last time, once it has ended.
        const bool jusquAuBout = tour == 6;
        if (jusquAuBout) {
            ASSERT_TRUE(attendreMot(enfant, "fini", lu)) << lu.toStdString();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(hasard.bounded(1000)));
        }
        enfant.kill();
        enfant.waitForFinished();
        lu += enfant.readAllStandardOutput();

        // Opening the project removes what the kill left behind.
        Historique(projet).ouvrir();
        EXPECT_TRUE(test::temporaires(projet).isEmpty());
        const QByteArray apres = lire(son);
        if (lu.split('\n').contains("fini") || apres != avant) {
            EXPECT_TRUE(complet(son)) << "tour " << tour;
        } else {
            ++gardees;
        }
        if (jusquAuBout) {
            EXPECT_NE(apres, "l'ancienne bande-son");
        }
    }
    EXPECT_GE(gardees, 3);  // most kills came in the middle of a recording
}

using CoupureFenetreSon = test::ProgrammeSon;

TEST_F(CoupureFenetreSon, LaNouvelleBandeSonEstSurLeDisqueAvantSonNom) {
    // Its data flushed, then the rename, then the renamed file flushed (on a FAT stick its size
    // and first cluster live in the folder entry the rename wrote), then the folder: a power
    // cut anywhere leaves the old sound track or the whole new one.
    projet(12);
    std::mutex verrou;
    std::vector<OperationFichier> operations;
    enregistrerOperations([&](const OperationFichier& o) {
        std::lock_guard garde(verrou);
        operations.push_back(o);
    });
    enregistrerJusquAuBout();
    enregistrerOperations({});
    ASSERT_EQ(fins, QStringList{""});
    // Each operation, by the name of its file.
    QStringList suite;
    for (const OperationFichier& o : operations) {
        const auto nom = [](const QString& chemin) {
            const QString n = QFileInfo(QDir::cleanPath(chemin)).fileName();
            return n.startsWith(kPrefixeTemporaire) ? QStringLiteral("temporaire") : n;
        };
        if (o.type == OperationFichier::SynchroDonnees) suite << "données " + nom(o.chemin);
        if (o.type == OperationFichier::Renommage) suite << nom(o.chemin) + " → " + nom(o.cible);
        if (o.type == OperationFichier::SynchroDossier) suite << "dossier " + nom(o.chemin);
    }
    EXPECT_EQ(suite, (QStringList{"données temporaire", "temporaire → audio.wav",
                                  "données audio.wav", "dossier Son"}));
}
