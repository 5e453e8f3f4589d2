// SPDX-License-Identifier: GPL-3.0-or-later
// Exporting the film as MP4: 300 frames of 640 x 480 and 25 s of sound through our export (the
// frames and "audio.wav" of the project, libx264 and the native AAC encoder, index moved to the
// front) against the ffmpeg command line making the same file from the same frames and sound,
// with the same encoder settings; and, once, the export of a 2-minute film.

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <filesystem>

#include "Rapport.h"
#include "SonBanc.h"
#include "capture/mire/PiloteMire.h"
#include "export/ExportFilm.h"
#include "platform/Bitmap.h"
#include "platform/FichiersSurs.h"
#include "sequence/StockImages.h"

namespace {

constexpr int kImages = 300;
constexpr int kCadence = 12;  // 300 pictures last 25 s, as the sound
constexpr int kImagesDeuxMinutes = 120 * kCadence;
constexpr int kImagesDistinctes = 60;  // the 2-minute film repeats them, to spare the disk

// The test pattern with a camera's light noise, which the encoder has to carry.
QImage image(int k) {
    QImage i = vp::PiloteMire::image(static_cast<quint64>(k), QSize(640, 480), 100 + k % 60, 128)
                   .convertToFormat(QImage::Format_RGB888);
    QRandomGenerator bruit(static_cast<quint32>(k));
    for (int y = 0; y < i.height(); ++y) {
        uchar* ligne = i.scanLine(y);
        for (int x = 0; x < 3 * i.width(); ++x)
            ligne[x] = static_cast<uchar>(std::clamp(ligne[x] + bruit.bounded(-3, 4), 0, 255));
    }
    return i;
}

struct Projet {
    QTemporaryDir dossier;
    vp::ProjetCourant p;
    Projet(const char* nom, int images, int secondes) {
        p.repProjets = dossier.path() + "/";
        p.nomDossier = QString::fromLatin1(nom);
        QDir().mkpath(p.dossierProjet());
        for (int k = 0; k < images; ++k) {
            if (k < kImagesDistinctes || images == kImages)
                vp::ecrireBitmap24(image(k), vp::cheminImage(p, k));
            else
                std::filesystem::create_hard_link(
                    QFile::encodeName(vp::cheminImage(p, k % kImagesDistinctes)).toStdString(),
                    QFile::encodeName(vp::cheminImage(p, k)).toStdString());
        }
        p.nbImages = images;
        // A voice-like tone that wavers, on both channels.
        vp::bench::ecrireWav(QFile::encodeName(son()).toStdString(), secondes, [](uint32_t t, int) {
            return static_cast<int16_t>(
                8000 * std::sin(2 * M_PI * (220 + 40 * std::sin(t / 9000.0)) * t / 44100));
        });
    }
    QString son() const { return p.dossierProjet() + "/audio.wav"; }
    QString sortie(const char* nom) const { return dossier.path() + "/" + nom; }
};

Projet* g_film = nullptr;

// As the command does it, the frames read by their path.
void exporter(const Projet& projet, const QString& cible) {
    const vp::ProjetCourant& p = projet.p;
    const vp::LecteurImage lire = [&p](qint32 k) {
        return vp::chargerImage(vp::cheminImage(p, k));
    };
    const vp::PlanExport plan = vp::planifierExport(vp::FormatExport::Mp4, {kCadence, 640, 480},
                                                    p.nbImages, lire, projet.son(), "Banc");
    vp::SuiviExport suivi;
    vp::ecrireExport(plan, lire, cible, suivi);
}

void nous(benchmark::State& etat) {
    for (auto _ : etat)
        exporter(*g_film, g_film->sortie("nous.mp4"));
}

void ffmpeg(benchmark::State& etat) {
    const vp::ProjetCourant& p = g_film->p;
    const QString flags = QStringLiteral("bicubic+accurate_rnd+full_chroma_inp");
    const QStringList arguments = {
        "-y",
        "-loglevel",
        "error",
        "-framerate",
        QString::number(kCadence),
        "-i",
        p.dossierProjet() + "/image_%05d.bmp",
        "-i",
        g_film->son(),
        "-sws_flags",
        flags,
        "-vf",
        "scale=640:480:out_color_matrix=bt709:out_range=tv,format=yuv420p",
        "-c:v",
        "libx264",
        "-preset",
        vp::kPresetH264,
        "-profile:v",
        "high",
        "-level:v",
        "4.0",
        "-crf",
        QString::number(vp::kQualiteH264),
        "-maxrate",
        QString::number(vp::kDebitMaxH264),
        "-bufsize",
        QString::number(vp::kTamponH264),
        "-g",
        QString::number(kCadence * vp::kSecondesParImageCle),
        "-color_primaries",
        "bt709",
        "-color_trc",
        "bt709",
        "-colorspace",
        "bt709",
        "-color_range",
        "tv",
        "-c:a",
        "aac",
        "-b:a",
        QString::number(2 * vp::kDebitAacParCanal),
        "-movflags",
        "+faststart",
        g_film->sortie("ffmpeg.mp4")};
    for (auto _ : etat) {
        QProcess p;
        p.start("ffmpeg", arguments);
        p.waitForFinished(-1);
        if (p.exitCode() != 0) etat.SkipWithError("ffmpeg a échoué");
    }
}

// Processor time of the whole process (all its threads), in seconds.
double tempsProcesseur() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// The most memory the process has held so far, in megabytes.
double memoireDePointe() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return static_cast<double>(r.ru_maxrss) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    Projet film("film", kImages, kImages / kCadence);
    g_film = &film;
    for (const auto& [nom, fonction] : {std::pair{"nous_mp4", &nous}, {"ffmpeg_mp4", &ffmpeg}})
        benchmark::RegisterBenchmark(nom, fonction)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    const auto temps = vp::bench::executer(argc, argv, 3);
    const auto a = temps.find("ffmpeg_mp4"), b = temps.find("nous_mp4");
    if (a != temps.end() && b != temps.end()) {
        vp::bench::afficherRapport("export mp4", a->second, b->second);
        vp::bench::afficherMesure("export mp4 300 images et 25 s de son", b->second * 1000, "ms");
        vp::bench::afficherMesure("ffmpeg 300 images et 25 s de son", a->second * 1000, "ms");
    }
    // Once: its length is what a teacher waits, not a figure to compare.
    const Projet deux("deux-minutes", kImagesDeuxMinutes, 120);
    const double processeur = tempsProcesseur();
    // After the 300-frame exports: memory that grew with the film's length would show here.
    const double pointe = memoireDePointe();
    QElapsedTimer chrono;
    chrono.start();
    exporter(deux, deux.sortie("deux-minutes.mp4"));
    const double duree = static_cast<double>(chrono.nsecsElapsed()) / 1e9;
    vp::bench::afficherMesure("export mp4 d'un film de 2 minutes (1440 images 640 x 480)", duree,
                              "s");
    vp::bench::afficherMesure("temps de processeur de l'export d'un film de 2 minutes",
                              tempsProcesseur() - processeur, "s");
    vp::bench::afficherMesure("memoire de pointe gagnee par un film de 2 minutes",
                              memoireDePointe() - pointe, "Mo");
    return 0;
}
