// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <alsa/asoundlib.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "audio/EntreeOnde.h"

namespace vp {

// What the sound card's own clock says at one moment (snd_pcm_status): its state, the frames
// it has captured that the reader has not taken, and when it was last started or stopped
// (the trigger time stamp; while overrun, the instant of the overrun on a kernel device, the
// last start's on a sound server's plugin), and when it said all that (on the clock of its
// stamps). Zero: not known.
struct HorlogePcm {
    snd_pcm_state_t etat = SND_PCM_STATE_OPEN;
    int64_t disponibles = 0;
    std::chrono::nanoseconds declenchement{0};
    std::chrono::nanoseconds instant{0};
};

// The calls the capture loop makes on its PCM. A test wraps them to play a sound card that
// overruns or refuses to start, which ALSA's software devices never do.
class AppelsPcm {
public:
    virtual ~AppelsPcm() = default;
    virtual int preparer(snd_pcm_t* pcm) { return snd_pcm_prepare(pcm); }
    virtual int demarrer(snd_pcm_t* pcm) { return snd_pcm_start(pcm); }
    virtual snd_pcm_state_t etat(snd_pcm_t* pcm) { return snd_pcm_state(pcm); }
    virtual int attendre(snd_pcm_t* pcm, int ms) { return snd_pcm_wait(pcm, ms); }
    virtual snd_pcm_sframes_t lire(snd_pcm_t* pcm, void* tampon, snd_pcm_uframes_t trames) {
        return snd_pcm_readi(pcm, tampon, trames);
    }
    virtual int recuperer(snd_pcm_t* pcm, int erreur) { return snd_pcm_recover(pcm, erreur, 1); }
    virtual int horloge(snd_pcm_t* pcm, HorlogePcm& h);
};

// The sound card through ALSA. Device 0 is "default" (the microphone the desktop's sound
// server offers); the others are the capture devices of ALSA's device hints.
class PiloteAlsa final : public PiloteEntree {
public:
    PiloteAlsa();
    // Devices defined by `configuration`, an ALSA configuration text ("pcm.default { … }
    // pcm.autre { … }") used instead of the system's: device 0 is its "default", the others
    // its other PCMs in order. `appels` stands for the PCM calls of the capture loop.
    PiloteAlsa(const std::string& configuration, std::shared_ptr<AppelsPcm> appels);
    ~PiloteAlsa() override;

    int nombrePeripheriques() override;
    std::string nomPeripherique(int index) override;
    std::unique_ptr<PeripheriqueEntree> ouvrir(int index, const FormatOnde& format,
                                               RappelOnde rappel) override;

private:
    std::vector<std::string> autresPeripheriques();

    std::shared_ptr<snd_config_t> configuration_;  // null: the system's
    std::shared_ptr<AppelsPcm> appels_;
};

}  // namespace vp
