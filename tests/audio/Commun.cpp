// SPDX-License-Identifier: GPL-3.0-or-later
#include "Commun.h"

#include <gtest/gtest.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vp::test {

DossierAudio::DossierAudio() {
    char modele[] = "/tmp/voltiplume-audio-XXXXXX";
    dossier_ = ::mkdtemp(modele);
}

DossierAudio::~DossierAudio() {
    const char* garde = std::getenv("VOLTIPLUME_TEST_KEEP");
    if (garde && *garde && !aConserver_.empty()) {
        std::filesystem::create_directories(garde);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string prefixe =
            info ? std::string(info->test_suite_name()) + "." + info->name() + "-" : "";
        for (const std::string& nom : aConserver_) {
            std::error_code e;
            std::filesystem::copy_file(chemin(nom), std::filesystem::path(garde) / (prefixe + nom),
                                       std::filesystem::copy_options::overwrite_existing, e);
        }
    }
    std::error_code e;
    std::filesystem::remove_all(dossier_, e);
}

void SourceFactice::Init() {
    ++inits;
    Busy = true;
    Position = 0;
    livres = 0;
    Size = tailleConnue ? static_cast<int32_t>(total) : -1;
}

void SourceFactice::Flush() {
    ++flushs;
    Busy = false;
}

std::vector<unsigned char> SourceFactice::octets(int64_t debut, int64_t n) const {
    std::vector<unsigned char> o(static_cast<size_t>(n));
    const int octetsEchantillon = bits / 8;
    for (int64_t i = 0; i < n; ++i) {
        const int64_t position = debut + i;
        const int64_t echantillon = position / octetsEchantillon / canaux;
        int v =
            sinus   ? static_cast<int>(std::lround(
                          amplitude * std::sin(2 * M_PI * frequenceSinus * echantillon / frequence)))
            : rampe ? static_cast<int>(echantillon % 2000) - 1000
                    : valeur;
        if (oppose && canaux == 2 && (position / octetsEchantillon) % 2 == 1) v = -v;
        if (octetsEchantillon == 2) {
            const auto u = static_cast<uint16_t>(static_cast<int16_t>(v));
            o[static_cast<size_t>(i)] =
                static_cast<unsigned char>(position % 2 == 0 ? (u & 0xFF) : (u >> 8));
        } else {
            o[static_cast<size_t>(i)] = static_cast<unsigned char>(v & 0xFF);
        }
    }
    return o;
}

int SourceFactice::GetData(void* Buffer, int BufferSize) {
    if (!Busy) throw EACSException("The Stream is not opened");
    if (echouer) throw EACSException("source en panne");
    int64_t n = std::min<int64_t>(BufferSize, parAppel);
    if (total >= 0) n = std::min<int64_t>(n, total - livres);
    if (n <= 0) return 0;
    const auto o = octets(livres, n);
    std::memcpy(Buffer, o.data(), o.size());
    livres += n;
    Position = static_cast<int32_t>(livres);
    return static_cast<int>(n);
}

std::string messageDe(const std::function<void()>& f) {
    try {
        f();
    } catch (const EACSException& e) {
        return e.what();
    }
    return {};
}

bool attendre(const std::function<bool()>& condition, int ms) {
    const auto fin = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > fin) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

LectureFfmpeg lireAvecFfmpeg(const std::string& fichier) {
    LectureFfmpeg l;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, fichier.c_str(), nullptr, nullptr) < 0) return l;
    if (avformat_find_stream_info(format, nullptr) < 0 || format->nb_streams < 1) {
        avformat_close_input(&format);
        return l;
    }
    const AVCodecParameters* p = format->streams[0]->codecpar;
    const AVCodec* decodeur = avcodec_find_decoder(p->codec_id);
    AVCodecContext* contexte = decodeur ? avcodec_alloc_context3(decodeur) : nullptr;
    if (contexte && avcodec_parameters_to_context(contexte, p) >= 0 &&
        avcodec_open2(contexte, decodeur, nullptr) >= 0) {
        l.ouvert = true;
        l.codec = decodeur->name;
        l.frequence = p->sample_rate;
        l.canaux = p->ch_layout.nb_channels;
        AVPacket* paquet = av_packet_alloc();
        AVFrame* trame = av_frame_alloc();
        auto recevoir = [&] {
            while (avcodec_receive_frame(contexte, trame) == 0) {
                const int c = trame->ch_layout.nb_channels;
                for (int i = 0; i < trame->nb_samples; ++i)
                    for (int k = 0; k < c; ++k) {
                        int16_t v = 0;
                        switch (trame->format) {
                            case AV_SAMPLE_FMT_S16:
                                v = reinterpret_cast<const int16_t*>(trame->data[0])[i * c + k];
                                break;
                            case AV_SAMPLE_FMT_S16P:
                                v = reinterpret_cast<const int16_t*>(trame->data[k])[i];
                                break;
                            case AV_SAMPLE_FMT_U8:
                                v = static_cast<int16_t>((trame->data[0][i * c + k] - 128) << 8);
                                break;
                            default:
                                break;
                        }
                        l.echantillons.push_back(v);
                    }
                l.trames += trame->nb_samples;
            }
        };
        while (av_read_frame(format, paquet) >= 0) {
            if (avcodec_send_packet(contexte, paquet) >= 0) recevoir();
            av_packet_unref(paquet);
        }
        avcodec_send_packet(contexte, nullptr);
        recevoir();
        av_frame_free(&trame);
        av_packet_free(&paquet);
    }
    avcodec_free_context(&contexte);
    avformat_close_input(&format);
    return l;
}

::testing::AssertionResult compteurEnPlace(const std::vector<int16_t>& echantillons, int canaux,
                                           int64_t& debutSilence, int64_t& tramesSilence) {
    const int64_t trames = static_cast<int64_t>(echantillons.size()) / canaux;
    int64_t premier = -1, dernier = -1;
    for (int64_t k = 0; k < trames; ++k) {
        const auto attendu = static_cast<int16_t>(static_cast<uint16_t>(k));
        for (int c = 0; c < canaux; ++c) {
            const int16_t v = echantillons[static_cast<size_t>(k * canaux + c)];
            if (v == attendu) continue;
            if (v != 0)
                return ::testing::AssertionFailure() << "trame " << k << " canal " << c << " : "
                                                     << v << " au lieu de " << attendu;
            if (premier < 0) premier = k;
            dernier = k;
        }
    }
    for (int64_t k = std::max<int64_t>(premier, 0); k <= dernier; ++k)
        for (int c = 0; c < canaux; ++c)
            if (echantillons[static_cast<size_t>(k * canaux + c)] != 0)
                return ::testing::AssertionFailure()
                       << "du son au milieu du silence, trame " << k << " (silence de " << premier
                       << " à " << dernier << ")";
    debutSilence = premier;
    tramesSilence = premier < 0 ? 0 : dernier - premier + 1;
    return ::testing::AssertionSuccess();
}

std::vector<unsigned char> lireFichier(const std::string& fichier) {
    std::ifstream f(fichier, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

uint32_t lire32(const std::vector<unsigned char>& o, size_t position) {
    if (position + 4 > o.size()) return 0;
    return static_cast<uint32_t>(o[position]) | (static_cast<uint32_t>(o[position + 1]) << 8) |
           (static_cast<uint32_t>(o[position + 2]) << 16) |
           (static_cast<uint32_t>(o[position + 3]) << 24);
}

}  // namespace vp::test
