// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The waveform of a sound track, computed once from its file so that drawing it, zoomed in or
// out, never reads the sound again. Plain C++: it runs on a worker thread and in benchmarks.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "film/SonWav.h"

namespace vp {

struct Enveloppe {
    SonWav son;          // the file's format and where its samples lie
    int64_t trames = 0;  // sample frames of the track
    int tramesParTranche = 1;
    // For each slice of tramesParTranche frames (the last one may be shorter): the lowest and
    // the highest sample of all its channels, on the 16-bit scale.
    std::vector<int16_t> bas, haut;
    int16_t crete = 0;  // the largest magnitude of the whole track

    // The slices, in 5 ms steps.
    static constexpr int kTranchesParSeconde = 200;

    double duree() const { return son.frequence ? static_cast<double>(trames) / son.frequence : 0; }
    size_t tranches() const { return bas.size(); }
};

// The computation was given up (calculerEnveloppe's `abandon` was set).
struct EnveloppeAbandonnee {};

// Reads the WAV file `chemin` once and computes its envelope. Raises ErreurFilm, in French,
// when the file is not a PCM WAV file (the film's own rules) or cannot be read. When `abandon`
// is given and becomes true, gives up between two reads (EnveloppeAbandonnee).
Enveloppe calculerEnveloppe(const std::string& chemin, const std::atomic<bool>* abandon = nullptr);

}  // namespace vp
