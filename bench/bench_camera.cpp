// The work done on each live camera frame: grabbing the frame, stretching it once to 320 x 240
// for "CAMERA" and the onion skin, and blending it with the current frame into "DÉCALAGE";
// and the blend alone, against a plain per-byte loop with a general MulDiv.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSlider>
#include <QWidget>

#include "Rapport.h"
#include "capture/AviCaptura.h"
#include "capture/Camera.h"
#include "capture/Oignon.h"
#include "capture/VueDirecte.h"
#include "capture/mire/PiloteMire.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"

namespace {

// A camera that gives a new frame, already decoded, at every grab.
class CameraFixe final : public vp::PiloteCapture {
public:
    explicit CameraFixe(QSize taille) : image_(vp::PiloteMire::image(3, taille)) {}
    bool connecter() override { return true; }
    void deconnecter() override {}
    bool lireImage(QImage& image, quint64& numero) override {
        image = image_;
        numero = ++numero_;
        return true;
    }
    bool perdue() const override { return false; }
    void definirPeriode(quint32) override {}
    QVector<vp::ControleCamera> controles() override { return {}; }
    int valeurControle(quint32) override { return 0; }
    bool definirControle(quint32, int) override { return false; }
    QVector<vp::FormatCamera> formats() override { return {}; }
    quint32 formatCourant(QSize*) override { return 0; }
    bool appliquerFormat(quint32, QSize) override { return false; }

private:
    QImage image_;
    quint64 numero_ = 0;
};

QSize g_taille;

void imageCamera(benchmark::State& etat, QSize taille) {
    g_taille = taille;
    vp::installerFournisseurPilotes({[] { return QStringList{"banc"}; },
                                     [](int) { return std::make_unique<CameraFixe>(g_taille); }});
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

BENCHMARK_CAPTURE(imageCamera, i640x480, QSize(640, 480))
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(imageCamera, i1280x720, QSize(1280, 720))
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
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
    return 0;
}
