// SPDX-License-Identifier: GPL-3.0-or-later
// The ALSA backend against PCMs the test defines: a "file" device over ALSA's "null" device
// plays the sound card, reading a raw ramp from a file, so the real backend runs without one.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

#include "Commun.h"
#include "audio/EntreeSon.h"
#include "audio/alsa/EntreeAlsa.h"

using namespace vp;
using test::DossierAudio;
using test::messageDe;

namespace {

// Plays a sound card that overruns after a few reads, and that, like a real one, captures
// nothing once prepared again until it is started. Can also refuse to start.
class CarteCapricieuse final : public AppelsPcm {
public:
    int lectureEnDebordement = -1;  // this read reports an overrun
    int refusDemarrage = 0;         // error returned by every start
    // Stamps its starts on the monotonic clock, as a kernel card does (ALSA's software
    // devices leave the stamp at 0), `avanceStamp` before the start call (the card started
    // before it said so); and when set, says it holds `disponibles` frames not read, at
    // `instantStatut` (0: the software device's own answers).
    bool horodatee = false;
    std::chrono::nanoseconds avanceStamp{0};
    int64_t disponibles = -1;
    std::chrono::nanoseconds instantStatut{0};
    std::atomic<int> lectures{0}, recuperations{0}, demarrages{0};

    int demarrer(snd_pcm_t* pcm) override {
        ++demarrages;
        if (refusDemarrage) return refusDemarrage;
        arrete_ = false;
        demarrage_ = std::chrono::steady_clock::now().time_since_epoch();
        return AppelsPcm::demarrer(pcm);
    }
    snd_pcm_state_t etat(snd_pcm_t* pcm) override {
        return arrete_ ? SND_PCM_STATE_PREPARED : AppelsPcm::etat(pcm);
    }
    int attendre(snd_pcm_t* pcm, int ms) override {
        if (arrete_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return 0;
        }
        return AppelsPcm::attendre(pcm, ms);
    }
    snd_pcm_sframes_t lire(snd_pcm_t* pcm, void* tampon, snd_pcm_uframes_t trames) override {
        if (arrete_) return -EAGAIN;
        if (++lectures == lectureEnDebordement) return -EPIPE;
        return AppelsPcm::lire(pcm, tampon, trames);
    }
    int horloge(snd_pcm_t* pcm, HorlogePcm& h) override {
        const int r = AppelsPcm::horloge(pcm, h);
        if (horodatee) h.declenchement = demarrage_.load() - avanceStamp;
        if (disponibles >= 0) h.disponibles = disponibles;
        if (instantStatut.count() > 0) h.instant = instantStatut;
        return r;
    }
    int recuperer(snd_pcm_t* pcm, int erreur) override {
        ++recuperations;
        const int r = AppelsPcm::recuperer(pcm, erreur);
        arrete_ = true;
        return r;
    }

private:
    std::atomic<bool> arrete_{false};
    std::atomic<std::chrono::nanoseconds> demarrage_{};
};

class Alsa : public ::testing::Test {
protected:
    DossierAudio dossier;
    std::shared_ptr<CarteCapricieuse> carte = std::make_shared<CarteCapricieuse>();
    std::unique_ptr<PiloteEntree> ancien;

    // Two seconds of 16-bit stereo whose frame n holds n, and the PCMs that read it.
    void SetUp() override {
        std::vector<int16_t> rampe(2 * 88200);
        for (size_t i = 0; i < rampe.size(); ++i)
            rampe[i] = static_cast<int16_t>(i / 2);
        std::ofstream(dossier.chemin("rampe.raw"), std::ios::binary)
            .write(reinterpret_cast<const char*>(rampe.data()),
                   static_cast<std::streamsize>(rampe.size() * 2));
        const std::string carteFichier =
            "{ type file slave.pcm { type null } file \"/dev/null\" "
            "infile \"" +
            dossier.chemin("rampe.raw") + "\" format \"raw\" }";
        ancien = installerPiloteEntree(std::make_unique<PiloteAlsa>(
            "pcm.default " + carteFichier + " pcm.seconde " + carteFichier, carte));
    }
    void TearDown() override { installerPiloteEntree(std::move(ancien)); }

    static void stereo16(TAudioIn& a) {
        a.InBitsPerSample = 16;
        a.InChannels = 2;
        a.InSampleRate = 44100;
        a.RecTime = 1;
    }
    // One second captured from `a`'s device: true when each frame holds its own index in both
    // channels.
    static ::testing::AssertionResult uneSeconde(TAudioIn& a) {
        stereo16(a);
        a.Init();
        const auto r = rampeContinue(a, 176400);
        a.Flush();
        return r;
    }
    static ::testing::AssertionResult rampeContinue(TAudioIn& a, int64_t attendus) {
        std::vector<char> tampon(5000), octets;
        for (int n; (n = a.GetData(tampon.data(), 5000)) > 0;)
            octets.insert(octets.end(), tampon.begin(), tampon.begin() + n);
        if (static_cast<int64_t>(octets.size()) != attendus)
            return ::testing::AssertionFailure() << octets.size() << " octets";
        for (size_t i = 0; i < octets.size() / 2; ++i) {
            int16_t v;
            std::memcpy(&v, &octets[2 * i], 2);
            if (v != static_cast<int16_t>(i / 2))
                return ::testing::AssertionFailure() << "échantillon " << i << " : " << v;
        }
        return ::testing::AssertionSuccess();
    }
};

}  // namespace

TEST_F(Alsa, CaptureDepuisUnPeripheriqueDefiniParLeTest) {
    EXPECT_EQ(piloteEntree().nombrePeripheriques(), 2);
    EXPECT_EQ(piloteEntree().nomPeripherique(1), "seconde");
    TAudioIn a;
    EXPECT_TRUE(uneSeconde(a));
    EXPECT_EQ(carte->recuperations, 0);
    // The other device, then a missing one.
    a.SetBaseChannel(1);
    EXPECT_TRUE(uneSeconde(a));
    EXPECT_EQ(messageDe([&] { a.SetBaseChannel(2); }), "Channel 2 is not available");
}

TEST_F(Alsa, UnDebordementEstRattrapeEtLaCaptureReprend) {
    carte->lectureEnDebordement = 5;
    TAudioIn a;
    EXPECT_TRUE(uneSeconde(a));
    EXPECT_EQ(carte->recuperations, 1);
    EXPECT_EQ(carte->demarrages, 2);  // at the start, and again after the recovery
}

TEST_F(Alsa, UnDemarrageRefuseEstSignale) {
    carte->refusDemarrage = -EIO;
    TAudioIn a;
    stereo16(a);
    EXPECT_EQ(messageDe([&] { a.Init(); }),
              "Le micro « default » ne démarre pas : erreur du matériel.");
    EXPECT_FALSE(a.Busy);
    carte->refusDemarrage = 0;
    EXPECT_TRUE(uneSeconde(a));  // nothing left open or stuck
}

TEST_F(Alsa, LInstantDuPremierEchantillonVientDeLaCarte) {
    using namespace std::chrono_literals;
    // The card stamps its start on the steady clock, 200 ms before it was asked: that stamp is
    // the start, known as soon as the capture starts.
    carte->horodatee = true;
    carte->avanceStamp = 200ms;
    TAudioIn a;
    stereo16(a);
    auto avant = std::chrono::steady_clock::now();
    a.Init();
    const auto apres = std::chrono::steady_clock::now();
    ASSERT_TRUE(a.InstantDebut().has_value());
    EXPECT_GE(*a.InstantDebut(), avant - 200ms);
    EXPECT_LE(*a.InstantDebut(), apres - 200ms);
    a.Flush();

    // A stamp 800 ms off cannot be this start's (a sound server's plugin may keep an old one):
    // not taken. Nor is a missing one. The first buffer then tells: the first sample was heard
    // as long before as the sound read and the sound the card still holds (one second) last.
    for (const auto avance : {800ms, 0ms}) {
        carte->horodatee = avance > 0ms;
        carte->avanceStamp = avance;
        carte->disponibles = 44100;
        avant = std::chrono::steady_clock::now();
        a.Init();
        EXPECT_FALSE(a.InstantDebut().has_value());
        std::vector<char> tampon(5000);
        ASSERT_GT(a.GetData(tampon.data(), 5000), 0);
        const auto lu = std::chrono::steady_clock::now();
        ASSERT_TRUE(a.InstantDebut().has_value());
        EXPECT_LE(*a.InstantDebut(), lu - 1s);
        EXPECT_GE(*a.InstantDebut(), avant - 1100ms);
        a.Flush();
    }
}

TEST_F(Alsa, LeSonEstRattacheALHorlogeParLaCarte) {
    // Each status of the card says when it had captured the frames read so far and those it
    // holds: each buffer carries that tie to the steady clock.
    carte->horodatee = true;
    carte->disponibles = 300;
    const auto instant =
        std::chrono::steady_clock::now().time_since_epoch() + std::chrono::seconds(5);
    carte->instantStatut = instant;
    TAudioIn a;
    stereo16(a);
    a.Init();
    std::vector<char> tampon(5000);
    ASSERT_GT(a.GetData(tampon.data(), 5000), 0);
    const auto repere = a.DernierRepere();
    ASSERT_TRUE(repere.has_value());
    EXPECT_EQ(repere->instant.time_since_epoch(), instant);
    // At the end of a buffer of 4096 frames (the last read of a buffer gives its tie).
    EXPECT_EQ((repere->trames - 300) % (TAudioIn::kTailleTampon / 4), 0) << repere->trames;
    EXPECT_GT(repere->trames, 300);
    a.Flush();
}
