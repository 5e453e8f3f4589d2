#pragma once

#include <QString>

namespace vp {

// Folder paths held in variables end with the separator.
QString avecSeparateur(const QString& dossier);
QString sansSeparateur(const QString& dossier);

// The process's working directory, with its trailing separator.
QString repertoireCourant();
// Makes `dossier` the working directory; raises Erreur naming it when that fails.
void changerRepertoire(const QString& dossier);

// The user's documents folder (empty when the desktop does not give one).
QString dossierDocuments();

bool fichierExiste(const QString& chemin);
bool dossierExiste(const QString& chemin);

}  // namespace vp
