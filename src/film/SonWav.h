#pragma once

#include <cstdint>
#include <string>

namespace vp {

// The PCM sound of a WAV file: its format and where its samples lie.
struct SonWav {
    bool flottant = false;  // IEEE float samples, else integers
    int canaux = 0;
    int frequence = 0;
    int bits = 0;               // bits per sample: 8, 16, 24, 32 (or 64 for floats)
    int alignement = 0;         // bytes per sample frame
    uint64_t masqueCanaux = 0;  // the speakers of the channels, when the file names them
    uint64_t debut = 0;         // offset of the first sample byte
    uint64_t taille = 0;        // bytes of whole sample frames
};

// Reads the header of the WAV file `chemin`. Raises ErreurFilm when it is not a WAV file, when
// its sound is not PCM (integers or floats), when its header is inconsistent, when it holds
// no sound, or when it is shorter than its header says (a truncated file).
SonWav lireEnteteWav(const std::string& chemin);

}  // namespace vp
