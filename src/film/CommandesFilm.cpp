// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandesFilm.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include "ScriptVcf.h"
#include "platform/Bureau.h"
#include "platform/Chemins.h"
#include "platform/Curseur.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "sequence/Fraicheur.h"
#include "sequence/Projet.h"

namespace vp {

namespace {

QString video(const ProjetCourant& p) {
    return p.dossierProjet() + QStringLiteral("/video.avi");
}
QString son(const ProjetCourant& p) {
    return p.dossierProjet() + QStringLiteral("/audio.wav");
}
QString film(const ProjetCourant& p) {
    return p.dossierProjet() + QStringLiteral("/film.avi");
}

// The script names the files by their bytes, whatever the folder's name is made of.
std::string natif(const QString& chemin) {
    return octetsDuChemin(chemin).toStdString();
}

// True when `fichier` exists; otherwise the missing step's warning.
bool present(const QString& fichier, QWidget* fenetre, const QString& avertissement) {
    if (fichierExiste(fichier)) return true;
    dialogues().message(fenetre, avertissement, Icone::Avertissement);
    return false;
}

// Runs `programme` on the script and waits for it. The program and its arguments go as they
// are, never through a command line to split again: any folder name reaches it whole.
FinProgramme lancerSurLeScript(const QString& programme, const QString& script,
                               const std::function<void()>& pendantAttente) {
    return bureau().lancerEtAttendre(programme, {QStringLiteral("/s"), script}, pendantAttente);
}

void copier(const QString& fichier, QWidget* fenetre) {
    const QString choisi = dialogues().enregistrerFichier(
        fenetre, QStringLiteral("Fichiers AVI|*.avi"), QStringLiteral("avi"));
    if (choisi.isEmpty()) return;
    CurseurOccupe curseur;
    copierAtomique(fichier, QFileInfo(choisi).absoluteFilePath());
    synchroniserDossier(QFileInfo(choisi).absolutePath());
}

}  // namespace

QString programmeMixage(const ProjetCourant& p) {
    return p.repProgramme + QStringLiteral("virtualdub/vdub");
}

QString programmeEditeur(const ProjetCourant& p) {
    return p.repProgramme + QStringLiteral("virtualdub/virtualdub");
}

QString ecrireScript(const ProjetCourant& p, bool avecSon, bool avecFilm) {
    ScriptVcf script;
    script.video = natif(video(p));
    if (avecSon) script.son = natif(son(p));
    if (avecFilm) script.film = natif(film(p));
    const QString chemin = p.dossierProjet() + QStringLiteral("/dub.vcf");
    ecrireAtomique(chemin, QByteArray::fromStdString(ecrireScriptVcf(script)));
    synchroniserDossier(p.dossierProjet());
    return chemin;
}

bool mixerFilm(const ProjetCourant& p, QWidget* fenetre,
               const std::function<void()>& pendantAttente, bool ouvrir) {
    if (!present(video(p), fenetre, kVideoAbsente) || !present(son(p), fenetre, kSonAbsent))
        return false;
    const QString script = ecrireScript(p, true, true);
    const qint64 ecrit = identiteFichier(script).dateNs;
    FinProgramme fin;
    {
        CurseurOccupe curseur;
        fin = lancerSurLeScript(programmeMixage(p), script, pendantAttente);
    }
    if (!fin.demarre)
        throw Erreur(QStringLiteral("Le mixage du film a échoué : le programme de mixage « %1 » "
                                    "n'a pas pu être lancé.")
                         .arg(QDir::toNativeSeparators(programmeMixage(p))));
    // Only a film written by this run is shown, never an older one.
    const IdentiteFichier nouveau = identiteFichier(film(p));
    if (!fin.reussi() || nouveau.taille < 0 || nouveau.dateNs < ecrit)
        throw Erreur(
            QStringLiteral("Le mixage du film a échoué.\n") +
            (fin.erreurs.isEmpty()
                 ? QStringLiteral("Le programme de mixage s'est arrêté sans écrire le film.")
                 : fin.erreurs));
    // The film's new name stays through a power cut before it is shown as done.
    synchroniserDossier(p.dossierProjet());
    releverMixage(p);
    if (ouvrir) bureau().ouvrirDocument(film(p));
    return true;
}

void ouvrirEditeur(const ProjetCourant& p, QWidget* fenetre,
                   const std::function<void()>& pendantAttente) {
    if (!present(video(p), fenetre, kVideoAbsente)) return;
    const QString script = ecrireScript(p, fichierExiste(son(p)), false);
    FinProgramme fin;
    {
        // The window comes back however the editor ends.
        struct Remontrer {
            QWidget* fenetre;
            ~Remontrer() {
                fenetre->show();
                fenetre->activateWindow();
            }
        } remontrer{fenetre};
        fenetre->hide();
        fin = lancerSurLeScript(programmeEditeur(p), script, pendantAttente);
    }
    if (!fin.demarre)
        throw Erreur(QStringLiteral("L'éditeur « %1 » n'a pas pu être lancé.")
                         .arg(QDir::toNativeSeparators(programmeEditeur(p))));
}

void revoirVideo(const ProjetCourant& p, QWidget* fenetre) {
    if (present(video(p), fenetre, kVideoAbsente)) bureau().ouvrirDocument(video(p));
}

void revoirFilm(const ProjetCourant& p, QWidget* fenetre) {
    if (present(film(p), fenetre, kFilmNonMixe)) bureau().ouvrirDocument(film(p));
}

void copierVideo(const ProjetCourant& p, QWidget* fenetre) {
    if (present(video(p), fenetre, kVideoAbsente)) copier(video(p), fenetre);
}

void copierFilm(const ProjetCourant& p, QWidget* fenetre) {
    if (present(film(p), fenetre, kFilmAbsent)) copier(film(p), fenetre);
}

}  // namespace vp
