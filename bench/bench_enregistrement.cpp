// A 20-second recording of a 240-frame film at 12 frames per second through the recording
// window itself, with the simulated microphone: how late the latest frame went on screen, how
// many samples "audio.wav" holds against the recording's length, and how long "ENREGISTRER"
// takes to bring the first captured buffer.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QPushButton>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "FilmBanc.h"
#include "Rapport.h"
#include "bandeson/DialogueEnregistrementSon.h"
#include "platform/Dialogues.h"
#include "platform/FichiersSurs.h"

namespace {

using Horloge = std::chrono::steady_clock;

constexpr int kImages = 240;
constexpr quint32 kMicrosecondesParImage = 83333;  // 12 frames per second

// Nothing waits for a user: a message is printed.
class DialoguesBanc final : public vp::IDialogues {
public:
    void message(QWidget*, const QString& texte, vp::Icone) override {
        std::fprintf(stderr, "message : %s\n", qPrintable(texte));
    }
    bool question(QWidget*, const QString&, vp::Icone) override { return false; }
    QString ouvrirFichier(QWidget*, const QString&) override { return {}; }
    QString enregistrerFichier(QWidget*, const QString&, const QString&) override { return {}; }
    QString choisirDossier(QWidget*, const QString&) override { return {}; }
    int executer(QDialog&) override { return 0; }
};

// The start of "video.avi": the main header's frame period and length.
QByteArray enTeteVideo() {
    QByteArray o("RIFF\0\0\0\0AVI LIST\0\0\0\0hdrlavih\x38\0\0\0", 32);
    o.resize(224, '\0');
    for (int i = 0; i < 4; ++i) {
        o[32 + i] = static_cast<char>(kMicrosecondesParImage >> (8 * i));
        o[48 + i] = static_cast<char>(kImages >> (8 * i));
    }
    return o;
}

struct Banc {
    vp::bench::FilmBanc film{"Son", kImages};
    vp::DialogueEnregistrementSon fenetre{film.p, nullptr};

    Banc() {
        vp::ecrireAtomique(film.p.dossierProjet() + QStringLiteral("/video.avi"), enTeteVideo());
        fenetre.show();  // the opening: frame 0, the meter's chain, the video's length
    }

    // Clicks "ENREGISTRER" and waits for the end of the recording, stopped at its first
    // captured buffer unless `jusquAuBout`. The time from the click to that buffer, in ms.
    double enregistrer(bool jusquAuBout, qint64* retardMaxUs = nullptr) {
        QEventLoop boucle;
        QObject local;
        QObject::connect(&fenetre, &vp::DialogueEnregistrementSon::enregistrementTermine, &local,
                         [&](const QString&) { boucle.quit(); });
        QObject::connect(&fenetre, &vp::DialogueEnregistrementSon::imageMontree, &local,
                         [&](int, qint64 retard) {
                             if (retardMaxUs) *retardMaxUs = std::max(*retardMaxUs, retard);
                         });
        std::atomic<bool> premier{false};
        std::atomic<int64_t> instantPremierNs{0};
        const auto clic = Horloge::now();
        fenetre.boutonEnregistrer->click();  // the source's position starts again from 0
        std::thread guet([&] {
            while (fenetre.entreeEnregistrement.Position.load() == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            instantPremierNs = Horloge::now().time_since_epoch().count();
            premier = true;
        });
        if (!jusquAuBout) {
            while (!premier)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            fenetre.enregistreur.Stop();
        }
        boucle.exec();
        guet.join();
        return std::chrono::duration<double, std::milli>(
                   Horloge::time_point(Horloge::duration(instantPremierNs.load())) - clic)
            .count();
    }
};

Banc* g_banc = nullptr;

void demarrage(benchmark::State& etat) {
    for (auto _ : etat)
        etat.SetIterationTime(g_banc->enregistrer(false) / 1000.0);
}

BENCHMARK(demarrage)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("VOLTIPLUME_MICRO", "simule", 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    vp::installerDialogues(std::make_unique<DialoguesBanc>());
    Banc banc;
    g_banc = &banc;
    const auto temps = vp::bench::executer(argc, argv, 5);

    qint64 retardMaxUs = 0;
    banc.enregistrer(true, &retardMaxUs);
    const double attendus = static_cast<double>(banc.fenetre.entreeEnregistrement.RecTime) * 44100;
    const double presents =
        static_cast<double>(QFileInfo(banc.film.p.dossierProjet() + "/audio.wav").size() - 44) / 4;
    vp::bench::afficherMesure("retard image max", static_cast<double>(retardMaxUs) / 1000.0, "ms");
    std::printf("rapport echantillons: %.4f\n", presents / attendus);
    if (temps.count("demarrage"))
        vp::bench::afficherMesure("demarrage", temps.at("demarrage") * 1000, "ms");
    return 0;
}
