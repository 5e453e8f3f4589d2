// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line splitter on any line; and the round trip: a program and arguments (the
// input cut at its null bytes), quoted as the program quotes them, split back unchanged.

#include <cstddef>
#include <cstdint>

#include <QString>
#include <QStringList>

#include "platform/Bureau.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille) {
    const QByteArray octets = QByteArray::fromRawData(reinterpret_cast<const char*>(donnees),
                                                      static_cast<qsizetype>(taille));
    // Read as UTF-8, and as UTF-16 so that unpaired surrogates come too.
    const QString lignes[] = {
        QString::fromUtf8(octets),
        QString(reinterpret_cast<const QChar*>(donnees), static_cast<qsizetype>(taille / 2))};
    for (const QString& ligne : lignes) {
        // The program's name always comes first, even from a blank line.
        if (vp::decouperLigneCommande(ligne).isEmpty()) __builtin_trap();

        QStringList mots = ligne.split(QChar(u'\0'));
        // The program's name is written between quotes, which it cannot hold.
        mots[0].remove(QLatin1Char('"'));
        QString construite = QLatin1Char('"') + mots[0] + QLatin1Char('"');
        for (qsizetype i = 1; i < mots.size(); ++i)
            construite += QLatin1Char(' ') + vp::citerArgument(mots[i]);
        if (vp::decouperLigneCommande(construite) != mots) __builtin_trap();
    }
    return 0;
}
