// SPDX-License-Identifier: GPL-3.0-or-later
// A 20-second recording of a 240-frame film at 12 frames per second through the recording
// window itself (countdown off), with the simulated microphone: how late the latest frame went
// on screen, how many samples "audio.wav" holds against the recording's length, how long
// "ENREGISTRER" takes to bring the first captured buffer, how far the sound heard when each
// frame came on screen lies from that frame's place in the film (the microphone stamps each
// sample with the instant it heard it), and how late the latest frame goes on screen when
// reading one takes a period and a half (a USB stick).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "FilmBanc.h"
#include "Rapport.h"
#include "audio/simule/MicroSimule.h"
#include "bandeson/DialogueEnregistrementSon.h"
#include "platform/Bitmap.h"
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
    int choix(QWidget*, const QString&, const QStringList& boutons, vp::Icone) override {
        return static_cast<int>(boutons.size()) - 1;
    }
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
        fenetre.caseCompteARebours->setChecked(false);
        fenetre.show();  // the opening: frame 0, the meter's chain, the video's length
    }

    // Clicks "ENREGISTRER" and waits for the end of the recording, stopped at its first
    // captured buffer unless `jusquAuBout`, or after `arretMs` when given. The time from the
    // click to that buffer, in ms. Each frame shown goes into `montrees` with its instant.
    double enregistrer(bool jusquAuBout, qint64* retardMaxUs = nullptr,
                       std::vector<std::pair<int, Horloge::time_point>>* montrees = nullptr,
                       int arretMs = 0) {
        QEventLoop boucle;
        QObject local;
        QObject::connect(&fenetre, &vp::DialogueEnregistrementSon::enregistrementTermine, &local,
                         [&](const QString&) { boucle.quit(); });
        QObject::connect(&fenetre, &vp::DialogueEnregistrementSon::imageMontree, &local,
                         [&](int k, qint64 retard, qint64 instantNs) {
                             if (retardMaxUs) *retardMaxUs = std::max(*retardMaxUs, retard);
                             if (montrees)
                                 montrees->emplace_back(
                                     k, Horloge::time_point(std::chrono::nanoseconds(instantNs)));
                         });
        if (arretMs > 0)
            QTimer::singleShot(arretMs, &local, [this] { fenetre.boutonFermer->click(); });
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

// The sample frames of "audio.wav" (left channel), as the window wrote them.
std::vector<int16_t> echantillons(const QString& fichier) {
    QFile f(fichier);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray o = f.readAll().mid(44);
    std::vector<int16_t> v(static_cast<size_t>(o.size() / 4));
    for (size_t n = 0; n < v.size(); ++n)
        std::memcpy(&v[n], o.constData() + 4 * n, 2);
    return v;
}

// The median, over the frames shown, of how far the sound heard when frame k came on screen
// lies from k frame periods into the file, in ms. Each sample holds the millisecond of the
// steady clock at which the microphone heard it.
double decalageMedian(const std::vector<int16_t>& son,
                      const std::vector<std::pair<int, Horloge::time_point>>& montrees) {
    std::vector<double> ecarts;
    size_t n = 0;
    for (const auto& [k, instant] : montrees) {
        const auto ms = static_cast<uint16_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(instant.time_since_epoch())
                .count());
        while (n < son.size() && static_cast<int16_t>(static_cast<uint16_t>(son[n]) - ms) < 0)
            ++n;
        if (n == son.size()) break;
        ecarts.push_back(static_cast<double>(n) * 1000.0 / 44100 -
                         k * kMicrosecondesParImage / 1000.0);
    }
    if (ecarts.empty()) return 0;
    std::nth_element(ecarts.begin(), ecarts.begin() + static_cast<long>(ecarts.size() / 2),
                     ecarts.end());
    return ecarts[ecarts.size() / 2];
}

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
    // The countdown is turned off in settings of this run's own, not the user's.
    const QTemporaryDir reglages;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, reglages.path());
    vp::installerDialogues(std::make_unique<DialoguesBanc>());
    vp::reglagesMicroSimule().signal = vp::ReglagesMicroSimule::Signal::Horloge;
    Banc banc;
    g_banc = &banc;
    const auto temps = vp::bench::executer(argc, argv, 5);

    qint64 retardMaxUs = 0;
    std::vector<std::pair<int, Horloge::time_point>> montrees;
    banc.enregistrer(true, &retardMaxUs, &montrees);
    const QString son = banc.film.p.dossierProjet() + "/audio.wav";
    const double attendus = static_cast<double>(banc.fenetre.entreeEnregistrement.RecTime) * 44100;
    const double presents = static_cast<double>(QFileInfo(son).size() - 44) / 4;
    const double decalage = decalageMedian(echantillons(son), montrees);

    // Reading a frame takes a period and a half; 8 seconds of it.
    banc.fenetre.lireImage = [](const QString& chemin) {
        std::this_thread::sleep_for(std::chrono::microseconds(kMicrosecondesParImage * 3 / 2));
        return vp::chargerImage(chemin);
    };
    qint64 retardLentUs = 0;
    banc.enregistrer(true, &retardLentUs, nullptr, 8000);

    vp::bench::afficherMesure("retard image max", static_cast<double>(retardMaxUs) / 1000.0, "ms");
    std::printf("rapport echantillons: %.4f\n", presents / attendus);
    if (temps.count("demarrage"))
        vp::bench::afficherMesure("demarrage", temps.at("demarrage") * 1000, "ms");
    vp::bench::afficherMesure("decalage son image", decalage, "ms");
    vp::bench::afficherMesure("retard image max lent", static_cast<double>(retardLentUs) / 1000.0,
                              "ms");
    return 0;
}
