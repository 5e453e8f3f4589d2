// SPDX-License-Identifier: GPL-3.0-or-later
// The child of the recording kill test. It opens the recording window on a project as the
// program does, starts a recording with the simulated microphone (no countdown), and says on
// its standard output "enregistre" once the recording runs, then "fini" once it has ended well.
// It never leaves by itself: the test kills it, during the recording or after.
//
//   enfant_son <projects folder> <project folder name> <frames>

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "bandeson/DialogueEnregistrementSon.h"
#include "commun/DialoguesScriptes.h"

using namespace vp;

namespace {

void dire(const std::string& ligne) {
    const std::string texte = ligne + "\n";
    [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, texte.data(), texte.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VOLTIPLUME_MICRO", "simule");
    QApplication application(argc, argv);
    // The user's own settings are left alone.
    const QTemporaryDir reglages;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, reglages.path());
    test::Scenario scenario;  // no box ever waits for a user

    ProjetCourant p;
    p.repProjets = QFile::decodeName(argv[1]);
    p.nomDossier = QFile::decodeName(argv[2]);
    p.titreProjet = QStringLiteral("Son");
    p.nbImages = std::atoi(argv[3]);
    DialogueEnregistrementSon fenetre(p, nullptr);
    fenetre.caseCompteARebours->setChecked(false);
    QObject::connect(&fenetre, &DialogueEnregistrementSon::enregistrementTermine,
                     [](const QString& erreur) { dire(erreur.isEmpty() ? "fini" : "erreur"); });
    fenetre.show();
    fenetre.boutonEnregistrer->click();
    dire(fenetre.enregistreur.EnCours() ? "enregistre" : "erreur");
    return application.exec();
}
