#include "Programme.h"

#include "DialogueNouveauProjet.h"
#include "DialogueOuvrirProjet.h"
#include "DialogueReglagesVideo.h"
#include "FenetrePrincipale.h"
#include "bandeson/DialogueEnregistrementSon.h"

namespace vp {

std::unique_ptr<FenetrePrincipale> creerFenetres() {
    auto form1 = std::make_unique<FenetrePrincipale>();
    auto* nouveau = new DialogueNouveauProjet(form1->projet, form1.get());
    auto* ouvrir = new DialogueOuvrirProjet(form1->projet, form1.get());
    auto* video = new DialogueReglagesVideo(form1->projet, form1.get());
    form1->relierDialogues(nouveau, ouvrir, video);
    form1->fenetreSon = new DialogueEnregistrementSon(form1->projet, form1.get());
    return form1;
}

}  // namespace vp
