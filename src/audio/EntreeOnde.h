// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The wave-input layer: capture devices that fill the buffers handed to them, in order, and
// give each one back through a callback once it is full (or when the device is reset).
// Backends: the sound card through ALSA (alsa/) and a simulated microphone (simule/).

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vp {

// A capture buffer's header.
struct EnTeteOnde {
    char* lpData = nullptr;
    uint32_t dwBufferLength = 0;
    uint32_t dwBytesRecorded = 0;
    uint32_t dwFlags = 0;
    EnTeteOnde* lpNext = nullptr;
    // Sound the device lost just before this buffer's first byte (its reader came back too
    // late and the device overran), counted in bytes of the stream's format, and how many
    // overruns that was. The reader puts silence in its place so that what follows keeps its
    // time.
    uint64_t octetsPerdusAvant = 0;
    uint32_t debordements = 0;
    // The device could not measure that loss (its clock kept no stamp): the count is what it
    // knew of, at least, and what follows may sit a little early.
    bool perteIncertaine = false;
    // What the device's own clock said while it filled this buffer: at `repereNs` (steady
    // clock) it had captured `repereTrames` frames since its start, those lost included. The
    // sound runs on the card's crystal, not on the computer's clock; this is how the two are
    // tied together again. -1: not known.
    int64_t repereNs = 0;
    int64_t repereTrames = -1;
};

// PCM format of a capture.
struct FormatOnde {
    uint16_t wFormatTag = 1;
    uint16_t nChannels = 1;
    uint32_t nSamplesPerSec = 8000;
    uint32_t nAvgBytesPerSec = 8000;
    uint16_t nBlockAlign = 1;
    uint16_t wBitsPerSample = 8;
};

// Called on the device's own thread with each buffer it gives back.
using RappelOnde = std::function<void(EnTeteOnde*)>;

// An open capture device.
class PeripheriqueEntree {
public:
    virtual ~PeripheriqueEntree() = default;
    virtual void ajouterTampon(EnTeteOnde* tampon) = 0;
    virtual void demarrer() = 0;
    // Stops the capture and gives back every buffer still held, with what it recorded.
    virtual void reinitialiser() = 0;
    // Why the device stopped delivering (unplugged, failed), or empty while it works.
    virtual std::string erreur() const = 0;
    // When the device heard the first sample of its capture, on the steady clock: the card's
    // own start stamp, or what its first buffer tells. Empty while it does not know yet.
    virtual std::optional<std::chrono::steady_clock::time_point> instantDebut() const {
        return std::nullopt;
    }
};

// The devices of one backend. Device 0 is the default one.
class PiloteEntree {
public:
    virtual ~PiloteEntree() = default;
    virtual int nombrePeripheriques() = 0;
    virtual std::string nomPeripherique(int index) = 0;
    // Opens device `index`; raises EACSException with the reason when it cannot.
    virtual std::unique_ptr<PeripheriqueEntree> ouvrir(int index, const FormatOnde& format,
                                                       RappelOnde rappel) = 0;
};

// The backend in use: chosen at the first use (the simulated microphone when
// VOLTIPLUME_MICRO=simule, else ALSA), or installed by a test.
PiloteEntree& piloteEntree();
std::unique_ptr<PiloteEntree> installerPiloteEntree(std::unique_ptr<PiloteEntree> pilote);

}  // namespace vp
