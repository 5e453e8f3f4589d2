// SPDX-License-Identifier: GPL-3.0-or-later
// Turning a 300-frame 640 x 480 film into "video.avi": our create-video command (frames loaded
// on a worker thread while the encoder works) against the ffmpeg command line on the same
// bitmaps, with the same codec, size, pixel format and quality.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <cstdlib>

#include "FilmBanc.h"
#include "Rapport.h"
#include "ReponsesCodec.h"
#include "capture/mire/PiloteMire.h"
#include "platform/Bitmap.h"
#include "platform/Bureau.h"
#include "platform/Dialogues.h"
#include "sequence/StockImages.h"
#include "video/AVIRecorder.h"
#include "video/CreerVideo.h"
#include "video/DialogueCompression.h"

namespace {

constexpr int kImages = 300;

struct Essai {
    const char* nom;
    uint32_t fcc;
    int qualite;             // on the dialog's scale
    const char* argsFfmpeg;  // the same settings for the command line
};

const Essai kEssais[] = {
    {"mjpeg", vp::mmioFOURCC('M', 'J', 'P', 'G'), 85, "-c:v mjpeg -pix_fmt yuvj420p -q:v 6"},
    {"msvideo1", vp::mmioFOURCC('M', 'S', 'V', 'C'), 85, "-c:v msvideo1"},
    {"h264", vp::mmioFOURCC('H', '2', '6', '4'), 55, "-c:v libx264 -pix_fmt yuv420p -crf 22.95"},
};

struct Film {
    QTemporaryDir dossier;
    vp::ProjetCourant p;
    Film() {
        p.repProjets = dossier.path() + "/";
        p.nomDossier = "film";
        p.titreProjet = "Film";
        QDir().mkpath(p.dossierProjet());
        for (int k = 0; k < kImages; ++k)
            vp::ecrireBitmap24(
                vp::PiloteMire::image(static_cast<quint64>(k), QSize(640, 480), 100 + k % 60, 128),
                vp::cheminImage(p, k));
        p.nbImages = kImages;
        p.imagesParSeconde = 15;
        p.largeurVideo = 640;
        p.hauteurVideo = 480;
    }
};

Film* g_film = nullptr;
vp::bench::ReponsesCodec* g_reponses = nullptr;

void nous(benchmark::State& etat, const Essai* essai) {
    g_reponses->fcc = essai->fcc;
    g_reponses->qualite = essai->qualite;
    vp::bench::VueMuette vue;
    for (auto _ : etat) {
        QFile::remove(g_film->p.dossierProjet() + "/video.avi");
        vp::TAVIRecorder enregistreur;
        vp::ecrireVideo(g_film->p, enregistreur, vue);
    }
}

void ffmpeg(benchmark::State& etat, const Essai* essai) {
    const QString sortie = g_film->p.dossierProjet() + "/ffmpeg.avi";
    QStringList arguments = {"-y",
                             "-loglevel",
                             "error",
                             "-framerate",
                             "15",
                             "-i",
                             g_film->p.dossierProjet() + "/image_%05d.bmp"};
    arguments += QString::fromLatin1(essai->argsFfmpeg).split(' ');
    arguments += {"-s", "640x480", sortie};
    for (auto _ : etat) {
        QProcess p;
        p.start("ffmpeg", arguments);
        p.waitForFinished(-1);
        if (p.exitCode() != 0) etat.SkipWithError("ffmpeg a échoué");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    auto reponses = std::make_unique<vp::bench::ReponsesCodec>();
    g_reponses = reponses.get();
    vp::installerDialogues(std::move(reponses));
    vp::installerBureau(std::make_unique<vp::bench::BureauMuet>());
    Film film;
    g_film = &film;
    for (const Essai& e : kEssais) {
        benchmark::RegisterBenchmark((std::string("nous_") + e.nom).c_str(), nous, &e)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
        benchmark::RegisterBenchmark((std::string("ffmpeg_") + e.nom).c_str(), ffmpeg, &e)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    }
    const auto temps = vp::bench::executer(argc, argv, 3);
    for (const Essai& e : kEssais) {
        const auto a = temps.find(std::string("ffmpeg_") + e.nom);
        const auto b = temps.find(std::string("nous_") + e.nom);
        if (a == temps.end() || b == temps.end()) continue;
        vp::bench::afficherRapport(e.nom, a->second, b->second);
        vp::bench::afficherMesure(std::string("video ") + e.nom + " 300 images", b->second * 1000,
                                  "ms");
    }
    return 0;
}
