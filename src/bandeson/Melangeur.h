// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace vp {

inline const QString kAucunMelangeur = QStringLiteral(
    "Aucun réglage du volume n'est installé sur cet ordinateur.\n"
    "Installez le paquet « pavucontrol » (commande : sudo apt install pavucontrol), "
    "puis réessayez.");

// Starts the desktop's volume mixer without waiting for it: the sound server's own mixer, else
// the desktop's sound settings, else alsamixer in a terminal. When none can be started, says
// which package to install. True when one was started.
bool ouvrirMelangeurVolume(QWidget* parent);

}  // namespace vp
