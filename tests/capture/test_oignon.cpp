// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "capture/Oignon.h"

using namespace vp;

namespace {

QImage uni(int l, int h, int valeur) {
    QImage i(l, h, QImage::Format_RGB888);
    i.fill(QColor(valeur, valeur, valeur));
    return i;
}

int melange1(int a, int b, int t) {
    QImage s(1, 1, QImage::Format_RGB888);
    melanger(uni(1, 1, a), uni(1, 1, b), t, s);
    return s.constScanLine(0)[0];
}

}  // namespace

TEST(Oignon, CasDeReference) {
    EXPECT_EQ(melange1(100, 201, 50), 151);
    EXPECT_EQ(melange1(0, 255, 25), 64);
    for (int t : {10, 30, 50, 70, 90})
        EXPECT_EQ(melange1(255, 255, t), 255) << t;  // 128 + 128 limited
    EXPECT_EQ(mulDiv100(255, 50), 128);
    EXPECT_EQ(mulDiv100(201, 50), 101);
}

TEST(Oignon, ChaqueOctetPourChaquePosition) {
    // Every pair of bytes (a along x, b along y) at every position of the track bar.
    QImage a(256, 256, QImage::Format_RGB888), b(256, 256, QImage::Format_RGB888),
        s(256, 256, QImage::Format_RGB888);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            a.setPixel(x, y, qRgb(x, x, x));
            b.setPixel(x, y, qRgb(y, 255 - y, y));
        }
    for (int t = 0; t <= 100; ++t) {
        melanger(a, b, t, s);
        for (int y = 0; y < 256; ++y) {
            const uchar* ligne = s.constScanLine(y);
            for (int x = 0; x < 256; ++x) {
                const int attendu = std::min(255, mulDiv100(x, 100 - t) + mulDiv100(y, t));
                const int attenduVert =
                    std::min(255, mulDiv100(x, 100 - t) + mulDiv100(255 - y, t));
                ASSERT_EQ(ligne[3 * x], attendu) << "a=" << x << " b=" << y << " t=" << t;
                ASSERT_EQ(ligne[3 * x + 1], attenduVert)
                    << "a=" << x << " b=" << 255 - y << " t=" << t;
            }
        }
    }
    // The two ends give each picture exactly.
    melanger(a, b, 0, s);
    EXPECT_EQ(s, a);
    melanger(a, b, 100, s);
    EXPECT_EQ(s, b);
}

TEST(Oignon, EtirementAuPlusProcheVoisinQuelQueSoitLeFormat) {
    QImage source(4, 2, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x) {
        source.setPixel(x, 0, qRgb(10 * x, 0, 1));
        source.setPixel(x, 1, qRgb(10 * x, 100, 1));
    }
    QImage cible(2, 2, QImage::Format_RGB888);
    etirerRapide(source, cible);
    EXPECT_EQ(cible.pixel(0, 0), qRgb(0, 0, 1));
    EXPECT_EQ(cible.pixel(1, 0), qRgb(20, 0, 1));
    EXPECT_EQ(cible.pixel(1, 1), qRgb(20, 100, 1));
    // Blue-first pictures (bitmap files) and red-first ones give the same colours.
    for (QImage::Format f : {QImage::Format_BGR888, QImage::Format_RGB888, QImage::Format_ARGB32,
                             QImage::Format_Indexed8}) {
        QImage grand(640, 480, QImage::Format_RGB32);
        grand.fill(qRgb(200, 30, 5));
        QImage petite(320, 240, QImage::Format_RGB888);
        etirerRapide(grand.convertToFormat(f), petite);
        EXPECT_EQ(petite.format(), QImage::Format_RGB888);
        EXPECT_EQ(petite.size(), QSize(320, 240));
        EXPECT_EQ(petite.pixel(319, 239), qRgb(200, 30, 5)) << f;
    }
}

TEST(Oignon, UneCoucheEtLaCameraDonnentLeMelangeSimple) {
    // The frames' part made once, then the camera added: byte for byte the plain blend.
    QImage a(256, 256, QImage::Format_RGB888), b(256, 256, QImage::Format_RGB888),
        simple(256, 256, QImage::Format_RGB888), fond(256, 256, QImage::Format_RGB888),
        s(256, 256, QImage::Format_RGB888);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            a.setPixel(x, y, qRgb(x, 255 - x, x));
            b.setPixel(x, y, qRgb(y, y, 255 - y));
        }
    for (int t = 0; t <= 100; ++t) {
        const PoidsOignon poids = poidsOignon(t, 1);
        preparerFond({a}, poids, fond);
        ajouterCamera(fond, b, poids.camera, s);
        melanger(a, b, t, simple);
        ASSERT_EQ(s, simple) << "t=" << t;
    }
}

TEST(Oignon, PoidsDesCouches) {
    // A white current frame over black older frames and a black camera: what the onion skin
    // keeps of the current frame, against the plain blend of one frame.
    const QImage blanc = uni(4, 2, 255), noir = uni(4, 2, 0);
    QImage fond(4, 2, QImage::Format_RGB888), s(4, 2, QImage::Format_RGB888);
    for (int n = 1; n <= kCouchesMax; ++n)
        for (int t = 0; t <= 100; ++t) {
            const PoidsOignon p = poidsOignon(t, n);
            std::vector<QImage> couches(static_cast<size_t>(n), noir);
            couches[0] = blanc;
            preparerFond(couches, p, fond);
            ajouterCamera(fond, noir, p.camera, s);
            // The current frame as strong as with one layer, wherever the track bar is.
            EXPECT_EQ(s.constScanLine(1)[5], melange1(255, 0, t)) << n << " " << t;
            int somme = p.camera;
            for (int k = 0; k < p.nombre; ++k)
                somme += p.couches[static_cast<size_t>(k)];
            EXPECT_EQ(somme, 100) << n << " " << t;
            // Each frame paler than the one after it; the camera keeps half its share at least.
            for (int k = 1; k < p.nombre; ++k)
                EXPECT_LT(p.couches[static_cast<size_t>(k)], p.couches[static_cast<size_t>(k - 1)])
                    << n << " " << t;
            EXPECT_GE(2 * p.camera, t) << n << " " << t;
            EXPECT_LE(p.nombre, n);
            // Away from the ends every layer asked for is seen.
            if (t >= 30 && t <= 80) {
                EXPECT_EQ(p.nombre, n) << t;
                EXPECT_GE(p.couches[static_cast<size_t>(n - 1)], 2) << n << " " << t;
            }
        }
}

TEST(Oignon, CadreSeizeNeuviemesDansLaPartieDeLImage) {
    // A 4:3 picture, shown as it is or stretched: the band a wide video keeps.
    EXPECT_EQ(cadre169(QRectF(0, 0, 320, 240), QSizeF(640, 480)), QRectF(0, 30, 320, 180));
    EXPECT_EQ(cadre169(QRectF(10, 20, 640, 480), QSizeF(640, 480)), QRectF(10, 80, 640, 360));
    // A 16:9 picture stretched into a 4:3 view: all of it.
    EXPECT_EQ(cadre169(QRectF(0, 0, 320, 240), QSizeF(1280, 720)), QRectF(0, 0, 320, 240));
    // Wider than 16:9: its middle.
    EXPECT_EQ(cadre169(QRectF(0, 0, 200, 90), QSizeF(200, 90)), QRectF(20, 0, 160, 90));
}

TEST(Oignon, PleinEcranEtireLaCameraEnLAjoutant) {
    // Four coloured camera pixels per row, two rows; the view twice as large.
    QImage camera(4, 2, QImage::Format_RGB888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            camera.setPixel(x, y, qRgb(40 * x + 10, 100 * y + 20, 200));
    QImage fond(8, 4, QImage::Format_RGB32);
    fond.fill(qRgb(5, 6, 100));
    QImage sortie;
    CompositionPleinEcran composition;
    for (int tour = 0; tour < 2; ++tour) {  // the second time with what it kept
        composition.composer(fond, camera, 100, sortie);
        ASSERT_EQ(sortie.size(), QSize(8, 4));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                const QRgb c = camera.pixel(x / 2, y / 2);
                EXPECT_EQ(sortie.pixel(x, y),
                          qRgb(qRed(c) + 5, qGreen(c) + 6, std::min(255, qBlue(c) + 100)))
                    << x << "," << y;
            }
    }
    // At half weight, rounded as the onion skin rounds.
    composition.composer(fond, camera, 50, sortie);
    EXPECT_EQ(sortie.pixel(7, 3),
              qRgb(5 + mulDiv100(130, 50), 6 + mulDiv100(120, 50), 100 + mulDiv100(200, 50)));
}
