// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry of the audio suites: the simulated microphone, however the program is started.

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("VOLTIPLUME_MICRO", "simule", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
