// SPDX-License-Identifier: GPL-3.0-or-later
#include "film/PisteSon.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <memory>

#include "film/ErreurFilm.h"
#include "film/Ffmpeg.h"

namespace vp {

PisteSon chargerPisteSon(const std::string& chemin) {
    PisteSon piste;
    av::Entree format;
    if (av::ouvrir(format, chemin) < 0)
        throw ErreurFilm("Impossible d'ouvrir le son « " + chemin + " ».");
    AVFormatContext* brut = format.get();
    if (avformat_find_stream_info(brut, nullptr) < 0)
        throw ErreurFilm("Le son « " + chemin + " » est illisible.");
    const int indice = av_find_best_stream(brut, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (indice < 0) return piste;
    const AVCodecParameters* p = brut->streams[indice]->codecpar;
    using E = PisteSon::Echantillons;
    switch (p->codec_id) {
        case AV_CODEC_ID_PCM_U8:
            piste.echantillons = E::U8;
            break;
        case AV_CODEC_ID_PCM_S16LE:
            piste.echantillons = E::S16;
            break;
        case AV_CODEC_ID_PCM_S24LE:
            piste.echantillons = E::S24;
            break;
        case AV_CODEC_ID_PCM_S32LE:
            piste.echantillons = E::S32;
            break;
        case AV_CODEC_ID_PCM_F32LE:
            piste.echantillons = E::F32;
            break;
        case AV_CODEC_ID_PCM_F64LE:
            piste.echantillons = E::F64;
            break;
        default:
            throw ErreurFilm("Le son « " + chemin +
                             " » n'est pas en PCM : il ne peut pas être lu.");
    }
    piste.canaux = p->ch_layout.nb_channels;
    piste.octetsParTrame = av_get_bits_per_sample(p->codec_id) / 8 * piste.canaux;
    if (piste.canaux < 1 || p->sample_rate < 1)
        throw ErreurFilm("Le son « " + chemin + " » a un format incohérent.");
    const av::Paquet paquet(av_packet_alloc());
    while (av_read_frame(brut, paquet.get()) >= 0) {
        if (paquet->stream_index == indice)
            piste.octets.insert(piste.octets.end(), paquet->data, paquet->data + paquet->size);
        av_packet_unref(paquet.get());
    }
    piste.octets.resize(piste.octets.size() - piste.octets.size() % piste.octetsParTrame);
    piste.frequence = p->sample_rate;
    return piste;
}

}  // namespace vp
