// SPDX-License-Identifier: GPL-3.0-or-later
#include "IndicateurNiveau.h"

#include <cmath>
#include <complex>
#include <cstring>

namespace vp {

namespace {

constexpr int kPoints = 64;

// In-place forward radix-2 transform of 64 points: bit-reversed reordering, then butterflies.
void fft64(std::complex<double>* x) {
    for (int i = 1, j = 0; i < kPoints; ++i) {
        int bit = kPoints >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) std::swap(x[i], x[j]);
    }
    static const auto racines = [] {
        std::array<std::complex<double>, kPoints / 2> r{};
        for (int k = 0; k < kPoints / 2; ++k)
            r[k] = std::polar(1.0, -2.0 * M_PI * k / kPoints);
        return r;
    }();
    for (int longueur = 2; longueur <= kPoints; longueur <<= 1) {
        const int pas = kPoints / longueur;
        for (int debut = 0; debut < kPoints; debut += longueur)
            for (int k = 0; k < longueur / 2; ++k) {
                const std::complex<double> t = racines[k * pas] * x[debut + k + longueur / 2];
                x[debut + k + longueur / 2] = x[debut + k] - t;
                x[debut + k] += t;
            }
    }
}

}  // namespace

TSoundIndicator::TSoundIndicator() {
    for (int i = 0; i < 1024; ++i)
        fenetre_[i] = (1.0 - std::cos(6.28318530718 * i / 1023)) / 2.0;
}

TSoundIndicator::~TSoundIndicator() {
    LibererEntree();
}

TACSInput& TSoundIndicator::entree() {
    TACSInput* i = Input();
    if (!i) throw EACSException("Input is not assigned.");
    return *i;
}

int TSoundIndicator::BitsPerSample() {
    return entree().BitsPerSample();
}
int TSoundIndicator::Channels() {
    return entree().Channels();
}
int TSoundIndicator::SampleRate() {
    return entree().SampleRate();
}

void TSoundIndicator::Init() {
    TACSInput& i = entree();
    bits_ = i.BitsPerSample();
    canaux_ = i.Channels();
    Busy = true;
    try {
        i.Init();
    } catch (...) {
        Busy = false;
        throw;
    }
    Size = i.Size.load();
    {
        GardePrise prise(LevelsGuard);
        bandes_.fill(0.0);
    }
    Position = 0;
}

void TSoundIndicator::Flush() {
    Busy = false;
    GardePrise prise(InputGuard);
    if (TACSInput* i = Input()) i->Flush();
}

int TSoundIndicator::GetData(void* Buffer, int BufferSize) {
    if (!Busy) throw EACSException("The Stream is not opened");
    int n;
    {
        GardePrise prise(InputGuard);
        TACSInput* i = Input();
        if (!i) return 0;  // unplugged: the stream ends here
        n = i->GetData(Buffer, BufferSize);
        Position = i->Position.load();
    }
    // A reader holding the values: this buffer goes through without analysis.
    if (n == 0 || !LevelsGuard.essayer()) return n;
    analyser(static_cast<const unsigned char*>(Buffer), n);
    LevelsGuard.rendre();
    return n;
}

void TSoundIndicator::analyser(const unsigned char* octets, int n) {
    const int bits = bits_;
    const int canaux = canaux_;
    const int trames = bits == 8 ? (canaux == 2 ? n / 2 : n) : (canaux == 2 ? n / 4 : n / 2);
    const int blocs = trames / kPoints;
    auto echantillon16 = [octets](int i) {
        int16_t v;
        std::memcpy(&v, octets + 2 * i, 2);
        return static_cast<double>(v);
    };
    std::complex<double> x[kPoints];
    for (int b = 0; b < blocs; ++b) {
        for (int i = 0; i < kPoints; ++i) {
            const int f = kPoints * b + i;
            double s;
            if (bits == 8)
                s = canaux == 2 ? (octets[2 * f] + octets[2 * f + 1]) / 2.0 : octets[f];
            else
                s = canaux == 2 ? (echantillon16(2 * f) + echantillon16(2 * f + 1)) / 2.0
                                : echantillon16(f);
            x[i] = std::complex<double>(s * fenetre_[i], 0.0);
        }
        fft64(x);
        bool fini = true;
        for (int k = 0; k < kBandes; ++k) {
            const std::complex<double> c = x[k] / static_cast<double>(kPoints);
            const double carre = std::norm(c);
            // log10 |c| = log10(|c|²) / 2, without the square root.
            const double valeur = carre == 0.0 ? 0.0 : std::max(0.0, 0.5 * std::log10(carre));
            bandes_[k] += valeur;
            fini = fini && std::isfinite(bandes_[k]);
        }
        if (!fini) bandes_.fill(0.0);
    }
    if (blocs > 0)
        for (double& v : bandes_)
            v /= blocs;
}

void TSoundIndicator::ReadLevels(std::array<double, kBandes>& Values) {
    GardePrise prise(LevelsGuard);
    for (int k = 0; k < kBandes; ++k) {
        Values[k] = bandes_[k] * 20.0;
        bandes_[k] = 0.0;
    }
}

}  // namespace vp
