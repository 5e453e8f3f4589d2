// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExportFilm.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

#include "film/ErreurFilm.h"
#include "film/Ffmpeg.h"
#include "film/FichierTemporaire.h"
#include "platform/Chemins.h"
#include "platform/Erreur.h"
#include "platform/LectureEnAvance.h"
#include "video/AVIRecorder.h"
#include "video/CreerVideo.h"

namespace vp {

namespace {

// The export's temporary file, in the target's folder (the documents, a USB stick): what a
// crash leaves there is removed when the next export starts in that folder.
constexpr char kModeleTemporaire[] = ".voltiplume-export-XXXXXX.tmp";

std::function<void(SuiviExport&)>& observateur() {
    static std::function<void(SuiviExport&)> o;
    return o;
}

struct LibererGraphe {
    void operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
};
struct LibererConversion {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using Graphe = std::unique_ptr<AVFilterGraph, LibererGraphe>;

// Unwinds an export the user stopped.
struct Annulation {};

Erreur memoireInsuffisante() {
    return Erreur(QStringLiteral("Mémoire insuffisante pour exporter le film."));
}

QString raison(int erreur) {
    return QString::fromStdString(av::raison(erreur));
}

// A step of the pictures' or the sound's processing that failed: short of memory, or what
// could not be done (`quoi`) with the reason.
[[noreturn]] void echecTraitement(int erreur, const QString& quoi) {
    if (erreur == AVERROR(ENOMEM)) throw memoireInsuffisante();
    throw Erreur(QStringLiteral("%1 : %2.").arg(quoi, raison(erreur)));
}
const QString kImagesIntraitables =
    QStringLiteral("Les images du film n'ont pas pu être préparées pour l'export");
const QString kSonIntraitable =
    QStringLiteral("Le son du projet n'a pas pu être préparé pour le film");

void verifierArret(const SuiviExport& suivi) {
    if (suivi.annule) throw Annulation{};
}

av::Image nouvelleImage() {
    av::Image i(av_frame_alloc());
    if (!i) throw memoireInsuffisante();
    return i;
}

// The project's pictures, stretched to the film's size and turned into the encoder's pixels.
class Conversion {
public:
    Conversion(QSize taille, AVPixelFormat format) : taille_(taille), format_(format) {}

    // Picture `k` of the film (counted from 0).
    av::Image convertir(qint32 k, QImage image) {
        AVPixelFormat source;
        switch (image.format()) {
            case QImage::Format_BGR888:  // the frame files' own layout
                source = AV_PIX_FMT_BGR24;
                break;
            case QImage::Format_RGB888:
                source = AV_PIX_FMT_RGB24;
                break;
            case QImage::Format_RGB32:
            case QImage::Format_ARGB32:
                source = AV_PIX_FMT_BGRA;  // 0xAARRGGBB words, little-endian
                break;
            default:
                image = image.convertToFormat(QImage::Format_RGB888);
                if (image.isNull()) throw memoireInsuffisante();
                source = AV_PIX_FMT_RGB24;
        }
        // The chroma is filtered from every pixel, not taken from one pixel in four (the fast
        // path's way), which would make coloured edges jagged.
        // sws_getCachedContext frees the old context when it makes another, even when it fails.
        // It makes another whenever the source changes: a frame of another size or layout. The
        // new one may well sit at the old one's address, so the change is told by the source.
        const bool nouvelle = !conversion_ || image.size() != tailleSource_ || source != source_;
        SwsContext* c = sws_getCachedContext(conversion_.release(), image.width(), image.height(),
                                             source, taille_.width(), taille_.height(), format_,
                                             SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP,
                                             nullptr, nullptr, nullptr);
        conversion_.reset(c);
        if (!c)
            throw Erreur(QStringLiteral("L'image n° %1 (%2 × %3) ne peut pas être mise à la "
                                        "taille du film (%4 × %5).")
                             .arg(k + 1)
                             .arg(image.width())
                             .arg(image.height())
                             .arg(taille_.width())
                             .arg(taille_.height()));
        if (nouvelle && format_ == AV_PIX_FMT_YUV420P) {
            // The pictures are sRGB, whose primaries are BT.709's: the film says so in its
            // colour tags, and its pixels are made with the same matrix, at video range. A new
            // context starts with BT.601's.
            const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
            sws_setColorspaceDetails(c, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
        }
        tailleSource_ = image.size();
        source_ = source;
        av::Image sortie = nouvelleImage();
        sortie->format = format_;
        sortie->width = taille_.width();
        sortie->height = taille_.height();
        if (av_frame_get_buffer(sortie.get(), 0) < 0) throw memoireInsuffisante();
        const uint8_t* lignes[1] = {image.constBits()};
        const int pas[1] = {static_cast<int>(image.bytesPerLine())};
        sws_scale(c, lignes, pas, 0, image.height(), sortie->data, sortie->linesize);
        return sortie;
    }

private:
    QSize taille_;
    AVPixelFormat format_;
    std::unique_ptr<SwsContext, LibererConversion> conversion_;
    QSize tailleSource_;  // of the frame `conversion_` was made for
    AVPixelFormat source_ = AV_PIX_FMT_NONE;
};

// The frames read, stretched and converted a few pictures ahead of the encoder, on a thread of
// their own: the encoder's threads never wait for the disk or the conversion.
class Prechargement {
public:
    Prechargement(qint32 nombre, const LecteurImage& image, QSize taille, AVPixelFormat format)
        : conversion_(taille, format),
          file_(
              nombre,
              [this, &image](qint32 k) {
                  Pret pret;
                  try {
                      pret.image = conversion_.convertir(k, image(k));
                  } catch (...) {
                      pret.erreur = std::current_exception();
                  }
                  return pret;
              },
              [](const Pret& pret) { return static_cast<bool>(pret.erreur); }, filExport) {}

    // The next picture; the error of its frame is raised here.
    av::Image suivante() {
        Pret pret = file_.suivante();
        if (pret.erreur) std::rethrow_exception(pret.erreur);
        return std::move(pret.image);
    }

private:
    struct Pret {
        av::Image image;
        std::exception_ptr erreur;
    };
    Conversion conversion_;
    LectureEnAvance<Pret> file_;  // last: its thread uses the conversion
};

// The file being written: its muxer, its temporary file, and the message of a write failure.
class FichierSortie {
public:
    // `quoi`: what is written, for the messages ("le film", "l'image animée").
    FichierSortie(const std::string& cible, const char* format, const QString& quoi)
        : cible_(cible), quoi_(quoi), temporaire_(cible_, kModeleTemporaire, quoi.toStdString()) {
        AVFormatContext* brut = nullptr;
        // The name is the temporary file's: the MP4 muxer opens it again to move its index
        // to the start.
        const std::string url = "file:" + temporaire_.nom();
        const int r = avformat_alloc_output_context2(&brut, nullptr, format, url.c_str());
        sortie_.reset(brut);
        if (r == AVERROR(ENOMEM)) throw memoireInsuffisante();
        if (r < 0 || !brut)
            throw Erreur(QStringLiteral("Le film ne peut pas être exporté : le format %1 manque "
                                        "sur cet ordinateur.")
                             .arg(QString::fromLatin1(format).toUpper()));
    }

    ~FichierSortie() {
        // The GIF muxer lets its last picture go only when it writes the end of the file: a
        // file given up gets it too, just before it is removed.
        if (enTete_ && !fini_ && std::strcmp(sortie_->oformat->name, "gif") == 0)
            av_write_trailer(sortie_.get());
    }
    FichierSortie(const FichierSortie&) = delete;
    FichierSortie& operator=(const FichierSortie&) = delete;

    AVFormatContext* get() const { return sortie_.get(); }

    [[noreturn]] void echec(int erreur) const {
        throw Erreur(QStringLiteral("Impossible d'écrire %1 « %2 » : %3.")
                         .arg(quoi_, cheminLisible(cheminDepuisOctets(QByteArray(cible_.c_str()))),
                              raison(erreur)));
    }
    void verifier(int r) const {
        if (r < 0) echec(r);
    }

    void ouvrir(AVDictionary** options) {
        verifier(avio_open(&sortie_->pb, sortie_->url, AVIO_FLAG_WRITE));
        const int r = avformat_write_header(sortie_.get(), options);
        av_dict_free(options);
        verifier(r);
        enTete_ = true;
    }

    void ecrire(AVPacket* paquet, const AVCodecContext* codec, const AVStream* flux) {
        av_packet_rescale_ts(paquet, codec->time_base, flux->time_base);
        paquet->stream_index = flux->index;
        verifier(av_interleaved_write_frame(sortie_.get(), paquet));
    }

    // The index and headers written, the file on disk under the target's name; a stop asked
    // before it takes that name is still heard.
    void terminer(const SuiviExport& suivi) {
        verifierArret(suivi);
        fini_ = true;
        verifier(av_write_trailer(sortie_.get()));  // for an MP4 file, the index moved ahead
        avio_flush(sortie_->pb);
        verifier(sortie_->pb->error);
        verifier(avio_closep(&sortie_->pb));
        verifierArret(suivi);
        temporaire_.remplacer();  // its failure is told in French by ecrireExport
    }

private:
    std::string cible_;
    QString quoi_;
    FichierTemporaire temporaire_;
    av::Sortie sortie_;
    bool enTete_ = false, fini_ = false;
};

// `nom`: the encoder as the user knows it ("vidéo H.264").
av::Codec ouvrirEncodeur(const AVCodec* codec, const QString& nom,
                         const std::function<void(AVCodecContext*)>& regler,
                         const AVFormatContext* sortie) {
    av::Codec c(avcodec_alloc_context3(codec));
    if (!c) throw memoireInsuffisante();
    regler(c.get());
    if (sortie->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int r = avcodec_open2(c.get(), codec, nullptr);
    if (r == AVERROR(ENOMEM)) throw memoireInsuffisante();
    if (r < 0)
        throw Erreur(
            QStringLiteral("L'encodeur %1 refuse les réglages du film : %2.").arg(nom, raison(r)));
    return c;
}

// An encoder of this computer's libraries, or a message naming what is missing.
const AVCodec* encodeur(const char* nom, const QString& manque) {
    const AVCodec* codec = avcodec_find_encoder_by_name(nom);
    if (!codec) throw Erreur(manque + QStringLiteral(" n'est pas installé sur cet ordinateur."));
    return codec;
}

AVStream* nouveauFlux(FichierSortie& fichier, const AVCodecContext* codec) {
    AVStream* flux = avformat_new_stream(fichier.get(), nullptr);
    if (!flux || avcodec_parameters_from_context(flux->codecpar, codec) < 0)
        throw memoireInsuffisante();
    flux->time_base = codec->time_base;
    return flux;
}

// Sends `image` (nullptr: the end) to the encoder and writes the packets it gives back; a stop
// is heard between packets, also while the encoder gives back the pictures it held.
void encoder(AVCodecContext* codec, const AVFrame* image, FichierSortie& fichier,
             const AVStream* flux, AVPacket* paquet, const SuiviExport& suivi) {
    int r = avcodec_send_frame(codec, image);
    if (r < 0 && r != AVERROR_EOF) fichier.echec(r);
    for (;;) {
        r = avcodec_receive_packet(codec, paquet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
        if (r < 0) fichier.echec(r);
        fichier.ecrire(paquet, codec, flux);
        verifierArret(suivi);
    }
}

// One of libavfilter's filters, or a message naming the one missing.
const AVFilter* filtre(const char* nom) {
    const AVFilter* f = avfilter_get_by_name(nom);
    if (!f)
        throw Erreur(QStringLiteral("Le film ne peut pas être exporté : le traitement « %1 » "
                                    "manque sur cet ordinateur.")
                         .arg(QLatin1String(nom)));
    return f;
}

AVFilterContext* creerFiltre(AVFilterGraph* graphe, const char* modele, const char* nom,
                             const char* arguments = nullptr) {
    AVFilterContext* f = nullptr;
    const int r = avfilter_graph_create_filter(&f, filtre(modele), nom, arguments, nullptr, graphe);
    if (r < 0)
        echecTraitement(r, QStringLiteral("Le traitement « %1 » de l'export n'a pas pu être "
                                          "préparé")
                               .arg(QLatin1String(modele)));
    return f;
}

AVFilterContext* sourceImages(AVFilterGraph* graphe, const char* nom, QSize taille,
                              AVPixelFormat format) {
    const std::string arguments = "video_size=" + std::to_string(taille.width()) + "x" +
                                  std::to_string(taille.height()) +
                                  ":pix_fmt=" + std::string(av_get_pix_fmt_name(format)) +
                                  ":time_base=1/100:pixel_aspect=1/1";
    return creerFiltre(graphe, "buffer", nom, arguments.c_str());
}

void relier(AVFilterContext* a, AVFilterContext* b, unsigned entree = 0) {
    const int r = avfilter_link(a, 0, b, entree);
    if (r < 0)
        echecTraitement(r, QStringLiteral("Les traitements de l'export ne s'enchaînent pas"));
}

void configurer(AVFilterGraph* graphe) {
    const int r = avfilter_graph_config(graphe, nullptr);
    if (r < 0)
        echecTraitement(r, QStringLiteral("La conversion des images ou du son pour l'export "
                                          "n'a pas pu être préparée"));
}

Graphe nouveauGraphe() {
    Graphe g(avfilter_graph_alloc());
    if (!g) throw memoireInsuffisante();
    return g;
}

// The sound track into AAC: the WAV's samples converted (to the encoder's floats, to mono or
// stereo, to a rate AAC has) and cut into the encoder's frames by a filter graph.
class PisteAac {
public:
    PisteAac(const std::string& chemin, const SonWav& son, FichierSortie& fichier,
             const SuiviExport& suivi)
        : son_(son), lecture_(chemin, son), fichier_(fichier), suivi_(suivi) {
        if (!paquet_) throw memoireInsuffisante();
        const AVCodec* aac = encodeur(
            "aac", QStringLiteral("Le son ne peut pas être exporté : l'encodeur de son AAC"));
        preparerGraphe(aac);
        AVChannelLayout canaux{};
        const std::unique_ptr<AVChannelLayout, void (*)(AVChannelLayout*)> libererCanaux(
            &canaux, &av_channel_layout_uninit);
        const int r = av_buffersink_get_ch_layout(sortie_, &canaux);
        if (r < 0) echecTraitement(r, kSonIntraitable);
        const int frequence = av_buffersink_get_sample_rate(sortie_);
        codec_ = ouvrirEncodeur(
            aac, QStringLiteral("de son AAC"),
            [&](AVCodecContext* c) {
                c->sample_fmt = AV_SAMPLE_FMT_FLTP;
                c->sample_rate = frequence;
                av_channel_layout_copy(&c->ch_layout, &canaux);
                c->bit_rate = static_cast<int64_t>(kDebitAacParCanal) * canaux.nb_channels;
                c->time_base = AVRational{1, frequence};
            },
            fichier.get());
        av_buffersink_set_frame_size(sortie_, static_cast<unsigned>(codec_->frame_size));
        flux_ = nouveauFlux(fichier, codec_.get());
    }
    ~PisteAac() { av_channel_layout_uninit(&canaux_); }
    PisteAac(const PisteAac&) = delete;
    PisteAac& operator=(const PisteAac&) = delete;

    // Encodes the sound up to `instant` (in seconds, as a fraction) and writes it; the whole
    // of it, with what the encoder still holds, when `instant` is null.
    void ecrireJusqua(const AVRational* instant) {
        const int64_t limite =
            instant ? av_rescale_rnd(codec_->sample_rate, instant->num, instant->den, AV_ROUND_UP)
                    : INT64_MAX;
        while (!fini_ && encodees_ < limite) {
            const int r = av_buffersink_get_frame(sortie_, trame_.get());
            if (r == AVERROR(EAGAIN)) {
                nourrir();
                continue;
            }
            if (r == AVERROR_EOF) {
                encoder(codec_.get(), nullptr, fichier_, flux_, paquet_.get(), suivi_);
                fini_ = true;
                return;
            }
            if (r < 0) echecTraitement(r, kSonIntraitable);
            encodees_ = trame_->pts + trame_->nb_samples;
            encoder(codec_.get(), trame_.get(), fichier_, flux_, paquet_.get(), suivi_);
            av_frame_unref(trame_.get());
        }
    }

private:
    AVSampleFormat formatEchantillons() const {
        if (son_.flottant) return son_.bits == 32 ? AV_SAMPLE_FMT_FLT : AV_SAMPLE_FMT_DBL;
        switch (son_.bits) {
            case 8:
                return AV_SAMPLE_FMT_U8;
            case 16:
                return AV_SAMPLE_FMT_S16;
            default:  // 24 bits are widened to 32
                return AV_SAMPLE_FMT_S32;
        }
    }

    void preparerGraphe(const AVCodec* aac) {
        graphe_ = nouveauGraphe();
        if (son_.masqueCanaux == 0 ||
            av_channel_layout_from_mask(&canaux_, son_.masqueCanaux) < 0 ||
            canaux_.nb_channels != son_.canaux) {
            av_channel_layout_uninit(&canaux_);
            av_channel_layout_default(&canaux_, son_.canaux);
        }
        entree_ = avfilter_graph_alloc_filter(graphe_.get(), filtre("abuffer"), "son");
        std::unique_ptr<AVBufferSrcParameters, decltype(&av_free)> parametres(
            av_buffersrc_parameters_alloc(), &av_free);
        if (!entree_ || !parametres) throw memoireInsuffisante();
        parametres->format = formatEchantillons();
        parametres->sample_rate = son_.frequence;
        parametres->time_base = AVRational{1, son_.frequence};
        parametres->ch_layout = canaux_;  // a plain copy: the layout owns no memory here
        int r = av_buffersrc_parameters_set(entree_, parametres.get());
        if (r >= 0) r = avfilter_init_str(entree_, nullptr);
        if (r < 0) echecTraitement(r, kSonIntraitable);
        // The track's own rate when AAC has it, else the nearest one that it has.
        std::string format = "sample_fmts=fltp:channel_layouts=mono|stereo";
        for (const int* f = aac->supported_samplerates; f && *f; ++f) {
            format += f == aac->supported_samplerates ? ":sample_rates=" : "|";
            format += std::to_string(*f);
        }
        AVFilterContext* conversion =
            creerFiltre(graphe_.get(), "aformat", "conversion", format.c_str());
        sortie_ = creerFiltre(graphe_.get(), "abuffersink", "aac");
        relier(entree_, conversion);
        relier(conversion, sortie_);
        configurer(graphe_.get());
    }

    // A piece of the WAV file into the graph, or its end.
    void nourrir() {
        if (lecture_.fini()) {
            const int r = av_buffersrc_add_frame(entree_, nullptr);
            if (r < 0) echecTraitement(r, kSonIntraitable);
            return;
        }
        constexpr int kTrames = 4096;
        av::Image morceau = nouvelleImage();
        morceau->format = formatEchantillons();
        morceau->sample_rate = son_.frequence;
        morceau->nb_samples = kTrames;
        if (av_channel_layout_copy(&morceau->ch_layout, &canaux_) < 0 ||
            av_frame_get_buffer(morceau.get(), 0) < 0)
            throw memoireInsuffisante();
        morceau->pts = lecture_.trameSuivante();
        int64_t lues;
        if (son_.bits == 24 && !son_.flottant) {
            brut_.resize(static_cast<size_t>(kTrames) * son_.alignement);
            lues = lecture_.lire(brut_.data(), kTrames);
            // Three bytes a sample, widened to the top of 32-bit words.
            auto* mots = reinterpret_cast<int32_t*>(morceau->data[0]);
            for (int64_t i = 0; i < lues * son_.canaux; ++i) {
                const uint8_t* o = brut_.data() + 3 * i;
                mots[i] = static_cast<int32_t>((static_cast<uint32_t>(o[0]) << 8) |
                                               (static_cast<uint32_t>(o[1]) << 16) |
                                               (static_cast<uint32_t>(o[2]) << 24));
            }
        } else {
            lues = lecture_.lire(morceau->data[0], kTrames);
        }
        morceau->nb_samples = static_cast<int>(lues);
        const int r = av_buffersrc_add_frame(entree_, morceau.get());
        if (r < 0) echecTraitement(r, kSonIntraitable);
    }

    SonWav son_;
    LectureWav lecture_;
    FichierSortie& fichier_;
    const SuiviExport& suivi_;
    AVChannelLayout canaux_{};
    Graphe graphe_;
    AVFilterContext* entree_ = nullptr;
    AVFilterContext* sortie_ = nullptr;
    av::Codec codec_;
    AVStream* flux_ = nullptr;
    av::Image trame_ = nouvelleImage();
    av::Paquet paquet_{av_packet_alloc()};
    std::vector<uint8_t> brut_;
    int64_t encodees_ = 0;  // samples sent to the encoder
    bool fini_ = false;
};

// One step done; a stop asked meanwhile is heard here.
void avancer(SuiviExport& suivi) {
    ++suivi.etapesFaites;
    verifierArret(suivi);
    if (observateur()) observateur()(suivi);
}

// Gives `image` to the filter graph at `entree` and pushes it through at once: no picture
// waits in the graph's queues, so memory does not grow with the film.
void pousser(AVFilterContext* entree, AVFrame* image) {
    const int r = av_buffersrc_add_frame_flags(entree, image, AV_BUFFERSRC_FLAG_PUSH);
    if (r < 0) echecTraitement(r, kImagesIntraitables);
}

void ecrireMp4(const PlanExport& plan, const LecteurImage& image, const std::string& cible,
               SuiviExport& suivi) {
    const AVCodec* h264 = encodeur(
        "libx264",
        QStringLiteral("Le film ne peut pas être exporté en MP4 : l'encodeur vidéo H.264"));
    FichierSortie fichier(cible, "mp4", QStringLiteral("le film"));
    const int ips = plan.imagesParSeconde;
    const av::Codec video = ouvrirEncodeur(
        h264, QStringLiteral("vidéo H.264"),
        [&](AVCodecContext* c) {
            c->width = plan.taille.width();
            c->height = plan.taille.height();
            c->sample_aspect_ratio = AVRational{1, 1};
            c->pix_fmt = AV_PIX_FMT_YUV420P;
            c->time_base = AVRational{1, ips};
            c->framerate = AVRational{ips, 1};
            c->gop_size = ips * kSecondesParImageCle;
            c->level = 40;
            c->rc_max_rate = kDebitMaxH264;
            c->rc_buffer_size = kTamponH264;
            c->color_primaries = AVCOL_PRI_BT709;
            c->color_trc = AVCOL_TRC_BT709;
            c->colorspace = AVCOL_SPC_BT709;
            c->color_range = AVCOL_RANGE_MPEG;
            c->thread_count = 0;  // x264's own threads, as many as the machine has
            av_opt_set(c->priv_data, "preset", kPresetH264, 0);
            av_opt_set(c->priv_data, "profile", "high", 0);
            av_opt_set_double(c->priv_data, "crf", kQualiteH264, 0);
        },
        fichier.get());
    AVStream* fluxVideo = nouveauFlux(fichier, video.get());
    fluxVideo->avg_frame_rate = AVRational{ips, 1};
    std::unique_ptr<PisteAac> son;
    if (plan.son) son = std::make_unique<PisteAac>(plan.cheminSon, *plan.son, fichier, suivi);
    if (!plan.titre.isEmpty())
        av_dict_set(&fichier.get()->metadata, "title", plan.titre.toUtf8().constData(), 0);
    AVDictionary* options = nullptr;
    // The index before the data: a browser plays the film while it downloads.
    av_dict_set(&options, "movflags", "+faststart", 0);
    fichier.ouvrir(&options);

    Prechargement images(plan.imagesFilm, image, plan.taille, AV_PIX_FMT_YUV420P);
    const av::Paquet paquet(av_packet_alloc());
    const av::Image envoi = nouvelleImage();
    av::Image derniere;
    if (!paquet) throw memoireInsuffisante();
    for (qint32 k = 0; k < plan.imagesSortie; ++k) {
        // The sound up to the end of this picture, so that the two stay interleaved.
        const AVRational fin{k + 1, ips};
        if (son) son->ecrireJusqua(&fin);
        // Past the project's last frame it is held until the sound ends.
        if (k < plan.imagesFilm) derniere = images.suivante();
        if (av_frame_ref(envoi.get(), derniere.get()) < 0) throw memoireInsuffisante();
        envoi->pts = k;
        encoder(video.get(), envoi.get(), fichier, fluxVideo, paquet.get(), suivi);
        av_frame_unref(envoi.get());
        avancer(suivi);
    }
    // The pictures the encoder still holds, the end of the sound, the index: a stop is still
    // heard on the way.
    encoder(video.get(), nullptr, fichier, fluxVideo, paquet.get(), suivi);
    if (son) son->ecrireJusqua(nullptr);
    fichier.terminer(suivi);
}

void ecrireGif(const PlanExport& plan, const LecteurImage& image, const std::string& cible,
               SuiviExport& suivi) {
    // A folder that cannot take the file is told before the first pass.
    FichierSortie fichier(cible, "gif", QStringLiteral("l'image animée"));
    const AVCodec* gif = avcodec_find_encoder(AV_CODEC_ID_GIF);
    if (!gif)
        throw Erreur(
            QStringLiteral("L'image animée ne peut pas être exportée : l'encodeur GIF "
                           "n'est pas installé sur cet ordinateur."));
    const av::Image trame = nouvelleImage();

    // First pass: one palette for the whole film, from the colours of all its pictures; each
    // picture is counted into it as soon as it is read.
    Graphe graphePalette = nouveauGraphe();
    AVFilterContext* images =
        sourceImages(graphePalette.get(), "images", plan.taille, AV_PIX_FMT_RGB24);
    AVFilterContext* palettegen = creerFiltre(graphePalette.get(), "palettegen", "palette");
    AVFilterContext* puits = creerFiltre(graphePalette.get(), "buffersink", "sortie");
    relier(images, palettegen);
    relier(palettegen, puits);
    configurer(graphePalette.get());
    auto lecture =
        std::make_unique<Prechargement>(plan.imagesFilm, image, plan.taille, AV_PIX_FMT_RGB24);
    for (qint32 k = 0; k < plan.imagesFilm; ++k) {
        av::Image i = lecture->suivante();
        i->pts = static_cast<int64_t>(k) * plan.delaiGif;
        pousser(images, i.get());
        avancer(suivi);
    }
    pousser(images, nullptr);
    const av::Image palette = nouvelleImage();
    if (const int r = av_buffersink_get_frame(puits, palette.get()); r < 0)
        echecTraitement(r, QStringLiteral("La palette de l'image animée n'a pas pu être calculée"));
    graphePalette.reset();

    // Second pass: each picture drawn with the palette. An ordered dither stays still from one
    // picture to the next (an error diffusion would shimmer over the unchanged background),
    // and only the part that changed is drawn again.
    Graphe graphe = nouveauGraphe();
    images = sourceImages(graphe.get(), "images", plan.taille, AV_PIX_FMT_RGB24);
    AVFilterContext* sourcePalette =
        sourceImages(graphe.get(), "palette", QSize(palette->width, palette->height),
                     static_cast<AVPixelFormat>(palette->format));
    AVFilterContext* paletteuse = creerFiltre(graphe.get(), "paletteuse", "dessin",
                                              "dither=bayer:bayer_scale=3:diff_mode=rectangle");
    puits = creerFiltre(graphe.get(), "buffersink", "sortie");
    relier(images, paletteuse, 0);
    relier(sourcePalette, paletteuse, 1);
    relier(paletteuse, puits);
    configurer(graphe.get());
    palette->pts = 0;
    int r = av_buffersrc_add_frame(sourcePalette, palette.get());
    if (r >= 0) r = av_buffersrc_add_frame(sourcePalette, nullptr);
    if (r < 0) echecTraitement(r, kImagesIntraitables);

    const av::Codec codec = ouvrirEncodeur(
        gif, QStringLiteral("GIF"),
        [&](AVCodecContext* c) {
            c->width = plan.taille.width();
            c->height = plan.taille.height();
            c->pix_fmt = AV_PIX_FMT_PAL8;
            c->time_base = AVRational{1, 100};  // a GIF counts in hundredths of a second
        },
        fichier.get());
    AVStream* flux = nouveauFlux(fichier, codec.get());
    AVDictionary* options = nullptr;
    av_dict_set(&options, "loop", "0", 0);  // for ever
    fichier.ouvrir(&options);
    const av::Paquet paquet(av_packet_alloc());
    if (!paquet) throw memoireInsuffisante();
    const auto dessiner = [&] {
        for (;;) {
            const int lu = av_buffersink_get_frame(puits, trame.get());
            if (lu == AVERROR(EAGAIN) || lu == AVERROR_EOF) return;
            if (lu < 0) echecTraitement(lu, kImagesIntraitables);
            encoder(codec.get(), trame.get(), fichier, flux, paquet.get(), suivi);
            av_frame_unref(trame.get());
        }
    };
    lecture = std::make_unique<Prechargement>(plan.imagesFilm, image, plan.taille,
                                              AV_PIX_FMT_RGB24);  // the frames again
    for (qint32 k = 0; k < plan.imagesFilm; ++k) {
        av::Image i = lecture->suivante();
        i->pts = static_cast<int64_t>(k) * plan.delaiGif;
        pousser(images, i.get());
        dessiner();
        avancer(suivi);
    }
    pousser(images, nullptr);
    dessiner();
    encoder(codec.get(), nullptr, fichier, flux, paquet.get(), suivi);
    fichier.terminer(suivi);
}

// The target's name tried in its folder before anything is encoded: a name the disk refuses
// (a FAT or exFAT stick refuses \ : * ? " < > |) or a folder that takes no file is told at once,
// not after the whole film.
void essayerNom(const std::string& cible, const QString& quoi) {
    const QString nom = cheminLisible(cheminDepuisOctets(QByteArray::fromStdString(cible)));
    const QString fichier = QFileInfo(nom).fileName(), dossier = QFileInfo(nom).absolutePath();
    const int fd = ::open(cible.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(cible.c_str());
        return;
    }
    int erreur = errno;
    struct stat etat {};
    if (erreur == EEXIST) {
        if (::stat(cible.c_str(), &etat) != 0 || !S_ISDIR(etat.st_mode)) return;  // replaced
        erreur = EISDIR;
    }
    switch (erreur) {
        case EINVAL:
        case EILSEQ:
            throw Erreur(QStringLiteral("Le disque du dossier « %1 » refuse le nom « %2 » : "
                                        "choisissez un nom sans les caractères \\ / : * ? \" "
                                        "< > |.")
                             .arg(dossier, fichier));
        case ENAMETOOLONG:
            throw Erreur(QStringLiteral("Le nom « %1 » est trop long pour le disque du dossier "
                                        "« %2 » : choisissez un nom plus court.")
                             .arg(fichier, dossier));
        case EISDIR:
            throw Erreur(QStringLiteral("Impossible d'écrire %1 « %2 » : %3.")
                             .arg(quoi, nom, QString::fromStdString(raisonErreurSysteme(erreur))));
        default:
            throw Erreur(
                QStringLiteral("Impossible d'écrire %1 dans le dossier « %2 » : %3.")
                    .arg(quoi, dossier, QString::fromStdString(raisonErreurSysteme(erreur))));
    }
}

}  // namespace

int PlanExport::etapes() const {
    return format == FormatExport::Gif ? 2 * imagesFilm : imagesSortie;
}

QSize tailleMp4(QSize voulue, int imagesParSeconde) {
    const auto pair = [](double v) { return std::max(2, static_cast<int>(v) & ~1); };
    const auto tient = [imagesParSeconde](int l, int h) {
        const int64_t colonnes = (l + 15) / 16, rangees = (h + 15) / 16;
        const int64_t macroblocs = colonnes * rangees;
        // A side may not exceed the square root of 8 times the picture's macroblocks.
        return macroblocs <= kMacroblocsNiveau40 &&
               macroblocs * std::max(imagesParSeconde, 1) <= kMacroblocsParSecondeNiveau40 &&
               colonnes * colonnes <= 8 * kMacroblocsNiveau40 &&
               rangees * rangees <= 8 * kMacroblocsNiveau40;
    };
    const int l = pair(voulue.width()), h = pair(voulue.height());
    if (tient(l, h)) return QSize(l, h);
    const double macroblocsPermis =
        std::min<double>(kMacroblocsNiveau40, static_cast<double>(kMacroblocsParSecondeNiveau40) /
                                                  std::max(imagesParSeconde, 1));
    double echelle = std::sqrt(macroblocsPermis * 256.0 / (static_cast<double>(l) * h));
    for (;; echelle *= 0.98)
        if (tient(pair(l * echelle), pair(h * echelle)))
            return QSize(pair(l * echelle), pair(h * echelle));
}

QSize tailleGif(QSize voulue) {
    if (voulue.width() <= kLargeurGifMax) return voulue;
    const int hauteur = static_cast<int>(
        std::lround(static_cast<double>(voulue.height()) * kLargeurGifMax / voulue.width()));
    return QSize(kLargeurGifMax, std::max(1, hauteur));
}

int delaiGif(int imagesParSeconde) {
    return std::max(2, static_cast<int>(std::lround(100.0 / std::max(imagesParSeconde, 1))));
}

PlanExport planifierExport(FormatExport format, const ReglagesExport& reglages, qint32 nombre,
                           const LecteurImage& image, const QString& son, const QString& titre) {
    if (nombre < 1) throw Erreur(kRienAExporter);
    if (reglages.imagesParSeconde < 1 || reglages.imagesParSeconde > 255)
        throw Erreur(kCadenceImpossible);
    if (reglages.largeur > kCoteVideoMax || reglages.hauteur > kCoteVideoMax)
        throw Erreur(kTailleVideoImpossible);
    PlanExport plan;
    plan.format = format;
    plan.imagesParSeconde = reglages.imagesParSeconde;
    plan.imagesFilm = nombre;
    plan.imagesSortie = nombre;
    plan.titre = titre;
    // Without a size the pictures keep that of the first frame, as in the video.
    QSize voulue(reglages.largeur, reglages.hauteur);
    if (voulue.width() <= 0 || voulue.height() <= 0) voulue = image(0).size();
    if (voulue.width() > kCoteVideoMax || voulue.height() > kCoteVideoMax)
        throw Erreur(kTailleVideoImpossible);
    if (format == FormatExport::Gif) {
        plan.taille = tailleGif(voulue);
        plan.delaiGif = delaiGif(plan.imagesParSeconde);
        return plan;
    }
    plan.taille = tailleMp4(voulue, plan.imagesParSeconde);
    if (son.isEmpty() || !fichierExiste(son)) return plan;
    try {
        plan.cheminSon = octetsDuChemin(son).toStdString();
        plan.son = lireEnteteWav(plan.cheminSon);
    } catch (const ErreurFilm& e) {
        // A sound track that cannot be read: the film is made without sound, and is told so.
        plan.son.reset();
        plan.cheminSon.clear();
        plan.sonEcarte = QString::fromUtf8(e.what());
        return plan;
    }
    // The last picture stays until the sound ends.
    const int64_t trames = static_cast<int64_t>(plan.son->taille / plan.son->alignement);
    const int64_t images =
        av_rescale_rnd(trames, plan.imagesParSeconde, plan.son->frequence, AV_ROUND_UP);
    plan.imagesSortie =
        static_cast<qint32>(std::clamp<int64_t>(images, nombre, std::numeric_limits<int>::max()));
    return plan;
}

std::thread filExport(std::function<void()> travail) {
    try {
        return std::thread(std::move(travail));
    } catch (const std::system_error&) {
        // The system's limit of threads reached, or its memory: its own words are English.
        throw Erreur(
            QStringLiteral("Le film ne peut pas être exporté : l'ordinateur manque de "
                           "ressources. Fermez d'autres programmes, puis réessayez."));
    }
}

void observerEtapesExport(std::function<void(SuiviExport&)> o) {
    observateur() = std::move(o);
}

bool ecrireExport(const PlanExport& plan, const LecteurImage& image, const QString& cible,
                  SuiviExport& suivi) {
    av::journalFfmpegDiscret();
    const std::string chemin = octetsDuChemin(cible).toStdString();
    const bool gif = plan.format == FormatExport::Gif;
    try {
        essayerNom(chemin, gif ? QStringLiteral("l'image animée") : QStringLiteral("le film"));
        nettoyerTemporairesAbandonnes(dossierDe(chemin), kModeleTemporaire);
        if (gif)
            ecrireGif(plan, image, chemin, suivi);
        else
            ecrireMp4(plan, image, chemin, suivi);
    } catch (const Annulation&) {
        return false;
    } catch (const ErreurFilm& e) {
        throw Erreur(QString::fromUtf8(e.what()));
    } catch (const std::bad_alloc&) {
        throw memoireInsuffisante();
    }
    return true;
}

}  // namespace vp
