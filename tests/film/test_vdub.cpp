// SPDX-License-Identifier: GPL-3.0-or-later
// The batch runner, run as a child process on videos made by the video command.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "FilmsDeTest.h"
#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "film/ScriptVcf.h"
#include "video/FichierAvi.h"

using namespace vp;
using namespace vp::test;

namespace {

class Vdub : public ::testing::Test {
protected:
    Scenario scenario;
    DossierTest dossier;

    QString chemin(const QString& nom) const { return dossier.chemin() + nom; }
    // Writes the mixing script and returns its path.
    QString script(const QString& video, const QString& son, const QString& film) {
        const QString s = chemin("dub.vcf");
        ecrireFichier(
            s, QByteArray::fromStdString(ecrireScriptVcf({QFile::encodeName(video).toStdString(),
                                                          QFile::encodeName(son).toStdString(),
                                                          QFile::encodeName(film).toStdString()})));
        return s;
    }
};

}  // namespace

TEST_F(Vdub, LeFilmGardeLesImagesEtLeSonTelsQuels) {
    struct Cas {
        const char* nom;
        uint32_t fcc;
        double secondes;
        const char* codec;
    };
    const Cas cas[] = {
        {"mjpeg", mmioFOURCC('M', 'J', 'P', 'G'), 1, "mjpeg"},
        {"msvideo1", mmioFOURCC('M', 'S', 'V', 'C'), 3, "msvideo1"},
        {"h264", mmioFOURCC('H', '2', '6', '4'), 60, "h264"},
        {"brut", mmioFOURCC('D', 'I', 'B', ' '), 2.5, "rawvideo"},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        const QString projet = chemin(c.nom);
        const QString video = creerVideoDeTest(projet, c.fcc, 24, 12);
        const QString son = projet + "/audio.wav";
        const QString film = projet + "/film.avi";
        const QByteArray echantillons = ecrireWav(son, c.secondes);
        const FinVdub fin = executerVdub({"/s", script(video, son, film)});
        ASSERT_EQ(fin.code, 0) << fin.erreurs.toStdString();
        EXPECT_TRUE(fin.erreurs.isEmpty()) << fin.erreurs.toStdString();
        dossier.conserver(film);

        const MediaLu avant = lireMedia(video);
        const MediaLu apres = lireMedia(film);
        ASSERT_TRUE(apres.ouvert);
        EXPECT_EQ(apres.nombreFlux, 2);
        EXPECT_EQ(apres.video.codec, c.codec);
        ASSERT_EQ(apres.video.paquets.size(), 24u);
        EXPECT_TRUE(apres.video.paquets == avant.video.paquets);
        EXPECT_DOUBLE_EQ(apres.video.cadence, 12.0);
        EXPECT_EQ(apres.son.codec, "pcm_s16le");
        EXPECT_EQ(apres.son.frequence, 44100);
        EXPECT_EQ(apres.son.canaux, 2);
        EXPECT_TRUE(apres.son.octets() == echantillons)
            << apres.son.octets().size() << " octets au lieu de " << echantillons.size();
        // No temporary file is left beside the film.
        EXPECT_TRUE(fichiersPropres(projet));
        EXPECT_EQ(QDir(projet).entryList({".voltiplume-*"}, QDir::Files | QDir::Hidden).size(), 0);
    }
}

TEST_F(Vdub, UnEchecLaisseLeFilmPrecedentIntact) {
    const QString video = creerVideoDeTest(chemin("p"), mmioFOURCC('M', 'J', 'P', 'G'), 6, 12);
    const QString son = chemin("p/audio.wav");
    const QString film = chemin("p/film.avi");
    ecrireFichier(film, "le film d'avant");
    const auto intact = [&] {
        QFile f(film);
        return f.open(QIODevice::ReadOnly) && f.readAll() == "le film d'avant" &&
               QDir(chemin("p")).entryList({".voltiplume-*"}, QDir::Files | QDir::Hidden).isEmpty();
    };

    // A truncated sound track.
    ecrireWav(son, 2);
    QFile::resize(son, 44 + 1000);
    FinVdub fin = executerVdub({"/s", script(video, son, film)});
    EXPECT_NE(fin.code, 0);
    EXPECT_TRUE(fin.erreurs.contains("est tronqué")) << fin.erreurs.toStdString();
    EXPECT_TRUE(intact());

    // Something that is not a WAV file.
    ecrireFichier(son, QByteArray(5000, 'x'));
    fin = executerVdub({"/s", script(video, son, film)});
    EXPECT_NE(fin.code, 0);
    EXPECT_TRUE(fin.erreurs.contains("n'est pas un fichier WAV")) << fin.erreurs.toStdString();
    EXPECT_TRUE(intact());

    // A missing video.
    ecrireWav(son, 1);
    fin = executerVdub({"/s", script(chemin("p/absente.avi"), son, film)});
    EXPECT_NE(fin.code, 0);
    EXPECT_TRUE(fin.erreurs.contains("absente.avi")) << fin.erreurs.toStdString();
    EXPECT_TRUE(intact());

    // A folder the runner may not write into.
    ASSERT_EQ(::chmod(QFile::encodeName(dossier.chemin()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(chemin("p")).constData(), 0555), 0);
    fin = executerVdub({"/s", script(video, son, film)}, true);
    ::chmod(QFile::encodeName(chemin("p")).constData(), 0755);
    EXPECT_NE(fin.code, 0);
    EXPECT_TRUE(fin.erreurs.contains("accès refusé")) << fin.erreurs.toStdString();
    EXPECT_TRUE(intact());

    // Not a video at all, and a script line the runner does not know.
    fin = executerVdub({"/s", script(son, son, film)});
    EXPECT_NE(fin.code, 0);
    EXPECT_TRUE(fin.erreurs.contains("ne contient pas de vidéo")) << fin.erreurs.toStdString();
    ecrireFichier(chemin("dub.vcf"), "VirtualDub.Open(\"" + QFile::encodeName(video) +
                                         "\");\r\nVirtualDub.video.SetCompression();\r\n");
    fin = executerVdub({"/s", chemin("dub.vcf")});
    EXPECT_NE(fin.code, 0);
    EXPECT_TRUE(fin.erreurs.contains("ligne 2 : commande inconnue")) << fin.erreurs.toStdString();
    EXPECT_TRUE(intact());

    // A script that says nowhere where to save, or a wrong command line.
    ecrireFichier(chemin("dub.vcf"), "VirtualDub.Open(\"" + QFile::encodeName(video) + "\");\r\n");
    fin = executerVdub({"/s", chemin("dub.vcf")});
    EXPECT_NE(fin.code, 0);
    EXPECT_TRUE(fin.erreurs.contains("VirtualDub.SaveAVI")) << fin.erreurs.toStdString();
    EXPECT_NE(executerVdub({chemin("dub.vcf")}).code, 0);
    EXPECT_NE(executerVdub({"/s", chemin("absent.vcf")}).code, 0);
}

TEST_F(Vdub, FilmSansBandeSonEtWavFlottant) {
    const QString video = creerVideoDeTest(chemin("p"), mmioFOURCC('M', 'J', 'P', 'G'), 6, 12);
    const QString film = chemin("p/film.avi");
    ASSERT_EQ(executerVdub({"/s", script(video, "", film)}).code, 0);
    MediaLu m = lireMedia(film);
    EXPECT_EQ(m.nombreFlux, 1);
    EXPECT_EQ(m.video.paquets.size(), 6u);

    // 32-bit float mono at 48 kHz, in the extensible format, with a chunk before the sound.
    QByteArray wav = "RIFF....WAVEfmt ";
    const auto ajouter = [&wav](uint32_t v, int octets) {
        for (int i = 0; i < octets; ++i)
            wav += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    ajouter(40, 4);
    ajouter(0xFFFE, 2);
    ajouter(1, 2);
    ajouter(48000, 4);
    ajouter(48000 * 4, 4);
    ajouter(4, 2);
    ajouter(32, 2);
    ajouter(22, 2);
    ajouter(32, 2);
    ajouter(4, 4);                                                   // front centre
    wav += QByteArray::fromHex("0300000000001000800000aa00389b71");  // float sub-format
    wav += "LIST";
    ajouter(3, 4);
    wav += "abc";
    wav += '\0';  // padding to an even size
    QByteArray flottants;
    for (int i = 0; i < 4800; ++i) {
        const float v = static_cast<float>(i % 100) / 100.0f;
        flottants += QByteArray(reinterpret_cast<const char*>(&v), 4);
    }
    wav += "data";
    ajouter(static_cast<uint32_t>(flottants.size()), 4);
    wav += flottants;
    ecrireFichier(chemin("p/flottant.wav"), wav);
    const FinVdub fin = executerVdub({"/s", script(video, chemin("p/flottant.wav"), film)});
    ASSERT_EQ(fin.code, 0) << fin.erreurs.toStdString();
    m = lireMedia(film);
    EXPECT_EQ(m.son.codec, "pcm_f32le");
    EXPECT_EQ(m.son.frequence, 48000);
    EXPECT_EQ(m.son.canaux, 1);
    EXPECT_TRUE(m.son.octets() == flottants);
}
