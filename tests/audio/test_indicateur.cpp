// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "Commun.h"
#include "audio/IndicateurNiveau.h"

using namespace vp;
using test::SourceFactice;

namespace {

using Niveaux = std::array<double, TSoundIndicator::kBandes>;

// Passes `octets` bytes of the source through the indicator and reads the levels.
Niveaux niveaux(SourceFactice& source, int octets, int parLecture = 16384) {
    TSoundIndicator indicateur;
    indicateur.SetInput(&source);
    indicateur.Init();
    std::vector<char> tampon(static_cast<size_t>(parLecture));
    const auto attendu = source.octets(0, octets);
    int lus = 0;
    while (lus < octets) {
        const int n = indicateur.GetData(tampon.data(), std::min(parLecture, octets - lus));
        if (n == 0) break;
        // The filter passes the bytes through unchanged.
        EXPECT_EQ(0, std::memcmp(tampon.data(), attendu.data() + lus, static_cast<size_t>(n)));
        lus += n;
    }
    EXPECT_EQ(indicateur.Position, lus);
    Niveaux v{};
    indicateur.ReadLevels(v);
    indicateur.Flush();
    return v;
}

}  // namespace

TEST(Indicateur, ValeursDeReference) {
    SourceFactice source;
    source.total = -1;
    source.valeur = 0;
    for (double v : niveaux(source, 16384))
        EXPECT_EQ(v, 0.0);  // silence

    source.valeur = 32767;
    EXPECT_NEAR(niveaux(source, 16384)[0], 52.2, 0.05);
    source.valeur = 1000;
    EXPECT_NEAR(niveaux(source, 16384)[0], 21.9, 0.05);
    source.valeur = 80;  // 20 log10(0.012481 x 80) is just below 0
    EXPECT_EQ(niveaux(source, 16384)[0], 0.0);

    // The same in 16-bit mono and (unsigned, not centred) 8-bit mono.
    source.canaux = 1;
    source.valeur = 1000;
    EXPECT_NEAR(niveaux(source, 8192)[0], 21.9, 0.05);
    source.bits = 8;
    source.valeur = 200;
    EXPECT_NEAR(niveaux(source, 4096)[0], 20.0 * std::log10(0.0124810 * 200), 0.05);
}

TEST(Indicateur, TamponCourtEtDoubleLecture) {
    SourceFactice source;
    source.total = -1;
    source.valeur = 32767;
    // 63 stereo frames: not one whole block, the values stay as they were (0 after Init).
    for (double v : niveaux(source, 63 * 4))
        EXPECT_EQ(v, 0.0);

    TSoundIndicator indicateur;
    indicateur.SetInput(&source);
    indicateur.Init();
    std::vector<char> tampon(16384);
    indicateur.GetData(tampon.data(), 16384);
    Niveaux v{};
    indicateur.ReadLevels(v);
    EXPECT_GT(v[0], 50.0);
    indicateur.ReadLevels(v);  // nothing since: zeros
    for (double x : v)
        EXPECT_EQ(x, 0.0);
    indicateur.Flush();
}

TEST(Indicateur, SansEntree) {
    TSoundIndicator indicateur;
    for (const auto& f : std::vector<std::function<void()>>{
             [&] { indicateur.Init(); }, [&] { indicateur.BitsPerSample(); },
             [&] { indicateur.Channels(); }, [&] { indicateur.SampleRate(); }}) {
        try {
            f();
            ADD_FAILURE() << "pas d'erreur";
        } catch (const EACSException& e) {
            EXPECT_STREQ(e.what(), "Input is not assigned.");
        }
    }
    char c;
    EXPECT_THROW(indicateur.GetData(&c, 1), EACSException);
}

TEST(Indicateur, SinusSurLaCaseKAllumeLaBandeK) {
    for (int k : {1, 4, 11, 20, 31}) {
        SourceFactice source;
        source.total = -1;
        source.sinus = true;
        source.amplitude = 16000;
        source.frequenceSinus = 44100.0 * k / 64;  // k periods in each 64-frame block
        const Niveaux v = niveaux(source, 16384);
        int plusFort = 1;
        for (int b = 2; b < TSoundIndicator::kBandes; ++b)
            if (v[b] > v[plusFort]) plusFort = b;
        EXPECT_EQ(plusFort, k);
        EXPECT_GT(v[k], 30.0) << "case " << k;
    }
}

TEST(Indicateur, StereoMoyenneLesDeuxCanaux) {
    SourceFactice source;
    source.total = -1;
    source.valeur = 1000;
    EXPECT_NEAR(niveaux(source, 16384)[0], 21.9, 0.05);
    // L = +v and R = -v: the mean is silence, whatever each channel holds.
    source.oppose = true;
    for (double v : niveaux(source, 16384))
        EXPECT_EQ(v, 0.0);
}
