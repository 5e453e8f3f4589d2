// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "EntreeOnde.h"
#include "Flux.h"

namespace vp {

// The sound card as a source: records RecTime seconds through four rotating 16384-byte capture
// buffers, then ends its stream.
class TAudioIn : public TACSInput {
public:
    static constexpr int kTailleTampon = 16384;
    static constexpr int kTamponsEnCours = 4;

    TAudioIn();
    ~TAudioIn() override;

    int BaseChannel() const { return baseChannel_; }
    void SetBaseChannel(int Value);
    // Written by the window for the next stream while the last one may still be finishing on
    // its worker: each stream works with the values taken at its Init.
    std::atomic<int> InBitsPerSample{8};
    std::atomic<int> InChannels{1};
    std::atomic<int> InSampleRate{8000};
    std::atomic<int> RecTime{600};

    int BitsPerSample() override { return InBitsPerSample; }
    int Channels() override { return InChannels; }
    int SampleRate() override { return InSampleRate; }
    int TotalTime() override { return RecTime; }
    int GetData(void* Buffer, int BufferSize) override;
    void Init() override;
    void Flush() override;

    int64_t RecBytes() const { return recBytes_; }
    // Since Init: how many times the device overran (lost sound because the machine stalled),
    // and the silence put in place of the lost sound, in bytes of the stream.
    int Debordements() const { return debordements_; }
    int64_t SilenceInseree() const { return silenceInseree_; }
    // Whether the device could not measure some of that loss: the sound after it may then
    // sit a little early.
    bool PerteIncertaine() const { return perteIncertaine_; }
    // When the device heard the first byte of this stream, on the steady clock (its own start
    // stamp, or what its first buffer told); empty until it knows, at the latest once the first
    // buffer has come. Any thread.
    std::optional<std::chrono::steady_clock::time_point> InstantDebut() const;
    // The latest tie between the sound and the steady clock that the device gave: at `instant`
    // it had captured `trames` sample frames of this stream (the silence put in place of lost
    // sound counted). Empty while it gave none. Any thread.
    struct Repere {
        std::chrono::steady_clock::time_point instant;
        int64_t trames = 0;
    };
    std::optional<Repere> DernierRepere() const;
    // Ends the stream in progress at once, from any thread: a GetData waiting for the device
    // returns 0 (the end of the stream), and Flush does not wait for the buffers still in the
    // device, whose sound nobody wants. The next Init starts afresh.
    void Interrompre() { interrompu_ = true; }

private:
    struct TamponCapture {
        EnTeteOnde entete;
        char donnees[kTailleTampon];
    };

    void ouvrirPeripherique();
    void fermerPeripherique();
    void rappel(EnTeteOnde* tampon);
    // Takes the device's start instant once it knows it.
    void noterDebut();
    // Longest wait for one buffer before the device counts as silent for good.
    int delaiMaximalMs() const;

    // The stream's format, taken at Init.
    FormatOnde format_;
    // The device stopped delivering during this stream: Flush does not wait for it.
    bool sansReponse_ = false;
    int baseChannel_ = 0;
    std::unique_ptr<PeripheriqueEntree> peripherique_;
    int ouvertures_ = 0;
    int64_t recBytes_ = 0;
    // Filled buffers, oldest first (linked through lpNext), and buffers in the device: both
    // guarded by the process-wide lock.
    EnTeteOnde* tete_ = nullptr;
    EnTeteOnde* queue_ = nullptr;
    int enAttente_ = 0;
    std::vector<std::unique_ptr<TamponCapture>> reserve_;  // every buffer of this stream
    std::vector<TamponCapture*> libres_;
    // Silence still to deliver before the local buffer's bytes.
    int64_t silenceARendre_ = 0;
    std::atomic<int> debordements_{0};
    std::atomic<bool> perteIncertaine_{false};
    std::atomic<int64_t> silenceInseree_{0};
    std::atomic<int64_t> debutNs_{0};  // InstantDebut, in ns of the steady clock; 0: unknown
    std::optional<Repere> repere_;     // guarded by the process-wide lock
    std::atomic<bool> interrompu_{false};
    char local_[kTailleTampon];
    int BufStart = 1;
    int BufEnd = 0;
};

}  // namespace vp
