#include "EcritureFilm.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "ErreurFilm.h"
#include "Ffmpeg.h"
#include "SonWav.h"
#include "platform/RaisonSysteme.h"

namespace vp {

namespace {

struct LibererSortie {
    void operator()(AVFormatContext* f) const {
        if (f->pb) avio_closep(&f->pb);
        avformat_free_context(f);
    }
};
struct FermerFichier {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string raisonAv(int erreur) {
    if (erreur == AVERROR_INVALIDDATA) return "données invalides";
    if (erreur == AVERROR_EOF) return "fin de fichier inattendue";
    if (erreur < 0 && erreur > -4096) return raisonErreurSysteme(-erreur);  // AVERROR(errno)
    char texte[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(erreur, texte, sizeof texte);
    return std::string("erreur FFmpeg : ") + texte;
}

std::string dossierDe(const std::string& chemin) {
    const size_t i = chemin.rfind('/');
    if (i == std::string::npos) return ".";
    return i == 0 ? "/" : chemin.substr(0, i);
}

// The film's temporary file in its folder, removed unless it became the film.
class Temporaire {
public:
    explicit Temporaire(const std::string& film) {
        std::string modele = dossierDe(film) + "/" + kModeleTemporaireFilm;
        fd_ = ::mkstemps(modele.data(), 4);
        if (fd_ < 0)
            throw ErreurFilm("Impossible d'écrire le film dans le dossier « " + dossierDe(film) +
                             " » : " + raisonErreurSysteme(errno) + ".");
        ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
        nom_ = modele;
        // The film gets the usual rights of a new file, not the temporary file's private ones.
        const mode_t masque = ::umask(0);
        ::umask(masque);
        ::fchmod(fd_, 0666 & ~masque);
    }
    ~Temporaire() {
        if (fd_ >= 0) ::close(fd_);
        if (!garde_) ::unlink(nom_.c_str());
    }
    Temporaire(const Temporaire&) = delete;
    Temporaire& operator=(const Temporaire&) = delete;
    const std::string& nom() const { return nom_; }

    // Puts the written file on disk and gives it the film's name.
    void remplacer(const std::string& film) {
        const auto echec = [&] {
            return ErreurFilm("Impossible d'écrire le film « " + film +
                              " » : " + raisonErreurSysteme(errno) + ".");
        };
        if (::fsync(fd_) != 0) throw echec();
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) throw echec();
        if (::rename(nom_.c_str(), film.c_str()) != 0) throw echec();
        garde_ = true;
        // The new name itself on disk.
        const int dossier = ::open(dossierDe(film).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dossier >= 0) {
            ::fsync(dossier);
            ::close(dossier);
        }
    }

private:
    std::string nom_;
    int fd_ = -1;
    bool garde_ = false;
};

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

// The sound track's samples, read a chunk at a time.
class LectureSon {
public:
    LectureSon(const std::string& chemin, const SonWav& son, int64_t tramesParBloc)
        : chemin_(chemin), son_(son), fichier_(std::fopen(chemin.c_str(), "rb")) {
        if (!fichier_ || ::fseeko(fichier_.get(), static_cast<off_t>(son.debut), SEEK_SET) != 0)
            echec(errno);
        bloc_ = static_cast<uint64_t>(tramesParBloc) * static_cast<uint64_t>(son.alignement);
    }
    bool fini() const { return lus_ >= son_.taille; }
    int64_t trameSuivante() const { return static_cast<int64_t>(lus_ / son_.alignement); }
    // The next chunk into `paquet`, its time stamp in samples.
    void lire(AVPacket* paquet) {
        const uint64_t n = std::min(bloc_, son_.taille - lus_);
        if (av_new_packet(paquet, static_cast<int>(n)) < 0)
            throw ErreurFilm("Mémoire insuffisante.");
        if (std::fread(paquet->data, 1, n, fichier_.get()) != n)
            echec(std::ferror(fichier_.get()) ? EIO : 0);
        paquet->pts = paquet->dts = trameSuivante();
        paquet->duration = static_cast<int64_t>(n / son_.alignement);
        paquet->flags |= AV_PKT_FLAG_KEY;
        lus_ += n;
    }

private:
    [[noreturn]] void echec(int erreur) {
        throw ErreurFilm(
            "Impossible de lire le fichier son « " + chemin_ +
            " » : " + (erreur ? raisonErreurSysteme(erreur) : "il est plus court que prévu") + ".");
    }
    std::string chemin_;
    SonWav son_;
    std::unique_ptr<std::FILE, FermerFichier> fichier_;
    uint64_t bloc_ = 0;
    uint64_t lus_ = 0;
};

}  // namespace

void ecrireFilm(const std::string& video, const std::string& son, const std::string& film) {
    av_log_set_level(AV_LOG_QUIET);  // our own messages say what went wrong

    // The video.
    av::Entree entree;
    int r = av::ouvrir(entree, video);
    if (r < 0)
        throw ErreurFilm("Impossible de lire la vidéo « " + video + " » : " + raisonAv(r) + ".");
    r = avformat_find_stream_info(entree.get(), nullptr);
    if (r < 0) throw ErreurFilm("La vidéo « " + video + " » est illisible : " + raisonAv(r) + ".");
    const int indiceVideo =
        av_find_best_stream(entree.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (indiceVideo < 0) throw ErreurFilm("Le fichier « " + video + " » ne contient pas de vidéo.");
    const AVStream* fluxEntree = entree->streams[indiceVideo];

    // The sound track's header, checked before anything is written.
    const bool avecSon = !son.empty();
    SonWav wav;
    if (avecSon) wav = lireEnteteWav(son);

    Temporaire temporaire(film);
    AVFormatContext* sortieBrute = nullptr;
    r = avformat_alloc_output_context2(&sortieBrute, nullptr, "avi", nullptr);
    if (r < 0) throw ErreurFilm("Impossible de préparer le film : " + raisonAv(r) + ".");
    std::unique_ptr<AVFormatContext, LibererSortie> sortie(sortieBrute);
    const auto echecEcriture = [&](int erreur) {
        return ErreurFilm("Impossible d'écrire le film « " + film + " » : " + raisonAv(erreur) +
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
    std::unique_ptr<LectureSon> lecture;
    if (avecSon) lecture = std::make_unique<LectureSon>(son, wav, tramesParBloc);

    const av::Paquet paquet(av_packet_alloc());
    const av::Paquet paquetSon(av_packet_alloc());
    if (!paquet || !paquetSon) throw ErreurFilm("Mémoire insuffisante.");
    // Writes the sound up to the instant `jusqua` (in the video's time base; INT64_MAX: all).
    const auto ecrireSon = [&](int64_t jusqua) {
        while (lecture && !lecture->fini()) {
            const int64_t debut = av_rescale_q(lecture->trameSuivante(),
                                               AVRational{1, wav.frequence}, fluxEntree->time_base);
            if (jusqua != INT64_MAX && debut > jusqua) return;
            lecture->lire(paquetSon.get());
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
            throw ErreurFilm("La vidéo « " + video + " » est illisible : " + raisonAv(r) + ".");
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
    temporaire.remplacer(film);
}

}  // namespace vp
