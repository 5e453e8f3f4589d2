// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

#include "audio/EntreeOnde.h"

namespace vp {

// What the simulated microphone delivers, and how tests make it misbehave.
struct ReglagesMicroSimule {
    // Rampe: sample frame n holds n modulo 65536 (as a signed 16-bit value) in every channel,
    // so that a reader can tell a lost, doubled or misplaced buffer. Horloge: sample frame n
    // holds the millisecond of the steady clock at which the microphone heard it (modulo
    // 65536), so that a reader can tell when each sound was heard. Parole: the tone in
    // syllables of changing loudness with short silences, as a voice draws on a waveform.
    enum class Signal { Sinus, Silence, Constante, Rampe, Horloge, Parole };
    std::atomic<Signal> signal{Signal::Sinus};
    std::atomic<int> frequence{440};   // Hz, for the tone
    std::atomic<int> amplitude{8000};  // of the tone, on the 16-bit scale
    std::atomic<int> constante{0};     // the constant sample value (16-bit scale)
    std::atomic<bool> rapide{false};   // buffers as fast as possible instead of in real time
    std::atomic<bool> refuserOuverture{false};
    std::atomic<bool> muet{false};  // stops giving buffers back
    std::atomic<int> peripheriques{1};
    // Like a plain ALSA device with no sound server in front: while it is open, a second open
    // is refused as busy.
    std::atomic<bool> exclusif{false};
    // Like a sound card: the device holds at most `capaciteMs` of sound its reader has not
    // taken; a reader that comes back later finds all of it lost, and the device goes on from
    // the present, telling with the next buffer how much it lost. Off, the device waits for
    // its reader and never loses anything.
    std::atomic<bool> pertes{false};
    std::atomic<int> capaciteMs{500};
    // The machine stalls once: when the device has captured `hoquetApresMs` of sound, its
    // reader takes no buffer for `hoquetDureeMs` (in fast mode the device's clock jumps by
    // that much instead). Negative: no stall.
    std::atomic<int> hoquetApresMs{-1};
    std::atomic<int> hoquetDureeMs{0};
    // The device's crystal runs this many millionths fast (negative: slow) against the
    // computer's clock, as a real card's does: sample n is heard n / (rate × (1 + ppm / 10⁶))
    // seconds after the start.
    std::atomic<int> derivePpm{0};
    void reinitialiser() {
        signal = Signal::Sinus;
        frequence = 440;
        amplitude = 8000;
        constante = 0;
        rapide = false;
        refuserOuverture = false;
        muet = false;
        peripheriques = 1;
        exclusif = false;
        pertes = false;
        capaciteMs = 500;
        hoquetApresMs = -1;
        hoquetDureeMs = 0;
        derivePpm = 0;
    }
};
ReglagesMicroSimule& reglagesMicroSimule();

// A simulated microphone: a tone, silence, a constant or a counter, in real time. Each buffer is
// due at an absolute instant computed from the bytes delivered since the start, so the pace never
// strays from the device's own crystal; sample n is heard n / rate seconds after the start (with
// the crystal's error, derivePpm). Each buffer tells when its last frame was heard.
class PiloteMicroSimule final : public PiloteEntree {
public:
    int nombrePeripheriques() override;
    std::string nomPeripherique(int index) override;
    std::unique_ptr<PeripheriqueEntree> ouvrir(int index, const FormatOnde& format,
                                               RappelOnde rappel) override;
};

}  // namespace vp
