// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <chrono>
#include <cstring>
#include <functional>

#include "app/Fixture.h"
#include "audio/simule/MicroSimule.h"
#include "bandeson/BandeSon.h"
#include "bandeson/DialogueEnregistrementSon.h"
#include "commun/Outils.h"
#include "platform/ImageEtiree.h"
#include "sequence/StockImages.h"

namespace vp::test {

// The start of a "video.avi" as the AVI writer lays it out: the main header's microseconds per
// frame at byte 32 and total frames at byte 48; `taille` bytes in all.
inline void ecrireEnTeteAvi(const QString& chemin, quint32 us, quint32 images, int taille = 224) {
    QByteArray o(std::max(taille, 60), '\0');
    auto mot = [&](int position, quint32 v) {
        for (int i = 0; i < 4; ++i)
            o[position + i] = static_cast<char>(v >> (8 * i));
    };
    std::memcpy(o.data(), "RIFF", 4);
    mot(4, static_cast<quint32>(o.size() - 8));
    std::memcpy(o.data() + 8, "AVI LIST", 8);
    std::memcpy(o.data() + 20, "hdrlavih", 8);
    mot(28, 56);
    mot(32, us);
    mot(48, images);
    ecrireFichier(chemin, o.left(taille));
}

// The frames of a film of `n` frames as letters, each its own (the red of its first pixel).
inline QString lettresFilm(int n) {
    QString s;
    for (int k = 0; k < n; ++k)
        s += QChar(48 + k);
    return s;
}

// A sound card that listens: what each chosen frame made it play.
struct SortiesEcoutees {
    std::vector<std::vector<uint8_t>> jouees;
    int ouvertures = 0;
    int fermetures = 0;
};
class SortieEcoutee final : public SortieSon {
public:
    SortieEcoutee(const PisteSon& piste, SortiesEcoutees& ecoute) : piste_(piste), e_(ecoute) {}
    ~SortieEcoutee() override { ++e_.fermetures; }
    void jouer(int64_t debut) override {
        e_.jouees.emplace_back(piste_.octets.begin() + debut * piste_.octetsParTrame,
                               piste_.octets.end());
    }
    void arreter() override {}
    int64_t position() override { return 0; }

private:
    const PisteSon& piste_;
    SortiesEcoutees& e_;
};

// The program with a project open, the simulated microphone reset, the countdown off, a sound
// card that listens, and what the recording window shows and tells recorded.
class ProgrammeSon : public Programme {
protected:
    QList<int> montrees;  // frames put on screen by the playback, in order
    // The same, with the instant each went on screen (as the window measured it, once painted)
    // and how late the window says it was.
    struct ImageMontree {
        int index;
        std::chrono::steady_clock::time_point instant;
        double retardMs;
    };
    QList<ImageMontree> instants;
    QStringList fins;  // ends of recordings: empty for a normal end, else the message
    SortiesEcoutees ecoute;
    QObject abonnements;  // the connections to the window end with the test

    void SetUp() override {
        reglagesMicroSimule().reinitialiser();
        reglagesMicroSimule().signal = ReglagesMicroSimule::Signal::Constante;
        reglagesMicroSimule().constante = 1000;
        Programme::SetUp();
        fenetre().caseCompteARebours->setChecked(false);
        fenetre().ouvrirSortieSon = [this](const PisteSon& piste, std::string&) {
            ++ecoute.ouvertures;
            return std::make_unique<SortieEcoutee>(piste, ecoute);
        };
        QObject::connect(
            &fenetre(), &DialogueEnregistrementSon::imageMontree, &abonnements,
            [this](int k, qint64 retardUs, qint64 instantNs) {
                montrees << k;
                instants.append(
                    {k, std::chrono::steady_clock::time_point(std::chrono::nanoseconds(instantNs)),
                     static_cast<double>(retardUs) / 1000});
            });
        QObject::connect(&fenetre(), &DialogueEnregistrementSon::enregistrementTermine,
                         &abonnements, [this](const QString& e) { fins << e; });
    }
    void TearDown() override {
        Programme::TearDown();
        reglagesMicroSimule().reinitialiser();
    }

    DialogueEnregistrementSon& fenetre() { return *f->fenetreSon; }
    QString dossierProjet() const { return f->projet.dossierProjet() + "/"; }
    QString son() const { return dossierProjet() + "audio.wav"; }

    // A project of `n` frames and a "video.avi" header of `n` frames at `us` per frame.
    void projet(int n, quint32 us = 83333) {
        creerProjet("Son");
        ecrireFilm(f->projet.dossierProjet(), lettresFilm(n));
        f->projet.nbImages = n;
        f->projet.imageCourante = n - 1;
        f->rafraichirBande();
        ecrireEnTeteAvi(dossierProjet() + "video.avi", us, static_cast<quint32>(n));
    }
    // Opens the window with "Enregistrer la bande-son"; `script` runs while it is open.
    void ouvrir(const std::function<void(DialogueEnregistrementSon&)>& script) {
        dialogues().quandModal<DialogueEnregistrementSon>(script);
        f->actionEnregistrerSon->trigger();
        EXPECT_TRUE(dialogues().modaux.empty());
    }
    QChar imageAffichee() { return lettreImage(fenetre().vueImage->image()); }
    // Records with the window open, the countdown off, and waits for the end.
    void enregistrerJusquAuBout() {
        ouvrir([&](DialogueEnregistrementSon& w) {
            w.boutonEnregistrer->click();
            ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
        });
    }
};

// The simulated microphone's clock signal stamps each sample frame with the millisecond at
// which it was heard: the first frame of `echantillons` (interleaved stereo) heard at `instant`
// or later.
inline int64_t trameEntendueA(const std::vector<int16_t>& echantillons,
                              std::chrono::steady_clock::time_point instant) {
    const auto ms = static_cast<uint16_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(instant.time_since_epoch()).count());
    for (size_t n = 0; 2 * n < echantillons.size(); ++n)
        if (static_cast<int16_t>(static_cast<uint16_t>(echantillons[2 * n]) - ms) >= 0)
            return static_cast<int64_t>(n);
    return -1;
}

// The hidden temporary files left in `dossier`.
inline QStringList temporaires(const QString& dossier) {
    return QDir(dossier).entryList({QStringLiteral(".voltiplume-*")},
                                   QDir::Files | QDir::Hidden | QDir::System);
}

}  // namespace vp::test
