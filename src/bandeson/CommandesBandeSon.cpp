// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandesBandeSon.h"

#include <QFileInfo>

#include "DialogueEnregistrementSon.h"
#include "film/ErreurFilm.h"
#include "film/SonWav.h"
#include "platform/Bureau.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "platform/FichiersSurs.h"

namespace vp {

namespace {

QString cheminSon(const ProjetCourant& p) {
    return p.dossierProjet() + QStringLiteral("/audio.wav");
}

// A step the command needs is missing: the warning names it, nothing changes.
bool existeSinon(const QString& fichier, const QString& avertissement, QWidget* parent) {
    if (fichierExiste(fichier)) return true;
    dialogues().message(parent, avertissement, Icone::Avertissement);
    return false;
}

bool estUnWav(const QString& fichier) {
    QByteArray debut;
    return lireMorceau(fichier, 0, 12, debut) && debut.size() == 12 && debut.startsWith("RIFF") &&
           debut.mid(8, 4) == "WAVE";
}

// Why the mixing could not use the WAV file `fichier`, as the editor's runner would say it; empty
// when it can.
QString raisonInutilisable(const QString& fichier) {
    try {
        lireEnteteWav(octetsDuChemin(fichier).toStdString());
    } catch (const ErreurFilm& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

}  // namespace

void enregistrerBandeSon(const ProjetCourant& p, DialogueEnregistrementSon& fenetre,
                         QWidget* parent) {
    if (!existeSinon(p.dossierProjet() + QStringLiteral("/video.avi"),
                     QStringLiteral("Vous devez d'abord créer le fichier vidéo !"), parent))
        return;
    dialogues().executer(fenetre);
}

void ecouterBandeSon(const ProjetCourant& p, QWidget* parent) {
    if (!existeSinon(cheminSon(p),
                     QStringLiteral("Vous devez d'abord enregistrer ou importer la bande son!"),
                     parent))
        return;
    bureau().ouvrirDocument(cheminSon(p));
}

void importerBandeSon(const ProjetCourant& p, QWidget* parent) {
    const QString source = dialogues().ouvrirFichier(parent, kFiltreWav);
    if (source.isEmpty()) return;
    if (!dialogues().question(parent,
                              QStringLiteral("ATTENTION, si une bande-son existe pour ce projet,\n"
                                             "elle sera écrasée par la nouvelle. Continuer ?"),
                              Icone::Avertissement))
        return;
    // Written beside it, then renamed: a failed copy leaves the old sound track as it was.
    copierAtomique(source, cheminSon(p));
    synchroniserDossier(p.dossierProjet());
    // Copied as it is; the user learns when the film will not be able to use it, and why.
    if (!estUnWav(cheminSon(p))) {
        dialogues().message(parent, kPasUnWav, Icone::Avertissement);
        return;
    }
    const QString raison = raisonInutilisable(cheminSon(p));
    if (!raison.isEmpty())
        dialogues().message(parent, kSonInutilisable + QLatin1Char('\n') + raison,
                            Icone::Avertissement);
}

void copierBandeSon(const ProjetCourant& p, QWidget* parent) {
    if (!existeSinon(cheminSon(p), QStringLiteral("Vous devez d'abord créer la bande son !"),
                     parent))
        return;
    const QString cible = dialogues().enregistrerFichier(parent, kFiltreWav, QStringLiteral("wav"));
    if (cible.isEmpty()) return;
    copierAtomique(cheminSon(p), QFileInfo(cible).absoluteFilePath());
    synchroniserDossier(QFileInfo(cible).absolutePath());
}

}  // namespace vp
