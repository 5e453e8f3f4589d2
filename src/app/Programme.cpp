#include "Programme.h"

#include "DialogueDossierProjets.h"
#include "DialogueNouveauProjet.h"
#include "DialogueOuvrirProjet.h"
#include "DialogueReglagesVideo.h"
#include "FenetrePrincipale.h"

namespace vp {

std::unique_ptr<FenetrePrincipale> creerFenetres() {
    auto form1 = std::make_unique<FenetrePrincipale>();
    auto* nouveau = new DialogueNouveauProjet(form1->projet, form1.get());
    auto* ouvrir = new DialogueOuvrirProjet(form1->projet, form1.get());
    auto* video = new DialogueReglagesVideo(form1->projet, form1.get());
    form1->relierDialogues(nouveau, ouvrir, video);
    auto* dossierProjets = new DialogueDossierProjets(form1->projet, form1.get());
    nouveau->dialogueDossierProjets = ouvrir->dialogueDossierProjets = dossierProjets;
    return form1;
}

}  // namespace vp
