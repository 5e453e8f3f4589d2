// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
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

// The samples of a WAV file whose header was read, a piece at a time from the first one.
class LectureWav {
public:
    // Raises ErreurFilm when the file cannot be read.
    LectureWav(const std::string& chemin, const SonWav& son);
    bool fini() const { return lus_ >= son_.taille; }
    // Index of the next sample frame.
    int64_t trameSuivante() const { return static_cast<int64_t>(lus_ / son_.alignement); }
    // Reads up to `trames` sample frames (son.alignement bytes each) into `destination` and
    // returns how many it read; raises ErreurFilm when the file is shorter than its header says.
    int64_t lire(void* destination, int64_t trames);

private:
    struct Fermer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    [[noreturn]] void echec(int erreur);
    std::string chemin_;
    SonWav son_;
    std::unique_ptr<std::FILE, Fermer> fichier_;
    uint64_t lus_ = 0;
};

}  // namespace vp
