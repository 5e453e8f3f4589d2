// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers of the audio tests, in plain C++: the audio framework and its tests build without
// the toolkit (also under ThreadSanitizer).

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/Flux.h"

namespace vp::test {

// A fresh folder for one test; VOLTIPLUME_TEST_KEEP receives copies of the sound files the
// test asked to keep, named after the test.
class DossierAudio {
public:
    DossierAudio();
    ~DossierAudio();
    std::string chemin(const std::string& nom) const { return dossier_ + "/" + nom; }
    void conserver(const std::string& nom) { aConserver_.push_back(nom); }

private:
    std::string dossier_;
    std::vector<std::string> aConserver_;
};

// A source of known bytes: 16-bit frames of `valeur` (or a ramp), at most `taille` bytes
// (-1: endless), given `parAppel` bytes per call at most; can be told to fail.
class SourceFactice : public TACSInput {
public:
    int bits = 16, canaux = 2, frequence = 44100;
    int64_t total = 44100 * 4;  // bytes to deliver; -1 for endless
    bool tailleConnue = true;   // declare `total` as Size, or -1
    int parAppel = 1 << 30;
    int valeur = 1000;
    bool rampe = false;  // sample n of each channel = n % 2000 - 1000 instead of `valeur`
    bool sinus = false;  // sample n = amplitude sin(2π frequenceSinus n / frequence)
    double frequenceSinus = 440;
    int amplitude = 8000;
    bool oppose = false;  // stereo: the right channel is the left one negated
    std::atomic<bool> echouer{false};
    std::atomic<int> inits{0}, flushs{0};
    std::atomic<int64_t> livres{0};

    ~SourceFactice() override { AnnoncerDestruction(); }
    int BitsPerSample() override { return bits; }
    int Channels() override { return canaux; }
    int SampleRate() override { return frequence; }
    void Init() override;
    void Flush() override;
    int GetData(void* Buffer, int BufferSize) override;
    // The bytes the source delivers from `debut` on, as GetData writes them.
    std::vector<unsigned char> octets(int64_t debut, int64_t n) const;
};

// The text of the EACSException `f` raises, or an empty text.
std::string messageDe(const std::function<void()>& f);

// Waits until `condition` holds, at most `ms` milliseconds; true when it held.
bool attendre(const std::function<bool()>& condition, int ms = 5000);

// A WAV file as FFmpeg reads it.
struct LectureFfmpeg {
    bool ouvert = false;
    std::string codec;  // FFmpeg's decoder name: pcm_s16le, pcm_u8, adpcm_ima_wav…
    int frequence = 0;
    int canaux = 0;
    int64_t trames = 0;                 // decoded sample frames
    std::vector<int16_t> echantillons;  // decoded, interleaved, 8-bit samples scaled to 16
};
LectureFfmpeg lireAvecFfmpeg(const std::string& fichier);

// Checks a recorded counter (frame k holds k modulo 65536 in every channel) through which
// silence was put in place of lost sound: every frame that is not silent holds its own index,
// and the silent ones form one run, given back as its first frame and its length (0: none).
::testing::AssertionResult compteurEnPlace(const std::vector<int16_t>& echantillons, int canaux,
                                           int64_t& debutSilence, int64_t& tramesSilence);

std::vector<unsigned char> lireFichier(const std::string& fichier);
uint32_t lire32(const std::vector<unsigned char>& o, size_t position);

}  // namespace vp::test
