// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vp {

struct PisteSon;

// Plays a sound track on a sound card; its position is the clock the pictures follow.
class SortieSon {
public:
    virtual ~SortieSon() = default;
    // Plays the track from sample frame `debut` on, until its end or arreter().
    virtual void jouer(int64_t debut) = 0;
    virtual void arreter() = 0;
    // The sample frame heard now: it stays at `debut` until the card really starts playing.
    virtual int64_t position() = 0;
};

// Opens a sound output for `piste`; nullptr, with the reason in `erreur`, when there is none.
using OuvrirSortieSon =
    std::function<std::unique_ptr<SortieSon>(const PisteSon& piste, std::string& erreur)>;

// The sound card's default device through ALSA.
std::unique_ptr<SortieSon> ouvrirSortieAlsa(const PisteSon& piste, std::string& erreur);

}  // namespace vp
