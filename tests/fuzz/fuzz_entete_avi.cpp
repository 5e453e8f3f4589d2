// SPDX-License-Identifier: GPL-3.0-or-later
// The recording window's read of "video.avi" (the frame period and length from the first 60
// bytes) on a file holding any bytes: the numbers or a French error, never a crash.

#include <unistd.h>

#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "bandeson/InfosVideo.h"
#include "platform/Erreur.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille) {
    static const std::string fichier = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                       std::string("/voltiplume-fuzz-entete-") +
                                       std::to_string(::getpid()) + ".avi";
    static const struct Menage {
        ~Menage() { std::remove(fichier.c_str()); }
    } menage;
    std::FILE* f = std::fopen(fichier.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(donnees, 1, taille, f);
    std::fclose(f);
    try {
        const vp::InfosVideo v = vp::lireInfosVideo(QFile::decodeName(fichier.c_str()));
        // A video that reads has a frame period, and its length fits its frames' time.
        if (v.microsecondesParImage == 0 ||
            v.dureeVideo() > static_cast<uint64_t>(v.nombreImages) * v.microsecondesParImage)
            __builtin_trap();
    } catch (const vp::Erreur&) {
        // a short or foreign file: refused with a message
    }
    return 0;
}
