// SPDX-License-Identifier: GPL-3.0-or-later
#include "SortieNulle.h"

#include <chrono>

namespace vp {

TNULLOut::~TNULLOut() {
    TerminerTravailleur();
}

void TNULLOut::Prepare() {
    if (!Input()) throw EACSException("Input is not assigned.");
    Input()->Init();
}

bool TNULLOut::PumpStep(bool Abort) {
    if (!Busy) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // idle without spinning
        return true;
    }
    if (Abort || !OutputReady) return false;
    int progression;
    {
        GardePrise prise(InputGuard);
        TACSInput* i = Input();
        if (!i) return false;  // unplugged: the stream ends here
        if (i->GetData(tampon_, sizeof tampon_) < 1) return false;
        progression = OnProgress && i->Size > 0 ? progressionDe(i) : LastProgress.load();
    }
    SignalerProgression(progression);
    return true;
}

void TNULLOut::Done() {
    GardePrise prise(InputGuard);
    if (TACSInput* i = Input()) i->Flush();
}

}  // namespace vp
