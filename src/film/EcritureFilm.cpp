// SPDX-License-Identifier: GPL-3.0-or-later
#include "EcritureFilm.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <memory>

#include "ErreurFilm.h"
#include "Ffmpeg.h"
#include "FichierTemporaire.h"
#include "SonWav.h"

namespace vp {

namespace {

AVCodecID codecPcm(const SonWav& s) {
    if (s.flottant) return s.bits == 32 ? AV_CODEC_ID_PCM_F32LE : AV_CODEC_ID_PCM_F64LE;
    switch (s.bits) {
        case 8:
            return AV_CODEC_ID_PCM_U8;
        case 16:
            return AV_CODEC_ID_PCM_S16LE;
        case 24:
            return AV_CODEC_ID_PCM_S24LE;
        default:
            return AV_CODEC_ID_PCM_S32LE;
    }
}

}  // namespace

void ecrireFilm(const std::string& video, const std::string& son, const std::string& film) {
    av_log_set_level(AV_LOG_QUIET);  // our own messages say what went wrong

    // The video.
    av::Entree entree;
    int r = av::ouvrir(entree, video);
    if (r < 0)
        throw ErreurFilm("Impossible de lire la vidéo « " + video + " » : " + av::raison(r) + ".");
    r = avformat_find_stream_info(entree.get(), nullptr);
    if (r < 0)
        throw ErreurFilm("La vidéo « " + video + " » est illisible : " + av::raison(r) + ".");
    const int indiceVideo =
        av_find_best_stream(entree.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (indiceVideo < 0) throw ErreurFilm("Le fichier « " + video + " » ne contient pas de vidéo.");
    const AVStream* fluxEntree = entree->streams[indiceVideo];

    // The sound track's header, checked before anything is written.
    const bool avecSon = !son.empty();
    SonWav wav;
    if (avecSon) wav = lireEnteteWav(son);

    FichierTemporaire temporaire(film, kModeleTemporaireFilm, "le film");
    AVFormatContext* sortieBrute = nullptr;
    r = avformat_alloc_output_context2(&sortieBrute, nullptr, "avi", nullptr);
    if (r < 0) throw ErreurFilm("Impossible de préparer le film : " + av::raison(r) + ".");
    av::Sortie sortie(sortieBrute);
    const auto echecEcriture = [&](int erreur) {
        return ErreurFilm("Impossible d'écrire le film « " + film + " » : " + av::raison(erreur) +
                          ".");
    };

    AVStream* fluxVideo = avformat_new_stream(sortie.get(), nullptr);
    if (!fluxVideo || avcodec_parameters_copy(fluxVideo->codecpar, fluxEntree->codecpar) < 0)
        throw ErreurFilm("Mémoire insuffisante.");
    // The four-character code stays, unless the AVI tables give it to another codec.
    unsigned int etiquette = 0;
    const AVCodecTag* const* tables = sortie->oformat->codec_tag;
    if (tables &&
        av_codec_get_id(tables, fluxEntree->codecpar->codec_tag) !=
            fluxEntree->codecpar->codec_id &&
        av_codec_get_tag2(tables, fluxEntree->codecpar->codec_id, &etiquette))
        fluxVideo->codecpar->codec_tag = 0;
    fluxVideo->time_base = fluxEntree->time_base;
    fluxVideo->avg_frame_rate = fluxEntree->avg_frame_rate;
    fluxVideo->r_frame_rate = fluxEntree->r_frame_rate;

    AVStream* fluxSon = nullptr;
    if (avecSon) {
        fluxSon = avformat_new_stream(sortie.get(), nullptr);
        if (!fluxSon) throw ErreurFilm("Mémoire insuffisante.");
        AVCodecParameters* p = fluxSon->codecpar;
        p->codec_type = AVMEDIA_TYPE_AUDIO;
        p->codec_id = codecPcm(wav);
        p->sample_rate = wav.frequence;
        if (wav.masqueCanaux == 0 ||
            av_channel_layout_from_mask(&p->ch_layout, wav.masqueCanaux) < 0 ||
            p->ch_layout.nb_channels != wav.canaux) {
            av_channel_layout_uninit(&p->ch_layout);
            av_channel_layout_default(&p->ch_layout, wav.canaux);
        }
        p->block_align = wav.alignement;
        p->bits_per_coded_sample = wav.bits;
        p->bit_rate = static_cast<int64_t>(wav.frequence) * wav.alignement * 8;
        fluxSon->time_base = AVRational{1, wav.frequence};
    }

    r = avio_open(&sortie->pb, ("file:" + temporaire.nom()).c_str(), AVIO_FLAG_WRITE);
    if (r < 0) throw echecEcriture(r);
    r = avformat_write_header(sortie.get(), nullptr);
    if (r < 0) throw echecEcriture(r);

    // One chunk of sound for each picture's time, as players expect in an AVI file.
    const AVRational cadence =
        fluxEntree->avg_frame_rate.num > 0 ? fluxEntree->avg_frame_rate : fluxEntree->r_frame_rate;
    int64_t tramesParBloc = avecSon ? wav.frequence / 10 : 0;
    if (avecSon && cadence.num > 0 && cadence.den > 0)
        tramesParBloc = av_rescale(wav.frequence, cadence.den, cadence.num);
    if (avecSon) tramesParBloc = std::clamp<int64_t>(tramesParBloc, 256, wav.frequence);
    std::unique_ptr<LectureWav> lecture;
    if (avecSon) lecture = std::make_unique<LectureWav>(son, wav);

    const av::Paquet paquet(av_packet_alloc());
    const av::Paquet paquetSon(av_packet_alloc());
    if (!paquet || !paquetSon) throw ErreurFilm("Mémoire insuffisante.");
    // Writes the sound up to the instant `jusqua` (in the video's time base; INT64_MAX: all).
    const auto ecrireSon = [&](int64_t jusqua) {
        while (lecture && !lecture->fini()) {
            const int64_t debut = av_rescale_q(lecture->trameSuivante(),
                                               AVRational{1, wav.frequence}, fluxEntree->time_base);
            if (jusqua != INT64_MAX && debut > jusqua) return;
            const int64_t premiere = lecture->trameSuivante();
            const int64_t trames = std::min<int64_t>(
                tramesParBloc, static_cast<int64_t>(wav.taille / wav.alignement) - premiere);
            if (av_new_packet(paquetSon.get(), static_cast<int>(trames * wav.alignement)) < 0)
                throw ErreurFilm("Mémoire insuffisante.");
            lecture->lire(paquetSon->data, trames);
            paquetSon->pts = paquetSon->dts = premiere;
            paquetSon->duration = trames;
            paquetSon->flags |= AV_PKT_FLAG_KEY;
            av_packet_rescale_ts(paquetSon.get(), AVRational{1, wav.frequence}, fluxSon->time_base);
            paquetSon->stream_index = fluxSon->index;
            const int e = av_interleaved_write_frame(sortie.get(), paquetSon.get());
            if (e < 0) throw echecEcriture(e);
        }
    };

    int64_t images = 0;
    for (;;) {
        r = av_read_frame(entree.get(), paquet.get());
        if (r == AVERROR_EOF) break;
        if (r < 0)
            throw ErreurFilm("La vidéo « " + video + " » est illisible : " + av::raison(r) + ".");
        if (paquet->stream_index != indiceVideo) {
            av_packet_unref(paquet.get());
            continue;
        }
        const int64_t instant = paquet->dts != AV_NOPTS_VALUE ? paquet->dts : paquet->pts;
        if (instant != AV_NOPTS_VALUE) ecrireSon(instant);
        av_packet_rescale_ts(paquet.get(), fluxEntree->time_base, fluxVideo->time_base);
        paquet->stream_index = fluxVideo->index;
        paquet->pos = -1;
        r = av_interleaved_write_frame(sortie.get(), paquet.get());
        if (r < 0) throw echecEcriture(r);
        ++images;
    }
    if (images == 0) throw ErreurFilm("La vidéo « " + video + " » ne contient aucune image.");
    ecrireSon(INT64_MAX);
    r = av_write_trailer(sortie.get());
    if (r < 0) throw echecEcriture(r);
    avio_flush(sortie->pb);
    if (sortie->pb->error < 0) throw echecEcriture(sortie->pb->error);
    r = avio_closep(&sortie->pb);
    if (r < 0) throw echecEcriture(r);
    temporaire.remplacer();
}

}  // namespace vp
