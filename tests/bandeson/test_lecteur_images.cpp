// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "bandeson/LecteurImages.h"
#include "commun/Attente.h"

using namespace vp;

TEST(LecteurImages, UnNouveauDebutReveilleLeLecteur) {
    // Started with a guess a minute off (a card that tells its start late): the reader reads
    // ahead, then waits for its frames' time. Once the start is known, it goes on at once.
    std::atomic<int> prets{0};
    LecteurImages lecteur([&] { ++prets; });
    lecteur.demarrer([](int) { return QImage(4, 4, QImage::Format_RGB32); }, 1, 3,
                     LecteurImages::Horloge::now() + std::chrono::minutes(1),
                     std::chrono::milliseconds(100));
    ASSERT_TRUE(test::attendreQue([&] { return prets >= 1; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(prets, 1);  // waiting for its time
    lecteur.recaler(LecteurImages::Horloge::now());
    EXPECT_TRUE(test::attendreQue([&] { return prets == 3; }, 5000)) << prets;
    EXPECT_TRUE(lecteur.prendre(3).has_value());
}
