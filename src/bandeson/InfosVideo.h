// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

namespace vp {

// What the recording window needs from "video.avi": the main AVI header's frame period
// (microseconds per frame, at byte 32 of the file) and length (total frames, at byte 48).
struct InfosVideo {
    uint32_t microsecondesParImage = 0;
    uint32_t nombreImages = 0;

    // Video length in whole seconds, rounded down; in 64 bits, so that long videos do not wrap.
    uint64_t dureeVideo() const {
        return static_cast<uint64_t>(nombreImages) * microsecondesParImage / 1000000;
    }
};

// Reads the first 60 bytes of `chemin`; raises Erreur, in French, when the file cannot be
// read, is shorter, is not an AVI file, gives no frame period or no frame.
InfosVideo lireInfosVideo(const QString& chemin);

}  // namespace vp
