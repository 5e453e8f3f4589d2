// SPDX-License-Identifier: GPL-3.0-or-later
#include "EntreeAlsa.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "audio/Flux.h"

namespace vp {

namespace {

// Why ALSA refused, in the user's words.
std::string raisonAlsa(int code) {
    switch (-code) {
        case EBUSY:
            return "il est déjà utilisé par un autre programme";
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "il n'est pas branché ou n'existe pas";
        case EACCES:
        case EPERM:
            return "accès refusé";
        case EINVAL:
            return "réglage refusé";
        case EIO:
            return "erreur du matériel";
        default:
            return snd_strerror(code);
    }
}

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
    PeripheriqueAlsa(std::unique_ptr<snd_pcm_t, FermerPcm> pcm, std::string nom,
                     const FormatOnde& format, RappelOnde rappel, std::shared_ptr<AppelsPcm> appels,
                     std::shared_ptr<snd_config_t> configuration, bool stampsMonotones)
        : configuration_(std::move(configuration)),
          appels_(std::move(appels)),
          pcm_(std::move(pcm)),
          nom_(std::move(nom)),
          stampsMonotones_(stampsMonotones),
          octetsParTrame_(std::max(1, format.nBlockAlign + 0)),
          frequence_(std::max<uint32_t>(1, format.nSamplesPerSec)),
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
        int r = appels_->preparer(pcm_.get());
        if (r < 0)
            throw EACSException("Le micro « " + nom_ + " » ne se prépare pas : " + raisonAlsa(r) +
                                ".");
        r = appels_->demarrer(pcm_.get());
        if (r < 0)
            throw EACSException("Le micro « " + nom_ + " » ne démarre pas : " + raisonAlsa(r) +
                                ".");
        noterDemarrage();
        // The card's own stamp of its start, when it is on our clock and plausible (a sound
        // server's plugin may leave an old one); otherwise the first buffer will tell.
        const auto maintenant = std::chrono::steady_clock::now().time_since_epoch();
        if (stampsMonotones_ && debutSegment_.count() > 0 &&
            std::chrono::abs(maintenant - debutSegment_) < std::chrono::milliseconds(500))
            debutNs_ = debutSegment_.count();
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

    std::optional<std::chrono::steady_clock::time_point> instantDebut() const override {
        const int64_t ns = debutNs_.load();
        if (ns == 0) return std::nullopt;
        return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns));
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
            const int attente = appels_->attendre(pcm_.get(), 100);
            if (attente == 0) continue;
            const uint32_t reste =
                (t->dwBufferLength - t->dwBytesRecorded) / static_cast<uint32_t>(octetsParTrame_);
            const snd_pcm_sframes_t n =
                attente < 0 ? attente
                            : appels_->lire(pcm_.get(), t->lpData + t->dwBytesRecorded, reste);
            if (n == -EAGAIN) continue;
            if (n < 0) {
                if (reprendre(static_cast<int>(n), t)) continue;
                return;
            }
            lusDepuisDemarrage_ += n;
            tramesDuFlux_ += n;
            if (debutNs_.load() == 0 && n > 0) noterDebutParLePremierTampon();
            if (stampsMonotones_ && n > 0) noterRepere();
            t->dwBytesRecorded += static_cast<uint32_t>(n) * static_cast<uint32_t>(octetsParTrame_);
            if (t->dwBufferLength - t->dwBytesRecorded < static_cast<uint32_t>(octetsParTrame_))
                rendre(t);
        }
    }

    // Ties the sound to the steady clock: the card's status says when it had captured the
    // frames read so far and those it holds. Of the ties taken while a buffer fills, the one
    // that puts the stream's start earliest goes with it: a tie can only come late (the
    // status taken a little after the card counted), never early.
    void noterRepere() {
        HorlogePcm h;
        if (appels_->horloge(pcm_.get(), h) < 0 || h.instant.count() <= 0) return;
        const int64_t trames = tramesDuFlux_ + std::max<int64_t>(0, h.disponibles);
        const auto debut = h.instant - std::chrono::nanoseconds(trames * 1000000000 / frequence_);
        if (repereTrames_ < 0 || debut < debutRepere_) {
            debutRepere_ = debut;
            repereNs_ = h.instant.count();
            repereTrames_ = trames;
        }
    }

    // Gives back the buffer in front, with the sound lost just before its first byte.
    void rendre(EnTeteOnde* t) {
        t->repereNs = repereNs_;
        t->repereTrames = repereTrames_;
        repereTrames_ = -1;
        t->octetsPerdusAvant = octetsPerdus_;
        t->debordements = debordements_;
        t->perteIncertaine = perteIncertaine_;
        octetsPerdus_ = 0;
        debordements_ = 0;
        perteIncertaine_ = false;
        {
            std::lock_guard verrou(mutex_);
            file_.pop_front();
        }
        rappel_(t);
    }

    // Without a start stamp: the first sample was heard as long before now as the frames read
    // so far and those the card still holds last.
    void noterDebutParLePremierTampon() {
        HorlogePcm h;
        if (appels_->horloge(pcm_.get(), h) < 0) h = HorlogePcm{};
        const int64_t trames = lusDepuisDemarrage_ + std::max<int64_t>(0, h.disponibles);
        const auto avant = std::chrono::nanoseconds(trames * 1000000000 / frequence_);
        debutNs_ = (std::chrono::steady_clock::now().time_since_epoch() - avant).count();
    }

    // Where the card's clock stood when it (re)started: the frames lost in an overrun are
    // counted from there.
    void noterDemarrage() {
        HorlogePcm h;
        debutSegment_ =
            appels_->horloge(pcm_.get(), h) == 0 ? h.declenchement : std::chrono::nanoseconds{0};
        lusDepuisDemarrage_ = 0;
    }

    // The frames the card captured and nobody read, from its clock: those it held when it
    // overran (its hardware position past the reader's) plus those of the time it stood
    // stopped, between the trigger stamps of the overrun and of the restart. A card that
    // keeps no overrun stamp leaves there its last start's (a sound server's plugin) or none
    // (a suspend): then the time since the last start minus the frames read since. Never the
    // reading thread's clock: it stalled too. Not measured when the stamps are missing; the
    // count is then the frames the card said it held, at least.
    struct Perte {
        int64_t trames = 0;
        bool mesuree = false;
    };
    Perte tramesPerdues(const HorlogePcm& arret, const HorlogePcm& reprise) const {
        const auto trames = [this](std::chrono::nanoseconds d) {
            return static_cast<int64_t>(
                std::llround(static_cast<double>(d.count()) * frequence_ / 1e9));
        };
        const bool deborde = arret.etat == SND_PCM_STATE_XRUN;
        const bool arretDate =
            deborde && arret.declenchement > debutSegment_ && arret.declenchement.count() > 0;
        Perte p;
        if (reprise.declenchement.count() == 0)
            p.trames = deborde ? arret.disponibles : 0;
        else if (arretDate)
            p = {arret.disponibles + trames(reprise.declenchement - arret.declenchement), true};
        else if (debutSegment_.count() > 0)
            p = {trames(reprise.declenchement - debutSegment_) - lusDepuisDemarrage_, true};
        else
            p.trames = deborde ? arret.disponibles : 0;
        p.trames = std::max<int64_t>(0, p.trames);
        return p;
    }

    // An overrun (the reader was late) or a suspend: snd_pcm_recover prepares the PCM again,
    // and a capture PCM then waits to be started. Anything else ends the capture; false then.
    // Only a real restart counts as a cut: the sound lost meanwhile is handed on with the next
    // buffer; `t`, the buffer in front, is given back first when it already holds sound from
    // before.
    bool reprendre(int code, EnTeteOnde* t) {
        HorlogePcm arret;
        if (appels_->horloge(pcm_.get(), arret) < 0) arret = HorlogePcm{};
        int r = appels_->recuperer(pcm_.get(), code);
        bool redemarre = false;
        if (r == 0 && appels_->etat(pcm_.get()) == SND_PCM_STATE_PREPARED) {
            r = appels_->demarrer(pcm_.get());
            redemarre = r == 0;
        }
        if (r == 0) {
            if (!redemarre) return true;  // still running: nothing was lost
            HorlogePcm reprise;
            if (appels_->horloge(pcm_.get(), reprise) < 0) reprise = HorlogePcm{};
            const Perte perte = tramesPerdues(arret, reprise);
            if (t->dwBytesRecorded > 0) rendre(t);
            octetsPerdus_ +=
                static_cast<uint64_t>(perte.trames) * static_cast<uint64_t>(octetsParTrame_);
            tramesDuFlux_ += perte.trames;  // the reader puts as much silence in their place
            ++debordements_;
            perteIncertaine_ = perteIncertaine_ || !perte.mesuree;
            debutSegment_ = reprise.declenchement;
            lusDepuisDemarrage_ = 0;
            return true;
        }
        std::lock_guard verrou(mutex_);
        erreur_ = "Le micro « " + nom_ + " » ne répond plus : " + raisonAlsa(code) + ".";
        return false;
    }

    const std::shared_ptr<snd_config_t> configuration_;  // outlives the PCM opened from it
    const std::shared_ptr<AppelsPcm> appels_;
    std::unique_ptr<snd_pcm_t, FermerPcm> pcm_;
    const std::string nom_;
    const bool stampsMonotones_;  // the card's time stamps are on the steady clock
    const int octetsParTrame_;
    const uint32_t frequence_;
    const RappelOnde rappel_;
    mutable std::mutex mutex_;
    std::condition_variable reveil_;
    std::deque<EnTeteOnde*> file_;
    bool demarre_ = false;
    bool arret_ = false;
    std::string erreur_;
    // The capture thread's own once `demarre_` is set under `mutex_` (demarrer() writes the
    // first two before, on the caller's thread): the last start's trigger stamp, the frames
    // read since, and the sound lost not yet handed on with a buffer.
    std::chrono::nanoseconds debutSegment_{0};
    int64_t lusDepuisDemarrage_ = 0;
    uint64_t octetsPerdus_ = 0;
    uint32_t debordements_ = 0;
    bool perteIncertaine_ = false;
    // The stream's frames so far (those lost counted), and the best tie to the steady clock
    // taken for the buffer in front (repereTrames_ -1: none yet).
    int64_t tramesDuFlux_ = 0;
    std::chrono::nanoseconds debutRepere_{0};
    int64_t repereNs_ = 0;
    int64_t repereTrames_ = -1;
    // When the first sample was heard, in nanoseconds of the steady clock; 0 while unknown.
    std::atomic<int64_t> debutNs_{0};
    std::thread fil_;  // last: started once everything else exists
};

}  // namespace

int AppelsPcm::horloge(snd_pcm_t* pcm, HorlogePcm& h) {
    snd_pcm_status_t* etat = nullptr;
    snd_pcm_status_alloca(&etat);
    const int r = snd_pcm_status(pcm, etat);
    if (r < 0) return r;
    h.etat = snd_pcm_status_get_state(etat);
    h.disponibles = static_cast<int64_t>(snd_pcm_status_get_avail(etat));
    snd_htimestamp_t instant{};
    snd_pcm_status_get_trigger_htstamp(etat, &instant);
    h.declenchement =
        std::chrono::seconds(instant.tv_sec) + std::chrono::nanoseconds(instant.tv_nsec);
    snd_pcm_status_get_htstamp(etat, &instant);
    h.instant = std::chrono::seconds(instant.tv_sec) + std::chrono::nanoseconds(instant.tv_nsec);
    return 0;
}

PiloteAlsa::PiloteAlsa() : appels_(std::make_shared<AppelsPcm>()) {}

PiloteAlsa::PiloteAlsa(const std::string& configuration, std::shared_ptr<AppelsPcm> appels)
    : appels_(appels ? std::move(appels) : std::make_shared<AppelsPcm>()) {
    snd_config_t* racine = nullptr;
    snd_input_t* texte = nullptr;
    int r = snd_config_top(&racine);
    if (r == 0)
        r = snd_input_buffer_open(&texte, configuration.data(),
                                  static_cast<ssize_t>(configuration.size()));
    if (r == 0) {
        r = snd_config_load(racine, texte);
        snd_input_close(texte);
    }
    if (racine) configuration_.reset(racine, snd_config_delete);
    if (r < 0) throw EACSException(std::string("ALSA configuration refused: ") + snd_strerror(r));
}

PiloteAlsa::~PiloteAlsa() = default;

std::vector<std::string> PiloteAlsa::autresPeripheriques() {
    if (!configuration_) return peripheriquesDeCapture();
    std::vector<std::string> noms;
    snd_config_t* pcms = nullptr;
    if (snd_config_search(configuration_.get(), "pcm", &pcms) != 0) return noms;
    snd_config_iterator_t i, suivant;
    snd_config_for_each(i, suivant, pcms) {
        const char* id = nullptr;
        if (snd_config_get_id(snd_config_iterator_entry(i), &id) == 0 && id &&
            std::strcmp(id, "default") != 0)
            noms.emplace_back(id);
    }
    return noms;
}

int PiloteAlsa::nombrePeripheriques() {
    return 1 + static_cast<int>(autresPeripheriques().size());
}

std::string PiloteAlsa::nomPeripherique(int index) {
    if (index == 0) return "default";
    const auto noms = autresPeripheriques();
    return index > 0 && index <= static_cast<int>(noms.size())
               ? noms[static_cast<size_t>(index - 1)]
               : std::string();
}

std::unique_ptr<PeripheriqueEntree> PiloteAlsa::ouvrir(int index, const FormatOnde& format,
                                                       RappelOnde rappel) {
    const std::string nom = nomPeripherique(index);
    if (nom.empty()) throw EACSException("Le micro " + std::to_string(index) + " n'existe pas.");
    snd_pcm_t* brut = nullptr;
    int r = configuration_
                ? snd_pcm_open_lconf(&brut, nom.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK,
                                     configuration_.get())
                : snd_pcm_open(&brut, nom.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (r < 0)
        throw EACSException("Impossible d'ouvrir le micro « " + nom + " » : " + raisonAlsa(r) +
                            ".");
    std::unique_ptr<snd_pcm_t, FermerPcm> pcm(brut);
    const snd_pcm_format_t f =
        format.wBitsPerSample == 16 ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8;
    r = snd_pcm_set_params(pcm.get(), f, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                           format.nSamplesPerSec, 1, 500000);
    if (r < 0)
        throw EACSException("Le micro « " + nom + " » refuse le format demandé : " + raisonAlsa(r) +
                            ".");
    // Time stamps on the monotonic clock, when the device allows it: a clock set by the
    // network in the middle of a recording must not count as lost sound. Each status is
    // stamped with the instant the card's position was read, which ties the sound to the
    // steady clock.
    snd_pcm_sw_params_t* logiciel = nullptr;
    snd_pcm_sw_params_alloca(&logiciel);
    const bool monotones =
        snd_pcm_sw_params_current(pcm.get(), logiciel) == 0 &&
        snd_pcm_sw_params_set_tstamp_type(pcm.get(), logiciel, SND_PCM_TSTAMP_TYPE_MONOTONIC) ==
            0 &&
        snd_pcm_sw_params_set_tstamp_mode(pcm.get(), logiciel, SND_PCM_TSTAMP_ENABLE) == 0 &&
        snd_pcm_sw_params(pcm.get(), logiciel) == 0;
    return std::make_unique<PeripheriqueAlsa>(std::move(pcm), nom, format, std::move(rappel),
                                              appels_, configuration_, monotones);
}

}  // namespace vp
