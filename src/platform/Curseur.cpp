// SPDX-License-Identifier: GPL-3.0-or-later
#include "Curseur.h"

#include <QCursor>
#include <QGuiApplication>

namespace vp {

CurseurOccupe::CurseurOccupe() {
    // Command code also runs without a window (the crash test's child process).
    if (qGuiApp) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        pose_ = true;
    }
}

CurseurOccupe::~CurseurOccupe() {
    if (pose_) QGuiApplication::restoreOverrideCursor();
}

}  // namespace vp
