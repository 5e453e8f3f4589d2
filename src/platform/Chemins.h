// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace vp {

// Names on disk are bytes. Most are UTF-8, but a folder unzipped from a zip made on another
// system, or kept on an old stick, may be named in Latin-1 or Windows-1252. Such a name is held
// in a QString with each byte that is not UTF-8 as the lone surrogate U+DC80 + byte, so that a
// path built from it names the same file again, and two such names never merge into one. Every
// path the program hands to the system goes through octetsDuChemin.
QString cheminDepuisOctets(const QByteArray& octets);
QByteArray octetsDuChemin(const QString& chemin);
// The name as a person reads it: the bytes that are not UTF-8 taken as Windows-1252.
QString cheminLisible(const QString& chemin);
// Windows-1252 text (Latin-1 but for 0x80..0x9F).
QString decoderCp1252(const QByteArray& octets);

// Folder paths held in variables end with the separator.
QString avecSeparateur(const QString& dossier);
QString sansSeparateur(const QString& dossier);
// The folder holding `chemin`, with its separator ("./" for a bare name).
QString dossierParent(const QString& chemin);

// The process's working directory, with its trailing separator.
QString repertoireCourant();
// Makes `dossier` the working directory; raises Erreur naming it when that fails.
void changerRepertoire(const QString& dossier);

// The user's documents folder (empty when the desktop does not give one).
QString dossierDocuments();

bool fichierExiste(const QString& chemin);
bool dossierExiste(const QString& chemin);

}  // namespace vp
