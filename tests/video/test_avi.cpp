// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>

#include "LectureVideo.h"
#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "platform/Erreur.h"
#include "video/AVIRecorder.h"
#include "video/DialogueCompression.h"

using namespace vp;
using test::lireVideo;

namespace {

QImage uni(int l, int h, QColor c) {
    QImage i(l, h, QImage::Format_RGB32);
    i.fill(c);
    return i;
}

quint32 mot(const QByteArray& o, int position) {
    return static_cast<quint32>(static_cast<uchar>(o[position])) |
           (static_cast<quint32>(static_cast<uchar>(o[position + 1])) << 8) |
           (static_cast<quint32>(static_cast<uchar>(o[position + 2])) << 16) |
           (static_cast<quint32>(static_cast<uchar>(o[position + 3])) << 24);
}

// The compression dialog answered with the codec `fcc`.
void choisirAuDialogue(test::DialoguesScriptes& d, uint32_t fcc) {
    d.quandModal<DialogueCompression>([fcc](DialogueCompression& c) {
        ASSERT_TRUE(c.choisirCodec(fcc));
        c.boutonOk->click();
    });
}

bool proche(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

}  // namespace

TEST(AVIRecorder, ArrondiDesTailles) {
    TAVIRecorder r;
    EXPECT_EQ(r.FPS, 25);
    EXPECT_EQ(r.Width(), 320);
    EXPECT_EQ(r.Height(), 200);
    EXPECT_EQ(r.SizeRestriction(), srForceBlock8x8);
    r.SetWidth(650);
    EXPECT_EQ(r.Width(), 648);
    r.SetWidth(648);
    EXPECT_EQ(r.Width(), 648);
    r.SetWidth(0);
    r.SetWidth(-5);
    EXPECT_EQ(r.Width(), 648);
    r.SetWidth(4);
    EXPECT_EQ(r.Width(), 0);
    EXPECT_EQ(r.RestrictSize(7), 0);
    EXPECT_EQ(r.RestrictSize(640), 640);

    r.SetWidth(640);
    r.SetHeight(480);
    r.SetSizeRestriction(srForceBlock2x2);  // already multiples of 8: unchanged
    EXPECT_EQ(r.Width(), 640);
    EXPECT_EQ(r.Height(), 480);
    r.SetSizeRestriction(srNoRestriction);
    r.SetWidth(650);
    r.SetHeight(487);
    EXPECT_EQ(r.Width(), 650);
    r.SetSizeRestriction(srForceBlock4x4);
    EXPECT_EQ(r.Width(), 648);
    EXPECT_EQ(r.Height(), 484);
}

TEST(AVIRecorder, EnTeteEtLignesDuBitmap) {
    test::Scenario s;
    test::DossierTest d;
    TAVIRecorder r;
    r.SetSizeRestriction(srNoRestriction);
    r.Compressor = acShowDialog;
    struct Cas {
        int l, h;
        uint32_t pas, taille;
    };
    for (const Cas& c : {Cas{648, 484, 1944, 940896}, Cas{322, 240, 968, 232320}}) {
        r.SetWidth(c.l);
        r.SetHeight(c.h);
        r.Filename = d.chemin() + QStringLiteral("brut%1.avi").arg(c.l);
        choisirAuDialogue(s.dialogues(), mmioFOURCC('D', 'I', 'B', ' '));
        ASSERT_TRUE(r.OpenRecording());
        EXPECT_EQ(r.enTete().biSize, 40u);
        EXPECT_EQ(r.enTete().biWidth, c.l);
        EXPECT_EQ(r.enTete().biHeight, c.h);
        EXPECT_EQ(r.enTete().biBitCount, 24);
        EXPECT_EQ(r.enTete().biSizeImage, c.taille);
        r.CloseRecording(false);
    }
    // The rows of a bitmap: bottom-up, blue first, padded to four bytes.
    QImage i(3, 2, QImage::Format_RGB32);
    i.setPixel(0, 0, qRgb(1, 2, 3));
    i.setPixel(2, 1, qRgb(7, 8, 9));
    std::vector<uint8_t> dib(2 * 12, 0xEE);
    TAVIRecorder::lireDib(i, dib.data());
    EXPECT_EQ(dib[12 + 0], 3);  // pixel (0, 0) is in the last row of the buffer
    EXPECT_EQ(dib[12 + 2], 1);
    EXPECT_EQ(dib[6], 9);  // pixel (2, 1) in the first
    EXPECT_EQ(dib[9], 0);  // padding
}

TEST(AVIRecorder, EnTetePrincipalDuFichier) {
    test::Scenario s;
    test::DossierTest d;
    TAVIRecorder r;
    r.FPS = 12;
    r.SetWidth(64);
    r.SetHeight(48);
    r.Filename = d.chemin() + "douze.avi";
    ASSERT_TRUE(r.OpenRecording());  // Microsoft Video 1 by default
    for (int k = 0; k < 12; ++k)
        r.WriteFrame(uni(64, 48, QColor(20 * k, 100, 200)));
    r.CloseRecording(false);
    d.conserver(r.Filename);
    const QByteArray o = test::lireFichier(r.Filename);
    ASSERT_GT(o.size(), 64);
    EXPECT_EQ(o.left(4), "RIFF");
    EXPECT_EQ(o.mid(8, 4), "AVI ");
    EXPECT_EQ(o.mid(24, 4), "avih");
    EXPECT_EQ(mot(o, 32), 83333u);  // microseconds per frame
    EXPECT_EQ(mot(o, 48), 12u);     // total frames
    const auto v = lireVideo(r.Filename);
    EXPECT_EQ(v.codec, "msvideo1");
    EXPECT_EQ(v.fourcc, "MSVC");
    EXPECT_EQ(v.images, 12);
    EXPECT_DOUBLE_EQ(v.cadence, 12.0);
}

TEST(AVIRecorder, ChaqueCodecProposeEcritUneVideoLisible) {
    test::Scenario s;
    test::DossierTest d;
    const auto codecs = codecsDisponibles();
    ASSERT_GE(codecs.size(), 6);  // at least the ones FFmpeg always has
    for (const CodecAvi& codec : codecs) {
        TAVIRecorder r;
        r.FPS = 15;
        r.SetWidth(64);
        r.SetHeight(48);
        r.Compressor = acShowDialog;
        r.Filename =
            d.chemin() + QStringLiteral("codec-%1.avi").arg(codec.fcc, 8, 16, QLatin1Char('0'));
        choisirAuDialogue(s.dialogues(), codec.fcc);
        ASSERT_TRUE(r.OpenRecording()) << codec.nom.toStdString();
        for (int k = 0; k < 20; ++k) {
            // Red on top, blue at the bottom: a flipped picture shows.
            QImage i = uni(64, 48, Qt::blue);
            for (int y = 0; y < 24; ++y)
                for (int x = 0; x < 64; ++x)
                    i.setPixel(x, y, qRgb(230, 20, 20));
            r.WriteFrame(i);
        }
        r.CloseRecording(false);
        d.conserver(r.Filename);
        EXPECT_EQ(mot(test::lireFichier(r.Filename), 48), 20u) << codec.nom.toStdString();
        const auto v = lireVideo(r.Filename);
        ASSERT_TRUE(v.ouverte) << codec.nom.toStdString();
        EXPECT_EQ(v.images, 20) << codec.nom.toStdString();
        EXPECT_EQ(v.largeur, 64) << codec.nom.toStdString();
        EXPECT_EQ(v.hauteur, 48) << codec.nom.toStdString();
        EXPECT_DOUBLE_EQ(v.cadence, 15.0) << codec.nom.toStdString();
        ASSERT_FALSE(v.derniere.isNull());
        EXPECT_TRUE(proche(v.derniere.pixel(10, 5), qRgb(230, 20, 20), 40))
            << codec.nom.toStdString() << " " << std::hex << v.derniere.pixel(10, 5);
        EXPECT_TRUE(proche(v.derniere.pixel(10, 40), qRgb(0, 0, 255), 40))
            << codec.nom.toStdString() << " " << std::hex << v.derniere.pixel(10, 40);
    }
}

TEST(AVIRecorder, PlusDUnGigaOctetNonCompresse) {
    test::Scenario s;
    test::DossierTest d;
    TAVIRecorder r;
    r.FPS = 10;
    r.SetWidth(kCoteVideoMax);
    r.SetHeight(kCoteVideoMax);
    r.Compressor = acShowDialog;
    r.Filename = d.chemin() + "longue.avi";
    choisirAuDialogue(s.dialogues(), mmioFOURCC('D', 'I', 'B', ' '));
    ASSERT_TRUE(r.OpenRecording());
    QImage image(kCoteVideoMax, kCoteVideoMax, QImage::Format_BGR888);
    image.fill(Qt::darkCyan);
    const uint32_t images = 24;  // 48 MiB each: the file passes 1 GiB after the 22nd
    for (uint32_t k = 0; k < images; ++k)
        r.WriteFrame(image);
    r.CloseRecording(false);
    const QByteArray debut = [&] {
        QFile f(r.Filename);
        f.open(QIODevice::ReadOnly);
        return f.read(64);
    }();
    EXPECT_GT(QFileInfo(r.Filename).size(), qint64(1) << 30);
    EXPECT_EQ(mot(debut, 48), images);
    QFile::remove(r.Filename);
}

TEST(AVIRecorder, DebitLimiteEnH264) {
    test::Scenario s;
    test::DossierTest d;
    const auto codecs = codecsDisponibles();
    if (std::none_of(codecs.begin(), codecs.end(),
                     [](const CodecAvi& c) { return c.fcc == mmioFOURCC('H', '2', '6', '4'); }))
        GTEST_SKIP() << "no H.264 encoder in this FFmpeg";
    // Noise, which no encoder squeezes, for 2 s at 15 frames a second.
    QImage bruit(320, 240, QImage::Format_BGR888);
    uint32_t graine = 12345;
    const auto ecrire = [&](const QString& nom, bool debit) {
        s.dialogues().quandModal<DialogueCompression>([debit](DialogueCompression& c) {
            c.choisirCodec(mmioFOURCC('H', '2', '6', '4'));
            c.Qualite->setValue(100);
            c.Debit->setChecked(debit);
            c.KoParSeconde->setValue(20);
            c.boutonOk->click();
        });
        TAVIRecorder r;
        r.FPS = 15;
        r.SetWidth(320);
        r.SetHeight(240);
        r.Compressor = acShowDialog;
        r.Filename = d.chemin() + nom;
        EXPECT_TRUE(r.OpenRecording());
        for (int k = 0; k < 30; ++k) {
            for (int y = 0; y < 240; ++y)
                for (uchar* p = bruit.scanLine(y); p < bruit.scanLine(y) + 960; ++p)
                    *p = static_cast<uchar>((graine = graine * 1103515245u + 12345u) >> 24);
            r.WriteFrame(bruit);
        }
        r.CloseRecording(false);
        return QFileInfo(r.Filename).size();
    };
    const qint64 qualite = ecrire("qualite.avi", false);
    const qint64 limite = ecrire("debit.avi", true);
    // 20 Ko/s for 2 s, with room for the headers and the index.
    EXPECT_LT(limite, 2 * 20 * 1024 + 16 * 1024) << qualite;
    EXPECT_GT(qualite, 10 * limite);
}

TEST(AVIRecorder, EcraserOuNon) {
    test::Scenario s;
    test::DossierTest d;
    TAVIRecorder r;
    r.Filename = d.chemin() + "video.avi";
    QFile f(r.Filename);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("ancienne video");
    f.close();
    s.dialogues().reponses = {false};
    EXPECT_FALSE(r.OpenRecording());
    EXPECT_EQ(test::lireFichier(r.Filename), "ancienne video");
    ASSERT_EQ(s.dialogues().affichages.size(), 1u);
    EXPECT_EQ(s.dialogues().affichages[0].texte,
              "Overwrite file " + QDir::toNativeSeparators(r.Filename) + "?");
    EXPECT_EQ(test::messageErreur([&] { r.WriteFrame(uni(8, 8, Qt::red)); }),
              "Cannot add frame to AVI. AVI file not created.");

    s.dialogues().reponses = {true};
    ASSERT_TRUE(r.OpenRecording());
    r.WriteFrame(uni(320, 200, Qt::red));
    r.CloseRecording(false);
    EXPECT_EQ(lireVideo(r.Filename).images, 1);
    EXPECT_EQ(test::messageErreur([&] { r.CloseRecording(false); }),
              "Cannot close AVI file. AVI file not created.");

    // Without a file name the user is asked for one; cancelling gives false.
    r.Filename.clear();
    EXPECT_FALSE(r.OpenRecording());
    EXPECT_EQ(s.dialogues().affichages.back().genre, test::Affichage::Genre::EnregistrerFichier);
}

TEST(AVIRecorder, EchecsDOuvertureLaissentLEnregistreurAuRepos) {
    test::Scenario s;
    test::DossierTest d;
    TAVIRecorder r;
    r.Filename = d.chemin() + "absent/video.avi";
    EXPECT_EQ(test::messageErreur([&] { r.OpenRecording(); }),
              "Cannot create AVI file. Disk full or file in use?");
    EXPECT_FALSE(r.enregistre());

    r.Filename = d.chemin() + "zero.avi";
    r.FPS = 0;  // the codec refuses it
    EXPECT_EQ(test::messageErreur([&] { r.OpenRecording(); }), "Cannot make compressed stream. ");
    EXPECT_FALSE(r.enregistre());
    EXPECT_FALSE(QFile::exists(r.Filename));

    // The layer names a codec that is not there.
    std::unique_ptr<FichierAvi> f;
    ASSERT_EQ(FichierAvi::AVIFileOpen(f, d.chemin() + "inconnu.avi"), AVIERR_OK);
    FluxAvi* flux = nullptr;
    AVISTREAMINFO info;
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = 10;
    info.rcFrame = RECT{0, 0, 16, 16};
    ASSERT_EQ(f->AVIFileCreateStream(flux, info), AVIERR_OK);
    AVICOMPRESSOPTIONS o;
    o.fccHandler = mmioFOURCC('Z', 'Z', 'Z', 'Z');
    EXPECT_EQ(flux->AVIMakeCompressedStream(o), AVIERR_NOCOMPRESSOR);
}

TEST(AVIRecorder, ImagePlusPetiteDansLeCoinEnHautAGauche) {
    test::Scenario s;
    test::DossierTest d;
    TAVIRecorder r;
    r.SetWidth(640);
    r.SetHeight(480);
    r.Filename = d.chemin() + "coin.avi";
    std::vector<QImage> vues;
    r.OnPostProcessEvent = [&](TAVIRecorder* emetteur, QImage& image) {
        EXPECT_EQ(emetteur, &r);
        vues.push_back(image.copy());
    };
    ASSERT_TRUE(r.OpenRecording());
    r.WriteFrame(uni(320, 240, Qt::red));
    r.WriteFrame(uni(100, 100, Qt::green));
    r.CloseRecording(false);
    ASSERT_EQ(vues.size(), 2u);
    EXPECT_EQ(vues[0].pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(vues[0].pixel(319, 239), qRgb(255, 0, 0));
    EXPECT_EQ(vues[0].pixel(320, 10), qRgb(255, 255, 255));  // a new picture is white
    EXPECT_EQ(vues[0].pixel(600, 400), qRgb(255, 255, 255));
    EXPECT_EQ(vues[1].pixel(10, 10), qRgb(0, 255, 0));
    EXPECT_EQ(vues[1].pixel(200, 200), qRgb(255, 0, 0));  // the previous frame's pixels stay
    EXPECT_EQ(vues[1].pixel(600, 400), qRgb(255, 255, 255));
}

TEST(DialogueCompression, RetientLeDernierChoixEtAnnulerNeChangeRien) {
    test::Scenario s;
    s.dialogues().quandModal<DialogueCompression>([](DialogueCompression& c) {
        EXPECT_EQ(c.windowTitle(), "Compression vidéo");
        ASSERT_TRUE(c.choisirCodec(mmioFOURCC('d', 'i', 'v', 'x')));
        c.Qualite->setValue(40);
        c.boutonOk->click();
    });
    AVICOMPRESSOPTIONS o;
    EXPECT_TRUE(AVISaveOptions(o));
    EXPECT_EQ(o.fccHandler, mmioFOURCC('d', 'i', 'v', 'x'));
    EXPECT_EQ(o.dwQuality, 4000u);
    s.dialogues().quandModal<DialogueCompression>([](DialogueCompression& c) {
        EXPECT_EQ(c.Codecs->currentItem()->text(), "MPEG-4 (DivX)");
        EXPECT_EQ(c.Qualite->value(), 40);
        c.boutonAnnuler->click();
    });
    AVICOMPRESSOPTIONS inchangees;
    inchangees.fccType = streamtypeVIDEO;
    EXPECT_FALSE(AVISaveOptions(inchangees));
    EXPECT_EQ(inchangees.fccHandler, 0u);
}
