// SPDX-License-Identifier: GPL-3.0-or-later
#include "LectureVideo.h"

#include <QFile>
#include <algorithm>
#include <climits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace vp::test {

namespace {

// The picture as a player shows it: the matrix and range its stream declares.
QImage enCouleur(const AVFrame* t) {
    QImage image(t->width, t->height, QImage::Format_RGB888);
    SwsContext* s = sws_getContext(t->width, t->height, static_cast<AVPixelFormat>(t->format),
                                   t->width, t->height, AV_PIX_FMT_RGB24,
                                   SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                   nullptr, nullptr);
    int *inverse, *table, plageSource, plageCible, luminosite, contraste, saturation;
    if (sws_getColorspaceDetails(s, &inverse, &plageSource, &table, &plageCible, &luminosite,
                                 &contraste, &saturation) >= 0) {
        if (t->colorspace == AVCOL_SPC_BT709)
            inverse = const_cast<int*>(sws_getCoefficients(SWS_CS_ITU709));
        if (t->color_range == AVCOL_RANGE_JPEG) plageSource = 1;
        if (t->color_range == AVCOL_RANGE_MPEG) plageSource = 0;
        sws_setColorspaceDetails(s, inverse, plageSource, table, plageCible, luminosite, contraste,
                                 saturation);
    }
    uint8_t* cible[1] = {image.bits()};
    const int pas[1] = {static_cast<int>(image.bytesPerLine())};
    sws_scale(s, t->data, t->linesize, 0, t->height, cible, pas);
    sws_freeContext(s);
    return image;
}

// The first channel of decoded sound, as floats.
void ajouterGauche(const AVFrame* t, std::vector<float>& gauche) {
    for (int i = 0; i < t->nb_samples; ++i) {
        const int n = t->ch_layout.nb_channels;
        switch (t->format) {
            case AV_SAMPLE_FMT_FLTP:
                gauche.push_back(reinterpret_cast<const float*>(t->data[0])[i]);
                break;
            case AV_SAMPLE_FMT_FLT:
                gauche.push_back(reinterpret_cast<const float*>(t->data[0])[i * n]);
                break;
            case AV_SAMPLE_FMT_S16P:
                gauche.push_back(reinterpret_cast<const int16_t*>(t->data[0])[i] / 32768.f);
                break;
            case AV_SAMPLE_FMT_S16:
                gauche.push_back(reinterpret_cast<const int16_t*>(t->data[0])[i * n] / 32768.f);
                break;
            default:
                return;
        }
    }
}

struct Decodeur {
    AVCodecContext* c = nullptr;
    int indice = -1;
    Decodeur(AVFormatContext* format, AVMediaType type) {
        indice = av_find_best_stream(format, type, -1, -1, nullptr, 0);
        if (indice < 0) return;
        const AVCodec* d = avcodec_find_decoder(format->streams[indice]->codecpar->codec_id);
        c = avcodec_alloc_context3(d);
        avcodec_parameters_to_context(c, format->streams[indice]->codecpar);
        if (avcodec_open2(c, d, nullptr) < 0) avcodec_free_context(&c);
    }
    ~Decodeur() { avcodec_free_context(&c); }
};

}  // namespace

Video lireVideo(const QString& fichier, bool toutesLesImages) {
    Video v;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, QFile::encodeName(fichier).constData(), nullptr, nullptr) < 0)
        return v;
    if (avformat_find_stream_info(format, nullptr) < 0) {
        avformat_close_input(&format);
        return v;
    }
    {
        Decodeur image(format, AVMEDIA_TYPE_VIDEO), son(format, AVMEDIA_TYPE_AUDIO);
        if (image.c) {
            v.ouverte = true;
            const AVStream* flux = format->streams[image.indice];
            const AVCodecParameters* p = flux->codecpar;
            v.codec = QString::fromLatin1(image.c->codec->name);
            for (int i = 0; i < 4; ++i)
                v.fourcc += QLatin1Char(static_cast<char>((p->codec_tag >> (8 * i)) & 0xFF));
            if (const char* profil = avcodec_profile_name(p->codec_id, p->profile))
                v.profil = QString::fromLatin1(profil);
            v.niveau = p->level;
            if (const char* pixels = av_get_pix_fmt_name(static_cast<AVPixelFormat>(p->format)))
                v.pixels = QString::fromLatin1(pixels);
            v.largeur = p->width;
            v.hauteur = p->height;
            v.cadence =
                av_q2d(flux->avg_frame_rate.num ? flux->avg_frame_rate : flux->r_frame_rate);
        }
        if (son.c) {
            v.son.codec = QString::fromLatin1(son.c->codec->name);
            v.son.frequence = son.c->sample_rate;
            v.son.canaux = son.c->ch_layout.nb_channels;
        }
        AVPacket* p = av_packet_alloc();
        AVFrame* t = av_frame_alloc();
        auto recevoir = [&](const Decodeur& d) {
            while (avcodec_receive_frame(d.c, t) == 0) {
                if (&d == &son) {
                    ajouterGauche(t, v.son.gauche);
                    continue;
                }
                const QImage couleur = enCouleur(t);
                if (v.images == 0) v.premiere = couleur;
                v.derniere = couleur;
                if (toutesLesImages) v.toutes.push_back(couleur);
                ++v.images;
            }
        };
        int64_t debut = INT64_MAX, fin = INT64_MIN;
        while (av_read_frame(format, p) >= 0) {
            for (const Decodeur* d : {&image, &son}) {
                if (!d->c || p->stream_index != d->indice) continue;
                if (d == &image && p->pts != AV_NOPTS_VALUE) {
                    const AVRational base = format->streams[d->indice]->time_base;
                    debut = std::min(debut, p->pts);
                    fin = std::max(fin, p->pts + p->duration);
                    v.durees.push_back(av_q2d(base) * static_cast<double>(p->duration));
                    v.duree = av_q2d(base) * static_cast<double>(fin - debut);
                }
                if (avcodec_send_packet(d->c, p) >= 0) recevoir(*d);
            }
            av_packet_unref(p);
        }
        for (const Decodeur* d : {&image, &son})
            if (d->c) {
                avcodec_send_packet(d->c, nullptr);
                recevoir(*d);
            }
        av_frame_free(&t);
        av_packet_free(&p);
    }
    avformat_close_input(&format);
    return v;
}

int imagesEnBoucle(const QString& gif, int plafond) {
    AVFormatContext* format = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "ignore_loop", "0", 0);
    const int r =
        avformat_open_input(&format, QFile::encodeName(gif).constData(), nullptr, &options);
    av_dict_free(&options);
    if (r < 0) return 0;
    int images = 0;
    AVPacket* p = av_packet_alloc();
    while (images < plafond && av_read_frame(format, p) >= 0) {
        ++images;
        av_packet_unref(p);
    }
    av_packet_free(&p);
    avformat_close_input(&format);
    return images;
}

QByteArray lireFichier(const QString& fichier) {
    QFile f(fichier);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace vp::test
