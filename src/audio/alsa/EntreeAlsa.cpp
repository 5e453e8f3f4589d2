#include "EntreeAlsa.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/Flux.h"

namespace vp {

namespace {

// The capture devices ALSA knows besides "default".
std::vector<std::string> peripheriquesDeCapture() {
    std::vector<std::string> noms;
    void** indices = nullptr;
    if (snd_device_name_hint(-1, "pcm", &indices) != 0 || !indices) return noms;
    for (void** i = indices; *i; ++i) {
        char* nom = snd_device_name_get_hint(*i, "NAME");
        char* sens = snd_device_name_get_hint(*i, "IOID");
        if (nom && (!sens || std::string(sens) == "Input")) {
            const std::string n(nom);
            if (n != "default" && n != "null") noms.push_back(n);
        }
        std::free(nom);
        std::free(sens);
    }
    snd_device_name_free_hint(indices);
    return noms;
}

struct FermerPcm {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};

class PeripheriqueAlsa final : public PeripheriqueEntree {
public:
    PeripheriqueAlsa(std::unique_ptr<snd_pcm_t, FermerPcm> pcm, const FormatOnde& format,
                     RappelOnde rappel)
        : pcm_(std::move(pcm)),
          octetsParTrame_(std::max(1, format.nBlockAlign + 0)),
          rappel_(std::move(rappel)),
          fil_([this] { boucle(); }) {}

    ~PeripheriqueAlsa() override { arreter(); }

    void ajouterTampon(EnTeteOnde* tampon) override {
        {
            std::lock_guard verrou(mutex_);
            file_.push_back(tampon);
        }
        reveil_.notify_all();
    }

    void demarrer() override {
        snd_pcm_prepare(pcm_.get());
        snd_pcm_start(pcm_.get());
        {
            std::lock_guard verrou(mutex_);
            demarre_ = true;
        }
        reveil_.notify_all();
    }

    void reinitialiser() override {
        arreter();
        snd_pcm_drop(pcm_.get());
        std::deque<EnTeteOnde*> rendus;
        {
            std::lock_guard verrou(mutex_);
            rendus.swap(file_);
        }
        for (EnTeteOnde* t : rendus)
            rappel_(t);
    }

    std::string erreur() const override {
        std::lock_guard verrou(mutex_);
        return erreur_;
    }

private:
    void arreter() {
        {
            std::lock_guard verrou(mutex_);
            arret_ = true;
        }
        reveil_.notify_all();
        if (fil_.joinable()) fil_.join();
    }

    void boucle() {
        for (;;) {
            EnTeteOnde* t;
            {
                std::unique_lock verrou(mutex_);
                reveil_.wait(verrou, [this] { return arret_ || (demarre_ && !file_.empty()); });
                if (arret_) return;
                t = file_.front();
            }
            // The buffer in front is filled outside the lock: only this thread touches it
            // until it is given back.
            const int attente = snd_pcm_wait(pcm_.get(), 100);
            if (attente == 0) continue;
            const uint32_t reste =
                (t->dwBufferLength - t->dwBytesRecorded) / static_cast<uint32_t>(octetsParTrame_);
            snd_pcm_sframes_t n =
                attente < 0 ? attente
                            : snd_pcm_readi(pcm_.get(), t->lpData + t->dwBytesRecorded, reste);
            if (n == -EAGAIN) continue;
            if (n < 0) {
                // An overrun (the reader was late) is recovered; anything else ends the capture.
                if (snd_pcm_recover(pcm_.get(), static_cast<int>(n), 1) == 0) continue;
                std::lock_guard verrou(mutex_);
                erreur_ = std::string("Le micro ne répond plus : ") +
                          snd_strerror(static_cast<int>(n)) + ".";
                return;
            }
            t->dwBytesRecorded += static_cast<uint32_t>(n) * static_cast<uint32_t>(octetsParTrame_);
            if (t->dwBufferLength - t->dwBytesRecorded < static_cast<uint32_t>(octetsParTrame_)) {
                {
                    std::lock_guard verrou(mutex_);
                    file_.pop_front();
                }
                rappel_(t);
            }
        }
    }

    std::unique_ptr<snd_pcm_t, FermerPcm> pcm_;
    const int octetsParTrame_;
    const RappelOnde rappel_;
    mutable std::mutex mutex_;
    std::condition_variable reveil_;
    std::deque<EnTeteOnde*> file_;
    bool demarre_ = false;
    bool arret_ = false;
    std::string erreur_;
    std::thread fil_;  // last: started once everything else exists
};

}  // namespace

int PiloteAlsa::nombrePeripheriques() {
    return 1 + static_cast<int>(peripheriquesDeCapture().size());
}

std::string PiloteAlsa::nomPeripherique(int index) {
    if (index == 0) return "default";
    const auto noms = peripheriquesDeCapture();
    return index > 0 && index <= static_cast<int>(noms.size())
               ? noms[static_cast<size_t>(index - 1)]
               : std::string();
}

std::unique_ptr<PeripheriqueEntree> PiloteAlsa::ouvrir(int index, const FormatOnde& format,
                                                       RappelOnde rappel) {
    const std::string nom = nomPeripherique(index);
    if (nom.empty()) throw EACSException("Le micro " + std::to_string(index) + " n'existe pas.");
    snd_pcm_t* brut = nullptr;
    int r = snd_pcm_open(&brut, nom.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (r < 0)
        throw EACSException("Impossible d'ouvrir le micro « " + nom + " » : " + snd_strerror(r) +
                            ".");
    std::unique_ptr<snd_pcm_t, FermerPcm> pcm(brut);
    const snd_pcm_format_t f =
        format.wBitsPerSample == 16 ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8;
    r = snd_pcm_set_params(pcm.get(), f, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                           format.nSamplesPerSec, 1, 500000);
    if (r < 0)
        throw EACSException("Le micro « " + nom +
                            " » refuse le format demandé : " + snd_strerror(r) + ".");
    return std::make_unique<PeripheriqueAlsa>(std::move(pcm), format, std::move(rappel));
}

}  // namespace vp
