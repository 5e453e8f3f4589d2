// SPDX-License-Identifier: GPL-3.0-or-later
// The projects-folder dialog on big folders: opening, in the folder tree, a folder of 5,000
// folders that each hold folders of their own, until its children are painted; counting the
// projects of a folder of 2,000 project folders; and the same count on a network share that
// gives each entry of a listing after 2 ms, measured by how long the window's thread goes at
// most without handling its events, from the dialog's opening until the count shows.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "Rapport.h"
#include "app/ArbreDossiers.h"
#include "app/DialogueDossierProjets.h"
#include "platform/Montages.h"
#include "platform/SousDossiers.h"

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

// The system's volumes, and the projects folder taken for a network share.
class TableAvecPartage final : public vp::TableMontages {
public:
    explicit TableAvecPartage(vp::TableMontages& systeme) : systeme_(systeme) {}
    QList<vp::Volume> volumes() const override { return systeme_.volumes(); }
    QStringList pointsLents() const override { return systeme_.pointsLents() << projets; }

private:
    vp::TableMontages& systeme_;
};

// The longest time, in ms, the window's thread went without handling its events while the dialog
// opened on the share and counted its projects.
double blocageMaxSurUnPartage() {
    TableAvecPartage table(vp::tableMontages());
    vp::TableMontages* ancienne = vp::installerTableMontages(&table);
    vp::installerRetardLecture([](const QString& dossier) {
        if (dossier.startsWith(projets)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    QElapsedTimer chrono;
    qint64 max = 0;
    QTimer tic;
    tic.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tic, &QTimer::timeout, [&] { max = std::max(max, chrono.restart()); });
    tic.start(1);
    chrono.start();
    {
        vp::ProjetCourant p;
        p.repProjets = projets + "/";
        vp::DialogueDossierProjets dialogue(p, nullptr);
        dialogue.show();
        dialogue.arbre->SelectPath(projets);  // as the folder button opens it
        const QString attendu = QStringLiteral("%1 projets trouvés.").arg(kProjets);
        QElapsedTimer limite;
        limite.start();
        while (dialogue.etiquetteNombreProjets->text() != attendu && limite.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        max = std::max(max, chrono.elapsed());
        if (dialogue.etiquetteNombreProjets->text() != attendu)
            std::fprintf(stderr, "le comptage sur le partage n'a pas abouti : %s\n",
                         qPrintable(dialogue.etiquetteNombreProjets->text()));
    }
    vp::installerRetardLecture({});
    vp::installerTableMontages(ancienne);
    return static_cast<double>(max);
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
    std::vector<double> blocages;
    for (int i = 0; i < 3; ++i)
        blocages.push_back(blocageMaxSurUnPartage());
    std::sort(blocages.begin(), blocages.end());
    vp::bench::afficherMesure("ouverture 5000 dossiers", temps.at("ouverture") * 1000, "ms");
    vp::bench::afficherMesure("comptage 2000 projets", temps.at("comptage") * 1000, "ms");
    vp::bench::afficherMesure("fil de la fenetre bloque max", blocages[1], "ms");
    return 0;
}
