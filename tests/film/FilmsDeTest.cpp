// SPDX-License-Identifier: GPL-3.0-or-later
#include "FilmsDeTest.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "platform/Bitmap.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "sequence/StockImages.h"
#include "video/AVIRecorder.h"
#include "video/CreerVideo.h"
#include "video/DialogueCompression.h"

namespace vp::test {

namespace {

class VueMuette final : public VueSequence {
public:
    void rafraichirBande() override {}
    void montrerProgression(int) override {}
    void avancerProgression() override {}
    void completerProgression() override {}
    void masquerProgression() override {}
};

}  // namespace

QString creerVideoDeTest(const QString& dossier, uint32_t fcc, int images, int cadence) {
    ProjetCourant p;
    p.repProjets = QFileInfo(dossier).absolutePath() + QLatin1Char('/');
    p.nomDossier = QFileInfo(dossier).fileName();
    p.titreProjet = QStringLiteral("Essai");
    QDir().mkpath(dossier);
    for (int k = 0; k < images; ++k)
        ecrireBitmap24(imageLettre(QChar('A' + k % 26), 160, 120), cheminImage(p, k));
    p.nbImages = images;
    p.imagesParSeconde = cadence;
    p.largeurVideo = 160;
    p.hauteurVideo = 120;
    auto& d = dynamic_cast<DialoguesScriptes&>(dialogues());
    d.quandModal<DialogueCompression>([fcc](DialogueCompression& c) {
        c.choisirCodec(fcc);
        c.boutonOk->click();
    });
    TAVIRecorder enregistreur;
    VueMuette vue;
    ecrireVideo(p, enregistreur, vue);
    return p.dossierProjet() + QStringLiteral("/video.avi");
}

void ecrireWavPcm(const QString& fichier, int frequence, int canaux, int bits, bool flottant,
                  const QByteArray& echantillons) {
    const int alignement = canaux * bits / 8;
    QByteArray entete(44, '\0');
    auto* e = reinterpret_cast<uchar*>(entete.data());
    std::memcpy(e, "RIFF", 4);
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(36 + echantillons.size()), e + 4);
    std::memcpy(e + 8, "WAVEfmt ", 8);
    qToLittleEndian<uint32_t>(16, e + 16);
    qToLittleEndian<uint16_t>(flottant ? 3 : 1, e + 20);
    qToLittleEndian<uint16_t>(static_cast<uint16_t>(canaux), e + 22);
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(frequence), e + 24);
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(frequence * alignement), e + 28);
    qToLittleEndian<uint16_t>(static_cast<uint16_t>(alignement), e + 32);
    qToLittleEndian<uint16_t>(static_cast<uint16_t>(bits), e + 34);
    std::memcpy(e + 36, "data", 4);
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(echantillons.size()), e + 40);
    ecrireFichier(fichier, entete + echantillons);
}

QByteArray ecrireWav(const QString& fichier, double secondes, int frequence, int canaux, int bits,
                     const Signal& signal) {
    const int trames = static_cast<int>(secondes * frequence);
    const int octets = bits / 8;
    QByteArray son(trames * canaux * octets, Qt::Uninitialized);
    auto* echantillons = reinterpret_cast<uchar*>(son.data());
    for (int i = 0; i < trames * canaux; ++i) {
        // Without a signal: a pattern that changes at every sample.
        const double v = signal ? std::clamp(signal(i / canaux, i % canaux), -1.0, 1.0) : 0;
        const auto entier = signal ? static_cast<int32_t>(std::lround(v * ((1 << (bits - 1)) - 1)))
                                   : static_cast<int32_t>(static_cast<unsigned>(i) * 7919u);
        uchar* e = echantillons + static_cast<ptrdiff_t>(i) * octets;
        if (bits == 8) {
            e[0] = static_cast<uchar>(entier + 128);  // 8-bit WAV samples are unsigned
        } else {
            for (int o = 0; o < octets; ++o)
                e[o] = static_cast<uchar>(static_cast<uint32_t>(entier) >> (8 * o));
        }
    }
    ecrireWavPcm(fichier, frequence, canaux, bits, false, son);
    return son;
}

QByteArray FluxLu::octets() const {
    QByteArray tout;
    for (const QByteArray& p : paquets)
        tout += p;
    return tout;
}

MediaLu lireMedia(const QString& fichier) {
    MediaLu m;
    AVFormatContext* f = nullptr;
    if (avformat_open_input(&f, octetsDuChemin(fichier).constData(), nullptr, nullptr) < 0)
        return m;
    if (avformat_find_stream_info(f, nullptr) >= 0) {
        m.ouvert = true;
        m.nombreFlux = static_cast<int>(f->nb_streams);
        const int video = av_find_best_stream(f, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const int son = av_find_best_stream(f, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        for (const int i : {video, son}) {
            if (i < 0) continue;
            const AVStream* s = f->streams[i];
            FluxLu& l = i == video ? m.video : m.son;
            l.codec = QString::fromLatin1(avcodec_get_name(s->codecpar->codec_id));
            l.cadence = av_q2d(s->avg_frame_rate);
            l.frequence = s->codecpar->sample_rate;
            l.canaux = s->codecpar->ch_layout.nb_channels;
        }
        AVPacket* p = av_packet_alloc();
        while (av_read_frame(f, p) >= 0) {
            const QByteArray donnees(reinterpret_cast<const char*>(p->data), p->size);
            if (p->stream_index == video) m.video.paquets.push_back(donnees);
            if (p->stream_index == son) m.son.paquets.push_back(donnees);
            av_packet_unref(p);
        }
        av_packet_free(&p);
    }
    avformat_close_input(&f);
    return m;
}

FinVdub executerVdub(const QStringList& arguments, bool sansDroits) {
    QProcess p;
    if (sansDroits && ::geteuid() == 0)
        p.setChildProcessModifier([] {
            // The "nobody" user: root would write anywhere.
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
        });
    p.start(QStringLiteral(VP_VDUB), arguments);
    FinVdub fin;
    if (!p.waitForStarted(-1) || !p.waitForFinished(-1)) return fin;
    if (p.exitStatus() == QProcess::NormalExit) fin.code = p.exitCode();
    fin.erreurs = QString::fromUtf8(p.readAllStandardError()).trimmed();
    return fin;
}

void installerEditeur(const QString& repProgramme) {
    const QString dossier = repProgramme + QStringLiteral("virtualdub/");
    QDir().mkpath(dossier);
    QFile::link(QStringLiteral(VP_VDUB), dossier + QStringLiteral("vdub"));
}

}  // namespace vp::test
