// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "sequence/Projet.h"

class QWidget;

namespace vp {

class DialogueEnregistrementSon;

inline const QString kFiltreWav = QStringLiteral("Fichiers WAV|*.wav");
inline const QString kPasUnWav = QStringLiteral(
    "Ce fichier n'est pas un son WAV : il est devenu la bande-son du projet, mais le film ne "
    "pourra pas l'utiliser. Enregistrez ou importez une vraie bande-son avant de mixer.");
inline const QString kSonInutilisable =
    QStringLiteral("Cette bande-son a été importée, mais le film ne pourra pas l'utiliser :");

// The sound-track commands of the main window. The caller has made the program folder the
// working directory and checked that a project is open. Failed copies raise Erreur.

// Opens the recording window, once the project has its video.
void enregistrerBandeSon(const ProjetCourant& p, DialogueEnregistrementSon& fenetre,
                         QWidget* parent);
// Opens "audio.wav" with the user's program; does not wait.
void ecouterBandeSon(const ProjetCourant& p, QWidget* parent);
// Copies a WAV file chosen by the user over "audio.wav", once the user has agreed.
void importerBandeSon(const ProjetCourant& p, QWidget* parent);
// Copies "audio.wav" where the user chooses.
void copierBandeSon(const ProjetCourant& p, QWidget* parent);

}  // namespace vp
