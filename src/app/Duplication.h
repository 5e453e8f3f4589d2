// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

#include "sequence/Projet.h"

namespace vp {

// What a folder copy could not do.
struct RapportCopie {
    int echecs = 0;
    QString premierEchec;  // the first file that could not be copied
    QString raison;        // and why
    // A frame or the project file of the top folder failed: the copy would not be the film.
    bool filmIncomplet = false;
};

// Copies the folder `source` into `destination` (created when missing), with every file and
// subfolder except the subfolders whose name begins with "."; files are real copies.
// `apresChaque` runs after each entry, so that the window can stay painted.
void copierDossier(const QString& source, const QString& destination, RapportCopie& rapport,
                   const std::function<void()>& apresChaque = {});

inline const QString kCopieFaite = QStringLiteral("La copie du projet a été effectuée.");

// Copies the current project into the first free folder <folder>_copie_<n> beside it and
// titles the copy "<title> (copie <n>)"; the current project stays open. Returns n.
int dupliquerProjet(const ProjetCourant& p, const std::function<void()>& apresChaque = {});

}  // namespace vp
