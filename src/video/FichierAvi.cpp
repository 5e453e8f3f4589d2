// SPDX-License-Identifier: GPL-3.0-or-later
#include "FichierAvi.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "film/Ffmpeg.h"
#include "platform/Chemins.h"

namespace vp {

namespace {

struct DefinitionCodec {
    uint32_t fcc;
    std::vector<uint32_t> alias;  // other names the options may give it
    const char* encodeur;         // nullptr: frames written as they are
    const char* nom;
    AVPixelFormat pixels;  // the format written, when the encoder offers it
    uint32_t etiquette;    // four-character code in the file (0: the encoder's own)
    bool qualite, imagesCles, debit;
};

const std::vector<DefinitionCodec>& definitions() {
    static const std::vector<DefinitionCodec> d = {
        {mmioFOURCC('M', 'S', 'V', 'C'),
         {mmioFOURCC('m', 's', 'v', 'c'), mmioFOURCC('C', 'R', 'A', 'M')},
         "msvideo1",
         "Microsoft Video 1",
         AV_PIX_FMT_RGB555LE,
         mmioFOURCC('M', 'S', 'V', 'C'),
         false,
         true,
         false},
        {mmioFOURCC('c', 'v', 'i', 'd'),
         {mmioFOURCC('C', 'V', 'I', 'D')},
         "cinepak",
         "Cinepak",
         AV_PIX_FMT_RGB24,
         mmioFOURCC('c', 'v', 'i', 'd'),
         false,
         true,
         false},
        {mmioFOURCC('M', 'J', 'P', 'G'),
         {mmioFOURCC('m', 'j', 'p', 'g')},
         "mjpeg",
         "Motion JPEG",
         AV_PIX_FMT_YUVJ420P,
         mmioFOURCC('M', 'J', 'P', 'G'),
         true,
         false,
         true},
        {mmioFOURCC('d', 'i', 'v', 'x'),
         {mmioFOURCC('D', 'I', 'V', 'X'), mmioFOURCC('X', 'V', 'I', 'D'),
          mmioFOURCC('F', 'M', 'P', '4'), mmioFOURCC('D', 'X', '5', '0')},
         "mpeg4",
         "MPEG-4 (DivX)",
         AV_PIX_FMT_YUV420P,
         mmioFOURCC('D', 'I', 'V', 'X'),
         true,
         true,
         true},
        {mmioFOURCC('H', '2', '6', '4'),
         {mmioFOURCC('h', '2', '6', '4'), mmioFOURCC('X', '2', '6', '4'),
          mmioFOURCC('a', 'v', 'c', '1')},
         "libx264",
         "H.264",
         AV_PIX_FMT_YUV420P,
         mmioFOURCC('H', '2', '6', '4'),
         true,
         true,
         true},
        {mmioFOURCC('F', 'F', 'V', '1'),
         {},
         "ffv1",
         "FFV1 (sans perte)",
         AV_PIX_FMT_BGR0,
         mmioFOURCC('F', 'F', 'V', '1'),
         false,
         true,
         false},
        {mmioFOURCC('U', 'L', 'R', 'G'),
         {},
         "utvideo",
         "Ut Video (sans perte)",
         AV_PIX_FMT_GBRP,
         0,
         false,
         false,
         false},
        {mmioFOURCC('H', 'F', 'Y', 'U'),
         {},
         "huffyuv",
         "HuffYUV (sans perte)",
         AV_PIX_FMT_RGB24,
         mmioFOURCC('H', 'F', 'Y', 'U'),
         false,
         false,
         false},
        {mmioFOURCC('D', 'I', 'B', ' '),
         {0},
         nullptr,
         "Images non compressées",
         AV_PIX_FMT_BGR24,
         0,
         false,
         false,
         false},
    };
    return d;
}

const DefinitionCodec* trouver(uint32_t fcc) {
    for (const DefinitionCodec& d : definitions())
        if (d.fcc == fcc || std::find(d.alias.begin(), d.alias.end(), fcc) != d.alias.end())
            return &d;
    return nullptr;
}

bool present(const DefinitionCodec& d) {
    return !d.encodeur || avcodec_find_encoder_by_name(d.encodeur);
}

struct LibererFormat {
    void operator()(AVFormatContext* f) const {
        if (f->pb) avio_closep(&f->pb);
        avformat_free_context(f);
    }
};
struct LibererCodec {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct LibererSws {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct LibererImage {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct LibererPaquet {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

}  // namespace

struct FichierAvi::Etat {
    std::unique_ptr<AVFormatContext, LibererFormat> format;
    std::unique_ptr<AVCodecContext, LibererCodec> codec;
    std::unique_ptr<SwsContext, LibererSws> conversion;
    std::unique_ptr<AVFrame, LibererImage> image;
    std::unique_ptr<AVPacket, LibererPaquet> paquet{av_packet_alloc()};
    AVStream* flux = nullptr;
    AVISTREAMINFO info;
    QString chemin;
    uint32_t images = 0;  // frames written into the file
    bool brut = false;
    bool enteteEcrite = false;
    int largeur = 0;
    int hauteur = 0;
    int pas = 0;  // bytes per row of the bitmaps given

    // Sends the encoder's packets to the file; false on a write error.
    bool ecrirePaquets() {
        for (;;) {
            const int r = avcodec_receive_packet(codec.get(), paquet.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return !ecritureRatee();
            if (r < 0) return false;
            av_packet_rescale_ts(paquet.get(), codec->time_base, flux->time_base);
            paquet->stream_index = flux->index;
            if (av_interleaved_write_frame(format.get(), paquet.get()) < 0) return false;
            ++images;
        }
    }
    // The file's buffered writes fail later than the packets that fill them (a full disk).
    bool ecritureRatee() const { return format && format->pb && format->pb->error < 0; }
};

// FFmpeg's AVI muxer puts in the main header (byte 48) the frames of the file's first RIFF
// part only, the first GiB; the rest are counted in the OpenDML header, which the readers of
// byte 48 do not look at. The header gets the count of the whole file.
static bool corrigerNombreImages(const QString& chemin, uint32_t images) {
    QFile f;
    const int fd = ::open(octetsDuChemin(chemin).constData(), O_RDWR | O_CLOEXEC);
    if (fd >= 0 && !f.open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) ::close(fd);
    char entete[52];
    if (!f.isOpen() || f.read(entete, sizeof entete) != sizeof entete ||
        std::memcmp(entete, "RIFF", 4) != 0 || std::memcmp(entete + 8, "AVI ", 4) != 0 ||
        std::memcmp(entete + 24, "avih", 4) != 0)
        return false;
    const char compte[4] = {
        static_cast<char>(images & 0xFF), static_cast<char>((images >> 8) & 0xFF),
        static_cast<char>((images >> 16) & 0xFF), static_cast<char>(images >> 24)};
    if (std::memcmp(entete + 48, compte, 4) == 0) return true;
    return f.seek(48) && f.write(compte, 4) == 4 && f.flush();
}

QVector<CodecAvi> codecsDisponibles() {
    QVector<CodecAvi> codecs;
    for (const DefinitionCodec& d : definitions())
        if (present(d))
            codecs.append({d.fcc, QString::fromUtf8(d.nom), d.qualite, d.imagesCles, d.debit});
    return codecs;
}

FichierAvi::FichierAvi() : e_(std::make_unique<Etat>()) {}

FichierAvi::~FichierAvi() {
    terminer();
}

int32_t FichierAvi::terminer() {
    if (!e_->format) return AVIERR_OK;
    bool ok = true;
    if (e_->enteteEcrite) {
        if (e_->codec) {
            // What the encoder still holds.
            ok = avcodec_send_frame(e_->codec.get(), nullptr) >= 0;
            ok = e_->ecrirePaquets() && ok;
        }
        ok = av_write_trailer(e_->format.get()) >= 0 && ok;
    }
    e_->conversion.reset();
    e_->image.reset();
    e_->codec.reset();
    // The muxer's context last; closing the file flushes what the trailer left buffered.
    ok = !e_->ecritureRatee() && ok;
    std::unique_ptr<AVFormatContext, LibererFormat> format = std::move(e_->format);
    if (format->pb) ok = avio_closep(&format->pb) >= 0 && ok;
    format.reset();
    if (ok && e_->enteteEcrite && e_->images > 0) ok = corrigerNombreImages(e_->chemin, e_->images);
    return ok ? AVIERR_OK : AVIERR_FILEWRITE;
}

int32_t FichierAvi::AVIFileOpen(std::unique_ptr<FichierAvi>& fichier, const QString& nom) {
    av::journalFfmpegDiscret();
    std::unique_ptr<FichierAvi> f(new FichierAvi());
    AVFormatContext* brut = nullptr;
    const QByteArray chemin = octetsDuChemin(nom);
    if (avformat_alloc_output_context2(&brut, nullptr, "avi", chemin.constData()) < 0 || !brut)
        return AVIERR_FILEOPEN;
    f->e_->format.reset(brut);
    f->e_->chemin = nom;
    if (avio_open(&brut->pb, chemin.constData(), AVIO_FLAG_WRITE) < 0) return AVIERR_FILEOPEN;
    fichier = std::move(f);
    return AVIERR_OK;
}

int32_t FichierAvi::AVIFileCreateStream(FluxAvi*& flux, const AVISTREAMINFO& info) {
    if (flux_ || info.fccType != streamtypeVIDEO) return AVIERR_ERROR;
    e_->info = info;
    e_->largeur = info.rcFrame.right - info.rcFrame.left;
    e_->hauteur = info.rcFrame.bottom - info.rcFrame.top;
    flux_.reset(new FluxAvi(*e_));
    flux = flux_.get();
    return AVIERR_OK;
}

int32_t FluxAvi::AVIMakeCompressedStream(const AVICOMPRESSOPTIONS& options) {
    const DefinitionCodec* d = trouver(options.fccHandler);
    if (!d || !present(*d)) return AVIERR_NOCOMPRESSOR;
    const AVISTREAMINFO& info = e_.info;
    if (info.dwRate == 0 || info.dwScale == 0 || e_.largeur <= 0 || e_.hauteur <= 0)
        return AVIERR_BADFORMAT;
    const AVRational base{static_cast<int>(info.dwScale), static_cast<int>(info.dwRate)};

    if (!d->encodeur) {
        // Uncompressed: the bitmaps themselves, rows padded to four bytes.
        e_.brut = true;
        e_.flux = avformat_new_stream(e_.format.get(), nullptr);
        if (!e_.flux) return AVIERR_ERROR;
        AVCodecParameters* p = e_.flux->codecpar;
        p->codec_type = AVMEDIA_TYPE_VIDEO;
        p->codec_id = AV_CODEC_ID_RAWVIDEO;
        p->codec_tag = 0;
        p->width = e_.largeur;
        p->height = e_.hauteur;
        p->bits_per_coded_sample = 24;
        p->format = AV_PIX_FMT_BGR24;
        e_.flux->time_base = base;
        e_.flux->avg_frame_rate = av_inv_q(base);
        return AVIERR_OK;
    }

    const AVCodec* codec = avcodec_find_encoder_by_name(d->encodeur);
    std::unique_ptr<AVCodecContext, LibererCodec> c(avcodec_alloc_context3(codec));
    if (!c) return AVIERR_ERROR;
    c->width = e_.largeur;
    c->height = e_.hauteur;
    c->time_base = base;
    c->framerate = av_inv_q(base);
    c->pix_fmt = d->pixels;
    bool offert = false;
    for (const AVPixelFormat* f = codec->pix_fmts; f && *f != AV_PIX_FMT_NONE; ++f)
        offert = offert || *f == d->pixels;
    if (!offert && codec->pix_fmts)
        c->pix_fmt =
            avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
    if (d->etiquette) c->codec_tag = d->etiquette;
    // The codec uses its own threads where it has them.
    c->thread_count = 0;
    c->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    const bool debit =
        d->debit && (options.dwFlags & AVICOMPRESSF_DATARATE) && options.dwBytesPerSecond > 0;
    // A data rate, when asked, rules over the quality (x264 would keep a constant quality).
    if (d->qualite && options.dwQuality != ICQUALITY_DEFAULT && !debit) {
        const int q = static_cast<int>(std::min<uint32_t>(options.dwQuality, 10000));
        if (std::strcmp(d->encodeur, "libx264") == 0) {
            av_opt_set_double(c->priv_data, "crf", 51.0 * (10000 - q) / 10000.0, 0);
        } else {
            c->flags |= AV_CODEC_FLAG_QSCALE;
            c->global_quality = FF_QP2LAMBDA * (2 + (10000 - q) * 29 / 10000);
        }
    }
    if (d->imagesCles && (options.dwFlags & AVICOMPRESSF_KEYFRAMES) && options.dwKeyFrameEvery > 0)
        c->gop_size = static_cast<int>(options.dwKeyFrameEvery);
    if (debit) {
        c->bit_rate = static_cast<int64_t>(options.dwBytesPerSecond) * 8;
        if (std::strcmp(d->encodeur, "libx264") == 0) {
            // Held to that rate over every second, not only on average over the film.
            c->rc_max_rate = c->bit_rate;
            c->rc_buffer_size = static_cast<int>(std::min<int64_t>(c->bit_rate, INT_MAX));
        }
    }
    if (e_.format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int r = avcodec_open2(c.get(), codec, nullptr);
    if (r == AVERROR_ENCODER_NOT_FOUND) return AVIERR_NOCOMPRESSOR;
    if (r < 0) return AVIERR_ERROR;
    e_.flux = avformat_new_stream(e_.format.get(), nullptr);
    if (!e_.flux || avcodec_parameters_from_context(e_.flux->codecpar, c.get()) < 0)
        return AVIERR_ERROR;
    e_.flux->time_base = base;
    e_.flux->avg_frame_rate = av_inv_q(base);
    e_.codec = std::move(c);
    return AVIERR_OK;
}

int32_t FluxAvi::AVIStreamSetFormat(int32_t, const BITMAPINFOHEADER& format) {
    if (!e_.flux || format.biSize != 40 || format.biBitCount != 24 || format.biCompression != 0 ||
        format.biWidth != e_.largeur || std::abs(format.biHeight) != e_.hauteur)
        return AVIERR_BADFORMAT;
    const int64_t pas = ((static_cast<int64_t>(format.biWidth) * 24 + 31) / 32) * 4;
    if (pas * e_.hauteur > INT_MAX) return AVIERR_BADFORMAT;  // one frame must fit a packet
    e_.pas = static_cast<int>(pas);
    if (!e_.brut) {
        e_.conversion.reset(sws_getContext(e_.largeur, e_.hauteur, AV_PIX_FMT_BGR24, e_.largeur,
                                           e_.hauteur, e_.codec->pix_fmt, SWS_BILINEAR, nullptr,
                                           nullptr, nullptr));
        e_.image.reset(av_frame_alloc());
        if (!e_.conversion || !e_.image) return AVIERR_ERROR;
        e_.image->format = e_.codec->pix_fmt;
        e_.image->width = e_.largeur;
        e_.image->height = e_.hauteur;
        if (av_frame_get_buffer(e_.image.get(), 0) < 0) return AVIERR_ERROR;
    }
    if (avformat_write_header(e_.format.get(), nullptr) < 0) return AVIERR_FILEWRITE;
    e_.enteteEcrite = true;
    return AVIERR_OK;
}

int32_t FluxAvi::AVIStreamWrite(int32_t debut, int32_t, const void* donnees, int32_t taille,
                                uint32_t drapeaux) {
    if (!e_.enteteEcrite || taille < static_cast<int64_t>(e_.pas) * e_.hauteur) return AVIERR_ERROR;
    const auto* octets = static_cast<const uint8_t*>(donnees);
    if (e_.brut) {
        AVPacket* p = e_.paquet.get();
        if (av_new_packet(p, e_.pas * e_.hauteur) < 0) return AVIERR_ERROR;
        // FFmpeg's AVI muxer declares uncompressed frames top-down (a negative height in the
        // stream format), so the rows go in that order.
        for (int y = 0; y < e_.hauteur; ++y)
            std::memcpy(p->data + static_cast<ptrdiff_t>(y) * e_.pas,
                        octets + static_cast<ptrdiff_t>(e_.hauteur - 1 - y) * e_.pas,
                        static_cast<size_t>(e_.pas));
        p->pts = p->dts = debut;
        p->duration = 1;
        p->stream_index = e_.flux->index;
        if (drapeaux & AVIIF_KEYFRAME) p->flags |= AV_PKT_FLAG_KEY;
        av_packet_rescale_ts(
            p, AVRational{static_cast<int>(e_.info.dwScale), static_cast<int>(e_.info.dwRate)},
            e_.flux->time_base);
        if (av_interleaved_write_frame(e_.format.get(), p) < 0 || e_.ecritureRatee())
            return AVIERR_FILEWRITE;
        ++e_.images;
        return AVIERR_OK;
    }
    if (av_frame_make_writable(e_.image.get()) < 0) return AVIERR_ERROR;
    // The bitmap's rows run from the bottom up: read it from its last row with a negative step.
    const uint8_t* source[1] = {octets + static_cast<ptrdiff_t>(e_.pas) * (e_.hauteur - 1)};
    const int pas[1] = {-e_.pas};
    sws_scale(e_.conversion.get(), source, pas, 0, e_.hauteur, e_.image->data, e_.image->linesize);
    e_.image->pts = debut;
    if (avcodec_send_frame(e_.codec.get(), e_.image.get()) < 0) return AVIERR_ERROR;
    return e_.ecrirePaquets() ? AVIERR_OK : AVIERR_FILEWRITE;
}

}  // namespace vp
