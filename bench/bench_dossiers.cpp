// The projects-folder dialog on big folders: opening, in the folder tree, a folder of 5,000
// folders that each hold folders of their own, until its children are painted; counting the
// projects of a folder of 2,000 project folders.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Rapport.h"
#include "app/ArbreDossiers.h"
#include "app/DialogueDossierProjets.h"

namespace {

constexpr int kDossiers = 5000;
constexpr int kProjets = 2000;

QString grand;
QString projets;

void preparer(const QString& racine) {
    grand = racine + "/grand";
    projets = racine + "/projets";
    QDir d;
    for (int i = 0; i < kDossiers; ++i) {
        const QString dossier = QStringLiteral("%1/Dossier %2").arg(grand).arg(i);
        d.mkpath(dossier + "/a");
        d.mkpath(dossier + "/b");
    }
    for (int i = 0; i < kProjets; ++i) {
        const QString dossier = QStringLiteral("%1/Projet_%2").arg(projets).arg(i);
        d.mkpath(dossier);
        QFile ini(dossier + "/projet.ini");
        if (ini.open(QIODevice::WriteOnly))
            ini.write(QStringLiteral("[GENERAL]\r\ntitre=Projet %1\r\n").arg(i).toUtf8());
    }
}

void ouverture(benchmark::State& etat) {
    vp::ArbreDossiers arbre;
    arbre.resize(313, 441);
    arbre.show();
    for (auto _ : etat) {
        etat.PauseTiming();
        arbre.setActive(false);  // a tree that has never opened the folder
        arbre.setActive(true);
        QTreeWidgetItem* dossier = arbre.SelectPath(grand);
        QCoreApplication::processEvents();
        etat.ResumeTiming();
        arbre.expandItem(dossier);
        arbre.viewport()->repaint();
        if (dossier->childCount() != kDossiers) etat.SkipWithError("dossiers manquants");
    }
}

void comptage(benchmark::State& etat) {
    for (auto _ : etat)
        if (vp::compterProjetsDans(projets) != kProjets) etat.SkipWithError("projets manquants");
}

BENCHMARK(ouverture)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(comptage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dossier;
    preparer(dossier.path());
    const auto temps = vp::bench::executer(argc, argv);
    vp::bench::afficherMesure("ouverture 5000 dossiers", temps.at("ouverture") * 1000, "ms");
    vp::bench::afficherMesure("comptage 2000 projets", temps.at("comptage") * 1000, "ms");
    return 0;
}
