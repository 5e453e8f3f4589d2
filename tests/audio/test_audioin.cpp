// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "Commun.h"
#include "audio/EntreeSon.h"
#include "audio/SortieNulle.h"
#include "audio/simule/MicroSimule.h"

using namespace vp;
using test::messageDe;

namespace {

class EntreeSon : public ::testing::Test {
protected:
    void SetUp() override {
        reglagesMicroSimule().reinitialiser();
        installerPiloteEntree(std::make_unique<PiloteMicroSimule>());
    }
    void TearDown() override { reglagesMicroSimule().reinitialiser(); }

    static void stereo16(TAudioIn& a, int secondes) {
        a.InBitsPerSample = 16;
        a.InChannels = 2;
        a.InSampleRate = 44100;
        a.RecTime = secondes;
    }
    // Everything the source delivers until its end.
    static int64_t toutLire(TAudioIn& a, std::vector<char>* octets = nullptr) {
        std::vector<char> tampon(16384);
        int64_t total = 0;
        for (int n; (n = a.GetData(tampon.data(), static_cast<int>(tampon.size()))) > 0;) {
            if (octets) octets->insert(octets->end(), tampon.begin(), tampon.begin() + n);
            total += n;
        }
        return total;
    }
};

}  // namespace

TEST_F(EntreeSon, TroisSecondesEnStereo16Bits) {
    reglagesMicroSimule().rapide = true;
    TAudioIn a;
    EXPECT_EQ(a.Size, -1);
    EXPECT_EQ(a.InBitsPerSample, 8);
    EXPECT_EQ(a.RecTime, 600);
    stereo16(a, 3);
    a.Init();
    EXPECT_EQ(a.Size, 529200);
    EXPECT_EQ(a.RecBytes(), 529200);
    const int64_t livres = toutLire(a);
    EXPECT_EQ(livres, 529200);  // not a byte more than the length asked for
    EXPECT_EQ(a.Position, livres);
    EXPECT_EQ(a.GetData(nullptr, 0), 0);  // still the end
    a.Flush();
    EXPECT_FALSE(a.Busy);
    // The same instance captures again.
    a.Init();
    EXPECT_GE(toutLire(a), 529200);
    a.Flush();
}

TEST_F(EntreeSon, DureeNulle) {
    TAudioIn a;
    stereo16(a, 0);
    a.Init();
    EXPECT_EQ(a.Size, 0);
    char tampon[64];
    EXPECT_EQ(a.GetData(tampon, sizeof tampon), 0);
    a.Flush();
}

TEST_F(EntreeSon, CanalAbsentEtEtats) {
    TAudioIn a;
    EXPECT_EQ(messageDe([&] { a.SetBaseChannel(1); }), "Channel 1 is not available");
    EXPECT_EQ(a.BaseChannel(), 0);
    reglagesMicroSimule().peripheriques = 3;
    a.SetBaseChannel(2);
    EXPECT_EQ(a.BaseChannel(), 2);
    char tampon[16];
    EXPECT_EQ(messageDe([&] { a.GetData(tampon, 16); }), "The Stream is not opened");
    a.Init();
    EXPECT_EQ(messageDe([&] { a.Init(); }), "The component is buisy");
    EXPECT_EQ(messageDe([&] { a.SetBaseChannel(0); }), "Component is buisy");
    a.Flush();
}

TEST_F(EntreeSon, FlushJusteApresInit) {
    TAudioIn a;
    stereo16(a, 10);
    a.Init();
    const auto debut = std::chrono::steady_clock::now();
    a.Flush();  // no buffer was handed to the device: closed at once
    EXPECT_LT(std::chrono::steady_clock::now() - debut, std::chrono::milliseconds(500));
    EXPECT_FALSE(a.Busy);
}

TEST_F(EntreeSon, TempsReelSansDerive) {
    TAudioIn a;
    stereo16(a, 600);
    a.Init();
    std::vector<char> tampon(16384);
    const auto debut = std::chrono::steady_clock::now();
    int64_t total = 0;
    while (total < 176400 / 2)
        total += a.GetData(tampon.data(), 16384);  // half a second
    const double secondes =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
    a.Flush();
    // A buffer is delivered only once its sound has been "recorded".
    EXPECT_GE(secondes, 0.45);
    EXPECT_LT(secondes, 2.0);
}

TEST_F(EntreeSon, PeripheriqueQuiNeSOuvrePas) {
    reglagesMicroSimule().refuserOuverture = true;
    TAudioIn a;
    stereo16(a, 1);
    const std::string m = messageDe([&] { a.Init(); });
    EXPECT_FALSE(m.empty());
    EXPECT_FALSE(a.Busy);
    reglagesMicroSimule().refuserOuverture = false;
    a.Init();  // nothing stuck
    a.Flush();
}

TEST_F(EntreeSon, PeripheriqueQuiSeTaitTermineLeFluxParUneErreur) {
    reglagesMicroSimule().rapide = true;
    TAudioIn a;
    stereo16(a, 600);
    TNULLOut sortie;
    std::atomic<int> erreurs{0}, fins{0};
    sortie.OnThreadException = [&](TACSOutput*, const std::exception&) { ++erreurs; };
    sortie.OnDone = [&](TACSOutput*) { ++fins; };
    sortie.SetInput(&a);
    sortie.Run();
    ASSERT_TRUE(test::attendre([&] { return a.Position > 100000; }));
    reglagesMicroSimule().muet = true;
    ASSERT_TRUE(test::attendre([&] { return erreurs == 1; }, 10000));
    EXPECT_EQ(fins, 0);
    ASSERT_TRUE(test::attendre([&] { return !a.Busy; }, 10000));
}

TEST_F(EntreeSon, DeuxCapturesEnMemeTemps) {
    reglagesMicroSimule().rapide = true;
    TAudioIn a, b;
    stereo16(a, 2);
    stereo16(b, 1);
    a.Init();
    b.Init();
    int64_t la = 0, lb = 0;
    std::thread fil([&] { lb = toutLire(b); });
    la = toutLire(a);
    fil.join();
    EXPECT_GE(la, 352800);
    EXPECT_GE(lb, 176400);
    EXPECT_LT(lb, 176400 + 16384);
    a.Flush();
    b.Flush();
}

TEST_F(EntreeSon, HuitBitsMonoEtSignal) {
    reglagesMicroSimule().rapide = true;
    reglagesMicroSimule().signal = ReglagesMicroSimule::Signal::Constante;
    reglagesMicroSimule().constante = 32767;
    TAudioIn a;  // 8 bits, mono, 8000 Hz by default
    a.RecTime = 1;
    a.Init();
    EXPECT_EQ(a.Size, 8000);
    std::vector<char> octets;
    toutLire(a, &octets);
    a.Flush();
    ASSERT_GE(octets.size(), 8000u);
    EXPECT_EQ(static_cast<unsigned char>(octets[10]), 255);
}

TEST_F(EntreeSon, RampeSansPerteNiDoublonSousUnLecteurLentEtIrregulier) {
    // In real time, read in odd-sized pieces with pauses of up to a few buffers' time: every
    // sample frame comes once, in order.
    reglagesMicroSimule().signal = ReglagesMicroSimule::Signal::Rampe;
    TAudioIn a;
    stereo16(a, 2);
    a.Init();
    std::mt19937 hasard(12345);
    std::vector<char> tampon(16384), octets;
    for (int n;;) {
        const int taille = std::uniform_int_distribution<int>(1, 16384)(hasard);
        if ((n = a.GetData(tampon.data(), taille)) == 0) break;
        octets.insert(octets.end(), tampon.begin(), tampon.begin() + n);
        const int pause = std::uniform_int_distribution<int>(0, 9)(hasard) == 0
                              ? 250
                              : std::uniform_int_distribution<int>(0, 30)(hasard);
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    }
    a.Flush();
    ASSERT_EQ(octets.size(), 2u * 176400u);
    int fautes = 0;
    for (size_t trame = 0; trame < octets.size() / 4; ++trame)
        for (int c = 0; c < 2; ++c) {
            int16_t v;
            std::memcpy(&v, &octets[4 * trame + 2 * static_cast<size_t>(c)], 2);
            if (v != static_cast<int16_t>(static_cast<uint16_t>(trame)) && ++fautes < 5)
                ADD_FAILURE() << "trame " << trame << " canal " << c << " : " << v;
        }
    EXPECT_EQ(fautes, 0);
}
