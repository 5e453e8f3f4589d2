// SPDX-License-Identifier: GPL-3.0-or-later
#include "DecodeurImages.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>

#include "film/ErreurFilm.h"
#include "film/Ffmpeg.h"

namespace vp {

namespace {

struct LibererSws {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

}  // namespace

struct DecodeurImages::Etat {
    av::Entree format;
    av::Codec codec;
    av::Image image{av_frame_alloc()};
    av::Paquet paquet{av_packet_alloc()};
    std::unique_ptr<SwsContext, LibererSws> conversion;
    AVStream* flux = nullptr;
    int indice = -1;
    bool finLecture = false;  // the file is read to its end, the decoder drained
};

DecodeurImages::DecodeurImages(const std::string& chemin) : e_(std::make_unique<Etat>()) {
    const auto illisible = [&](const std::string& raison) {
        return ErreurFilm("La vidéo « " + chemin + " » est illisible : " + raison + ".");
    };
    if (av::ouvrir(e_->format, chemin) < 0)
        throw ErreurFilm("Impossible d'ouvrir la vidéo « " + chemin + " ».");
    AVFormatContext* brut = e_->format.get();
    if (avformat_find_stream_info(brut, nullptr) < 0) throw illisible("format inconnu");
    const AVCodec* decodeur = nullptr;
    e_->indice = av_find_best_stream(brut, AVMEDIA_TYPE_VIDEO, -1, -1, &decodeur, 0);
    if (e_->indice < 0 || !decodeur) throw illisible("aucune image lisible");
    e_->flux = brut->streams[e_->indice];
    e_->codec.reset(avcodec_alloc_context3(decodeur));
    if (!e_->codec || avcodec_parameters_to_context(e_->codec.get(), e_->flux->codecpar) < 0 ||
        avcodec_open2(e_->codec.get(), decodeur, nullptr) < 0)
        throw illisible("codec non pris en charge");
    const AVRational r =
        e_->flux->avg_frame_rate.num > 0 ? e_->flux->avg_frame_rate : e_->flux->r_frame_rate;
    cadence_ = r.num > 0 && r.den > 0 ? av_q2d(r) : 25.0;
    nombreImages_ = static_cast<int>(e_->flux->nb_frames);
    if (nombreImages_ <= 0 && e_->flux->duration > 0)
        nombreImages_ = static_cast<int>(std::lround(static_cast<double>(e_->flux->duration) *
                                                     av_q2d(e_->flux->time_base) * cadence_));
    if (nombreImages_ <= 0) throw illisible("aucune image");
    if (!decoderSuivante()) throw illisible("la première image ne se décode pas");
}

DecodeurImages::~DecodeurImages() = default;

QImage DecodeurImages::image(int n) {
    n = std::clamp(n, 0, nombreImages_ - 1);
    if (n == courante_) return derniere_;
    if (courante_ < 0 || n < courante_ || n > courante_ + 48) chercher(n);
    while (courante_ < n && decoderSuivante()) {
    }
    return derniere_;
}

void DecodeurImages::chercher(int n) {
    const int64_t debut = e_->flux->start_time != AV_NOPTS_VALUE ? e_->flux->start_time : 0;
    const int64_t instant =
        debut + av_rescale_q(n, av_inv_q(av_d2q(cadence_, 100000)), e_->flux->time_base);
    if (av_seek_frame(e_->format.get(), e_->indice, instant, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(e_->format.get(), e_->indice, debut, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(e_->codec.get());
    e_->finLecture = false;
    courante_ = -1;
}

bool DecodeurImages::decoderSuivante() {
    AVCodecContext* c = e_->codec.get();
    for (;;) {
        const int r = avcodec_receive_frame(c, e_->image.get());
        if (r == 0) break;
        if (r != AVERROR(EAGAIN)) return false;  // drained, or broken
        if (e_->finLecture) return false;
        const int lu = av_read_frame(e_->format.get(), e_->paquet.get());
        if (lu < 0) {
            e_->finLecture = true;
            avcodec_send_packet(c, nullptr);
            continue;
        }
        if (e_->paquet->stream_index == e_->indice) avcodec_send_packet(c, e_->paquet.get());
        av_packet_unref(e_->paquet.get());
    }
    const AVFrame* t = e_->image.get();
    // The picture's index from its time stamp; one more than the previous one without it.
    const int64_t ts = t->best_effort_timestamp;
    if (ts != AV_NOPTS_VALUE) {
        const int64_t debut = e_->flux->start_time != AV_NOPTS_VALUE ? e_->flux->start_time : 0;
        courante_ = static_cast<int>(
            std::lround(static_cast<double>(ts - debut) * av_q2d(e_->flux->time_base) * cadence_));
    } else {
        ++courante_;
    }
    e_->conversion.reset(sws_getCachedContext(
        e_->conversion.release(), t->width, t->height, static_cast<AVPixelFormat>(t->format),
        t->width, t->height, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr));
    QImage image(t->width, t->height, QImage::Format_RGB32);
    if (!e_->conversion || image.isNull()) return false;
    uint8_t* cible[1] = {image.bits()};
    const int pas[1] = {static_cast<int>(image.bytesPerLine())};
    sws_scale(e_->conversion.get(), t->data, t->linesize, 0, t->height, cible, pas);
    derniere_ = std::move(image);
    return true;
}

}  // namespace vp
