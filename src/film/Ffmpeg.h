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

// The French reason for one of FFmpeg's error codes.
inline std::string raison(int erreur) {
    if (erreur == AVERROR_INVALIDDATA) return "données invalides";
    if (erreur == AVERROR_EOF) return "fin de fichier inattendue";
    if (erreur < 0 && erreur > -4096) return raisonErreurSysteme(-erreur);  // AVERROR(errno)
    char texte[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(erreur, texte, sizeof texte);
    return std::string("erreur FFmpeg : ") + texte;
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
