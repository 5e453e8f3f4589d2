#include "LectureVideo.h"

#include <QFile>
#include <csignal>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace vp::test {

namespace {

QImage enCouleur(const AVFrame* t) {
    QImage image(t->width, t->height, QImage::Format_RGB888);
    SwsContext* s =
        sws_getContext(t->width, t->height, static_cast<AVPixelFormat>(t->format), t->width,
                       t->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
    uint8_t* cible[1] = {image.bits()};
    const int pas[1] = {static_cast<int>(image.bytesPerLine())};
    sws_scale(s, t->data, t->linesize, 0, t->height, cible, pas);
    sws_freeContext(s);
    return image;
}

}  // namespace

Video lireVideo(const QString& fichier) {
    Video v;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, QFile::encodeName(fichier).constData(), nullptr, nullptr) < 0)
        return v;
    if (avformat_find_stream_info(format, nullptr) < 0) {
        avformat_close_input(&format);
        return v;
    }
    const int indice = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (indice < 0) {
        avformat_close_input(&format);
        return v;
    }
    AVStream* flux = format->streams[indice];
    const AVCodec* decodeur = avcodec_find_decoder(flux->codecpar->codec_id);
    AVCodecContext* c = avcodec_alloc_context3(decodeur);
    avcodec_parameters_to_context(c, flux->codecpar);
    if (avcodec_open2(c, decodeur, nullptr) >= 0) {
        v.ouverte = true;
        v.codec = QString::fromLatin1(decodeur->name);
        const uint32_t tag = flux->codecpar->codec_tag;
        for (int i = 0; i < 4; ++i)
            v.fourcc += QLatin1Char(static_cast<char>((tag >> (8 * i)) & 0xFF));
        v.largeur = flux->codecpar->width;
        v.hauteur = flux->codecpar->height;
        v.cadence = av_q2d(flux->avg_frame_rate.num ? flux->avg_frame_rate : flux->r_frame_rate);
        AVPacket* p = av_packet_alloc();
        AVFrame* t = av_frame_alloc();
        auto recevoir = [&] {
            while (avcodec_receive_frame(c, t) == 0) {
                if (v.images == 0) v.premiere = enCouleur(t);
                v.derniere = enCouleur(t);
                ++v.images;
            }
        };
        while (av_read_frame(format, p) >= 0) {
            if (p->stream_index == indice && avcodec_send_packet(c, p) >= 0) recevoir();
            av_packet_unref(p);
        }
        avcodec_send_packet(c, nullptr);
        recevoir();
        av_frame_free(&t);
        av_packet_free(&p);
    }
    avcodec_free_context(&c);
    avformat_close_input(&format);
    return v;
}

QByteArray lireFichier(const QString& fichier) {
    QFile f(fichier);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

LimiteTailleFichiers::LimiteTailleFichiers(qint64 octets) {
    getrlimit(RLIMIT_FSIZE, &avant_);
    signalAvant_ = std::signal(SIGXFSZ, SIG_IGN);  // EFBIG instead of the signal
    rlimit limite = avant_;
    limite.rlim_cur = static_cast<rlim_t>(octets);
    setrlimit(RLIMIT_FSIZE, &limite);
}

LimiteTailleFichiers::~LimiteTailleFichiers() {
    setrlimit(RLIMIT_FSIZE, &avant_);
    std::signal(SIGXFSZ, signalAvant_);
}

}  // namespace vp::test
