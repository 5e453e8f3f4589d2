// SPDX-License-Identifier: GPL-3.0-or-later
// The recording window's two chains on one simulated microphone at once, while another thread
// reads the meter and the settings of the next opening are written: run under ThreadSanitizer
// too.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

#include "Commun.h"
#include "audio/EntreeSon.h"
#include "audio/FichierWav.h"
#include "audio/IndicateurNiveau.h"
#include "audio/SortieNulle.h"
#include "audio/simule/MicroSimule.h"

using namespace vp;
using test::attendre;

TEST(DeuxChaines, SurveillanceEtEnregistrementEnMemeTemps) {
    reglagesMicroSimule().reinitialiser();
    reglagesMicroSimule().signal = ReglagesMicroSimule::Signal::Constante;
    reglagesMicroSimule().constante = 1000;
    installerPiloteEntree(std::make_unique<PiloteMicroSimule>());
    test::DossierAudio d;

    TAudioIn entreeSurveillance, entreeEnregistrement;
    for (TAudioIn* e : {&entreeSurveillance, &entreeEnregistrement}) {
        e->InBitsPerSample = 16;
        e->InChannels = 2;
        e->InSampleRate = 44100;
    }
    entreeSurveillance.RecTime = 600;
    entreeEnregistrement.RecTime = 1;
    TSoundIndicator niveauSurveillance, niveauEnregistrement;
    niveauSurveillance.SetInput(&entreeSurveillance);
    niveauEnregistrement.SetInput(&entreeEnregistrement);
    TNULLOut surveillance;
    surveillance.SetInput(&niveauSurveillance);
    TWaveOut enregistreur;
    enregistreur.SetInput(&niveauEnregistrement);
    enregistreur.FileName = d.chemin("audio.wav");
    std::atomic<int> fins{0}, erreurs{0};
    enregistreur.OnDone = [&](TACSOutput*) { ++fins; };
    enregistreur.OnThreadException = [&](TACSOutput*, const std::exception&) { ++erreurs; };

    std::atomic<bool> fini{false};
    std::atomic<double> plusHaut{0};
    std::thread compteur([&] {
        while (!fini) {
            std::array<double, TSoundIndicator::kBandes> v{};
            niveauSurveillance.ReadLevels(v);
            if (v[0] > plusHaut) plusHaut = v[0];
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });

    surveillance.Run();
    enregistreur.Run();
    // The window's next opening writes the settings while this recording runs.
    for (int i = 0; i < 20; ++i) {
        entreeEnregistrement.RecTime = 5;
        entreeEnregistrement.InSampleRate = 44100;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(attendre([&] { return fins == 1; }, 10000));
    // The monitoring chain is stopped and started again, as when the window reopens.
    surveillance.Stop();
    ASSERT_TRUE(attendre([&] { return surveillance.Status() == 2; }));
    surveillance.Run();
    ASSERT_TRUE(attendre([&] { return entreeSurveillance.Position > 20000; }));
    surveillance.Stop();
    ASSERT_TRUE(attendre([&] { return surveillance.Status() == 2; }));
    fini = true;
    compteur.join();

    EXPECT_EQ(erreurs, 0);
    EXPECT_NEAR(plusHaut, 21.9, 1.0);
    d.conserver("audio.wav");
    const auto o = test::lireFichier(d.chemin("audio.wav"));
    EXPECT_EQ(o.size(), 44u + 176400u);  // the length taken when the recording started
    EXPECT_EQ(test::lire32(o, 40), 176400u);
    reglagesMicroSimule().reinitialiser();
}
