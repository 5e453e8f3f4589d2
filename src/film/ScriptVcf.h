// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The editor's script "dub.vcf": one command a line, each naming one file,
//     VirtualDub.Open("<video>");
//     VirtualDub.audio.SetSource("<sound track>");
//     VirtualDub.SaveAVI("<film>");
// A path is written between double quotes with each backslash doubled and each double quote
// preceded by a backslash; lines end with CR LF; paths are the bytes of the names on disk (UTF-8
// but for a folder named on another system).

#include <string>

namespace vp {

struct ScriptVcf {
    std::string video;  // VirtualDub.Open
    std::string son;    // VirtualDub.audio.SetSource; empty: no sound track
    std::string film;   // VirtualDub.SaveAVI; empty: nothing to save
};

// The script's text: the Open line, then the SetSource and SaveAVI lines for the paths given.
// Raises ErreurFilm when a path is empty or holds a line break or a null character, which no
// line could carry.
std::string ecrireScriptVcf(const ScriptVcf& script);

// Reads a script's text (lines ended by CR LF or LF; blank lines are skipped). Raises ErreurFilm
// naming the line and what is wrong with it: an unknown command, a missing parenthesis, quote
// or semicolon, an unknown escape, text after the semicolon, an empty path, a command given
// twice, or no Open line at all.
ScriptVcf lireScriptVcf(const std::string& texte);

// Reads the script file `chemin`; its errors name the file.
ScriptVcf lireFichierScriptVcf(const std::string& chemin);

}  // namespace vp
