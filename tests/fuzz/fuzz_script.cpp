// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's script reader on any text; and a script it reads writes back (unless a path
// holds a carriage return, which no written line may carry) and reads again the same.

#include <cstddef>
#include <cstdint>
#include <string>

#include "film/ErreurFilm.h"
#include "film/ScriptVcf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille) {
    const std::string texte(reinterpret_cast<const char*>(donnees), taille);
    vp::ScriptVcf lu;
    try {
        lu = vp::lireScriptVcf(texte);
    } catch (const vp::ErreurFilm&) {
        return 0;
    }
    if (lu.video.empty()) __builtin_trap();
    std::string reecrit;
    try {
        reecrit = vp::ecrireScriptVcf(lu);
    } catch (const vp::ErreurFilm&) {
        if ((lu.video + lu.son + lu.film).find('\r') == std::string::npos) __builtin_trap();
        return 0;
    }
    const vp::ScriptVcf relu = vp::lireScriptVcf(reecrit);  // throws, and fails, if unreadable
    if (relu.video != lu.video || relu.son != lu.son || relu.film != lu.film) __builtin_trap();
    return 0;
}
