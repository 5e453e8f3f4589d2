#pragma once

#include "audio/EntreeOnde.h"

namespace vp {

// The sound card through ALSA. Device 0 is "default" (the microphone the desktop's sound
// server offers); the others are the capture devices of ALSA's device hints.
class PiloteAlsa final : public PiloteEntree {
public:
    int nombrePeripheriques() override;
    std::string nomPeripherique(int index) override;
    std::unique_ptr<PeripheriqueEntree> ouvrir(int index, const FormatOnde& format,
                                               RappelOnde rappel) override;
};

}  // namespace vp
