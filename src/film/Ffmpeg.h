#pragma once

// FFmpeg's objects owned by std::unique_ptr, for the film library and the editor.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>
#include <string>

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

using Entree = std::unique_ptr<AVFormatContext, FermerEntree>;
using Codec = std::unique_ptr<AVCodecContext, LibererCodec>;
using Image = std::unique_ptr<AVFrame, LibererImage>;
using Paquet = std::unique_ptr<AVPacket, LibererPaquet>;

// Opens the file `chemin` for reading (by the file protocol, whatever characters its name
// holds); FFmpeg's error code, 0 when it opened.
inline int ouvrir(Entree& entree, const std::string& chemin) {
    AVFormatContext* brut = nullptr;
    const int r = avformat_open_input(&brut, ("file:" + chemin).c_str(), nullptr, nullptr);
    entree.reset(brut);
    return r;
}

}  // namespace vp::av
