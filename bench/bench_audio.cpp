// SPDX-License-Identifier: GPL-3.0-or-later
// Sixty seconds of 44100 Hz 16-bit stereo sound through the level indicator into the null
// output, from a source that delivers as fast as it can: how many times faster than real time.
// Then the envelope the recording window draws its waveform from, for a 5-minute sound track.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "Rapport.h"
#include "audio/IndicateurNiveau.h"
#include "audio/SortieNulle.h"
#include "bandeson/Enveloppe.h"

namespace {

constexpr int kSecondes = 60;
constexpr int kOctetsParSeconde = 44100 * 4;

// A tone, delivered from memory without waiting.
class SourceRapide final : public vp::TACSInput {
public:
    SourceRapide() : son_(kOctetsParSeconde) {
        for (int i = 0; i < 44100; ++i) {
            const auto v =
                static_cast<int16_t>(std::lround(12000 * std::sin(2 * M_PI * 440 * i / 44100.0)));
            std::memcpy(&son_[static_cast<size_t>(4 * i)], &v, 2);
            std::memcpy(&son_[static_cast<size_t>(4 * i + 2)], &v, 2);
        }
    }
    int BitsPerSample() override { return 16; }
    int Channels() override { return 2; }
    int SampleRate() override { return 44100; }
    void Init() override {
        Busy = true;
        Position = 0;
        Size = kSecondes * kOctetsParSeconde;
    }
    void Flush() override { Busy = false; }
    int GetData(void* Buffer, int BufferSize) override {
        const int reste = Size - Position;
        const int n =
            std::min({BufferSize, reste, kOctetsParSeconde - Position % kOctetsParSeconde});
        if (n <= 0) return 0;
        std::memcpy(Buffer, &son_[static_cast<size_t>(Position % kOctetsParSeconde)],
                    static_cast<size_t>(n));
        Position += n;
        return n;
    }

private:
    std::vector<unsigned char> son_;
};

void chaineIndicateur(benchmark::State& etat) {
    SourceRapide source;
    vp::TSoundIndicator indicateur;
    indicateur.SetInput(&source);
    vp::TNULLOut sortie;
    sortie.SetInput(&indicateur);
    std::atomic<bool> fini{false};
    sortie.OnDone = [&](vp::TACSOutput*) { fini = true; };
    for (auto _ : etat) {
        fini = false;
        sortie.Run();
        while (!fini)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        while (sortie.Status() != 2)
            std::this_thread::yield();
    }
}

BENCHMARK(chaineIndicateur)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A 5-minute sound track as the recording window writes it: 44-byte header, 16-bit stereo.
std::string g_piste;

void ecrirePiste5Minutes(const std::string& chemin) {
    constexpr uint32_t kOctets = 300u * kOctetsParSeconde;
    std::vector<unsigned char> seconde(kOctetsParSeconde);
    for (int i = 0; i < 44100; ++i) {
        // A voice-like tone whose loudness changes every tenth of a second.
        const double volume = 0.2 + 0.8 * ((i / 4410) % 5) / 4.0;
        const auto v = static_cast<int16_t>(
            std::lround(volume * 12000 * std::sin(2 * M_PI * 220 * i / 44100.0)));
        std::memcpy(&seconde[static_cast<size_t>(4 * i)], &v, 2);
        std::memcpy(&seconde[static_cast<size_t>(4 * i + 2)], &v, 2);
    }
    unsigned char h[44] = {'R',  'I',  'F',  'F', 0, 0, 0,  0, 'W', 'A', 'V',  'E',  'f', 'm',
                           't',  ' ',  16,   0,   0, 0, 1,  0, 2,   0,   0x44, 0xAC, 0,   0,
                           0x10, 0xB1, 0x02, 0,   4, 0, 16, 0, 'd', 'a', 't',  'a'};
    const uint32_t riff = kOctets + 36;
    std::memcpy(h + 4, &riff, 4);
    std::memcpy(h + 40, &kOctets, 4);
    std::ofstream f(chemin, std::ios::binary);
    f.write(reinterpret_cast<const char*>(h), 44);
    for (int s = 0; s < 300; ++s)
        f.write(reinterpret_cast<const char*>(seconde.data()),
                static_cast<std::streamsize>(seconde.size()));
}

void enveloppe5Minutes(benchmark::State& etat) {
    for (auto _ : etat) {
        const vp::Enveloppe e = vp::calculerEnveloppe(g_piste);
        benchmark::DoNotOptimize(e.crete);
    }
}

BENCHMARK(enveloppe5Minutes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    char modele[] = "/tmp/bench_audio-XXXXXX";
    const char* dossier = ::mkdtemp(modele);
    if (!dossier) return 1;
    g_piste = std::string(dossier) + "/audio.wav";
    ecrirePiste5Minutes(g_piste);
    const auto temps = vp::bench::executer(argc, argv);
    std::filesystem::remove_all(dossier);
    const double t = temps.at("chaineIndicateur");
    vp::bench::afficherRapport("temps reel", kSecondes, t);
    vp::bench::afficherMesure("analyse de 60 s de son", t * 1000, "ms");
    if (temps.count("enveloppe5Minutes"))
        vp::bench::afficherMesure("enveloppe 5 min", temps.at("enveloppe5Minutes") * 1000, "ms");
    return 0;
}
