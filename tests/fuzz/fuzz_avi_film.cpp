// SPDX-License-Identifier: GPL-3.0-or-later
// The film runner on a video file holding any bytes, alone and with a sound track: the video
// is opened and read by libavformat and copied into a film, or refused with a French message,
// never a crash. Files in a private folder in memory, removed at the end of the run.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "film/EcritureFilm.h"
#include "film/ErreurFilm.h"

namespace {

// Half a second of 16-bit mono sound at 22,050 Hz.
void ecrireSon(const std::string& chemin) {
    const uint32_t trames = 11025, octets = trames * 2;
    unsigned char entete[44] = {};
    const auto mot16 = [&](int i, uint16_t v) {
        entete[i] = v & 0xFF;
        entete[i + 1] = v >> 8;
    };
    const auto mot32 = [&](int i, uint32_t v) {
        mot16(i, v & 0xFFFF);
        mot16(i + 2, v >> 16);
    };
    std::memcpy(entete, "RIFF", 4);
    mot32(4, 36 + octets);
    std::memcpy(entete + 8, "WAVEfmt ", 8);
    mot32(16, 16);
    mot16(20, 1);
    mot16(22, 1);
    mot32(24, 22050);
    mot32(28, 22050 * 2);
    mot16(32, 2);
    mot16(34, 16);
    std::memcpy(entete + 36, "data", 4);
    mot32(40, octets);
    std::FILE* f = std::fopen(chemin.c_str(), "wb");
    if (!f) return;
    std::fwrite(entete, 1, sizeof entete, f);
    for (uint32_t i = 0; i < trames; ++i) {
        const uint16_t e = static_cast<uint16_t>(i * 7919u);
        const unsigned char o[2] = {static_cast<unsigned char>(e & 0xFF),
                                    static_cast<unsigned char>(e >> 8)};
        std::fwrite(o, 1, 2, f);
    }
    std::fclose(f);
}

struct Dossier {
    std::string chemin;
    Dossier() {
        chemin = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                 std::string("/voltiplume-fuzz-film-") + std::to_string(::getpid());
        std::filesystem::create_directories(chemin);
        ecrireSon(chemin + "/son.wav");
    }
    ~Dossier() {
        std::error_code e;
        std::filesystem::remove_all(chemin, e);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille) {
    static const Dossier dossier;
    const std::string video = dossier.chemin + "/video.avi";
    std::FILE* f = std::fopen(video.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(donnees, 1, taille, f);
    std::fclose(f);
    for (const std::string& son : {std::string(), dossier.chemin + "/son.wav"}) {
        try {
            vp::ecrireFilm(video, son, dossier.chemin + "/film.avi");
        } catch (const vp::ErreurFilm&) {
            // not a video, or one that cannot be copied: refused with a message
        }
    }
    return 0;
}
