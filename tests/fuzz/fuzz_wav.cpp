// SPDX-License-Identifier: GPL-3.0-or-later
// Appending to a WAV file whose bytes are anything: the header is read, the append refused or
// done, a few blocks of sound written and the sizes rewritten, without a crash. The writer's
// steps run here one after the other, without its worker thread.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "audio/FichierWav.h"

namespace {

// Two seconds of a ramp, 16-bit, in the format given.
class Source final : public vp::TACSInput {
public:
    int canaux = 2, frequence = 44100;
    int BitsPerSample() override { return 16; }
    int Channels() override { return canaux; }
    int SampleRate() override { return frequence; }
    void Init() override {
        Busy = true;
        Size = 2 * frequence * canaux * 2;
        livres_ = 0;
    }
    void Flush() override { Busy = false; }
    int GetData(void* tampon, int taille) override {
        const int n = std::min(taille, Size.load() - livres_) & ~1;
        auto* o = static_cast<unsigned char*>(tampon);
        for (int i = 0; i < n; ++i)
            o[i] = static_cast<unsigned char>((livres_ + i) * 7);
        livres_ += std::max(n, 0);
        return std::max(n, 0);
    }

private:
    int livres_ = 0;
};

class Sortie final : public vp::TWaveOut {
public:
    ~Sortie() override { TerminerTravailleur(); }
    // Prepare, a few steps, Done: what the worker thread does for one stream.
    void derouler() {
        SetWavType(vp::wtPCM);  // as a new writer starts
        SetBlockSize(512);
        try {
            Prepare();
        } catch (const vp::EACSException&) {
            return;  // refused: the file is closed and the source released
        }
        OutputReady = true;
        for (int i = 0; i < 2 && PumpStep(false);)
            ++i;
        Done();
        OutputReady = false;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille) {
    // One writer for the whole run (its worker thread is not used), in memory-backed files.
    static const std::string fichier = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                       std::string("/voltiplume-fuzz-wav-") +
                                       std::to_string(::getpid()) + ".wav";
    static const struct Menage {
        ~Menage() { std::remove(fichier.c_str()); }
    } menage;
    static Source source;
    static Sortie sortie;
    // Both formats the recording window may append in.
    for (int canaux : {1, 2}) {
        std::FILE* f = std::fopen(fichier.c_str(), "wb");
        if (!f) return 0;
        std::fwrite(donnees, 1, taille, f);
        std::fclose(f);
        source.canaux = canaux;
        source.frequence = canaux == 1 ? 22050 : 44100;
        sortie.SetInput(&source);
        sortie.FileName = fichier;
        sortie.SetFileMode(vp::foAppend);
        sortie.derouler();
    }
    return 0;
}
