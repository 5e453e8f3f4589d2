// SPDX-License-Identifier: GPL-3.0-or-later
// The project-file reader on any bytes; and a title written into them reads back unchanged.

#include <cstddef>
#include <cstdint>

#include "platform/Profil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille) {
    const QByteArray octets = QByteArray::fromRawData(reinterpret_cast<const char*>(donnees),
                                                      static_cast<qsizetype>(taille));
    const QString section = QStringLiteral("GENERAL");
    const QString cle = QStringLiteral("titre");
    vp::lireProfil(QString(), section, cle, QString());  // a missing file: the default
    vp::lireProfilTexte(octets, section, cle, QStringLiteral("*no*"));
    vp::lireProfilTexte(octets, QStringLiteral("autre"), QStringLiteral("clé"), QString());
    const QString titre = QStringLiteral("Le Château de l'île");
    const QByteArray reecrit = vp::profilModifie(octets, section, cle, titre);
    if (vp::lireProfilTexte(reecrit, section, cle, QString()) != titre) __builtin_trap();
    return 0;
}
