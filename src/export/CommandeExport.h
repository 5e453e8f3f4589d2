// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// « Exporter le film… »: the film as an MP4 video or an animated GIF, in a file the user
// chooses, written on a thread of its own while the window shows its progress and stays usable.

#include <QString>
#include <functional>

#include "ExportFilm.h"

class QWidget;

namespace vp {

struct ProjetCourant;
class VueSequence;

inline const QString kFiltreExport = QStringLiteral("Vidéo MP4|*.mp4|Image animée GIF|*.gif");
inline constexpr int kFiltreGif = 1;  // its position in kFiltreExport

// What the export needs from the main window.
struct FenetreExport {
    QWidget* fenetre = nullptr;                   // owner of the dialogs
    VueSequence* vue = nullptr;                   // its progress bar
    std::function<void(bool)> montrerAnnulation;  // shows (true) or hides its cancel control
    std::function<bool()> annulationDemandee;     // true once that control was used
};

// The file name a film is proposed under: its title, without what a file name cannot hold on
// the usual disks, FAT and exFAT sticks included, and short enough for all of them (cut between
// whole characters).
QString nomFichierFilm(const QString& titre);

// Asks where to write the film, then writes it with the settings `reglages`: as a GIF when the
// name ends in ".gif", as an MP4 file when it ends in ".mp4", otherwise as the type chosen in
// the dialog, whose extension the name then gets (asking before replacing a file of that name).
// The window stays usable meanwhile and can stop the export, which then leaves nothing behind
// and says nothing. Returns the file written, empty when nothing was. Raises Erreur with a
// French message on a failure, the target then untouched and no partial file left.
QString exporterFilm(const ProjetCourant& p, const ReglagesExport& reglages,
                     const FenetreExport& fenetre);

}  // namespace vp
