// SPDX-License-Identifier: GPL-3.0-or-later
// The waveform's envelope against files whose loudness is known: ten tenths of a second, each
// louder than the one before, in every PCM format a sound track may come in.

#include <gtest/gtest.h>

#include <QtEndian>
#include <cstring>

#include "bandeson/Enveloppe.h"
#include "commun/Outils.h"
#include "film/ErreurFilm.h"
#include "film/FilmsDeTest.h"

using namespace vp;

namespace {

struct Format {
    const char* nom;
    int bits;
    bool flottant;
    int canaux;
};

// Sample `v` (16-bit scale, a multiple of 256) written in `f`.
void ajouter(QByteArray& o, const Format& f, int v) {
    uchar b[8] = {};
    if (f.flottant && f.bits == 32) {
        const float x = static_cast<float>(v / 32767.0);
        std::memcpy(b, &x, 4);
    } else if (f.flottant) {
        const double x = v / 32767.0;
        std::memcpy(b, &x, 8);
    } else if (f.bits == 8) {
        b[0] = static_cast<uchar>(128 + v / 256);
    } else {
        qToLittleEndian<int32_t>(v * (1 << (f.bits - 16)), b);
    }
    o.append(reinterpret_cast<const char*>(b), f.bits / 8);
}

}  // namespace

TEST(Enveloppe, LesCretesDeChaqueInstantDansChaqueFormat) {
    test::DossierTest dossier;
    const Format formats[] = {{"u8", 8, false, 1},   {"s16", 16, false, 2}, {"s24", 24, false, 1},
                              {"s32", 32, false, 2}, {"f32", 32, true, 1},  {"f64", 64, true, 2}};
    constexpr int kSegment = 4410;  // a tenth of a second
    for (const Format& f : formats) {
        // In tenth j: +A, -A/2, +A, … on the left; -A/3, +A/6, … on the right.
        QByteArray o;
        for (int j = 0; j < 10; ++j) {
            const int a = 3072 * (j + 1);
            for (int n = 0; n < kSegment; ++n) {
                ajouter(o, f, n % 2 ? -a / 2 : a);
                if (f.canaux == 2) ajouter(o, f, n % 2 ? a / 6 : -a / 3);
            }
        }
        const QString fichier = dossier.chemin() + f.nom + ".wav";
        test::ecrireWavPcm(fichier, 44100, f.canaux, f.bits, f.flottant, o);
        const Enveloppe e = calculerEnveloppe(QFile::encodeName(fichier).toStdString());
        EXPECT_EQ(e.trames, 44100) << f.nom;
        EXPECT_DOUBLE_EQ(e.duree(), 1.0) << f.nom;
        EXPECT_EQ(e.crete, 30720) << f.nom;
        for (int j = 0; j < 10; ++j) {
            int entieres = 0;
            for (size_t i = 0; i < e.tranches(); ++i) {
                const int64_t debut = static_cast<int64_t>(i) * e.tramesParTranche;
                if (debut < j * kSegment || debut + e.tramesParTranche > (j + 1) * kSegment)
                    continue;
                ++entieres;
                EXPECT_EQ(e.haut[i], 3072 * (j + 1)) << f.nom << " dixième " << j;
                EXPECT_EQ(e.bas[i], -1536 * (j + 1)) << f.nom << " dixième " << j;
            }
            EXPECT_GE(entieres, 10) << f.nom;  // drawn finer than a frame at 12 a second
        }
    }
    test::ecrireFichier(dossier.chemin() + "texte.wav", "pas un son");
    EXPECT_THROW(calculerEnveloppe(QFile::encodeName(dossier.chemin() + "texte.wav").toStdString()),
                 ErreurFilm);
}
