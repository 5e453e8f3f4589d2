// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vp {

// A sound, whole in memory as the file holds it: interleaved PCM samples.
struct PisteSon {
    enum class Echantillons { U8, S16, S24, S32, F32, F64 };
    Echantillons echantillons = Echantillons::S16;
    int frequence = 0;  // 0: no sound
    int canaux = 0;
    int octetsParTrame = 0;
    std::vector<uint8_t> octets;

    bool vide() const { return frequence == 0 || octets.empty(); }
    int64_t trames() const {
        return octetsParTrame ? static_cast<int64_t>(octets.size()) / octetsParTrame : 0;
    }
    double duree() const { return frequence ? static_cast<double>(trames()) / frequence : 0; }
};

// The PCM sound of `chemin`: a WAV file, or the sound stream of a film. An empty track when the
// file has no sound stream; raises ErreurFilm when it cannot be read or its sound is not PCM.
PisteSon chargerPisteSon(const std::string& chemin);

}  // namespace vp
