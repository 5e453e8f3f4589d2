// SPDX-License-Identifier: GPL-3.0-or-later
// The work done on each live camera frame: grabbing the frame, stretching it once to 320 x 240
// for "CAMERA" and the onion skin, and blending it with the current frame into "DÉCALAGE";
// and the blend alone, against a plain per-byte loop with a general MulDiv. The same in full
// screen: a 1280 x 720 camera into a 1920 x 1080 window with five onion-skin layers and a guide,
// from the grab to the window painted; the share of one core the program takes there at 30
// camera frames a second; and a picture taken there. Then, through the real V4L2 backend on the
// scripted device at 1280 x 720 in Motion JPEG: one frame decoded, and a picture taken in a
// 500-frame film, from the command to the new frame on disk and the strip refreshed.

#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "FilmBanc.h"
#include "Rapport.h"
#include "capture/AviCaptura.h"
#include "capture/Camera.h"
#include "capture/FauxV4l2.h"
#include "capture/FenetrePleinEcran.h"
#include "capture/Oignon.h"
#include "capture/VueDirecte.h"
#include "capture/mire/ImageFixe.h"
#include "capture/mire/PiloteMire.h"
#include "capture/v4l2/PiloteV4l2.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"

namespace {

void imageCamera(benchmark::State& etat, QSize taille) {
    vp::installerFournisseurPilotes(vp::webcamFixe(vp::PiloteMire::image(3, taille)));
    QWidget fenetre;
    vp::ProjetCourant p;
    p.bmpTravail1 = QImage(320, 240, QImage::Format_RGB888);
    p.bmpTravail1.fill(Qt::white);
    vp::TCamera cam(&fenetre);
    cam.setActif(true);
    vp::ImageEtiree vue(&fenetre), melange(&fenetre);
    vue.resize(320, 240);
    melange.resize(320, 240);
    QSlider tb(&fenetre);
    tb.setRange(0, 100);
    tb.setValue(50);
    vp::BandeFilm bande(p, &fenetre);
    vp::VueDirecte direct(p, {&cam, &vue, &melange, &tb, &bande});
    for (auto _ : etat)
        direct.traiterImageCamera();
    cam.setActif(false);
}

// The full-screen shooting window as a class sees it: 1920 x 1080, a 1280 x 720 camera, five
// frames under it and the thirds over it. It follows the film as the main window makes it
// follow: after a frame command, the strip and then the full-screen row of the last frames.
struct PleinEcranBanc final : vp::VueSequence {
    vp::bench::FilmBanc film;
    QWidget fenetre;
    vp::TCamera cam{&fenetre};
    vp::ImageEtiree vue{&fenetre}, melange{&fenetre};
    QSlider tb{&fenetre};
    vp::BandeFilm bande{film.p, &fenetre};
    vp::FenetrePleinEcran plein;
    std::unique_ptr<vp::VueDirecte> direct;

    explicit PleinEcranBanc(int images = 5) : film("plein", images) {
        vp::installerFournisseurPilotes(vp::webcamFixe(vp::PiloteMire::image(3, QSize(1280, 720))));
        // The frames the layers show, as the camera took them.
        for (int i = images - 5; i < images; ++i)
            vp::ecrireBitmap24(vp::PiloteMire::image(static_cast<quint64>(10 * i), {1280, 720}),
                               vp::cheminImage(film.p, i));
        vue.resize(320, 240);
        melange.resize(320, 240);
        tb.setRange(0, 100);
        tb.setValue(50);
        direct = std::make_unique<vp::VueDirecte>(
            film.p, vp::VueDirecte::Controles{&cam, &vue, &melange, &tb, &bande});
        direct->definirCouches(5);
        direct->definirReperes(vp::Reperes::Tiers);
        direct->definirPleinEcran(&plein);
        plein.resize(1920, 1080);
        plein.show();
        rafraichirBande();
        cam.setFramesPreview(30);
        cam.setActif(true);
        QApplication::processEvents();
    }
    ~PleinEcranBanc() override { cam.setActif(false); }

    void rafraichirBande() override {
        bande.rafraichirBande();
        plein.suivreFilm(film.p, bande, QImage());
    }
    void montrerProgression(int) override {}
    void avancerProgression() override {}
    void completerProgression() override {}
    void masquerProgression() override {}
};

void pleinEcran(benchmark::State& etat) {
    PleinEcranBanc banc;
    banc.direct->traiterImageCamera();  // the layers, made once for the current frame
    const QRect zone = banc.plein.zoneImage(QSize(1280, 720));
    for (auto _ : etat) {
        banc.direct->traiterImageCamera();
        banc.plein.repaint(zone);
    }
    if (banc.plein.imageMontree().size() != zone.size())
        etat.SkipWithError("the full-screen view was not made");
    etat.counters["pixels"] = zone.width() * zone.height();
}

// A picture taken in full screen at the end of a 500-frame film: from the command to the frame
// on disk, the strip and the full-screen row refreshed, and the next camera frame shown over the
// whole screen on the new layers (the older ones shifted, the new one stretched).
void photoPleinEcran(benchmark::State& etat) {
    PleinEcranBanc banc(500);
    banc.direct->traiterImageCamera();
    ::sync();
    for (auto _ : etat) {
        banc.direct->prendrePhoto(banc);
        banc.direct->traiterImageCamera();
        banc.plein.repaint();
        etat.PauseTiming();
        ::sync();  // between two pictures the disk has caught up, as in a class
        etat.ResumeTiming();
    }
    if (banc.film.p.nbImages != 500 + static_cast<qint32>(etat.iterations()))
        etat.SkipWithError("a picture was not taken");
}

// The share of one core the program takes in full screen while the camera gives 30 frames a
// second, everything the event loop does included (frames, painting); the median of three runs.
double processeurPleinEcran() {
    PleinEcranBanc banc;
    banc.cam.OnFrame = [&banc](vp::TCamera*, quintptr, vp::EnTeteVideo*) {
        banc.direct->traiterImageCamera();
    };
    auto tempsProcesseur = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
    };
    // The event loop waits for the camera as the program's does, without spinning.
    auto laisserTourner = [](int ms) {
        QEventLoop boucle;
        QTimer::singleShot(ms, &boucle, &QEventLoop::quit);
        boucle.exec();
    };
    laisserTourner(500);  // the layers made, the first frames painted
    std::vector<double> parts;
    for (int essai = 0; essai < 3; ++essai) {
        QElapsedTimer chrono;
        const double debut = tempsProcesseur();
        chrono.start();
        laisserTourner(2000);
        parts.push_back(100.0 * (tempsProcesseur() - debut) /
                        (static_cast<double>(chrono.nsecsElapsed()) / 1e9));
    }
    std::sort(parts.begin(), parts.end());
    return parts[1];
}

// What Windows' MulDiv does: a × b / c in 64 bits, rounded half away from zero.
__attribute__((noinline)) int mulDivGeneral(int a, int b, int c) {
    const long long produit = static_cast<long long>(a) * b;
    const long long demi = (c < 0 ? -c : c) / 2;
    return static_cast<int>((produit >= 0) == (c >= 0) ? (produit + demi) / c
                                                       : (produit - demi) / c);
}

struct Melange {
    QImage a{320, 240, QImage::Format_RGB888}, b{320, 240, QImage::Format_RGB888},
        sortie{320, 240, QImage::Format_RGB888};
    Melange() {
        a = vp::PiloteMire::image(1, QSize(320, 240));
        b = vp::PiloteMire::image(9, QSize(320, 240), 90, 160);
    }
};

void melangeNous(benchmark::State& etat) {
    Melange m;
    for (auto _ : etat) {
        vp::melanger(m.a, m.b, 37, m.sortie);
        benchmark::DoNotOptimize(m.sortie.bits());
    }
}

void melangeOctetParOctet(benchmark::State& etat) {
    Melange m;
    for (auto _ : etat) {
        for (int y = 0; y < 240; ++y) {
            const uchar* a = m.a.constScanLine(y);
            const uchar* b = m.b.constScanLine(y);
            uchar* d = m.sortie.scanLine(y);
            for (int i = 0; i < 960; ++i) {
                const int s = mulDivGeneral(a[i], 100 - 37, 100) + mulDivGeneral(b[i], 37, 100);
                d[i] = static_cast<uchar>(s > 255 ? 255 : s);
            }
        }
        benchmark::DoNotOptimize(m.sortie.bits());
    }
}

vp::test::CameraFausse cameraMjpeg720() {
    vp::test::CameraFausse c;
    c.formats = {{V4L2_PIX_FMT_MJPEG, {{1280, 720}}}};
    c.fourcc = V4L2_PIX_FMT_MJPEG;
    c.taille = QSize(1280, 720);
    return c;
}

// A scene with detail everywhere, as a camera sees a set: it costs a decoder more than flat
// colours do.
QImage scene(QSize taille) {
    QImage i(taille, QImage::Format_RGB888);
    quint32 graine = 7;
    for (int y = 0; y < taille.height(); ++y) {
        uchar* l = i.scanLine(y);
        for (int x = 0; x < taille.width(); ++x) {
            graine = graine * 1103515245u + 12345u;
            const int bruit = static_cast<int>((graine >> 24) % 25) - 12;
            l[3 * x] = static_cast<uchar>(std::clamp(x * 255 / taille.width() + bruit, 0, 255));
            l[3 * x + 1] =
                static_cast<uchar>(std::clamp(y * 255 / taille.height() + bruit, 0, 255));
            l[3 * x + 2] =
                static_cast<uchar>(std::clamp(((x / 40 + y / 40) % 2) * 160 + bruit, 0, 255));
        }
    }
    return i;
}

void conversionMjpeg(benchmark::State& etat) {
    vp::test::CameraFausse c = cameraMjpeg720();
    c.gelee = true;  // the stream thread stays idle: only the conversion measured runs
    vp::test::FauxV4l2Installe faux({c});
    vp::PiloteV4l2 pilote(c.chemin);
    if (!pilote.connecter()) {
        etat.SkipWithError("the scripted camera did not connect");
        return;
    }
    const QByteArray jpeg = vp::test::FauxV4l2::trame(V4L2_PIX_FMT_MJPEG, scene({1280, 720}));
    QImage image;
    for (auto _ : etat)
        if (!pilote.convertir(reinterpret_cast<const uchar*>(jpeg.constData()),
                              static_cast<size_t>(jpeg.size()), image))
            etat.SkipWithError("the frame did not decode");
    etat.counters["octets JPEG"] = static_cast<double>(jpeg.size());
    pilote.deconnecter();
}

// A picture taken after frame `apres` of a 500-frame film: at the end, where a film is shot,
// or in the middle, where the frames after it move up by one.
void photo(benchmark::State& etat, int apres) {
    vp::test::FauxV4l2Installe faux({cameraMjpeg720()});
    vp::bench::FilmBanc film("photo", 500);
    film.p.imageCourante = apres;
    QWidget fenetre;
    vp::BandeFilm bande(film.p, &fenetre);
    vp::bench::VueBande vue(bande);
    vp::TCamera cam(&fenetre);
    cam.setActif(true);
    vp::ImageEtiree vueCamera(&fenetre), melange(&fenetre);
    QSlider tb(&fenetre);
    vp::VueDirecte direct(film.p, {&cam, &vueCamera, &melange, &tb, &bande});
    if (!vp::test::attendreQue([&] { return cam.CapturerPressePapiers(); })) {
        etat.SkipWithError("the scripted camera gave no frame");
        return;
    }
    ::sync();
    for (auto _ : etat) {
        direct.prendrePhoto(vue);
        etat.PauseTiming();
        ::sync();  // between two pictures the disk has caught up, as in a class
        etat.ResumeTiming();
    }
    if (film.p.nbImages != 500 + static_cast<qint32>(etat.iterations()))
        etat.SkipWithError("a picture was not taken");
    cam.setActif(false);
}

BENCHMARK(conversionMjpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(photo, fin, 499)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK_CAPTURE(photo, milieu, 249)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK_CAPTURE(imageCamera, i640x480, QSize(640, 480))
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(imageCamera, i1280x720, QSize(1280, 720))
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(pleinEcran)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(photoPleinEcran)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(melangeNous)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(melangeOctetParOctet)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const auto temps = vp::bench::executer(argc, argv);
    vp::bench::afficherMesure("image 640x480", temps.at("imageCamera/i640x480") * 1000, "ms");
    vp::bench::afficherMesure("image 1280x720", temps.at("imageCamera/i1280x720") * 1000, "ms");
    vp::bench::afficherMesure("melange", temps.at("melangeNous") * 1000, "ms");
    vp::bench::afficherRapport("melange", temps.at("melangeOctetParOctet"),
                               temps.at("melangeNous"));
    vp::bench::afficherMesure("photo 1280x720", temps.at("photo/fin") * 1000, "ms");
    vp::bench::afficherMesure("photo 1280x720 au milieu", temps.at("photo/milieu") * 1000, "ms");
    vp::bench::afficherMesure("conversion mjpeg 1280x720", temps.at("conversionMjpeg") * 1000,
                              "ms");
    vp::bench::afficherMesure("plein ecran 1920x1080 5 couches", temps.at("pleinEcran") * 1000,
                              "ms");
    vp::bench::afficherMesure("photo plein ecran 1280x720", temps.at("photoPleinEcran") * 1000,
                              "ms");
    vp::bench::afficherMesure("processeur plein ecran", processeurPleinEcran(), "%");
    return 0;
}
