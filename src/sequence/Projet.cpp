// SPDX-License-Identifier: GPL-3.0-or-later
#include "Projet.h"

#include <QApplication>
#include <QDir>

#include "platform/Chemins.h"
#include "platform/Dialogues.h"

namespace vp {

bool verifierProjet(const ProjetCourant& p) {
    if (p.titreProjet.isEmpty()) {
        dialogues().message(QApplication::activeWindow(), kMessageGarde, Icone::Aucune);
        return false;
    }
    // A folder moved or deleted behind the program's back (a USB stick pulled out): the
    // command would fail half-way on its files.
    if (!dossierExiste(p.dossierProjet())) {
        dialogues().message(QApplication::activeWindow(),
                            kDossierProjetIntrouvable.arg(
                                QDir::toNativeSeparators(cheminLisible(p.dossierProjet()))),
                            Icone::Avertissement);
        return false;
    }
    return true;
}

}  // namespace vp
