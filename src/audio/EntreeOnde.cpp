// SPDX-License-Identifier: GPL-3.0-or-later
#include "EntreeOnde.h"

#include <cstdlib>
#include <cstring>

#include "alsa/EntreeAlsa.h"
#include "simule/MicroSimule.h"

namespace vp {

namespace {

std::unique_ptr<PiloteEntree>& installe() {
    static std::unique_ptr<PiloteEntree> pilote;
    if (!pilote) {
        const char* micro = std::getenv("VOLTIPLUME_MICRO");
        if (micro && std::strcmp(micro, "simule") == 0)
            pilote = std::make_unique<PiloteMicroSimule>();
        else
            pilote = std::make_unique<PiloteAlsa>();
    }
    return pilote;
}

}  // namespace

PiloteEntree& piloteEntree() {
    return *installe();
}

std::unique_ptr<PiloteEntree> installerPiloteEntree(std::unique_ptr<PiloteEntree> pilote) {
    std::unique_ptr<PiloteEntree> ancien = std::move(installe());
    installe() = std::move(pilote);
    return ancien;
}

}  // namespace vp
