// SPDX-License-Identifier: GPL-3.0-or-later
#include "MicroSimule.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "audio/Flux.h"

namespace vp {

namespace {

using Horloge = std::chrono::steady_clock;

// Simulated devices open now, for the exclusive mode.
std::atomic<int> g_ouverts{0};

class PeripheriqueSimule final : public PeripheriqueEntree {
public:
    PeripheriqueSimule(const FormatOnde& format, RappelOnde rappel)
        : format_(format), rappel_(std::move(rappel)), fil_([this] { boucle(); }) {}

    ~PeripheriqueSimule() override {
        {
            std::lock_guard verrou(mutex_);
            arret_ = true;
        }
        reveil_.notify_all();
        fil_.join();
        --g_ouverts;
    }

    void ajouterTampon(EnTeteOnde* tampon) override {
        {
            std::lock_guard verrou(mutex_);
            file_.push_back(tampon);
        }
        reveil_.notify_all();
    }

    void demarrer() override {
        {
            std::lock_guard verrou(mutex_);
            demarre_ = true;
            debut_ = Horloge::now();
            debutConnu_ = true;
            livres_ = 0;
            hoquetPasse_ = false;
            avance_ = 0;
            octetsPerdus_ = 0;
            debordements_ = 0;
        }
        reveil_.notify_all();
    }

    void reinitialiser() override {
        std::deque<EnTeteOnde*> rendus;
        {
            std::lock_guard verrou(mutex_);
            demarre_ = false;
            rendus.swap(file_);
        }
        for (EnTeteOnde* t : rendus) {
            t->dwBytesRecorded = 0;
            rappel_(t);
        }
    }

    std::string erreur() const override { return {}; }

    std::optional<Horloge::time_point> instantDebut() const override {
        std::lock_guard verrou(mutex_);
        if (!debutConnu_) return std::nullopt;
        return debut_;
    }

private:
    void boucle() {
        std::unique_lock verrou(mutex_);
        for (;;) {
            reveil_.wait(verrou, [this] { return arret_ || (demarre_ && !file_.empty()); });
            if (arret_) return;
            if (reglagesMicroSimule().muet) {
                reveil_.wait_for(verrou, std::chrono::milliseconds(10));
                continue;
            }
            const ReglagesMicroSimule& r = reglagesMicroSimule();
            const int64_t parSeconde = std::max<int64_t>(1, format_.nAvgBytesPerSec);
            const int64_t bloc = std::max<int64_t>(1, format_.nBlockAlign);
            const auto octets = [&](int64_t ms) { return ms * parSeconde / 1000 / bloc * bloc; };
            if (!hoquetPasse_ && r.hoquetApresMs >= 0 && livres_ >= octets(r.hoquetApresMs)) {
                hoquetPasse_ = true;
                if (r.rapide) {
                    avance_ = octets(r.hoquetDureeMs);
                } else if (reveil_.wait_until(
                               verrou, Horloge::now() + std::chrono::milliseconds(r.hoquetDureeMs),
                               [this] { return arret_ || !demarre_; })) {
                    continue;
                }
            }
            if (!r.rapide) {
                const auto echeance = instantDe(livres_ + file_.front()->dwBufferLength);
                if (reveil_.wait_until(verrou, echeance, [this] { return arret_ || !demarre_; }))
                    continue;
                if (file_.empty()) continue;  // given back by a reset meanwhile
            }
            if (r.pertes) {
                // What the device has captured by now that its reader has not taken.
                const int64_t longueur = file_.front()->dwBufferLength;
                const int64_t capture =
                    r.rapide ? livres_ + (avance_ > 0 ? avance_ : longueur)
                             : static_cast<int64_t>(
                                   std::chrono::duration<double>(Horloge::now() - debut_).count() *
                                   static_cast<double>(parSeconde) * cristal()) /
                                   bloc * bloc;
                avance_ = 0;
                if (capture - livres_ > std::max(longueur, octets(r.capaciteMs))) {
                    octetsPerdus_ += static_cast<uint64_t>(capture - livres_);
                    ++debordements_;
                    livres_ = capture;
                    continue;  // the buffer now starts at the present
                }
            }
            EnTeteOnde* t = file_.front();
            remplir(t);
            t->octetsPerdusAvant = octetsPerdus_;
            t->debordements = debordements_;
            octetsPerdus_ = 0;
            debordements_ = 0;
            livres_ += t->dwBufferLength;
            if (!r.rapide) {
                t->repereNs = instantDe(livres_).time_since_epoch().count();
                t->repereTrames = livres_ / bloc;
            }
            file_.pop_front();
            verrou.unlock();
            rappel_(t);
            verrou.lock();
        }
    }

    // The device's rate against the computer's clock.
    static double cristal() { return 1.0 + reglagesMicroSimule().derivePpm / 1e6; }
    // When the device has heard `octets` bytes of sound since its start.
    Horloge::time_point instantDe(int64_t octets) const {
        const double parSeconde = std::max<uint32_t>(1, format_.nAvgBytesPerSec) * cristal();
        return debut_ + std::chrono::nanoseconds(
                            std::llround(static_cast<double>(octets) * 1e9 / parSeconde));
    }

    // Samples continue from one buffer to the next: the sample index is the bytes delivered.
    void remplir(EnTeteOnde* t) {
        const ReglagesMicroSimule& r = reglagesMicroSimule();
        const int octetsEchantillon = std::max(1, format_.wBitsPerSample / 8);
        const int canaux = std::max<int>(1, format_.nChannels);
        const int64_t premier = livres_ / (octetsEchantillon * canaux);
        const uint32_t trames =
            t->dwBufferLength / static_cast<uint32_t>(octetsEchantillon * canaux);
        const double pas = 2.0 * M_PI * r.frequence / std::max<uint32_t>(1, format_.nSamplesPerSec);
        char* p = t->lpData;
        for (uint32_t i = 0; i < trames; ++i) {
            int valeur = 0;
            switch (r.signal.load()) {
                case ReglagesMicroSimule::Signal::Sinus:
                    valeur = static_cast<int>(std::lround(
                        r.amplitude * std::sin(pas * static_cast<double>(premier + i))));
                    break;
                case ReglagesMicroSimule::Signal::Silence:
                    valeur = 0;
                    break;
                case ReglagesMicroSimule::Signal::Constante:
                    valeur = r.constante;
                    break;
                case ReglagesMicroSimule::Signal::Rampe:
                    valeur = static_cast<int16_t>(static_cast<uint16_t>(premier + i));
                    break;
                case ReglagesMicroSimule::Signal::Parole: {
                    const double t = static_cast<double>(premier + i) /
                                     std::max<uint32_t>(1, format_.nSamplesPerSec);
                    const double syllabe = std::max(0.0, std::sin(2 * M_PI * 2.5 * t));
                    const double force = 0.3 + 0.7 * std::abs(std::sin(2 * M_PI * 0.37 * t));
                    valeur = static_cast<int>(
                        std::lround(r.amplitude * syllabe * force *
                                    std::sin(pas * static_cast<double>(premier + i))));
                    break;
                }
                case ReglagesMicroSimule::Signal::Horloge: {
                    const auto entendu = instantDe((premier + i) * octetsEchantillon * canaux);
                    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                        entendu.time_since_epoch())
                                        .count();
                    valeur = static_cast<int16_t>(static_cast<uint16_t>(ms));
                    break;
                }
            }
            for (int c = 0; c < canaux; ++c) {
                if (octetsEchantillon == 2) {
                    const auto v = static_cast<uint16_t>(static_cast<int16_t>(valeur));
                    *p++ = static_cast<char>(v & 0xFF);
                    *p++ = static_cast<char>(v >> 8);
                } else {
                    *p++ = static_cast<char>(128 + (valeur >> 8));
                }
            }
        }
        t->dwBytesRecorded = trames * static_cast<uint32_t>(octetsEchantillon * canaux);
    }

    const FormatOnde format_;
    const RappelOnde rappel_;
    mutable std::mutex mutex_;
    std::condition_variable reveil_;
    std::deque<EnTeteOnde*> file_;
    bool demarre_ = false;
    bool arret_ = false;
    Horloge::time_point debut_;
    bool debutConnu_ = false;
    int64_t livres_ = 0;  // the stream's bytes so far, those lost included
    bool hoquetPasse_ = false;
    int64_t avance_ = 0;  // fast mode: how far the clock jumped in a stall, in bytes
    // Lost, not yet told with a buffer.
    uint64_t octetsPerdus_ = 0;
    uint32_t debordements_ = 0;
    std::thread fil_;  // last: started once everything else exists
};

}  // namespace

ReglagesMicroSimule& reglagesMicroSimule() {
    static ReglagesMicroSimule reglages;
    return reglages;
}

int PiloteMicroSimule::nombrePeripheriques() {
    return reglagesMicroSimule().peripheriques;
}

std::string PiloteMicroSimule::nomPeripherique(int index) {
    return "Micro simulé " + std::to_string(index);
}

std::unique_ptr<PeripheriqueEntree> PiloteMicroSimule::ouvrir(int index, const FormatOnde& format,
                                                              RappelOnde rappel) {
    if (reglagesMicroSimule().refuserOuverture || index < 0 || index >= nombrePeripheriques())
        throw EACSException("Impossible d'ouvrir le micro simulé " + std::to_string(index) + ".");
    if (g_ouverts++ > 0 && reglagesMicroSimule().exclusif) {
        --g_ouverts;
        throw EACSException("Impossible d'ouvrir le micro simulé " + std::to_string(index) +
                            " : il est déjà utilisé par un autre programme.");
    }
    try {
        return std::make_unique<PeripheriqueSimule>(format, std::move(rappel));
    } catch (...) {
        --g_ouverts;
        throw;
    }
}

}  // namespace vp
