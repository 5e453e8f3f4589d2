// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The film as a file the family can play: H.264 and AAC in an MP4 file, or a looping animated
// GIF, made from the project's frames and its sound track through FFmpeg's libraries (libx264,
// the native AAC encoder, the MP4 muxer; palettegen and paletteuse from libavfilter for the GIF).

#include <QImage>
#include <QSize>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "film/SonWav.h"

namespace vp {

enum class FormatExport { Mp4, Gif };

inline const QString kRienAExporter =
    QStringLiteral("Le film n'a encore aucune image : il n'y a rien à exporter.");

// The video settings the film is made with: frames a second, and a size (either side ≤ 0:
// the size of the first frame).
struct ReglagesExport {
    qint32 imagesParSeconde = 0;
    qint32 largeur = 0;
    qint32 hauteur = 0;
};

// Frame k of the project; raises Erreur naming the file when it cannot be read.
using LecteurImage = std::function<QImage(qint32)>;

// What an export writes, worked out before it starts.
struct PlanExport {
    FormatExport format = FormatExport::Mp4;
    int imagesParSeconde = 0;
    QSize taille;             // of the pictures written
    qint32 imagesFilm = 0;    // frames of the project
    qint32 imagesSortie = 0;  // pictures written: the last frame held until the sound ends
    std::string cheminSon;    // the sound track, empty for none
    std::optional<SonWav> son;
    int delaiGif = 0;  // hundredths of a second per picture
    QString titre;     // the film's title, in the file's tags
    // Why the project's sound track stays out of an MP4 film (a French sentence), when it has
    // one that cannot be used; empty otherwise.
    QString sonEcarte;

    // Steps of the progress bar: one per picture encoded (two passes for a GIF).
    int etapes() const;
};

// The biggest H.264 level 4.0 picture: phones and browsers decode anything up to it.
inline constexpr int kMacroblocsNiveau40 = 8192;              // per picture
inline constexpr int kMacroblocsParSecondeNiveau40 = 245760;  // per second
inline constexpr int kLargeurGifMax = 640;

// The MP4 picture size: `voulue` rounded down to even numbers, made smaller (same shape) when
// H.264 level 4.0 cannot hold it at that rate.
QSize tailleMp4(QSize voulue, int imagesParSeconde);
// The GIF picture size: at most kLargeurGifMax wide, same shape.
QSize tailleGif(QSize voulue);
// The GIF's delay between pictures, in hundredths of a second: the frame rate rounded to what
// a GIF can hold, and never below 2 (browsers slow faster GIFs down to 10).
int delaiGif(int imagesParSeconde);

// Works out the export of `nombre` frames. `son`: the project's WAV sound track (ignored for a
// GIF, and when it is missing; when it is unusable, the film is made without it and
// `sonEcarte` says why). Raises Erreur without frames, on impossible settings, or when the
// first frame, needed for its size, cannot be read.
PlanExport planifierExport(FormatExport format, const ReglagesExport& reglages, qint32 nombre,
                           const LecteurImage& image, const QString& son, const QString& titre);

// A thread running `travail`; raises Erreur with a French message when the system cannot start
// one.
std::thread filExport(std::function<void()> travail);

// The export's progress and its cancellation, shared with the thread that shows them.
struct SuiviExport {
    std::atomic<int> etapesFaites{0};
    std::atomic<bool> annule{false};
};

// For tests: called on the export's thread after each step, once `etapesFaites` counts it and
// the export has looked at `annule`; a stop it asks there is heard at the export's next look.
// Empty to stop watching.
void observerEtapesExport(std::function<void(SuiviExport&)> observateur);

// Writes the film planned into `cible`, through a temporary file in its folder renamed over
// it once complete and on disk. The target's name is tried first, so that a name or a folder
// the disk refuses is told before anything is encoded; temporary files an earlier export left
// in that folder when the program stopped are removed. Returns false, with nothing left on
// disk and an earlier file of that name untouched, when `suivi.annule` was set before the file
// took its name; raises Erreur with a French message, equally leaving nothing, when it cannot
// be done. Runs on any thread.
bool ecrireExport(const PlanExport& plan, const LecteurImage& image, const QString& cible,
                  SuiviExport& suivi);

// The encoder settings, for the benchmark's ffmpeg command line.
inline constexpr double kQualiteH264 = 20;  // x264's constant rate factor
inline constexpr char kPresetH264[] = "medium";
inline constexpr int kDebitMaxH264 = 20'000'000;  // bits a second, within level 4.0
inline constexpr int kTamponH264 = 25'000'000;    // bits
inline constexpr int kSecondesParImageCle = 5;
inline constexpr int kDebitAacParCanal = 80'000;  // bits a second

}  // namespace vp
