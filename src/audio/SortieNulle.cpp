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
    InputGuard.prendre();
    int n;
    try {
        n = Input()->GetData(tampon_, sizeof tampon_);
    } catch (...) {
        InputGuard.rendre();
        throw;
    }
    InputGuard.rendre();
    if (n < 1) return false;
    if (OnProgress && Input()->Size > 0) SignalerProgression();
    return true;
}

void TNULLOut::Done() {
    if (Input()) Input()->Flush();
}

}  // namespace vp
