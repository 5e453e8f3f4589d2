// SPDX-License-Identifier: GPL-3.0-or-later
// The machine stalls in the middle of a recording and the device overruns: the sound lost
// becomes as much silence, so that every sound after it stays at the time it was heard.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "Commun.h"
#include "audio/EntreeSon.h"
#include "audio/FichierWav.h"
#include "audio/alsa/EntreeAlsa.h"
#include "audio/simule/MicroSimule.h"

using namespace vp;
using test::attendre;
using test::DossierAudio;

namespace {

constexpr int64_t kTramesParSeconde = 44100;

class Hoquet : public ::testing::Test {
protected:
    DossierAudio dossier;
    std::unique_ptr<PiloteEntree> ancien;

    void SetUp() override {
        reglagesMicroSimule().reinitialiser();
        reglagesMicroSimule().signal = ReglagesMicroSimule::Signal::Rampe;
        ancien = installerPiloteEntree(std::make_unique<PiloteMicroSimule>());
    }
    void TearDown() override {
        installerPiloteEntree(std::move(ancien));
        reglagesMicroSimule().reinitialiser();
    }

    // Records `secondes` of 16-bit stereo into "audio.wav" through `entree`, as the recording
    // window does, and gives back the file's frames as FFmpeg decodes them.
    test::LectureFfmpeg enregistrer(TAudioIn& entree, int secondes) {
        entree.InBitsPerSample = 16;
        entree.InChannels = 2;
        entree.InSampleRate = 44100;
        entree.RecTime = secondes;
        TWaveOut sortie;
        sortie.SetInput(&entree);
        sortie.FileName = dossier.chemin("audio.wav");
        std::atomic<int> fins{0};
        sortie.OnDone = [&](TACSOutput*) { ++fins; };
        sortie.Run();
        EXPECT_TRUE(attendre([&] { return fins == 1; }, 30000));
        dossier.conserver("audio.wav");
        return test::lireAvecFfmpeg(dossier.chemin("audio.wav"));
    }
};

}  // namespace

TEST_F(Hoquet, LeMicroSimuleQuiPerdDuSonLeRemplaceParDuSilence) {
    // The reader stalls for 1.5 s after 2 s of a 6-second recording; the device, fast, plays
    // those seconds without the test waiting for them.
    auto& r = reglagesMicroSimule();
    r.rapide = true;
    r.pertes = true;
    r.hoquetApresMs = 2000;
    r.hoquetDureeMs = 1500;
    TAudioIn entree;
    auto l = enregistrer(entree, 6);
    ASSERT_TRUE(l.ouvert);
    EXPECT_EQ(l.trames, 6 * kTramesParSeconde);  // the lost time counts in the length
    int64_t debut = 0, duree = 0;
    ASSERT_TRUE(test::compteurEnPlace(l.echantillons, 2, debut, duree));
    EXPECT_NEAR(duree, 3 * kTramesParSeconde / 2, kTramesParSeconde / 100);
    EXPECT_GE(debut, 2 * kTramesParSeconde);
    EXPECT_LT(debut, 2 * kTramesParSeconde + TAudioIn::kTailleTampon / 4);
    EXPECT_EQ(entree.Debordements(), 1);
    EXPECT_EQ(entree.SilenceInseree(), duree * 4);

    // Without its losses the device waits for its reader, as it always did: nothing is lost,
    // no silence comes.
    r.pertes = false;
    l = enregistrer(entree, 6);
    EXPECT_EQ(l.trames, 6 * kTramesParSeconde);
    ASSERT_TRUE(test::compteurEnPlace(l.echantillons, 2, debut, duree));
    EXPECT_EQ(duree, 0);
    EXPECT_EQ(entree.Debordements(), 0);
}

TEST_F(Hoquet, UnLecteurVraimentEnRetardPerdCeQueLeMicroNePeutGarder) {
    // In real time: a reader that leaves the device alone for 1.2 s, longer than its four
    // buffers and its own half-second can hold.
    reglagesMicroSimule().pertes = true;
    TAudioIn entree;
    entree.InBitsPerSample = 16;
    entree.InChannels = 2;
    entree.InSampleRate = 44100;
    entree.RecTime = 2;
    entree.Init();
    std::vector<int16_t> echantillons;
    std::vector<char> tampon(16384);
    bool endormi = false;
    for (int n; (n = entree.GetData(tampon.data(), static_cast<int>(tampon.size()))) > 0;) {
        const auto* e = reinterpret_cast<const int16_t*>(tampon.data());
        echantillons.insert(echantillons.end(), e, e + n / 2);
        if (!endormi && echantillons.size() >= 2 * 22050) {
            endormi = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        }
    }
    entree.Flush();
    EXPECT_EQ(echantillons.size(), 2u * 2 * 44100);
    int64_t debut = 0, duree = 0;
    ASSERT_TRUE(test::compteurEnPlace(echantillons, 2, debut, duree));
    // What the buffers in the device held is kept, three or four of them by where the reader
    // stood when it stopped; the rest of the stall is lost, as the device's clock counts it
    // (not the reader's, which slept), give or take the scheduler.
    const int64_t parTampon = TAudioIn::kTailleTampon / 4, arret = kTramesParSeconde * 12 / 10;
    EXPECT_GE(duree, arret - 4 * parTampon - kTramesParSeconde / 50);
    EXPECT_LE(duree, arret - 3 * parTampon + kTramesParSeconde * 6 / 100);
    EXPECT_GE(entree.Debordements(), 1);
    EXPECT_EQ(entree.SilenceInseree(), duree * 4);
}

namespace {

// A sound card whose clock the test keeps: frame n it captures holds n (a counter), and once,
// after 2 s, its reader comes back so late that the card overruns with half a second held and
// stands stopped for one more second before it starts again, 1.5 s lost in all. Its trigger
// stamps say so; the test itself takes no time, so a reader that trusted its own clock would
// count nothing lost. It gives at most a few hundred frames a read, so that the overrun falls
// in the middle of a buffer.
class CarteAHoquet final : public AppelsPcm {
public:
    enum class Genre {
        Noyau,        // stamps the instant of its overrun
        Serveur,      // a sound server's plugin: the overrun leaves the last start's stamp
        SansDate,     // no stamp at the overrun
        SansHorloge,  // no status at all: the loss cannot be measured
        SansArret,    // the recovery finds it still running: nothing lost, nothing restarted
    };
    static constexpr int64_t kTenues = 22050;   // frames held when it overruns
    static constexpr int64_t kPerdues = 66150;  // frames lost in all
    static constexpr std::chrono::nanoseconds kOrigine = std::chrono::seconds(1000);
    explicit CarteAHoquet(Genre genre) : genre_(genre) {}
    std::atomic<int> debordements{0};

    int demarrer(snd_pcm_t* pcm) override {
        const int r = AppelsPcm::demarrer(pcm);
        if (enDebordement_) {
            enDebordement_ = false;
            position_ += kPerdues;
        }
        declenchement_ = instant(position_);
        return r;
    }
    snd_pcm_sframes_t lire(snd_pcm_t* pcm, void* tampon, snd_pcm_uframes_t trames) override {
        if (!enDebordement_ && debordements == 0 && position_ >= 2 * kTramesParSeconde) {
            ++debordements;
            enDebordement_ = true;
            return -EPIPE;
        }
        const snd_pcm_sframes_t n =
            AppelsPcm::lire(pcm, tampon, std::min<snd_pcm_uframes_t>(trames, 333));
        auto* e = static_cast<int16_t*>(tampon);
        for (snd_pcm_sframes_t i = 0; i < n; ++i)
            e[2 * i] = e[2 * i + 1] = static_cast<int16_t>(static_cast<uint16_t>(position_ + i));
        if (n > 0) position_ += n;
        return n;
    }
    int recuperer(snd_pcm_t* pcm, int erreur) override {
        if (genre_ != Genre::SansArret) return AppelsPcm::recuperer(pcm, erreur);
        enDebordement_ = false;
        return 0;
    }
    int horloge(snd_pcm_t*, HorlogePcm& h) override {
        if (genre_ == Genre::SansHorloge) return -EINVAL;
        if (enDebordement_) {
            h.etat = SND_PCM_STATE_XRUN;
            h.disponibles = kTenues;
            h.declenchement = genre_ == Genre::Noyau     ? instant(position_ + kTenues)
                              : genre_ == Genre::Serveur ? declenchement_.load()
                                                         : std::chrono::nanoseconds{0};
        } else {
            h.etat = SND_PCM_STATE_RUNNING;
            h.disponibles = 0;
            h.declenchement = declenchement_;
        }
        return 0;
    }

private:
    static std::chrono::nanoseconds instant(int64_t trame) {
        return kOrigine + std::chrono::nanoseconds(trame * 1000000000 / kTramesParSeconde);
    }
    const Genre genre_;
    std::atomic<int64_t> position_{0};
    std::atomic<bool> enDebordement_{false};
    std::atomic<std::chrono::nanoseconds> declenchement_{std::chrono::nanoseconds{0}};
};

}  // namespace

TEST_F(Hoquet, LaCarteSonQuiDebordeDitParSonHorlogeCeQuElleAPerdu) {
    using Genre = CarteAHoquet::Genre;
    for (const Genre genre : {Genre::Noyau, Genre::Serveur, Genre::SansDate}) {
        SCOPED_TRACE(static_cast<int>(genre));
        auto carte = std::make_shared<CarteAHoquet>(genre);
        installerPiloteEntree(std::make_unique<PiloteAlsa>("pcm.default { type null }", carte));
        TAudioIn entree;
        const auto l = enregistrer(entree, 6);
        ASSERT_TRUE(l.ouvert);
        EXPECT_EQ(carte->debordements, 1);
        EXPECT_EQ(l.trames, 6 * kTramesParSeconde);
        int64_t debut = 0, duree = 0;
        ASSERT_TRUE(test::compteurEnPlace(l.echantillons, 2, debut, duree));
        EXPECT_NEAR(duree, CarteAHoquet::kPerdues, kTramesParSeconde / 100);
        EXPECT_NEAR(debut, 2 * kTramesParSeconde, 333);
        EXPECT_EQ(entree.Debordements(), 1);
        EXPECT_EQ(entree.SilenceInseree(), duree * 4);
        EXPECT_FALSE(entree.PerteIncertaine());
    }
}

TEST_F(Hoquet, UneCoupureQueLaCarteNePeutMesurerEstDiteIncertaine) {
    using Genre = CarteAHoquet::Genre;
    auto carte = std::make_shared<CarteAHoquet>(Genre::SansHorloge);
    installerPiloteEntree(std::make_unique<PiloteAlsa>("pcm.default { type null }", carte));
    TAudioIn entree;
    auto l = enregistrer(entree, 3);
    EXPECT_EQ(l.trames, 3 * kTramesParSeconde);
    EXPECT_EQ(entree.Debordements(), 1);
    EXPECT_TRUE(entree.PerteIncertaine());

    // A recovery that restarts nothing lost nothing: no cut, and the sound stays in place.
    carte = std::make_shared<CarteAHoquet>(Genre::SansArret);
    installerPiloteEntree(std::make_unique<PiloteAlsa>("pcm.default { type null }", carte));
    l = enregistrer(entree, 3);
    EXPECT_EQ(carte->debordements, 1);
    int64_t debut = 0, duree = 0;
    ASSERT_TRUE(test::compteurEnPlace(l.echantillons, 2, debut, duree));
    EXPECT_EQ(duree, 0);
    EXPECT_EQ(entree.Debordements(), 0);
    EXPECT_FALSE(entree.PerteIncertaine());
}
