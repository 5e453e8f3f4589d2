// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The sound tracks of the benchmarks: 16-bit stereo WAV files at 44,100 Hz.

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace vp::bench {

// Writes `secondes` seconds of the samples `echantillon` gives for each frame and channel.
inline void ecrireWav(const std::string& fichier, int secondes,
                      const std::function<int16_t(uint32_t trame, int canal)>& echantillon) {
    const uint32_t trames = static_cast<uint32_t>(secondes) * 44100;
    const uint32_t octets = trames * 4;
    std::vector<char> son(octets);
    for (uint32_t t = 0; t < trames; ++t)
        for (int c = 0; c < 2; ++c) {
            const auto v = static_cast<uint16_t>(echantillon(t, c));
            son[4 * t + 2 * c] = static_cast<char>(v & 0xFF);
            son[4 * t + 2 * c + 1] = static_cast<char>(v >> 8);
        }
    std::ofstream f(fichier, std::ios::binary);
    const auto ecrire = [&f](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            f.put(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    f << "RIFF";
    ecrire(36 + octets, 4);
    f << "WAVEfmt ";
    ecrire(16, 4);
    ecrire(1, 2);
    ecrire(2, 2);
    ecrire(44100, 4);
    ecrire(44100 * 4, 4);
    ecrire(4, 2);
    ecrire(16, 2);
    f << "data";
    ecrire(octets, 4);
    f.write(son.data(), octets);
}

}  // namespace vp::bench
