#include "Programme.h"

#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

namespace vp {

std::unique_ptr<TForm1> creerFiches() {
    auto form1 = std::make_unique<TForm1>();
    auto* nouveau = new TFnouveau(form1->projet, form1.get());
    auto* ouvrir = new TFouvrir(form1->projet, form1.get());
    auto* video = new TFvideo(form1->projet, form1.get());
    form1->relierFiches(nouveau, ouvrir, video);
    return form1;
}

}  // namespace vp
