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
    // devices leave the stamp at 0).
    bool horodatee = false;
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
        if (horodatee) h.declenchement = demarrage_.load();
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
    // The card stamps its start on the steady clock: known as soon as the capture starts.
    carte->horodatee = true;
    TAudioIn a;
    stereo16(a);
    auto avant = std::chrono::steady_clock::now();
    a.Init();
    const auto apres = std::chrono::steady_clock::now();
    ASSERT_TRUE(a.InstantDebut().has_value());
    EXPECT_GE(*a.InstantDebut(), avant);
    EXPECT_LE(*a.InstantDebut(), apres);
    a.Flush();

    // A card that keeps no stamp: known once its first buffer is in, as long before as the
    // sound it gave and held lasts.
    carte->horodatee = false;
    avant = std::chrono::steady_clock::now();
    a.Init();
    EXPECT_FALSE(a.InstantDebut().has_value());
    std::vector<char> tampon(5000);
    ASSERT_GT(a.GetData(tampon.data(), 5000), 0);
    const auto lu = std::chrono::steady_clock::now();
    ASSERT_TRUE(a.InstantDebut().has_value());
    EXPECT_LE(*a.InstantDebut(), lu);
    EXPECT_GE(*a.InstantDebut(), avant - std::chrono::seconds(1));
    a.Flush();
}
