// SPDX-License-Identifier: GPL-3.0-or-later
// Editing films of 640 x 480 bitmaps with the editing commands, each a step of the project's
// history (frames moved by name, once each, never copied to move them):
// - reversing a whole 500-frame film and deleting its first ten frames, against plain file copies
//   (the reversal through a scratch file, as a naive program does it);
// - on a 2000-frame film: deleting 1000 frames and undoing it, and copying 500 frames after the
//   first one, beside the time the 500 copies' data alone takes to write and flush.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>

#include "FilmBanc.h"
#include "Rapport.h"
#include "sequence/Edition.h"

namespace {

constexpr int kImages = 500;
constexpr int kGrandFilm = 2000;
namespace fs = std::filesystem;

void copier(const std::string& a, const std::string& b) {
    fs::copy_file(a, b, fs::copy_options::overwrite_existing);
}

void inversionEdition(benchmark::State& etat) {
    vp::bench::FilmBanc film("edition", kImages);
    vp::bench::VueMuette vue;
    vp::historiqueDe(film.p);
    for (auto _ : etat) {
        film.p.selDebut = 0;
        film.p.selFin = kImages - 1;
        vp::inverserSelection(film.p, vue);
    }
}

void inversionCopies(benchmark::State& etat) {
    vp::bench::FilmBanc film("copies", kImages);
    const std::string tempo = film.p.repProjets.toStdString() + "tempo.bmp";
    for (auto _ : etat)
        for (int i = 0, j = kImages - 1; j > i; ++i, --j) {
            copier(film.chemin(i), tempo);
            copier(film.chemin(j), film.chemin(i));
            copier(tempo, film.chemin(j));
        }
}

void suppressionEdition(benchmark::State& etat) {
    vp::bench::FilmBanc film("edition", kImages);
    vp::bench::VueMuette vue;
    vp::historiqueDe(film.p);
    for (auto _ : etat) {
        film.p.selDebut = 0;
        film.p.selFin = 9;
        vp::supprimerSelection(film.p, vue);
        etat.PauseTiming();
        vp::annulerCommande(film.p, vue);  // the ten frames come back
        etat.ResumeTiming();
    }
}

void suppressionCopies(benchmark::State& etat) {
    vp::bench::FilmBanc film("copies", kImages);
    for (auto _ : etat) {
        for (int k = 10; k < kImages; ++k)
            copier(film.chemin(k), film.chemin(k - 10));
        for (int d = 1; d <= 10; ++d)
            fs::remove(film.chemin(kImages - d));
        etat.PauseTiming();
        for (int k = kImages - 11; k >= 0; --k)
            fs::rename(film.chemin(k), film.chemin(k + 10));
        for (int k = 0; k < 10; ++k)
            vp::ecrireAtomique(QString::fromStdString(film.chemin(k)), film.nouvelle);
        etat.ResumeTiming();
    }
}

// One 2000-frame film for the benchmarks below, made once (1.8 GB) and put to disk.
vp::bench::FilmBanc& grandFilm() {
    static vp::bench::FilmBanc film("grand", kGrandFilm);
    static const bool pret = [] {
        ::sync();
        vp::historiqueDe(film.p);
        return true;
    }();
    (void)pret;
    return film;
}

void suppressionMille(benchmark::State& etat) {
    vp::bench::FilmBanc& film = grandFilm();
    vp::bench::VueMuette vue;
    for (auto _ : etat) {
        film.p.selDebut = 500;
        film.p.selFin = 1499;
        vp::supprimerSelection(film.p, vue);
        etat.PauseTiming();
        vp::annulerCommande(film.p, vue);
        ::sync();
        etat.ResumeTiming();
    }
}

void annulationSuppressionMille(benchmark::State& etat) {
    vp::bench::FilmBanc& film = grandFilm();
    vp::bench::VueMuette vue;
    for (auto _ : etat) {
        etat.PauseTiming();
        film.p.selDebut = 500;
        film.p.selFin = 1499;
        vp::supprimerSelection(film.p, vue);
        ::sync();
        etat.ResumeTiming();
        vp::annulerCommande(film.p, vue);
    }
}

void copieCinqCents(benchmark::State& etat) {
    vp::bench::FilmBanc& film = grandFilm();
    vp::bench::VueMuette vue;
    for (auto _ : etat) {
        film.p.imageCourante = 0;
        film.p.selDebut = 1000;
        film.p.selFin = 1499;
        vp::copierSelection(film.p, vue);
        etat.PauseTiming();
        vp::annulerCommande(film.p, vue);
        // The copies wait for a redo; the next command drops them, outside the timing too (two
        // reversals that leave the film as it is).
        for (int fois = 0; fois < 2; ++fois) {
            film.p.selDebut = 0;
            film.p.selFin = 1;
            vp::inverserSelection(film.p, vue);
        }
        ::sync();
        etat.ResumeTiming();
    }
}

// The same 500 frames copied and flushed, nothing else: what the copies cost whatever the rest.
void donneesCinqCents(benchmark::State& etat) {
    vp::bench::FilmBanc& film = grandFilm();
    const QString dossier = film.p.dossierProjet() + QStringLiteral("/copies/");
    QDir().mkpath(dossier);
    for (auto _ : etat) {
        for (int i = 0; i < 500; ++i)
            vp::copierAtomique(vp::cheminImage(film.p, 1000 + i),
                               dossier + QString::number(i) + QStringLiteral(".bmp"));
        etat.PauseTiming();
        QDir(dossier).removeRecursively();
        QDir().mkpath(dossier);
        ::sync();
        etat.ResumeTiming();
    }
}

BENCHMARK(inversionEdition)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(inversionCopies)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(suppressionEdition)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(suppressionCopies)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(suppressionMille)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(annulationSuppressionMille)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(copieCinqCents)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(donneesCinqCents)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    const auto temps = vp::bench::executer(argc, argv);
    vp::bench::afficherRapport("inversion", temps.at("inversionCopies"),
                               temps.at("inversionEdition"));
    vp::bench::afficherRapport("suppression", temps.at("suppressionCopies"),
                               temps.at("suppressionEdition"));
    vp::bench::afficherMesure("inversion de 500 images", temps.at("inversionEdition") * 1000, "ms");
    vp::bench::afficherMesure("suppression de 10 images sur 500",
                              temps.at("suppressionEdition") * 1000, "ms");
    vp::bench::afficherMesure("suppression 1000 sur 2000", temps.at("suppressionMille") * 1000,
                              "ms");
    vp::bench::afficherMesure("annulation suppression 1000 sur 2000",
                              temps.at("annulationSuppressionMille") * 1000, "ms");
    vp::bench::afficherMesure("copie 500 sur 2000", temps.at("copieCinqCents") * 1000, "ms");
    vp::bench::afficherMesure("donnees de 500 images", temps.at("donneesCinqCents") * 1000, "ms");
    return 0;
}
