// SPDX-License-Identifier: GPL-3.0-or-later
// Inserting one frame at the start of a 500-frame film of 640 x 480 bitmaps: the frame store
// (each later frame renamed once, the command written in the project's journal first) against
// plain file copies of every later frame.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "FilmBanc.h"
#include "Rapport.h"
#include "sequence/Edition.h"

namespace {

constexpr int kImages = 500;

void insertionMagasin(benchmark::State& etat) {
    vp::bench::FilmBanc film("magasin", kImages);
    vp::bench::VueMuette vue;
    vp::historiqueDe(film.p);
    ::sync();
    for (auto _ : etat) {
        film.p.imageCourante = -1;
        vp::insererImage(film.p, vue,
                         [&](const QString& chemin) { vp::ecrireAtomique(chemin, film.nouvelle); });
        etat.PauseTiming();
        vp::annulerCommande(film.p, vue);  // back to 500 frames
        ::sync();                          // each run starts with nothing left to write back
        etat.ResumeTiming();
    }
}

void insertionCopies(benchmark::State& etat) {
    vp::bench::FilmBanc film("copies", kImages);
    ::sync();
    for (auto _ : etat) {
        for (int k = kImages - 1; k >= 0; --k)
            std::filesystem::copy_file(film.chemin(k), film.chemin(k + 1),
                                       std::filesystem::copy_options::overwrite_existing);
        std::ofstream(film.chemin(0), std::ios::binary | std::ios::trunc)
            .write(film.nouvelle.constData(), film.nouvelle.size());
        etat.PauseTiming();
        for (int k = 1; k <= kImages; ++k)
            std::filesystem::copy_file(film.chemin(k), film.chemin(k - 1),
                                       std::filesystem::copy_options::overwrite_existing);
        std::filesystem::remove(film.chemin(kImages));
        ::sync();
        etat.ResumeTiming();
    }
}

BENCHMARK(insertionMagasin)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(insertionCopies)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    const auto temps = vp::bench::executer(argc, argv);
    vp::bench::afficherRapport("insertion", temps.at("insertionCopies"),
                               temps.at("insertionMagasin"));
    vp::bench::afficherMesure("insertion 500 images", temps.at("insertionMagasin") * 1000, "ms");
    return 0;
}
