// SPDX-License-Identifier: GPL-3.0-or-later
// « Exporter le film… »: the MP4 and GIF files read back by FFmpeg and compared with the
// project's pictures and sound track; a stopped or failed export leaves nothing behind.

#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <cmath>
#include <thread>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();  // the sanitizer's allocator
#endif

#include "app/DialogueReglagesVideo.h"
#include "app/Fixture.h"
#include "export/CommandeExport.h"
#include "export/ExportFilm.h"
#include "film/Ffmpeg.h"
#include "film/FilmsDeTest.h"
#include "platform/Bitmap.h"
#include "platform/Erreur.h"
#include "sequence/StockImages.h"
#include "video/LectureVideo.h"

using namespace vp;

namespace {

// Picture k of a test film, something like a photograph: gradients, a shade of blue that
// differs from one picture to the next, and a ball of its own colour, its edge softened as a
// lens softens it, moving 5 pixels a picture.
QImage imageNumero(int k, QSize taille) {
    QImage i(taille, QImage::Format_RGB888);
    for (int y = 0; y < taille.height(); ++y) {
        uchar* ligne = i.scanLine(y);
        for (int x = 0; x < taille.width(); ++x) {
            ligne[3 * x] = static_cast<uchar>(x * 150 / taille.width() + 2 * k);
            ligne[3 * x + 1] = static_cast<uchar>(y * 200 / taille.height() + 20);
            ligne[3 * x + 2] = static_cast<uchar>(30 + (k * 53) % 200);
        }
    }
    const double rayon = taille.width() / 12.0;
    const QPointF centre(rayon + 10 + 5 * k, rayon + 40 + (k % 7) * 10);
    QRadialGradient boule(centre, rayon);
    const QColor couleur = QColor::fromHsv((k * 37) % 360, 200, 230);
    boule.setColorAt(0.0, couleur.lighter(130));
    boule.setColorAt(0.85, couleur);
    boule.setColorAt(1.0, QColor(couleur.red(), couleur.green(), couleur.blue(), 0));
    QPainter peintre(&i);
    peintre.setRenderHint(QPainter::Antialiasing);
    peintre.setPen(Qt::NoPen);
    peintre.setBrush(boule);
    peintre.drawEllipse(centre, rayon, rayon);
    return i;
}

double psnr(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    if (x.size() != y.size()) return 0;
    double somme = 0;
    for (int r = 0; r < x.height(); ++r)
        for (int c = 0; c < 3 * x.width(); ++c) {
            const double d = x.constScanLine(r)[c] - y.constScanLine(r)[c];
            somme += d * d;
        }
    const double mse = somme / (3.0 * x.width() * x.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// A sweep from 200 Hz upwards, its loudness slowly changing: it matches itself at one offset.
double balayage(int trame, int frequence) {
    const double t = static_cast<double>(trame) / frequence;
    return 0.5 * std::sin(2 * M_PI * (200 * t + 600 * t * t)) * (0.7 + 0.3 * std::sin(6 * t));
}

// The offset, in samples, at which the decoded sound best matches the original over its first
// second, looked for within ±50 ms; and the normalised correlation there.
std::pair<int, double> decalage(const std::vector<float>& decode, int frequence) {
    const int plage = frequence / 20, n = frequence;
    if (static_cast<int>(decode.size()) < n + 2 * plage) return {INT32_MAX, 0};
    std::vector<float> original(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        original[static_cast<size_t>(i)] = static_cast<float>(balayage(i, frequence));
    std::pair<int, double> meilleur{0, -2};
    for (int d = -plage; d <= plage; ++d) {
        double produit = 0, energieA = 0, energieB = 0;
        for (int i = plage; i < n - plage; ++i) {
            const double a = original[static_cast<size_t>(i)];
            const double b = decode[static_cast<size_t>(i + d)];
            produit += a * b;
            energieA += a * a;
            energieB += b * b;
        }
        const double c = produit / std::sqrt(energieA * energieB + 1e-12);
        if (c > meilleur.second) meilleur = {d, c};
    }
    return meilleur;
}

// The top-level boxes of an MP4 file, in their order.
QStringList boitesMp4(const QByteArray& o) {
    QStringList boites;
    for (qint64 i = 0; i + 8 <= o.size();) {
        qint64 taille = qFromBigEndian<quint32>(o.constData() + i);
        if (taille == 1 && i + 16 <= o.size())
            taille = qFromBigEndian<qint64>(o.constData() + i + 8);
        boites << QString::fromLatin1(o.mid(i + 4, 4));
        if (taille < 8) break;
        i += taille;
    }
    return boites;
}

// The bytes the process holds allocated now, whichever allocator serves it.
size_t octetsAlloues() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
#endif
}

// Holds the export's thread at step `etape` until it is asked to stop (10 s at most).
void retenirJusquALArret(int etape) {
    observerEtapesExport([etape](SuiviExport& s) {
        const QDeadlineTimer limite(10000);
        while (s.etapesFaites == etape && !s.annule && !limite.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
}

bool temporaireLaisse(const QString& dossier) {
    return !QDir(dossier)
                .entryList({QStringLiteral(".voltiplume-*")}, QDir::Files | QDir::Hidden)
                .isEmpty();
}

class Export : public test::Programme {
protected:
    QString cible(const char* nom) { return dossier.chemin() + nom; }
    // `bruit`: with a camera's noise, which the encoder has to carry (large pictures).
    void film(int n, QSize taille, const QString& titre = QStringLiteral("Film"),
              bool bruit = false) {
        creerProjet(titre);
        for (int k = 0; k < n; ++k) {
            QImage i = imageNumero(k, taille);
            QRandomGenerator hasard(static_cast<quint32>(k));
            for (int y = 0; bruit && y < i.height(); ++y)
                for (uchar* o = i.scanLine(y); o < i.scanLine(y) + 3 * i.width(); ++o)
                    *o = static_cast<uchar>(std::clamp(*o + hasard.bounded(-12, 13), 0, 255));
            ecrireBitmap24(i, cheminImage(f->projet, k));
        }
        f->projet.nbImages = n;
        f->projet.imageCourante = n - 1;
        f->rafraichirBande();
    }
    // Settings confirmed in « Réglages vidéo » (`valider`), the video made with them; or typed
    // and given up.
    void reglages(const QString& ims, const QString& largeur, const QString& hauteur,
                  bool valider = true) {
        dialogues().quandModal<DialogueReglagesVideo>([=](DialogueReglagesVideo& d) {
            d.champImagesParSeconde->setText(ims);
            d.champLargeur->setText(largeur);
            d.champHauteur->setText(hauteur);
            (valider ? d.boutonValider : d.boutonAnnuler)->click();
        });
        f->actionCreerVideo->trigger();
        dialogues().modaux.clear();
    }
    // `filtre`: the type left chosen in the save dialog.
    void exporter(const QString& vers, int filtre = 0) {
        dialogues().affichages.clear();
        dialogues().fichiers = {vers};
        dialogues().filtres = {filtre};
        f->actionExporterFilm->trigger();
        dialogues().fichiers.clear();
    }
    void TearDown() override {
        observerEtapesExport({});
        test::Programme::TearDown();
    }
    void fenetreRendue() {
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(f->barreProgression->isVisible());
        EXPECT_FALSE(f->boutonArreterExport->isVisible());
        // Back in its place, beside the undo and redo buttons, not over them.
        EXPECT_FALSE(f->barreProgression->geometry().intersects(f->boutonAnnuler->geometry()));
        EXPECT_FALSE(f->barreProgression->geometry().intersects(f->boutonRetablir->geometry()));
        EXPECT_EQ(f->barreProgression->geometry().right(),
                  f->boutonArreterExport->geometry().right() - 4);
    }
};

}  // namespace

TEST_F(Export, Mp4DeQuaranteHuitImagesEtQuatreSecondesDeSon) {
    film(48, QSize(320, 240), QStringLiteral("Les robots / CM2"));
    test::ecrireWav(f->projet.dossierProjet() + "/audio.wav", 4, 44100, 2, 16,
                    [](int t, int) { return balayage(t, 44100); });
    // 15 pictures a second: 48 frames last 3.2 s, the last one is held until the sound ends.
    reglages("15", "321", "241");
    const auto projetAvant = test::contenuDossier(f->projet.dossierProjet());
    exporter(cible("export.mp4"));
    dossier.conserver(cible("export.mp4"));
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    ASSERT_EQ(dialogues().affichages.size(), 1u);
    // Proposed in the documents folder under the film's title.
    EXPECT_TRUE(dialogues().affichages[0].proposition.endsWith("/Les robots - CM2.mp4"))
        << dialogues().affichages[0].proposition.toStdString();
    EXPECT_TRUE(dialogues().affichages[0].texte.contains("*.gif"));
    fenetreRendue();
    // Its end is told where the user looks, with the file's name.
    EXPECT_TRUE(f->ligneAide->text().contains("« export.mp4 »"))
        << f->ligneAide->text().toStdString();
    EXPECT_EQ(test::contenuDossier(f->projet.dossierProjet()), projetAvant);
    EXPECT_FALSE(temporaireLaisse(dossier.chemin()));

    const test::Video v = test::lireVideo(cible("export.mp4"), true);
    ASSERT_TRUE(v.ouverte);
    EXPECT_EQ(v.codec, "h264");
    EXPECT_EQ(v.profil, "High");
    EXPECT_GT(v.niveau, 0);
    EXPECT_LE(v.niveau, 40);
    EXPECT_EQ(v.pixels, "yuv420p");
    EXPECT_EQ(v.largeur, 320);
    EXPECT_EQ(v.hauteur, 240);
    EXPECT_DOUBLE_EQ(v.cadence, 15.0);
    EXPECT_EQ(v.images, 60);
    ASSERT_EQ(v.toutes.size(), 60u);
    for (int k = 0; k < 60; ++k) {
        const QImage attendue = imageNumero(std::min(k, 47), QSize(320, 240));
        EXPECT_GT(psnr(v.toutes[static_cast<size_t>(k)], attendue), 35.0) << "image " << k;
        if (k < 47) {  // and not its neighbour's
            EXPECT_LT(psnr(v.toutes[static_cast<size_t>(k)], imageNumero(k + 1, QSize(320, 240))),
                      30.0);
        }
    }
    EXPECT_EQ(v.son.codec, "aac");
    EXPECT_EQ(v.son.frequence, 44100);
    EXPECT_EQ(v.son.canaux, 2);
    EXPECT_NEAR(v.duree, 4.0, 1.0 / 15);
    EXPECT_NEAR(v.son.duree(), v.duree, 1.0 / 15);
    // Sound and pictures start together: the encoder's delay is compensated.
    const auto [ecart, correlation] = decalage(v.son.gauche, 44100);
    EXPECT_LT(std::abs(ecart), 44100 * 5 / 1000) << ecart << " échantillons";
    EXPECT_GT(correlation, 0.8);
    // The index before the data: a browser plays it while it downloads.
    const QStringList boites = boitesMp4(test::lireFichier(cible("export.mp4")));
    ASSERT_TRUE(boites.contains("moov") && boites.contains("mdat"))
        << boites.join(' ').toStdString();
    EXPECT_LT(boites.indexOf("moov"), boites.indexOf("mdat"));
}

TEST_F(Export, GifEnBoucleAuPlusSixCentQuaranteDeLarge) {
    creerProjet("Vide");
    exporter(cible("export.gif"));
    EXPECT_EQ(dialogues().messages(), QStringList{kRienAExporter});

    film(12, QSize(800, 600));
    reglages("12", "800", "600");
    const mode_t masque = ::umask(027);
    exporter(cible("export.gif"));
    ::umask(masque);
    dossier.conserver(cible("export.gif"));
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    fenetreRendue();
    // The rights of any new file under the user's umask.
    struct stat etat {};
    ASSERT_EQ(::stat(QFile::encodeName(cible("export.gif")).constData(), &etat), 0);
    EXPECT_EQ(etat.st_mode & 0777, 0640u);
    const test::Video v = test::lireVideo(cible("export.gif"), true);
    ASSERT_TRUE(v.ouverte);
    EXPECT_EQ(v.codec, "gif");
    EXPECT_EQ(v.largeur, 640);
    EXPECT_EQ(v.hauteur, 480);
    ASSERT_EQ(v.images, 12);
    // 12 pictures a second: 8.33 hundredths, rounded to 8.
    ASSERT_EQ(v.durees.size(), 12u);
    for (const double d : v.durees)
        EXPECT_DOUBLE_EQ(d, 0.08);
    EXPECT_TRUE(v.son.codec.isEmpty());
    // A palette made for these pictures: each looks like its frame, more than like the next.
    for (int k = 0; k < 12; ++k) {
        const auto attendue = [](int i) {
            return imageNumero(i, QSize(800, 600))
                .scaled(640, 480, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        };
        const double p = psnr(v.toutes[static_cast<size_t>(k)], attendue(k));
        EXPECT_GT(p, 28.0) << "image " << k;
        EXPECT_GT(p, psnr(v.toutes[static_cast<size_t>(k)], attendue((k + 1) % 12)) + 3);
    }
    // Looping for ever: read with its loop setting, it never ends.
    EXPECT_EQ(test::imagesEnBoucle(cible("export.gif"), 100), 100);
}

TEST_F(Export, ReglagesVideoValidesEnDernier) {
    film(4, QSize(160, 120));
    // Settings typed and given up before any were confirmed: 15 pictures a second (6.67
    // hundredths, shown 7) and the frames' own size.
    reglages("25", "640", "480", false);
    exporter(cible("avant-export.gif"));
    dossier.conserver(cible("avant-export.gif"));
    test::Video v = test::lireVideo(cible("avant-export.gif"));
    EXPECT_EQ(v.largeur, 160);
    EXPECT_EQ(v.hauteur, 120);
    ASSERT_FALSE(v.durees.empty());
    EXPECT_DOUBLE_EQ(v.durees[0], 0.07);
    // « Créer la vidéo » confirmed with 10 pictures a second at 200 x 150, then other settings
    // typed and given up.
    reglages("10", "200", "150");
    creerVideoMjpeg();
    reglages("25", "640", "480", false);
    exporter(cible("export.gif"));
    dossier.conserver(cible("export.gif"));
    v = test::lireVideo(cible("export.gif"));
    EXPECT_EQ(v.largeur, 200);
    EXPECT_EQ(v.hauteur, 150);
    ASSERT_FALSE(v.durees.empty());
    EXPECT_DOUBLE_EQ(v.durees[0], 0.1);
}

TEST_F(Export, LeTypeChoisiDecideSansExtensionConnue) {
    film(4, QSize(160, 120));
    test::ecrireFichier(f->projet.dossierProjet() + "/audio.wav", "pas du son");
    // "vacances.avi" with the GIF type chosen: an animated GIF beside it, named so.
    exporter(cible("vacances.avi"), kFiltreGif);
    dossier.conserver(cible("vacances.avi.gif"), "vacances-export.gif");
    EXPECT_EQ(test::lireVideo(cible("vacances.avi.gif")).codec, "gif");
    EXPECT_TRUE(dialogues().messages().isEmpty());
    // The same name again: the dialog never saw it, the program asks; No keeps the file.
    const QByteArray gif = test::lireFichier(cible("vacances.avi.gif"));
    exporter(cible("vacances.avi"), kFiltreGif);
    ASSERT_EQ(dialogues().affichages.size(), 2u);
    EXPECT_EQ(dialogues().affichages[1].genre, test::Affichage::Genre::Question);
    EXPECT_TRUE(dialogues().affichages[1].texte.contains("vacances.avi.gif"));
    EXPECT_EQ(test::lireFichier(cible("vacances.avi.gif")), gif);
    // A known extension wins over the type; an unusable sound track is told after the film.
    exporter(cible("sans-son.MP4"), kFiltreGif);
    dossier.conserver(cible("sans-son.MP4"), "sans-son-export.mp4");
    const test::Video v = test::lireVideo(cible("sans-son.MP4"));
    EXPECT_EQ(v.codec, "h264");
    EXPECT_TRUE(v.son.codec.isEmpty());
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].contains("sans son") &&
                dialogues().messages()[0].contains("audio.wav"))
        << dialogues().messages()[0].toStdString();
    EXPECT_EQ(dialogues().affichages.back().icone, Icone::Avertissement);
}

TEST_F(Export, ArreteParEchapOuParLeBoutonSansRienLaisser) {
    film(12, QSize(160, 120));
    test::ecrireFichier(cible("export.mp4"), "ancien film");
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
    // The export waits at its second picture until it is stopped. While the film is written
    // the other commands are refused and the stop control shows.
    retenirJusquALArret(2);
    int arrets = 0;
    std::function<void()> arreter;
    QTimer pendant;
    QObject::connect(&pendant, &QTimer::timeout, [&] {
        if (arrets > 0 || !f->barreProgression->isVisible() || f->barreProgression->value() < 2)
            return;
        ++arrets;
        EXPECT_TRUE(f->boutonArreterExport->isVisible());
        EXPECT_FALSE(
            f->barreProgression->geometry().intersects(f->boutonArreterExport->geometry()));
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
        f->boutonSupprimerImage->click();
        arreter();
    });
    pendant.start(2);
    arreter = [&] { QTest::keyClick(f.get(), Qt::Key_Escape); };
    exporter(cible("export.mp4"));
    EXPECT_EQ(arrets, 1);
    EXPECT_EQ(test::lireFichier(cible("export.mp4")), "ancien film");

    arrets = 0;
    arreter = [&] { f->boutonArreterExport->click(); };
    exporter(cible("export.gif"));
    EXPECT_EQ(arrets, 1);
    EXPECT_FALSE(QFile::exists(cible("export.gif")));

    // The window's loop ended by something else (the program closing): the export stops
    // rather than holding the program until its end.
    arrets = 0;
    arreter = [] { QCoreApplication::exit(0); };
    exporter(cible("export.mp4"));
    EXPECT_EQ(arrets, 1);
    EXPECT_EQ(test::lireFichier(cible("export.mp4")), "ancien film");
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();  // the loops of the following tests run again

    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    EXPECT_EQ(f->projet.nbImages, 12);
    EXPECT_EQ(test::lireFilm(f->projet.dossierProjet()).size(), 12);
    EXPECT_FALSE(temporaireLaisse(dossier.chemin()));
    fenetreRendue();
}

TEST_F(Export, DisquePleinOuImageAbimeeNeLaissentRien) {
    std::atomic<int> etapes{0};
    observerEtapesExport([&](SuiviExport& s) { etapes = s.etapesFaites.load(); });
    const auto disquePlein = [&](const char* nom, int derniere) {
        {
            test::DisquePlein plein(16 * 1024);
            exporter(cible(nom));
        }
        ASSERT_EQ(dialogues().messages().size(), 1) << nom;
        EXPECT_TRUE(dialogues().messages()[0].contains("dépasse la taille permise"))
            << dialogues().messages()[0].toStdString();
        EXPECT_EQ(dialogues().affichages.back().icone, Icone::Arret);
        EXPECT_FALSE(QFile::exists(cible(nom)));
        EXPECT_GT(etapes, 0) << nom;
        EXPECT_LT(etapes, derniere) << nom;
    };
    // Longer than what the H.264 encoder holds back, the sound as long (the muxer would hold the
    // pictures past its end), more than the 256 kB written at once: the disk fills up in
    // mid-film.
    film(100, QSize(320, 240), QStringLiteral("Film"), true);
    test::ecrireWav(f->projet.dossierProjet() + "/audio.wav", 8.5, 44100, 2, 16,
                    [](int t, int) { return balayage(t, 44100); });
    reglages("12", "320", "240");
    disquePlein("export.mp4", 102);
    film(24, QSize(640, 480), QStringLiteral("Animation"));
    reglages("12", "640", "480");
    disquePlein("export.gif", 48);
    EXPECT_TRUE(dialogues().messages()[0].contains("l'image animée"));

    QFile abimee(cheminImage(f->projet, 10));
    ASSERT_TRUE(abimee.open(QIODevice::ReadWrite));
    abimee.resize(abimee.size() / 2);
    abimee.close();
    for (const char* nom : {"export.mp4", "export.gif"}) {
        exporter(cible(nom));
        ASSERT_EQ(dialogues().messages().size(), 1) << nom;
        EXPECT_TRUE(dialogues().messages()[0].contains("image_00010.bmp")) << nom;
        EXPECT_FALSE(QFile::exists(cible(nom))) << nom;
    }
    EXPECT_FALSE(temporaireLaisse(dossier.chemin()));
    fenetreRendue();
}

TEST(ExportMp4, UnGrandFilmRapideRestePourLesTelephones) {
    test::DossierTest dossier;
    // 1920 x 1080 at 60 pictures a second: twice what H.264 level 4.0 decodes in a second.
    const LecteurImage image = [](qint32 k) { return imageNumero(k, QSize(1920, 1080)); };
    const PlanExport plan =
        planifierExport(FormatExport::Mp4, {60, 1920, 1080}, 3, image, {}, "Grand");
    SuiviExport suivi;
    ASSERT_TRUE(ecrireExport(plan, image, dossier.chemin() + "grand-export.mp4", suivi));
    dossier.conserver(dossier.chemin() + "grand-export.mp4");
    const test::Video v = test::lireVideo(dossier.chemin() + "grand-export.mp4");
    EXPECT_GT(v.niveau, 0);
    EXPECT_LE(v.niveau, 40);
    const int macroblocs = ((v.largeur + 15) / 16) * ((v.hauteur + 15) / 16);
    EXPECT_LE(macroblocs * 60, 245760);           // level 4.0's macroblocks a second
    EXPECT_GT(macroblocs * 60, 245760 * 9 / 10);  // no smaller than needed
    EXPECT_NEAR(static_cast<double>(v.largeur) / v.hauteur, 16.0 / 9, 0.02);
    EXPECT_EQ(v.largeur % 2 + v.hauteur % 2, 0);
    EXPECT_EQ(v.images, 3);
}

TEST(ExportMp4, SonMonoDeVingtQuatreBitsOuIllisible) {
    test::DossierTest dossier;
    const QString son = dossier.chemin() + "audio.wav";
    const LecteurImage image = [](qint32 k) { return imageNumero(k, QSize(160, 120)); };
    // A mono 24-bit track at 22,050 Hz keeps its rate and its samples.
    test::ecrireWav(son, 1.2, 22050, 1, 24, [](int t, int) { return balayage(t, 22050); });
    PlanExport plan = planifierExport(FormatExport::Mp4, {12, 160, 120}, 6, image, son, "Son");
    SuiviExport suivi;
    ASSERT_TRUE(ecrireExport(plan, image, dossier.chemin() + "mono-export.mp4", suivi));
    dossier.conserver(dossier.chemin() + "mono-export.mp4");
    test::Video v = test::lireVideo(dossier.chemin() + "mono-export.mp4");
    EXPECT_EQ(v.son.codec, "aac");
    EXPECT_EQ(v.son.frequence, 22050);
    EXPECT_EQ(v.son.canaux, 1);
    EXPECT_EQ(v.images, 15);  // 1.2 s at 12 pictures a second
    const auto [ecart, correlation] = decalage(v.son.gauche, 22050);
    EXPECT_LT(std::abs(ecart), 22050 * 5 / 1000);
    EXPECT_GT(correlation, 0.8);

    // A track that cannot be read: a film without sound.
    test::ecrireFichier(son, QByteArray("RIFF\x04\0\0\0WAVE", 12));
    plan = planifierExport(FormatExport::Mp4, {12, 160, 120}, 6, image, son, "Son");
    ASSERT_TRUE(ecrireExport(plan, image, dossier.chemin() + "muet-export.mp4", suivi));
    dossier.conserver(dossier.chemin() + "muet-export.mp4");
    v = test::lireVideo(dossier.chemin() + "muet-export.mp4");
    EXPECT_EQ(v.images, 6);
    EXPECT_TRUE(v.son.codec.isEmpty());
}

TEST(ExportMp4, CouleursGardeesQuandLaTailleDesImagesChange) {
    test::DossierTest dossier;
    // Frames of one saturated green, alternately 320 x 240 and 200 x 150: each change of size
    // makes the pictures' conversion anew.
    const QColor vert(40, 210, 50);
    const LecteurImage image = [&vert](qint32 k) {
        QImage i(k % 2 ? QSize(200, 150) : QSize(320, 240), QImage::Format_RGB888);
        i.fill(vert);
        return i;
    };
    const PlanExport plan = planifierExport(FormatExport::Mp4, {12, 320, 240}, 8, image, {}, {});
    SuiviExport suivi;
    ASSERT_TRUE(ecrireExport(plan, image, dossier.chemin() + "tailles-export.mp4", suivi));
    dossier.conserver(dossier.chemin() + "tailles-export.mp4");
    const test::Video v = test::lireVideo(dossier.chemin() + "tailles-export.mp4", true);
    ASSERT_EQ(v.toutes.size(), 8u);
    for (size_t k = 0; k < v.toutes.size(); ++k) {
        const QColor lue = v.toutes[k].pixelColor(160, 120);
        EXPECT_NEAR(lue.red(), vert.red(), 6) << "image " << k;
        EXPECT_NEAR(lue.green(), vert.green(), 6) << "image " << k;
        EXPECT_NEAR(lue.blue(), vert.blue(), 6) << "image " << k;
    }
}

TEST(ExportGif, LaPaletteNeGardePasLesImages) {
    test::DossierTest dossier;
    constexpr int kImages = 120;
    const LecteurImage image = [](qint32 k) {
        QImage i(640, 480, QImage::Format_RGB888);
        i.fill(QColor::fromHsv(k * 3, 200, 200));
        return i;
    };
    const PlanExport plan =
        planifierExport(FormatExport::Gif, {12, 640, 480}, kImages, image, {}, {});
    // The bytes held while the palette's pass reads the pictures: 100 pictures of 0.9 MB
    // between the two measures, had the graph kept them.
    size_t debut = 0, fin = 0;
    observerEtapesExport([&](SuiviExport& s) {
        if (s.etapesFaites == 10) debut = octetsAlloues();
        if (s.etapesFaites == 110) fin = octetsAlloues();
        if (s.etapesFaites == kImages) s.annule = true;
    });
    SuiviExport suivi;
    EXPECT_FALSE(ecrireExport(plan, image, dossier.chemin() + "memoire.gif", suivi));
    observerEtapesExport({});
    EXPECT_LT(static_cast<double>(fin) - static_cast<double>(debut), 20e6);
}

TEST(ExportGif, ImageDUneTailleImpossibleRefusee) {
    test::DossierTest dossier;
    // A frame wider than the scaler takes, after one it took.
    const LecteurImage image = [](qint32 k) {
        QImage i(k == 1 ? QSize(32000, 2) : QSize(640, 480), QImage::Format_RGB888);
        i.fill(Qt::red);
        return i;
    };
    const PlanExport plan = planifierExport(FormatExport::Gif, {12, 640, 480}, 3, image, {}, {});
    SuiviExport suivi;
    const std::string message = test::messageErreur(
        [&] { ecrireExport(plan, image, dossier.chemin() + "export.gif", suivi); });
    EXPECT_NE(message.find("n° 2"), std::string::npos) << message;
    EXPECT_FALSE(QFile::exists(dossier.chemin() + "export.gif"));
}

TEST(ExportMp4, ArretEntenduApresLaDerniereImage) {
    test::DossierTest dossier;
    const LecteurImage image = [](qint32 k) { return imageNumero(k, QSize(160, 120)); };
    for (const FormatExport format : {FormatExport::Mp4, FormatExport::Gif}) {
        const PlanExport plan = planifierExport(format, {12, 160, 120}, 30, image, {}, {});
        const QString vers = dossier.chemin() + "export";
        test::ecrireFichier(vers, "ancien film");
        observerEtapesExport([&](SuiviExport& s) {
            if (s.etapesFaites == plan.etapes()) s.annule = true;
        });
        SuiviExport suivi;
        EXPECT_FALSE(ecrireExport(plan, image, vers, suivi));
        EXPECT_EQ(test::lireFichier(vers), "ancien film");
    }
    observerEtapesExport({});
    EXPECT_FALSE(temporaireLaisse(dossier.chemin()));
}

TEST(ExportMp4, NomEssayeAvantLEncodageEtRestesNettoyes) {
    test::DossierTest dossier;
    int lues = 0;
    const LecteurImage image = [&lues](qint32 k) {
        ++lues;
        return imageNumero(k, QSize(160, 120));
    };
    const PlanExport plan = planifierExport(FormatExport::Mp4, {12, 160, 120}, 6, image, {}, {});
    // A name the disk refuses is told before a single picture is read.
    lues = 0;
    SuiviExport suivi;
    const std::string message = test::messageErreur(
        [&] { ecrireExport(plan, image, dossier.chemin() + QString(300, 'n') + ".mp4", suivi); });
    EXPECT_NE(message.find("trop long"), std::string::npos) << message;
    EXPECT_EQ(lues, 0);
    // What a crash left an hour ago goes; a file another program is writing, or one made a
    // moment ago, stays.
    const auto reste = [&](const char* nom, bool vieux) {
        const QByteArray chemin = QFile::encodeName(dossier.chemin() + nom);
        test::ecrireFichier(QString::fromUtf8(chemin), "reste");
        const utimbuf heure{::time(nullptr) - 7200, ::time(nullptr) - 7200};
        if (vieux) ::utime(chemin.constData(), &heure);
        return chemin;
    };
    reste(".voltiplume-export-abc123.tmp", true);
    reste(".voltiplume-export-def456.tmp", false);
    const int tenu = ::open(reste(".voltiplume-export-ghi789.tmp", true).constData(), O_RDONLY);
    ::flock(tenu, LOCK_EX);
    EXPECT_TRUE(ecrireExport(plan, image, dossier.chemin() + "export.mp4", suivi));
    ::close(tenu);
    EXPECT_EQ(QDir(dossier.chemin()).entryList({".voltiplume-*"}, QDir::Files | QDir::Hidden),
              (QStringList{".voltiplume-export-def456.tmp", ".voltiplume-export-ghi789.tmp"}));
}

TEST(ExportNom, TitreSurToutesLesClesSansCouperUnCaractere) {
    EXPECT_EQ(nomFichierFilm(" Où est Charlie ? "), "Où est Charlie");
    // Nothing a FAT or exFAT stick refuses.
    const QString nom = nomFichierFilm("a:b*c\"d<e>f|g\\h/i\x01j.");
    EXPECT_FALSE(nom.contains(QRegularExpression(R"([\\/:*?"<>|\x00-\x1f])"))) << nom.toStdString();
    EXPECT_FALSE(nom.endsWith('.'));
    // A family of three emoji joined into one character, 18 bytes: a long title is cut between
    // families.
    const QString famille = QString::fromUtf8(
        "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9"
        "\xE2\x80\x8D\xF0\x9F\x91\xA7");
    const QString coupe = nomFichierFilm(famille.repeated(20));
    EXPECT_LE(coupe.toUtf8().size(), 250);
    EXPECT_GT(coupe.size(), 0);
    EXPECT_EQ(coupe, famille.repeated(coupe.size() / famille.size()));
}

TEST(ExportMessages, CodeInconnuDeFfmpegEnFrancais) {
    char anglais[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(-123456, anglais, sizeof anglais);
    const std::string texte = av::raison(-123456);
    EXPECT_FALSE(texte.empty());
    EXPECT_EQ(texte.find(anglais), std::string::npos) << texte;
    EXPECT_EQ(texte.find("Error"), std::string::npos) << texte;
}
