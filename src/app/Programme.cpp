// SPDX-License-Identifier: GPL-3.0-or-later
#include "Programme.h"

#include "DialogueDossierProjets.h"
#include "DialogueNouveauProjet.h"
#include "DialogueOuvrirProjet.h"
#include "DialogueReglagesVideo.h"
#include "FenetrePrincipale.h"
#include "bandeson/DialogueEnregistrementSon.h"

namespace vp {

std::unique_ptr<FenetrePrincipale> creerFenetres() {
    auto fenetre = std::make_unique<FenetrePrincipale>();
    auto* nouveau = new DialogueNouveauProjet(fenetre->projet, fenetre.get());
    auto* ouvrir = new DialogueOuvrirProjet(fenetre->projet, fenetre.get());
    auto* video = new DialogueReglagesVideo(fenetre->projet, fenetre.get());
    fenetre->relierDialogues(nouveau, ouvrir, video);
    fenetre->fenetreSon = new DialogueEnregistrementSon(fenetre->projet, fenetre.get());
    auto* dossierProjets = new DialogueDossierProjets(fenetre->projet, fenetre.get());
    nouveau->dialogueDossierProjets = ouvrir->dialogueDossierProjets = dossierProjets;
    return fenetre;
}

}  // namespace vp
