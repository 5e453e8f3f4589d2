// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

namespace vp {

// The program's application object. Every command already shows its own errors; should an
// exception still reach the event loop from some handler, it is shown in the error box here
// instead of ending the program.
class ApplicationVoltiplume : public QApplication {
public:
    ApplicationVoltiplume(int& argc, char** argv);
    bool notify(QObject* destinataire, QEvent* evenement) override;
};

}  // namespace vp
