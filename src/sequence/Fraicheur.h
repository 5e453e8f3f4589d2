// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Whether the project's video and film still show its frames. When "video.avi" is made, the
// film as it was then is written down beside the history, in the hidden folder, as the text file
// "video.avi.etat"; the mixing copies it as "film.avi.etat", with the sound track it took:
//
//   VOLTIPLUME etat 1
//   fichier <size> <modification time in ns>     the made file itself
//   execution <the history's next run then>
//   video <rate> <width> <height> <fourcc> <quality> <key frames> <bytes a second> <flags>
//   son <size> <modification time in ns>         the film's only: "audio.wav" when mixed
//   images <n>
//   <size> <modification time in ns>             n lines: the frames, in order
//
// The film's records written before the sound track was kept have no "son" line: their sound
// counts as the one on disk.
// A record that is not about the very file on disk (a file replaced by hand, or made by an
// earlier version of the program) counts as absent, and the file as up to date. Frames move by
// rename, which keeps their size and time, and every new frame is a new file: so the frames of
// the record found again, in the same order, are the frames the video shows.

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "Projet.h"
#include "platform/FichiersSurs.h"

namespace vp {

inline const QString kNomVideo = QStringLiteral("video.avi");
inline const QString kNomFilm = QStringLiteral("film.avi");
inline const QString kNomSon = QStringLiteral("audio.wav");

// The codec options a video was written with, as the compression dialog gave them.
struct CodecVideo {
    quint32 fcc = 0;
    quint32 qualite = 0;
    quint32 imagesCles = 0;
    quint32 octetsParSeconde = 0;
    quint32 drapeaux = 0;
    bool operator==(const CodecVideo&) const = default;
};

// Everything the video command asked for: enough to make the same video again without a dialog.
struct ReglagesVideo {
    qint32 imagesParSeconde = 0;
    qint32 largeur = 0;
    qint32 hauteur = 0;
    CodecVideo codec;
    bool operator==(const ReglagesVideo&) const = default;
};

struct ReleveFilm {
    IdentiteFichier fichier;  // the made file
    qint64 execution = 0;     // the history's next run when it was made
    ReglagesVideo reglages;
    std::optional<IdentiteFichier> son;  // the film's sound track, when known
    std::vector<IdentiteFichier> images;
};

// The history's next run: the open history's, else the journal's on disk (1 without one).
qint64 prochaineExecution(const ProjetCourant& p);

// The film as it is now: its frames and the history's next run.
ReleveFilm releverFilm(const ProjetCourant& p);

QByteArray ecrireTexteReleve(const ReleveFilm& r);
// None when the text is not a record (damaged, or of a later version).
std::optional<ReleveFilm> lireTexteReleve(const QByteArray& octets);

// Writes `r` as the record of the project's file `nom` ("video.avi"), taking the file's own
// size and time from the disk. Raises Erreur when it cannot be written.
void ecrireReleve(const ProjetCourant& p, const QString& nom, ReleveFilm r);
// The record of the project's file `nom`, when there is one about that very file.
std::optional<ReleveFilm> lireReleve(const ProjetCourant& p, const QString& nom);
// The film just mixed gets the record of the video it was made from, with the sound track as it
// is now; without a record of the video, the film has none either. Never raises: a record is
// only a help.
void releverMixage(const ProjetCourant& p);

// How many frames differ between two films: the frames of `apres` that are new or out of the
// order they had in `avant`, plus the frames of `avant` that are gone. An undo back to `avant`
// gives 0; deleting one frame of the middle gives 1, not every frame after it.
qint32 imagesDifferentes(const std::vector<IdentiteFichier>& avant,
                         const std::vector<IdentiteFichier>& apres);

// « 1 image modifiée », « 3 images modifiées ».
QString texteImagesModifiees(qint32 n);

// The frames changed since the project's file `nom` was made: 0 without a usable record, or
// when no frame command has run since.
qint32 imagesModifiees(const ProjetCourant& p, const QString& nom);

// True when "audio.wav" is not the sound track the film was mixed with (false without a record
// that says which it was, or without a sound track now).
bool bandeSonChangee(const ProjetCourant& p);

}  // namespace vp
