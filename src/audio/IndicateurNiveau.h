// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

#include "Flux.h"

namespace vp {

// A pass-through filter that computes, on the way, a coarse 32-band spectrum of the sound in
// decibel-like units: 20 × mean(max(0, log10 |X[k]|)) over 64-sample blocks, for the
// normalised 64-point spectrum X of each block weighted by the first 64 entries of a
// 1024-point Hann window. A reader takes the values (and clears them) with ReadLevels.
class TSoundIndicator : public TACSConverter {
public:
    static constexpr int kBandes = 32;

    TSoundIndicator();
    ~TSoundIndicator() override;

    int BitsPerSample() override;
    int Channels() override;
    int SampleRate() override;
    int GetData(void* Buffer, int BufferSize) override;
    void Init() override;
    void Flush() override;

    void ReadLevels(std::array<double, kBandes>& Values);

private:
    TACSInput& entree();
    void analyser(const unsigned char* octets, int n);

    // The format of the stream in progress, taken at Init: the analysis does not read the
    // input's settings, which the window may change for the next stream.
    int bits_ = 16;
    int canaux_ = 2;
    Garde LevelsGuard;
    std::array<double, 1024> fenetre_;
    std::array<double, kBandes> bandes_{};
};

}  // namespace vp
