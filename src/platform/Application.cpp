// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"

#include "ErreurApplication.h"

namespace vp {

ApplicationVoltiplume::ApplicationVoltiplume(int& argc, char** argv) : QApplication(argc, argv) {}

bool ApplicationVoltiplume::notify(QObject* destinataire, QEvent* evenement) {
    try {
        return QApplication::notify(destinataire, evenement);
    } catch (...) {
        montrerErreur(std::current_exception(), activeWindow());
        return false;
    }
}

}  // namespace vp
