#pragma once

#include <memory>

namespace vp {

class FenetrePrincipale;

// Creates the forms once, in order: the main window (whose creation handler runs first), then
// the New project, Open project and Video settings dialogs and the sound-track recording window,
// owned by the main window.
std::unique_ptr<FenetrePrincipale> creerFenetres();

}  // namespace vp
