// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The film commands of the main window: mixing the video and the sound track into the film
// through the external editor's batch runner, opening the editor's window, and reviewing and
// copying the video and the film. The main window checks that a project is open first.

#include <QString>
#include <functional>

class QWidget;

namespace vp {

struct ProjetCourant;

inline const QString kVideoAbsente = QStringLiteral("Vous devez d'abord créer le fichier vidéo !");
inline const QString kSonAbsent = QStringLiteral("Vous devez d'abord enregistrer la bande son !");
inline const QString kFilmNonMixe = QStringLiteral("Vous devez d'abord mixer le film !");
inline const QString kFilmAbsent = QStringLiteral("Vous devez d'abord créer le film du projet !");

// The editor's batch runner and windowed program, in the program folder.
QString programmeMixage(const ProjetCourant& p);
QString programmeEditeur(const ProjetCourant& p);

// Writes the project's script "dub.vcf" (opening the video; then the sound track and the film
// when asked) in one step, and returns its path.
QString ecrireScript(const ProjetCourant& p, bool avecSon, bool avecFilm);

// Writes the script, runs the batch runner on it and waits for it (`pendantAttente` keeps the
// window painted meanwhile), then opens the new film with the user's player unless `ouvrir` is
// false. A runner that could not start, failed, or left no new film is reported with its own
// message. The film gets the record of the video it was mixed from (Fraicheur.h). False when a
// step is missing (its warning was shown).
bool mixerFilm(const ProjetCourant& p, QWidget* fenetre,
               const std::function<void()>& pendantAttente, bool ouvrir = true);
// Opens the video, with the sound track when there is one, in the editor's window; `fenetre`
// is hidden until the editor is closed.
void ouvrirEditeur(const ProjetCourant& p, QWidget* fenetre,
                   const std::function<void()>& pendantAttente);

void revoirVideo(const ProjetCourant& p, QWidget* fenetre);
void revoirFilm(const ProjetCourant& p, QWidget* fenetre);
// Copies the file to a place the user chooses, replacing a file of that name.
void copierVideo(const ProjetCourant& p, QWidget* fenetre);
void copierFilm(const ProjetCourant& p, QWidget* fenetre);

}  // namespace vp
