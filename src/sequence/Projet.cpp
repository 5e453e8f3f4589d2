#include "Projet.h"

#include <QApplication>

#include "platform/Dialogues.h"

namespace vp {

bool verifierProjet(const ProjetCourant& p) {
    if (!p.titreProjet.isEmpty()) return true;
    dialogues().message(QApplication::activeWindow(), kMessageGarde, Icone::Aucune);
    return false;
}

}  // namespace vp
