// SPDX-License-Identifier: GPL-3.0-or-later
// Sound output on ALSA's "default" device (which the desktop's sound server serves). A worker
// thread writes the samples; after each write it measures how much the card has really played,
// and position() goes on from that measure with the clock until the next one.

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "film/PisteSon.h"
#include "film/SortieSon.h"

namespace vp {

namespace {

using Horloge = std::chrono::steady_clock;

struct FermerPcm {
    void operator()(snd_pcm_t* p) const { snd_pcm_close(p); }
};

snd_pcm_format_t formatAlsa(PisteSon::Echantillons e) {
    using E = PisteSon::Echantillons;
    switch (e) {
        case E::U8:
            return SND_PCM_FORMAT_U8;
        case E::S16:
            return SND_PCM_FORMAT_S16_LE;
        case E::S24:
            return SND_PCM_FORMAT_S24_3LE;
        case E::S32:
            return SND_PCM_FORMAT_S32_LE;
        case E::F32:
            return SND_PCM_FORMAT_FLOAT_LE;
        case E::F64:
            return SND_PCM_FORMAT_FLOAT64_LE;
    }
    return SND_PCM_FORMAT_UNKNOWN;
}

class SortieAlsa final : public SortieSon {
public:
    SortieAlsa(const PisteSon& piste, snd_pcm_t* pcm, snd_pcm_uframes_t periode)
        : piste_(piste), pcm_(pcm), periode_(std::max<snd_pcm_uframes_t>(periode, 256)) {}
    ~SortieAlsa() override { arreter(); }

    void jouer(int64_t debut) override {
        arreter();
        debut = std::clamp<int64_t>(debut, 0, piste_.trames());
        {
            std::lock_guard verrou(mutex_);
            entendu_ = ecrit_ = debut;
            instant_ = Horloge::now();
            enCours_ = false;  // the clock waits for the card's first measure
        }
        snd_pcm_prepare(pcm_.get());
        arret_ = false;
        fil_ = std::thread([this, debut] { ecrire(debut); });
    }

    void arreter() override {
        arret_ = true;
        if (fil_.joinable()) fil_.join();
        snd_pcm_drop(pcm_.get());
        std::lock_guard verrou(mutex_);
        enCours_ = false;
    }

    int64_t position() override {
        std::lock_guard verrou(mutex_);
        if (!enCours_) return entendu_;
        const double ecoule = std::chrono::duration<double>(Horloge::now() - instant_).count();
        return std::min(ecrit_, entendu_ + static_cast<int64_t>(ecoule * piste_.frequence));
    }

private:
    void mesurer(int64_t ecrit) {
        snd_pcm_sframes_t retard = 0;
        if (snd_pcm_delay(pcm_.get(), &retard) < 0) retard = 0;
        std::lock_guard verrou(mutex_);
        ecrit_ = ecrit;
        entendu_ = ecrit - std::clamp<int64_t>(retard, 0, ecrit);
        instant_ = Horloge::now();
        // Until the card has started, the position stays where playing began.
        snd_pcm_state_t etat = snd_pcm_state(pcm_.get());
        enCours_ = etat == SND_PCM_STATE_RUNNING;
    }

    void ecrire(int64_t position) {
        const int64_t total = piste_.trames();
        while (!arret_ && position < total) {
            const auto n = static_cast<snd_pcm_uframes_t>(
                std::min<int64_t>(static_cast<int64_t>(periode_), total - position));
            const snd_pcm_sframes_t r = snd_pcm_writei(
                pcm_.get(), piste_.octets.data() + position * piste_.octetsParTrame, n);
            if (r < 0) {
                if (snd_pcm_recover(pcm_.get(), static_cast<int>(r), 1) < 0) break;
                continue;
            }
            position += r;
            mesurer(position);
        }
        // The end of the track plays out while the position keeps being measured.
        while (!arret_) {
            snd_pcm_sframes_t retard = 0;
            if (snd_pcm_delay(pcm_.get(), &retard) < 0 || retard <= 0) break;
            mesurer(position);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::lock_guard verrou(mutex_);
        if (!arret_) entendu_ = ecrit_ = position;
        enCours_ = false;
    }

    const PisteSon& piste_;
    std::unique_ptr<snd_pcm_t, FermerPcm> pcm_;
    snd_pcm_uframes_t periode_;
    std::thread fil_;
    std::atomic<bool> arret_{true};
    std::mutex mutex_;
    int64_t entendu_ = 0;  // heard at `instant_`
    int64_t ecrit_ = 0;    // given to the card
    Horloge::time_point instant_;
    bool enCours_ = false;
};

// The library's own messages would only repeat, in English, what the status line says.
void silencieux(const char*, int, const char*, int, const char*, ...) {}

std::string raison(int erreur) {
    switch (-erreur) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "aucune carte son n'est branchée";
        case EBUSY:
            return "la carte son est occupée par un autre programme";
        case EINVAL:
            return "la carte son ne sait pas lire ce format";
        default:
            return "la carte son refuse de jouer (erreur " + std::to_string(-erreur) + ")";
    }
}

}  // namespace

std::unique_ptr<SortieSon> ouvrirSortieAlsa(const PisteSon& piste, std::string& erreur) {
    snd_lib_error_set_handler(silencieux);
    snd_pcm_t* brut = nullptr;
    int r = snd_pcm_open(&brut, "default", SND_PCM_STREAM_PLAYBACK, 0);
    if (r < 0) {
        erreur = raison(r);
        return nullptr;
    }
    std::unique_ptr<snd_pcm_t, FermerPcm> pcm(brut);
    r = snd_pcm_set_params(brut, formatAlsa(piste.echantillons), SND_PCM_ACCESS_RW_INTERLEAVED,
                           static_cast<unsigned>(piste.canaux),
                           static_cast<unsigned>(piste.frequence), 1, 100000);
    if (r < 0) {
        erreur = raison(r);
        return nullptr;
    }
    snd_pcm_uframes_t tampon = 0, periode = 0;
    snd_pcm_get_params(brut, &tampon, &periode);
    return std::make_unique<SortieAlsa>(piste, pcm.release(), periode);
}

}  // namespace vp
