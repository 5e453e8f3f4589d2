// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's batch runner: "vdub /s SCRIPT" writes the film the script describes. Exit status
// 0 only when the film was written; otherwise a French message on standard error.

#include <cstdio>
#include <cstring>
#include <exception>

#include "film/EcritureFilm.h"
#include "film/ErreurFilm.h"
#include "film/ScriptVcf.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "/s") != 0 && std::strcmp(argv[1], "/S") != 0)) {
        std::fputs("Utilisation : vdub /s SCRIPT\n", stderr);
        return 2;
    }
    try {
        const vp::ScriptVcf script = vp::lireFichierScriptVcf(argv[2]);
        if (script.film.empty())
            throw vp::ErreurFilm(std::string("Script « ") + argv[2] +
                                 " » : il ne dit pas où enregistrer le film (VirtualDub.SaveAVI).");
        vp::ecrireFilm(script.video, script.son, script.film);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
