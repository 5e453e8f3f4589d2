// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>

namespace vp {

// Profile strings (INI files) as Windows reads and writes them: one key at a time, section
// and key names compared without regard to case, surrounding blanks and quotes of a value
// removed on reading.

// The value of `cle` in `section` of `fichier`, or `defaut` when the file, the section or the
// key is missing.
QString lireProfil(const QString& fichier, const QString& section, const QString& cle,
                   const QString& defaut);

// The same, from the contents of a profile file already read.
QString lireProfilTexte(const QByteArray& contenu, const QString& section, const QString& cle,
                        const QString& defaut);

// Sets `cle` = `valeur` in `section`, creating the file and the section when needed and
// keeping every other line. The file is replaced atomically; raises Erreur naming the file
// when it cannot be written (for instance when its folder does not exist).
void ecrireProfil(const QString& fichier, const QString& section, const QString& cle,
                  const QString& valeur);

// The bytes of a profile file once `cle` = `valeur` is set in `section` (see ecrireProfil).
QByteArray profilModifie(const QByteArray& octets, const QString& section, const QString& cle,
                         const QString& valeur);

// What the program remembers from one run to the next (the camera chosen, the shooting and
// recording settings): the user's settings file, ~/.config/voltiplume/voltiplume.conf.
QSettings reglagesProgramme();

// Text of a file: UTF-8 when its bytes are valid UTF-8, otherwise Windows-1252, which is what
// projects made on Windows hold.
QString decoderTexte(const QByteArray& octets);

}  // namespace vp
