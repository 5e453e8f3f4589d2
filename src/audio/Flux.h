// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The audio stream framework: sources deliver PCM bytes on request, filters read other
// sources, and each sink pumps its chain in a worker thread of its own.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

namespace vp {

// Every error of the framework.
class EACSException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file the framework writes cannot be created or written: carries the system's error number
// so that the window can say why in the user's words.
class ErreurFichierAudio : public EACSException {
public:
    ErreurFichierAudio(const std::string& quoi, std::string fichier, int erreur);
    const std::string fichier;
    const int erreur;
};

// A spin lock taken with an atomic test-and-set.
class Garde {
public:
    void prendre() {
        while (drapeau_.test_and_set(std::memory_order_acquire))
            std::this_thread::yield();
    }
    // Takes the lock only when it is free; false when someone holds it.
    bool essayer() { return !drapeau_.test_and_set(std::memory_order_acquire); }
    void rendre() { drapeau_.clear(std::memory_order_release); }

private:
    std::atomic_flag drapeau_ = ATOMIC_FLAG_INIT;
};

// Holds a Garde for its lifetime: released on every path, exceptions included.
class GardePrise {
public:
    explicit GardePrise(Garde& garde) : garde_(garde) { garde_.prendre(); }
    ~GardePrise() { garde_.rendre(); }
    GardePrise(const GardePrise&) = delete;
    GardePrise& operator=(const GardePrise&) = delete;

private:
    Garde& garde_;
};

// The toolkit's component: tells the components that refer to it when it goes away.
class TComponent {
public:
    TComponent() = default;
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::string Name;

    // `autre` will be told (Notification) when this component is destroyed.
    void FreeNotification(TComponent* autre);
    void RemoveFreeNotification(TComponent* autre);

protected:
    // `composant` is being destroyed.
    virtual void Notification(TComponent* composant) { (void)composant; }
    // Tells the components that refer to this one that it goes away. Concrete components call
    // it first in their destructor, so that a chain running through them lets go of them
    // before any of their members is destroyed; done again (without effect) by ~TComponent.
    void AnnoncerDestruction();

private:
    std::set<TComponent*> abonnes_;
};

// A source of PCM bytes.
class TACSInput : public TComponent {
public:
    std::atomic<int32_t> Position{0};  // bytes delivered since Init
    std::atomic<int32_t> Size{-1};     // declared length in bytes; -1 for open-ended
    std::atomic<bool> Busy{false};     // set by Init, cleared by Flush

    virtual int BitsPerSample() = 0;
    virtual int Channels() = 0;
    virtual int SampleRate() = 0;
    virtual int TotalTime() { return 0; }
    // Bytes written into Buffer (at most BufferSize); 0 at the end of the stream.
    virtual int GetData(void* Buffer, int BufferSize) = 0;
    virtual void Reset();
    virtual void Init() = 0;
    virtual void Flush() = 0;
};

// A filter: a source that reads another source.
class TACSConverter : public TACSInput {
public:
    // A filter destroyed in the middle of a stream ends the stream of its own input.
    ~TACSConverter() override;
    TACSInput* Input() const { return input_.load(); }
    virtual void SetInput(TACSInput* Value);
    // Frees this converter's InputGuard and those of the converters up the chain.
    void ReleaseLocks();

    Garde InputGuard;

protected:
    void Notification(TComponent* composant) override;
    // Ends the input's stream when this filter goes away in the middle of one.
    void LibererEntree();
    std::atomic<TACSInput*> input_{nullptr};
};

class TACSOutput;

// The worker thread of an output.
class TACSThread {
public:
    TACSThread();
    ~TACSThread();

    std::atomic<bool> SuspendWhenIdle{true};
    std::atomic<bool> ExitRequest{false};
    std::atomic<bool> StopRequest{false};
    std::function<bool(bool Abort)> Step;
    std::function<void()> OnStreamEnd;
    std::function<void(const std::exception&)> OnStepError;

    void Start();  // creates the thread, suspended
    void Resume();
    bool Suspended() const { return suspendu_.load(); }
    // Ends the thread: a running worker finishes its step, calls Step(true) once and leaves;
    // a suspended one leaves without a step. Waits for it.
    void Terminer();

private:
    void boucle();
    // Suspends the worker unless a Resume came since `generation` (a new stream started while
    // the last one was ending).
    void suspendre(uint64_t generation);

    std::thread fil_;
    std::mutex mutex_;
    std::condition_variable reveil_;
    std::atomic<bool> suspendu_{true};
    std::atomic<bool> sansDernierPas_{false};
    uint64_t generation_ = 0;  // counts the Resume calls, guarded by mutex_
};

using TOutputDoneEvent = std::function<void(TACSOutput* Sender)>;
using TOutputProgressEvent = std::function<void(TACSOutput* Sender)>;
using TThreadExceptionEvent = std::function<void(TACSOutput* Sender, const std::exception& E)>;

// A sink: pulls its input in its worker thread and consumes the bytes.
class TACSOutput : public TComponent {
public:
    TACSOutput();
    ~TACSOutput() override;

    TACSInput* Input() const { return input_.load(); }
    virtual void SetInput(TACSInput* Value);
    bool SuspendWhenIdle() const { return Thread->SuspendWhenIdle; }
    void SetSuspendWhenIdle(bool v) { Thread->SuspendWhenIdle = v; }

    TOutputDoneEvent OnDone;
    TOutputProgressEvent OnProgress;
    TThreadExceptionEvent OnThreadException;

    void Run();
    void Stop();
    // 2 when idle, 1 when the worker is suspended, else 0.
    int Status() const;
    // Percentage of the stream done; -1 for an open-ended stream.
    int Progress() const;

    bool EnCours() const { return Busy.load(); }

protected:
    virtual bool PumpStep(bool Abort) = 0;
    virtual void Done() = 0;
    virtual void Prepare() = 0;
    // After Done, a stream that ended (by itself, by Stop, or because the output is destroyed)
    // is kept; one that failed, or whose keeping failed, is dropped. Nothing by default: an
    // output that writes beside its file replaces the file, or removes what it wrote.
    virtual void Valider() {}
    virtual void Abandonner() {}
    void Notification(TComponent* composant) override;

    // Concrete outputs call this first in their destructor, while their own members still
    // exist for the worker's last step: the worker ends, and a stream still in progress is
    // finished (Done) so that its file is complete and its source released.
    void TerminerTravailleur();
    // Percentage of the stream of `entree` done (see Progress); the caller holds InputGuard.
    static int progressionDe(TACSInput* entree);
    // Raises OnProgress when `progression` differs from the last one reported.
    void SignalerProgression(int progression);

    std::atomic<bool> OutputReady{false};
    std::atomic<int32_t> LastProgress{0};
    std::unique_ptr<TACSThread> Thread;
    std::atomic<bool> Busy{false};
    // Held by the pump around every use of the input, and by whoever changes the input: a
    // source being unplugged or destroyed is never used after it has been let go.
    mutable Garde InputGuard;
    std::atomic<TACSInput*> input_{nullptr};

private:
    void EndStream();
    void ReportStreamError(const std::exception& E);
    void abandonnerSansErreur();
};

// An output that writes into a file stream.
class TACSStreamedOutput : public TACSOutput {
protected:
    struct FermerFichier {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FermerFichier> Stream;
};

enum TFileOutputMode { foRewrite = 0, foAppend = 1 };

// An output to a named file.
class TACSFileOut : public TACSStreamedOutput {
public:
    TFileOutputMode FileMode() const { return fileMode_; }
    // Stores foRewrite whatever is asked; an output able to append overrides it.
    virtual void SetFileMode(TFileOutputMode) { fileMode_ = foRewrite; }
    std::string FileName;

protected:
    TFileOutputMode fileMode_ = foRewrite;
    int FAccessMask = 0;
};

}  // namespace vp
