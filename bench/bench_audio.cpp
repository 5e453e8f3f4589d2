// Sixty seconds of 44100 Hz 16-bit stereo sound through the level indicator into the null
// output, from a source that delivers as fast as it can: how many times faster than real time.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "Rapport.h"
#include "audio/IndicateurNiveau.h"
#include "audio/SortieNulle.h"

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

}  // namespace

int main(int argc, char** argv) {
    const auto temps = vp::bench::executer(argc, argv);
    const double t = temps.at("chaineIndicateur");
    vp::bench::afficherRapport("temps reel", kSecondes, t);
    vp::bench::afficherMesure("analyse de 60 s de son", t * 1000, "ms");
    return 0;
}
