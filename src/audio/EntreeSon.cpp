// SPDX-License-Identifier: GPL-3.0-or-later
#include "EntreeSon.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace vp {

namespace {

// One lock for the capture queues of every instance.
std::mutex& verrouAudio() {
    static std::mutex verrou;
    return verrou;
}

}  // namespace

TAudioIn::TAudioIn() = default;

TAudioIn::~TAudioIn() {
    // A chain still pulling this source lets go of it first (waiting for a GetData in
    // progress); closing the device then stops its thread: no callback comes after this point.
    AnnoncerDestruction();
    peripherique_.reset();
}

void TAudioIn::SetBaseChannel(int Value) {
    if (Busy) throw EACSException("Component is buisy");
    if (Value < 0 || Value >= piloteEntree().nombrePeripheriques())
        throw EACSException("Channel " + std::to_string(Value) + " is not available");
    baseChannel_ = Value;
}

int TAudioIn::delaiMaximalMs() const {
    const int64_t parSeconde = std::max<int64_t>(1, format_.nAvgBytesPerSec);
    return static_cast<int>(3 * kTailleTampon * 1000 / parSeconde + 2000);
}

void TAudioIn::ouvrirPeripherique() {
    if (ouvertures_ == 0)
        peripherique_ =
            piloteEntree().ouvrir(baseChannel_, format_, [this](EnTeteOnde* t) { rappel(t); });
    ++ouvertures_;
}

void TAudioIn::fermerPeripherique() {
    if (ouvertures_ == 1) peripherique_.reset();
    if (ouvertures_ > 0) --ouvertures_;
}

void TAudioIn::rappel(EnTeteOnde* tampon) {
    std::lock_guard verrou(verrouAudio());
    tampon->lpNext = nullptr;
    if (queue_)
        queue_->lpNext = tampon;
    else
        tete_ = tampon;
    queue_ = tampon;
    --enAttente_;
    if (tampon->repereTrames >= 0)
        repere_ = Repere{
            std::chrono::steady_clock::time_point(std::chrono::nanoseconds(tampon->repereNs)),
            tampon->repereTrames};
}

void TAudioIn::Init() {
    if (Busy) throw EACSException("The component is buisy");
    BufEnd = 0;
    BufStart = 1;
    Position = 0;
    const int bits = InBitsPerSample, canaux = InChannels, frequence = InSampleRate;
    format_.wFormatTag = 1;
    format_.nChannels = static_cast<uint16_t>(canaux);
    format_.nSamplesPerSec = static_cast<uint32_t>(frequence);
    format_.wBitsPerSample = static_cast<uint16_t>(bits);
    format_.nBlockAlign = static_cast<uint16_t>(canaux * bits / 8);
    format_.nAvgBytesPerSec = format_.nSamplesPerSec * format_.nBlockAlign;
    recBytes_ = static_cast<int64_t>(bits / 8) * RecTime * canaux * frequence;
    sansReponse_ = false;
    silenceARendre_ = 0;
    debordements_ = 0;
    perteIncertaine_ = false;
    silenceInseree_ = 0;
    debutNs_ = 0;
    interrompu_ = false;
    Busy = true;
    {
        std::lock_guard verrou(verrouAudio());
        tete_ = queue_ = nullptr;
        enAttente_ = 0;
        repere_.reset();
    }
    try {
        ouvrirPeripherique();
        peripherique_->demarrer();
        noterDebut();
    } catch (...) {
        if (ouvertures_ > 0) fermerPeripherique();
        Busy = false;
        throw;
    }
    Size = static_cast<int32_t>(std::min<int64_t>(recBytes_, INT32_MAX));
}

std::optional<std::chrono::steady_clock::time_point> TAudioIn::InstantDebut() const {
    const int64_t ns = debutNs_.load();
    if (ns == 0) return std::nullopt;
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns));
}

std::optional<TAudioIn::Repere> TAudioIn::DernierRepere() const {
    std::lock_guard verrou(verrouAudio());
    return repere_;
}

void TAudioIn::noterDebut() {
    if (debutNs_.load() != 0 || !peripherique_) return;
    if (const auto debut = peripherique_->instantDebut())
        debutNs_ = debut->time_since_epoch().count();
}

int TAudioIn::GetData(void* Buffer, int BufferSize) {
    if (!Busy) throw EACSException("The Stream is not opened");
    if (recBytes_ >= 0 && Position >= recBytes_) return 0;
    if (interrompu_) return 0;

    // The device always holds four buffers.
    std::vector<TamponCapture*> aDonner;
    {
        std::lock_guard verrou(verrouAudio());
        while (enAttente_ < kTamponsEnCours) {
            TamponCapture* t;
            if (!libres_.empty()) {
                t = libres_.back();
                libres_.pop_back();
            } else {
                reserve_.push_back(std::make_unique<TamponCapture>());
                t = reserve_.back().get();
            }
            t->entete = EnTeteOnde{t->donnees, kTailleTampon, 0, 0, nullptr};
            ++enAttente_;
            aDonner.push_back(t);
        }
    }
    for (TamponCapture* t : aDonner)
        peripherique_->ajouterTampon(&t->entete);

    if (BufStart > BufEnd && silenceARendre_ == 0) {
        BufStart = 1;
        const auto limite =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(delaiMaximalMs());
        EnTeteOnde* plein = nullptr;
        for (;;) {
            {
                std::lock_guard verrou(verrouAudio());
                if (tete_) {
                    plein = tete_;
                    tete_ = tete_->lpNext;
                    if (!tete_) queue_ = nullptr;
                    break;
                }
            }
            if (interrompu_) return 0;
            const std::string erreur = peripherique_->erreur();
            if (!erreur.empty()) {
                sansReponse_ = true;
                throw EACSException(erreur);
            }
            if (std::chrono::steady_clock::now() > limite) {
                sansReponse_ = true;
                throw EACSException("Le micro ne donne plus de son : l'enregistrement s'arrête.");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        noterDebut();  // a device without a start stamp knows once its first buffer is in
        BufEnd = static_cast<int>(std::min<uint32_t>(plein->dwBytesRecorded, kTailleTampon));
        std::memcpy(local_, plein->lpData, static_cast<size_t>(BufEnd));
        // Sound lost before this buffer becomes as much silence, delivered first: each byte
        // after it then sits at the time the microphone heard it.
        const auto bloc = static_cast<uint64_t>(std::max<int>(1, format_.nBlockAlign));
        const auto perdus = static_cast<int64_t>(plein->octetsPerdusAvant / bloc * bloc);
        if (plein->debordements > 0 || perdus > 0) {
            debordements_ += static_cast<int>(std::max<uint32_t>(1, plein->debordements));
            silenceARendre_ += perdus;
        }
        if (plein->perteIncertaine) perteIncertaine_ = true;
        libres_.push_back(reinterpret_cast<TamponCapture*>(plein));
    }
    if (silenceARendre_ > 0) {
        int64_t n = std::min<int64_t>(BufferSize, silenceARendre_);
        if (recBytes_ >= 0) n = std::min<int64_t>(n, recBytes_ - Position);
        // 8-bit samples are unsigned: their silence is the middle value.
        std::memset(Buffer, format_.wBitsPerSample == 8 ? 0x80 : 0, static_cast<size_t>(n));
        silenceARendre_ -= n;
        silenceInseree_ += n;
        Position += static_cast<int32_t>(n);
        return static_cast<int>(n);
    }
    // Not a byte past the length asked for: the file's header then tells exactly what it holds.
    int n = std::min(BufferSize, BufEnd - BufStart + 1);
    if (recBytes_ >= 0) n = static_cast<int>(std::min<int64_t>(n, recBytes_ - Position));
    std::memcpy(Buffer, local_ + BufStart - 1, static_cast<size_t>(n));
    BufStart += n;
    Position += n;
    return n;
}

void TAudioIn::Flush() {
    if (peripherique_) {
        // Every buffer handed to the device comes back first; a device that has stopped
        // delivering is not waited for, or not beyond a few buffers' time, nor one whose stream
        // was interrupted.
        const auto limite =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(delaiMaximalMs());
        while (!sansReponse_ && !interrompu_) {
            {
                std::lock_guard verrou(verrouAudio());
                if (enAttente_ <= 0) break;
            }
            if (!peripherique_->erreur().empty() || std::chrono::steady_clock::now() > limite)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        peripherique_->reinitialiser();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    {
        std::lock_guard verrou(verrouAudio());
        tete_ = queue_ = nullptr;
        enAttente_ = 0;
    }
    fermerPeripherique();
    libres_.clear();
    reserve_.clear();
    Busy = false;
}

}  // namespace vp
