// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The project journal: the frame commands of the history, each described by the few numbers
// from which its moves follow, and the command under way. It lives in the hidden folder
// kDossierHistorique of the project, as the text file "journal":
//
//   VOLTIPLUME historique 1
//   suivant <id of the next step> <number of the next run>
//   operation <run> <step id> faire|defaire          (or "operation -" when none is under way)
//   etape <id> faite|annulee <type> <position> <debut> <fin> <octets> <avant> <apres>
//
// where <avant> and <apres> are the record before and after the step, four numbers each
// (nbImages imageCourante selDebut selFin). Steps go from the oldest; the ones undone come last.
//
// A run moves each frame file at most once per phase, always onto a free name, in the order of
// its plan; a reversal has two phases, with a mark file between them. So after a kill or a power
// cut the files tell how far the run went: the first move of the phase whose destination is free
// is the next one to make.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace vp {

inline constexpr char kDossierHistorique[] = ".voltiplume-historique";

// The longest film a journal may describe: a damaged journal never makes a plan of billions of
// moves.
inline constexpr qint32 kImagesMaxJournal = 1000000;

enum class TypeCommande : int {
    Photo = 0,                 // a new frame after `position`
    CopieImage = 1,            // a copy of frame `position`, after it
    SuppressionImage = 2,      // frame `debut` (= `fin`) leaves the film
    CopieSelection = 3,        // copies of `debut`..`fin`, after `position`
    InversionSelection = 4,    // `debut`..`fin` in the other order
    DuplicationSelection = 5,  // each frame of `debut`..`fin` twice in a row
    SuppressionSelection = 6,  // `debut`..`fin` leave the film
};

// The part of the record a frame command changes, shown again when it is undone or redone.
struct EtatFilm {
    qint32 nbImages = 0;
    qint32 imageCourante = -1;
    qint32 selDebut = -1;
    qint32 selFin = -1;
};

// One frame command of the history.
struct Etape {
    qint64 id = 0;
    TypeCommande type = TypeCommande::Photo;
    qint32 position = -1;
    qint32 debut = -1;
    qint32 fin = -1;
    qint64 octets = 0;  // the size of the frames it adds to the film or takes from it
    EtatFilm avant, apres;
    bool faite = true;  // false once undone

    // Frames it writes before its moves (a picture, copies), kept while it is undone.
    qint32 nouvelles() const;
    // Frames it takes out of the film, kept while it is done.
    qint32 retirees() const;
};

// One move of a plan: a frame index (>= 0), or the kept file k of the step (-1 - k).
struct Mouvement {
    qint32 source;
    qint32 destination;
};
using Phase = std::vector<Mouvement>;

// The moves that carry the film from `e.avant` to `e.apres` (or back, for `defaire`).
std::vector<Phase> planDe(const Etape& e, bool defaire);

// "image_00042.bmp": the name of frame i (at least five digits, more past 99999).
QByteArray nomFichierImage(qint32 i);
// The name of frame `numero`, or of the step's kept file, relative to the project folder.
QByteArray nomDeplacement(const Etape& e, qint32 numero);
// The kept files of step `id` are named "<kDossierHistorique>/e<id>_<k>.bmp".
QByteArray nomConserve(qint64 id, qint32 k);

// A label for the history: « Suppression de 10 images ».
QString libelle(const Etape& e);

struct Journal {
    struct Operation {
        qint64 execution = 0;
        qint64 etape = 0;
        bool defaire = false;
    };
    qint64 suivant = 1;    // id of the next step
    qint64 execution = 1;  // number of the next run
    std::optional<Operation> enCours;
    std::vector<Etape> etapes;

    const Etape* etape(qint64 id) const;
};

QByteArray ecrireJournal(const Journal& j);
// The journal written in `octets`; none when it is not one (damaged, or of a later version).
std::optional<Journal> lireJournal(const QByteArray& octets);

}  // namespace vp
