// SPDX-License-Identifier: GPL-3.0-or-later
#include "Flux.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace vp {

ErreurFichierAudio::ErreurFichierAudio(const std::string& quoi, std::string fichier_, int erreur_)
    : EACSException(quoi + " \"" + fichier_ + "\": " + std::strerror(erreur_) + "."),
      fichier(std::move(fichier_)),
      erreur(erreur_) {}

// --- TComponent ---

TComponent::~TComponent() {
    AnnoncerDestruction();
}

void TComponent::AnnoncerDestruction() {
    const std::vector<TComponent*> abonnes(abonnes_.begin(), abonnes_.end());
    abonnes_.clear();
    for (TComponent* a : abonnes) {
        a->abonnes_.erase(this);
        a->Notification(this);
    }
}

void TComponent::FreeNotification(TComponent* autre) {
    if (!autre || autre == this) return;
    abonnes_.insert(autre);
    autre->abonnes_.insert(this);
}

void TComponent::RemoveFreeNotification(TComponent* autre) {
    if (!autre) return;
    abonnes_.erase(autre);
    autre->abonnes_.erase(this);
}

namespace {

// The input of a filter or an output changes: while a stream runs, the new source is started
// first, swapped in under the guard that the pump holds around GetData, then the old one ended.
void changerEntree(std::atomic<TACSInput*>& entree, Garde& garde, bool enCours, TACSInput* nouvelle,
                   TComponent* abonne) {
    TACSInput* ancienne = entree.load();
    if (!enCours) {
        entree = nouvelle;
    } else {
        if (nouvelle) nouvelle->Init();
        garde.prendre();
        entree = nouvelle;
        garde.rendre();
        if (ancienne) ancienne->Flush();
    }
    if (ancienne && ancienne != nouvelle) ancienne->RemoveFreeNotification(abonne);
    if (nouvelle) nouvelle->FreeNotification(abonne);
}

// The input is going away: forget it, without calling into what is being destroyed. The guard
// waits for a GetData in progress to return first.
void oublierEntree(std::atomic<TACSInput*>& entree, Garde& garde, TComponent* composant) {
    if (composant != entree.load()) return;
    GardePrise prise(garde);
    entree = nullptr;
}

}  // namespace

// --- TACSInput ---

void TACSInput::Reset() {
    try {
        Flush();
    } catch (...) {
    }
    Busy = false;
}

// --- TACSConverter ---

TACSConverter::~TACSConverter() {
    LibererEntree();
}

void TACSConverter::LibererEntree() {
    AnnoncerDestruction();
    if (!Busy) return;
    Busy = false;
    if (TACSInput* i = input_.load()) {
        try {
            i->Flush();
        } catch (...) {
        }
    }
}

void TACSConverter::SetInput(TACSInput* Value) {
    if (Value == this) return;
    changerEntree(input_, InputGuard, Busy, Value, this);
}

void TACSConverter::Notification(TComponent* composant) {
    oublierEntree(input_, InputGuard, composant);
}

void TACSConverter::ReleaseLocks() {
    InputGuard.rendre();
    if (auto* amont = dynamic_cast<TACSConverter*>(Input())) amont->ReleaseLocks();
}

// --- TACSThread ---

TACSThread::TACSThread() = default;

TACSThread::~TACSThread() {
    Terminer();
}

void TACSThread::Start() {
    fil_ = std::thread([this] { boucle(); });
}

void TACSThread::Resume() {
    {
        std::lock_guard verrou(mutex_);
        suspendu_ = false;
        ++generation_;
    }
    reveil_.notify_all();
}

void TACSThread::boucle() {
    for (;;) {
        uint64_t generation;
        {
            std::unique_lock verrou(mutex_);
            reveil_.wait(verrou, [this] { return !suspendu_ || ExitRequest; });
            generation = generation_;
        }
        if (ExitRequest) break;
        try {
            if (!Step(StopRequest)) {
                StopRequest = false;
                OnStreamEnd();
                if (SuspendWhenIdle) suspendre(generation);
            }
        } catch (const std::exception& e) {
            StopRequest = false;
            OnStepError(e);
            if (SuspendWhenIdle) suspendre(generation);
        }
    }
    if (!sansDernierPas_) {
        try {
            Step(true);
        } catch (...) {
        }
    }
    ExitRequest = false;
}

void TACSThread::suspendre(uint64_t generation) {
    std::lock_guard verrou(mutex_);
    if (generation_ == generation) suspendu_ = true;
}

void TACSThread::Terminer() {
    if (!fil_.joinable()) return;
    {
        std::lock_guard verrou(mutex_);
        if (suspendu_) sansDernierPas_ = true;  // a suspended worker is not woken for a step
        ExitRequest = true;
    }
    reveil_.notify_all();
    fil_.join();
}

// --- TACSOutput ---

TACSOutput::TACSOutput() : Thread(std::make_unique<TACSThread>()) {
    Thread->Step = [this](bool abandon) { return PumpStep(abandon); };
    Thread->OnStreamEnd = [this] { EndStream(); };
    Thread->OnStepError = [this](const std::exception& e) { ReportStreamError(e); };
    Thread->SuspendWhenIdle = true;
    Thread->Start();
}

TACSOutput::~TACSOutput() {
    // The concrete output has already stopped the worker (TerminerTravailleur); Done cannot be
    // called from here any more.
    Thread->Terminer();
    if (TACSInput* i = input_.load()) i->RemoveFreeNotification(this);
}

void TACSOutput::TerminerTravailleur() {
    Thread->Terminer();
    if (!Busy) return;
    OutputReady = false;
    try {
        Done();
        Valider();
    } catch (...) {
        abandonnerSansErreur();
    }
    Busy = false;
}

void TACSOutput::abandonnerSansErreur() {
    try {
        Abandonner();
    } catch (...) {
    }
}

void TACSOutput::SetInput(TACSInput* Value) {
    changerEntree(input_, InputGuard, Busy, Value, this);
}

void TACSOutput::Notification(TComponent* composant) {
    oublierEntree(input_, InputGuard, composant);
}

void TACSOutput::Run() {
    if (Busy) throw EACSException("Component is buisy");
    if (!Input()) throw EACSException("Input is not assigned");
    try {
        InputGuard.rendre();
        Prepare();
        Busy = true;
        Thread->StopRequest = false;
        OutputReady = true;
        Thread->Resume();
    } catch (const std::exception& e) {
        ReportStreamError(e);
    }
}

void TACSOutput::Stop() {
    Thread->StopRequest = true;
}

int TACSOutput::Status() const {
    if (!Busy) return 2;
    return Thread->Suspended() ? 1 : 0;
}

int TACSOutput::Progress() const {
    GardePrise prise(InputGuard);
    return progressionDe(Input());
}

int TACSOutput::progressionDe(TACSInput* i) {
    if (!i) return 0;
    const int32_t taille = i->Size;
    if (taille == -1) return -1;
    if (taille == 0) return 0;
    return static_cast<int>(std::nearbyint(static_cast<double>(i->Position) / taille * 100.0));
}

void TACSOutput::SignalerProgression(int p) {
    if (p != LastProgress) {
        LastProgress = p;
        if (OnProgress) OnProgress(this);
    }
}

void TACSOutput::EndStream() {
    if (!Busy) return;
    OutputReady = false;
    try {
        Done();
        Valider();
    } catch (const std::exception& e) {
        // The stream could not be finished (its file not closed) or kept: an error, not an end.
        abandonnerSansErreur();
        Busy = false;
        if (OnThreadException) OnThreadException(this, e);
        return;
    }
    Busy = false;
    if (OnDone) OnDone(this);
}

void TACSOutput::ReportStreamError(const std::exception& E) {
    // The pump and the filters release their guards on every path (GardePrise), so none is
    // left held here; clearing them by force could free one that another thread holds.
    if (Status() != 2) {
        try {
            Done();
        } catch (...) {
        }
    }
    abandonnerSansErreur();
    OutputReady = false;
    Busy = false;
    if (OnThreadException) OnThreadException(this, E);
}

}  // namespace vp
