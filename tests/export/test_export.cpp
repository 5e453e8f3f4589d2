// « Exporter le film… »: the MP4 and GIF files read back by FFmpeg and compared with the
// project's pictures and sound track; a stopped or failed export leaves nothing behind.

#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <cmath>

#include "app/DialogueReglagesVideo.h"
#include "app/Fixture.h"
#include "export/CommandeExport.h"
#include "export/ExportFilm.h"
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

bool temporaireLaisse(const QString& dossier) {
    return !QDir(dossier)
                .entryList({QStringLiteral(".voltiplume-*")}, QDir::Files | QDir::Hidden)
                .isEmpty();
}

class Export : public test::Programme {
protected:
    QString cible(const char* nom) { return dossier.chemin() + nom; }
    void film(int n, QSize taille, const QString& titre = QStringLiteral("Film")) {
        creerProjet(titre);
        for (int k = 0; k < n; ++k)
            ecrireBitmap24(imageNumero(k, taille), cheminImage(f->projet, k));
        f->projet.nbImages = n;
        f->projet.imageCourante = n - 1;
        f->rafraichirBande();
    }
    // What the user typed in « Réglages vidéo ».
    void reglages(const QString& ims, const QString& largeur, const QString& hauteur) {
        f->dialogueVideo->champImagesParSeconde->setText(ims);
        f->dialogueVideo->champLargeur->setText(largeur);
        f->dialogueVideo->champHauteur->setText(hauteur);
    }
    void exporter(const QString& vers) {
        dialogues().affichages.clear();
        dialogues().fichiers = {vers};
        f->actionExporterFilm->trigger();
        dialogues().fichiers.clear();
    }
    void fenetreRendue() {
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(f->barreProgression->isVisible());
        EXPECT_FALSE(f->boutonArreterExport->isVisible());
        EXPECT_EQ(f->barreProgression->width(), 201);
    }
};

}  // namespace

TEST_F(Export, Mp4DeQuaranteHuitImagesEtQuatreSecondesDeSon) {
    film(48, QSize(320, 240), QStringLiteral("Les robots / CM2"));
    test::ecrireWav(f->projet.dossierProjet() + "/audio.wav", 4, 44100, 2, 16,
                    [](int t, int) { return balayage(t, 44100); });
    const auto projetAvant = test::contenuDossier(f->projet.dossierProjet());
    // 15 pictures a second: 48 frames last 3.2 s, the last one is held until the sound ends.
    reglages("15", "321", "241");
    exporter(cible("export.mp4"));
    dossier.conserver(cible("export.mp4"));
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    ASSERT_EQ(dialogues().affichages.size(), 1u);
    // Proposed in the documents folder under the film's title.
    EXPECT_TRUE(dialogues().affichages[0].proposition.endsWith("/Les robots - CM2.mp4"))
        << dialogues().affichages[0].proposition.toStdString();
    EXPECT_TRUE(dialogues().affichages[0].texte.contains("*.gif"));
    fenetreRendue();
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
    exporter(cible("export.gif"));
    dossier.conserver(cible("export.gif"));
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    fenetreRendue();
    const test::Video v = test::lireVideo(cible("export.gif"), true);
    ASSERT_TRUE(v.ouverte);
    EXPECT_EQ(v.codec, "gif");
    EXPECT_EQ(v.largeur, 640);
    EXPECT_EQ(v.hauteur, 480);
    ASSERT_EQ(v.images, 12);
    // 12 pictures a second: 8.33 hundredths, rounded to 8.
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
    // « Créer la vidéo » confirmed with 10 pictures a second at 200 x 150…
    reglages("10", "200", "150");
    creerVideoMjpeg();
    // …then other settings typed and given up.
    dialogues().quandModal<DialogueReglagesVideo>([](DialogueReglagesVideo& d) {
        d.champImagesParSeconde->setText("25");
        d.champLargeur->setText("640");
        d.boutonAnnuler->click();
    });
    f->actionCreerVideo->trigger();
    exporter(cible("export.gif"));
    const test::Video v = test::lireVideo(cible("export.gif"));
    EXPECT_EQ(v.largeur, 200);
    EXPECT_EQ(v.hauteur, 150);
    ASSERT_FALSE(v.durees.empty());
    EXPECT_DOUBLE_EQ(v.durees[0], 0.1);
}

TEST_F(Export, ArreteParEchapOuParLeBoutonSansRienLaisser) {
    film(80, QSize(640, 480));
    reglages("25", "640", "480");
    test::ecrireFichier(cible("export.mp4"), "ancien film");
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
    // While the film is written the other commands are refused and the stop control shows.
    int arrets = 0;
    std::function<void()> arreter;
    QTimer pendant;
    QObject::connect(&pendant, &QTimer::timeout, [&] {
        if (arrets > 0 || !f->barreProgression->isVisible() || f->barreProgression->value() < 2)
            return;
        ++arrets;
        EXPECT_TRUE(f->boutonArreterExport->isVisible());
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

    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    EXPECT_EQ(f->projet.nbImages, 80);
    EXPECT_EQ(test::lireFilm(f->projet.dossierProjet()).size(), 80);
    EXPECT_FALSE(temporaireLaisse(dossier.chemin()));
    fenetreRendue();
}

TEST_F(Export, DisquePleinOuImageAbimeeNeLaissentRien) {
    film(24, QSize(320, 240));
    test::ecrireWav(f->projet.dossierProjet() + "/audio.wav", 2, 44100, 2, 16,
                    [](int t, int) { return balayage(t, 44100); });
    reglages("12", "320", "240");
    {
        test::DisquePlein plein(16 * 1024);
        exporter(cible("export.mp4"));
    }
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].contains("dépasse la taille permise"))
        << dialogues().messages()[0].toStdString();
    EXPECT_EQ(dialogues().affichages.back().icone, Icone::Arret);
    EXPECT_FALSE(QFile::exists(cible("export.mp4")));

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
    v = test::lireVideo(dossier.chemin() + "muet-export.mp4");
    EXPECT_EQ(v.images, 6);
    EXPECT_TRUE(v.son.codec.isEmpty());
}
