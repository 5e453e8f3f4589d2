// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

namespace vp {

class FenetrePrincipale;

// Creates the windows once, in order: the main window (whose start-up steps run first), then
// the New project, Open project and Video settings dialogs, the sound-track recording window,
// and last the projects-folder dialog that the first two open; all owned by the main window.
std::unique_ptr<FenetrePrincipale> creerFenetres();

}  // namespace vp
