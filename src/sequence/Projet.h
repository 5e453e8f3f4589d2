// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <memory>
#include <utility>

namespace vp {

class Historique;

// The current project: one record owned by the main window, read and written by the commands.
struct ProjetCourant {
    QString repProjets;    // projects folder, with its trailing separator
    QString repProgramme;  // program folder, with its trailing separator
    QString titreProjet;   // empty while no project is open
    QString nomDossier;    // the project's folder name, a single path component
    qint32 nbImages = 0;
    qint32 imageCourante = -1;
    qint32 selDebut = -1;
    qint32 selFin = -1;
    qint32 posLecture = 0;
    qint32 imagesParSeconde = 15;
    qint32 largeurVideo = 320;
    qint32 hauteurVideo = 240;
    bool dialogueOk = false;
    QImage bmpTravail1;  // the current frame at 320 x 240, for the onion skin
    QImage bmpTravail2;  // the last camera picture at 320 x 240
    // The history of the project's frame commands (Historique.h); null until it is opened.
    std::shared_ptr<Historique> historique;

    // The project folder, without a trailing separator.
    QString dossierProjet() const { return repProjets + nomDossier; }
    bool selectionExiste() const { return selDebut != -1 && selFin != -1; }
    // The selection the commands act on: the marked one with its end brought back to the last
    // frame (single frames deleted since it was marked); {-1, -1} when none of it is left.
    std::pair<qint32, qint32> selectionUtile() const {
        if (!selectionExiste()) return {-1, -1};
        const qint32 fin = std::min(selFin, nbImages - 1);
        if (selDebut > fin) return {-1, -1};
        return {selDebut, fin};
    }
};

inline const QString kMessageGarde =
    QStringLiteral("Commencez par créer un nouveau projet,\nou bien ouvrir un projet existant!");

inline const QString kDossierProjetIntrouvable = QStringLiteral(
    "Le dossier du projet « %1 » est introuvable : il a été déplacé, renommé ou supprimé. "
    "Remettez-le à sa place, ou ouvrez un autre projet.");

// The guard of the project commands: true when a project is open and its folder is there,
// otherwise shows the guard message (or says that the folder has gone) and returns false.
bool verifierProjet(const ProjetCourant& p);

}  // namespace vp
