// Editing a 500-frame film of 640 x 480 bitmaps: reversing the whole film and deleting its first
// ten frames with the editing commands (names swapped or moved, no byte copied; the later frames
// move down one slot per frame deleted, so that a kill never leaves them out of order) against
// plain file copies (the reversal through a scratch file, as a naive program does it).

#include <benchmark/benchmark.h>

#include <filesystem>

#include "FilmBanc.h"
#include "Rapport.h"
#include "sequence/Edition.h"

namespace {

constexpr int kImages = 500;
namespace fs = std::filesystem;

void copier(const std::string& a, const std::string& b) {
    fs::copy_file(a, b, fs::copy_options::overwrite_existing);
}

void inversionEdition(benchmark::State& etat) {
    vp::bench::FilmBanc film("edition", kImages);
    vp::bench::VueMuette vue;
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

// Ten frames put back at the start, outside the timing.
void remettreDixImages(vp::bench::FilmBanc& film) {
    film.p.nbImages = kImages - 10;
    vp::ImagesPreparees nouvelles(film.p);
    for (int i = 0; i < 10; ++i)
        vp::ecrireAtomique(nouvelles.nouvelle(), film.nouvelle);
    for (int i = 0; i < 10; ++i)
        nouvelles.inserer(i, i - 1, i);
    film.p.nbImages = kImages;
}

void suppressionEdition(benchmark::State& etat) {
    vp::bench::FilmBanc film("edition", kImages);
    vp::bench::VueMuette vue;
    for (auto _ : etat) {
        film.p.selDebut = 0;
        film.p.selFin = 9;
        vp::supprimerSelection(film.p, vue);
        etat.PauseTiming();
        remettreDixImages(film);
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
        film.p.nbImages = kImages - 10;
        remettreDixImages(film);
        etat.ResumeTiming();
    }
}

BENCHMARK(inversionEdition)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(inversionCopies)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(suppressionEdition)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(suppressionCopies)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

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
    return 0;
}
