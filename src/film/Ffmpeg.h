// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// FFmpeg's objects owned by std::unique_ptr, for the film library, the editor and the export.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>
#include <string>

#include "platform/RaisonSysteme.h"

namespace vp::av {

struct FermerEntree {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct LibererCodec {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct LibererImage {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct LibererPaquet {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
// A file being written: its file closed, then the muxer's context freed.
struct LibererSortie {
    void operator()(AVFormatContext* f) const {
        if (f->pb) avio_closep(&f->pb);
        avformat_free_context(f);
    }
};

using Entree = std::unique_ptr<AVFormatContext, FermerEntree>;
using Codec = std::unique_ptr<AVCodecContext, LibererCodec>;
using Image = std::unique_ptr<AVFrame, LibererImage>;
using Paquet = std::unique_ptr<AVPacket, LibererPaquet>;
using Sortie = std::unique_ptr<AVFormatContext, LibererSortie>;

// The French reason for one of FFmpeg's error codes; never the library's own English words.
inline std::string raison(int erreur) {
    switch (erreur) {
        case AVERROR_INVALIDDATA:
            return "données invalides";
        case AVERROR_EOF:
            return "fin de fichier inattendue";
        case AVERROR(ENOMEM):
            return "mémoire insuffisante";
        case AVERROR(EINVAL):
            return "réglage refusé";
        case AVERROR(ENOSYS):
        case AVERROR_PATCHWELCOME:
            return "opération non prise en charge";
        case AVERROR_ENCODER_NOT_FOUND:
        case AVERROR_DECODER_NOT_FOUND:
            return "codec absent de cet ordinateur";
        case AVERROR_MUXER_NOT_FOUND:
        case AVERROR_DEMUXER_NOT_FOUND:
            return "format de fichier absent de cet ordinateur";
        case AVERROR_FILTER_NOT_FOUND:
            return "traitement absent de cet ordinateur";
        case AVERROR_PROTOCOL_NOT_FOUND:
            return "accès aux fichiers absent de cet ordinateur";
        case AVERROR_EXTERNAL:
            return "l'encodeur a échoué";
        case AVERROR_BUG:
        case AVERROR_BUG2:
        case AVERROR_BUFFER_TOO_SMALL:
            return "erreur interne";
        default:
            break;
    }
    if (erreur < 0 && erreur > -4096) return raisonErreurSysteme(-erreur);  // AVERROR(errno)
    return "erreur inattendue (code " + std::to_string(erreur) + ")";
}

// FFmpeg's own messages kept off the terminal but for errors, once for the whole process
// (a later choice of another level stands).
inline void journalFfmpegDiscret() {
    static const bool fait = [] {
        av_log_set_level(AV_LOG_ERROR);
        return true;
    }();
    (void)fait;
}

// Opens the file `chemin` for reading (by the file protocol, whatever characters its name
// holds); FFmpeg's error code, 0 when it opened.
inline int ouvrir(Entree& entree, const std::string& chemin) {
    AVFormatContext* brut = nullptr;
    const int r = avformat_open_input(&brut, ("file:" + chemin).c_str(), nullptr, nullptr);
    entree.reset(brut);
    return r;
}

}  // namespace vp::av
