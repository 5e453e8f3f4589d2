// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry for the suites that need the toolkit: the program's application object on the
// offscreen platform, so that no test needs a display, with the simulated camera and microphone
// however the test program is started.

#include <gtest/gtest.h>
#include <QSettings>
#include <QTemporaryDir>
#include <utility>

#include "platform/Application.h"
#include "platform/Dialogues.h"

int main(int argc, char** argv) {
    for (const auto& [nom, valeur] :
         {std::pair{"QT_QPA_PLATFORM", "offscreen"}, std::pair{"VOLTIPLUME_CAMERA", "mire"},
          std::pair{"VOLTIPLUME_MICRO", "simule"}})
        if (qEnvironmentVariableIsEmpty(nom)) qputenv(nom, valeur);
    vp::ApplicationVoltiplume application(argc, argv);
    QApplication::setApplicationName(vp::kTitreApplication);
    // What the program remembers between runs goes to a folder of this run's own.
    const QTemporaryDir reglages;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, reglages.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
