// Inserting one frame at the start of a 500-frame film of 640 x 480 bitmaps: the frame store
// (moves as new names) against plain file copies of every later frame.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "Rapport.h"
#include "platform/Bitmap.h"
#include "platform/FichiersSurs.h"
#include "sequence/StockImages.h"

namespace {

constexpr int kImages = 500;

class VueMuette final : public vp::VueSequence {
public:
    void rafraichirBande() override {}
    void montrerProgression(int) override {}
    void avancerProgression() override {}
    void completerProgression() override {}
    void masquerProgression() override {}
};

struct Film {
    QTemporaryDir dossier;
    vp::ProjetCourant p;
    QByteArray nouvelle;

    explicit Film(const char* nom) {
        p.repProjets = dossier.path() + "/";
        p.nomDossier = QString::fromLatin1(nom);
        QDir().mkpath(p.dossierProjet());
        QImage image(640, 480, QImage::Format_RGB888);
        image.fill(Qt::darkCyan);
        const QString premiere = vp::cheminImage(p, 0);
        vp::ecrireBitmap24(image, premiere);
        for (int i = 1; i < kImages; ++i)
            vp::copierAtomique(premiere, vp::cheminImage(p, i));
        p.nbImages = kImages;
        image.fill(Qt::yellow);
        nouvelle = vp::bitmap24(image);
    }
    std::string chemin(int i) const { return vp::cheminImage(p, i).toStdString(); }
};

void insertionMagasin(benchmark::State& etat) {
    Film film("magasin");
    VueMuette vue;
    for (auto _ : etat) {
        film.p.imageCourante = -1;
        vp::insererImage(film.p, vue,
                         [&](const QString& chemin) { vp::ecrireAtomique(chemin, film.nouvelle); });
        etat.PauseTiming();
        vp::fermerEspace(film.p, 1, 1);  // back to 500 frames
        film.p.nbImages -= 1;
        etat.ResumeTiming();
    }
}

void insertionCopies(benchmark::State& etat) {
    Film film("copies");
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
