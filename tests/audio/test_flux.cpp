// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "Commun.h"
#include "audio/FichierWav.h"
#include "audio/IndicateurNiveau.h"
#include "audio/SortieNulle.h"

using namespace vp;
using test::attendre;
using test::messageDe;
using test::SourceFactice;

namespace {

// An output with counters on its events.
struct Compteurs {
    std::atomic<int> fins{0}, erreurs{0}, progressions{0};
    std::string derniereErreur;  // written on the worker thread before `erreurs` grows
    void brancher(TACSOutput& o) {
        o.OnDone = [this](TACSOutput*) { ++fins; };
        o.OnThreadException = [this](TACSOutput*, const std::exception& e) {
            derniereErreur = e.what();
            ++erreurs;
        };
        o.OnProgress = [this](TACSOutput*) { ++progressions; };
    }
};

}  // namespace

TEST(Flux, FinNaturelleEtArretDonnentChacunUneSeuleFin) {
    SourceFactice source;
    source.total = 44100 * 4;
    source.parAppel = 4096;
    TNULLOut sortie;
    Compteurs c;
    c.brancher(sortie);
    sortie.SetInput(&source);
    EXPECT_EQ(sortie.Status(), 2);
    sortie.Run();
    ASSERT_TRUE(attendre([&] { return c.fins == 1; }));
    EXPECT_EQ(source.livres, 44100 * 4);
    EXPECT_EQ(source.inits, 1);
    EXPECT_EQ(source.flushs, 1);
    ASSERT_TRUE(attendre([&] { return sortie.Status() == 2; }));

    // An endless source stopped by Stop: one end too, and the same components run again.
    source.total = -1;
    source.tailleConnue = false;
    sortie.Run();
    ASSERT_TRUE(attendre([&] { return source.livres > 100000; }));
    EXPECT_EQ(sortie.Progress(), -1);
    EXPECT_NE(sortie.Status(), 2);
    sortie.Stop();
    ASSERT_TRUE(attendre([&] { return c.fins == 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(c.fins, 2);
    EXPECT_EQ(c.erreurs, 0);
    EXPECT_EQ(source.flushs, 2);
    ASSERT_TRUE(attendre([&] { return sortie.Status() == 2; }));
}

TEST(Flux, RunDeuxFoisEtSansEntree) {
    SourceFactice source;
    source.total = -1;
    source.parAppel = 1024;
    TNULLOut sortie;
    EXPECT_EQ(messageDe([&] { sortie.Run(); }), "Input is not assigned");
    sortie.SetInput(&source);
    sortie.Run();
    EXPECT_EQ(messageDe([&] { sortie.Run(); }), "Component is buisy");
    sortie.Stop();
    ASSERT_TRUE(attendre([&] { return sortie.Status() == 2; }));
}

TEST(Flux, StopAuReposEstSansEffet) {
    SourceFactice source;
    source.total = 8192;
    TNULLOut sortie;
    Compteurs c;
    c.brancher(sortie);
    sortie.SetInput(&source);
    sortie.Stop();  // nothing runs: no visible effect, and the next Run clears the request
    EXPECT_EQ(c.fins, 0);
    sortie.Run();
    ASSERT_TRUE(attendre([&] { return c.fins == 1; }));
    EXPECT_EQ(source.livres, 8192);
}

TEST(Flux, EchecAuDemarrageDonneUneErreurEtPasDeFin) {
    SourceFactice source;
    TWaveOut sortie;  // no file name
    Compteurs c;
    c.brancher(sortie);
    sortie.SetInput(&source);
    sortie.Run();  // the error goes to OnThreadException, on this thread
    EXPECT_EQ(c.erreurs, 1);
    EXPECT_EQ(c.derniereErreur, "File name is not assigned.");
    EXPECT_EQ(c.fins, 0);
    EXPECT_EQ(sortie.Status(), 2);
    EXPECT_EQ(source.inits, 0);
}

TEST(Flux, ErreurPendantLeFluxTermineLeFlux) {
    SourceFactice source;
    source.total = -1;
    source.parAppel = 1000;
    TSoundIndicator filtre;
    filtre.SetInput(&source);
    TNULLOut sortie;
    Compteurs c;
    c.brancher(sortie);
    sortie.SetInput(&filtre);
    sortie.Run();
    ASSERT_TRUE(attendre([&] { return source.livres > 10000; }));
    source.echouer = true;
    ASSERT_TRUE(attendre([&] { return c.erreurs == 1; }));
    EXPECT_EQ(c.derniereErreur, "source en panne");
    EXPECT_EQ(c.fins, 0);
    EXPECT_TRUE(attendre([&] { return source.flushs == 1; }));  // Done released the chain
    EXPECT_TRUE(attendre([&] { return sortie.Status() == 2; }));
    // The filter's lock was released: the chain runs again.
    source.echouer = false;
    source.total = 5000;
    sortie.Run();
    ASSERT_TRUE(attendre([&] { return c.fins == 1; }));
}

TEST(Flux, ProgressionEtEntreeRetiree) {
    TNULLOut sortie;
    EXPECT_EQ(sortie.Progress(), 0);  // no input
    auto source = std::make_unique<SourceFactice>();
    source->total = 16384 * 50;
    source->parAppel = 16384;
    Compteurs c;
    c.brancher(sortie);
    sortie.SetInput(source.get());
    sortie.Run();
    ASSERT_TRUE(attendre([&] { return c.fins == 1; }));
    EXPECT_EQ(sortie.Progress(), 100);
    EXPECT_GE(c.progressions, 10);
    // The input component goes away while the output is idle.
    source.reset();
    EXPECT_EQ(sortie.Input(), nullptr);
    EXPECT_EQ(messageDe([&] { sortie.Run(); }), "Input is not assigned");
}

TEST(Flux, ChangerDEntreePendantLeFlux) {
    SourceFactice premiere, seconde;
    premiere.total = seconde.total = -1;
    premiere.parAppel = seconde.parAppel = 512;
    TNULLOut sortie;
    sortie.SetInput(&premiere);
    sortie.Run();
    ASSERT_TRUE(attendre([&] { return premiere.livres > 0; }));
    sortie.SetInput(&seconde);  // Init of the new one, Flush of the old one
    EXPECT_EQ(seconde.inits, 1);
    EXPECT_EQ(premiere.flushs, 1);
    ASSERT_TRUE(attendre([&] { return seconde.livres > 10000; }));
    sortie.Stop();
    ASSERT_TRUE(attendre([&] { return sortie.Status() == 2; }));
    EXPECT_EQ(seconde.flushs, 1);
}

TEST(Flux, TravailleurSansSuspension) {
    SourceFactice source;
    source.total = 10000;
    source.parAppel = 1000;
    TNULLOut sortie;
    sortie.SetSuspendWhenIdle(false);
    Compteurs c;
    c.brancher(sortie);
    sortie.SetInput(&source);
    for (int i = 1; i <= 3; ++i) {
        sortie.Run();
        ASSERT_TRUE(attendre([&] { return c.fins == i; }));
        ASSERT_TRUE(attendre([&] { return sortie.Status() == 2; }));
    }
    EXPECT_EQ(source.inits, 3);
}

TEST(Flux, SortieDetruitePendantLeFluxLibereSaSource) {
    SourceFactice source;
    source.total = -1;
    source.parAppel = 256;
    {
        TNULLOut sortie;
        sortie.SetInput(&source);
        sortie.Run();
        ASSERT_TRUE(attendre([&] { return source.livres > 0; }));
    }  // the worker leaves its loop before the output is gone, and the stream is ended
    EXPECT_EQ(source.flushs, 1);
    EXPECT_FALSE(source.Busy);
}

TEST(Flux, EntreeDebrancheeOuDetruitePendantLeFlux) {
    // Unplugged: the old input is released and the stream ends normally.
    SourceFactice source;
    source.total = -1;
    source.parAppel = 512;
    TNULLOut nulle;
    Compteurs c;
    c.brancher(nulle);
    nulle.SetInput(&source);
    nulle.Run();
    ASSERT_TRUE(attendre([&] { return source.livres > 0; }));
    nulle.SetInput(nullptr);
    ASSERT_TRUE(attendre([&] { return c.fins == 1; }));
    EXPECT_EQ(source.flushs, 1);
    EXPECT_EQ(c.erreurs, 0);

    // The filter in the middle of a running chain is destroyed: the file is closed with the
    // sizes of what it holds, and the source behind the filter is released.
    test::DossierAudio d;
    SourceFactice amont;
    amont.total = -1;
    amont.tailleConnue = false;
    amont.parAppel = 1000;
    auto filtre = std::make_unique<TSoundIndicator>();
    filtre->SetInput(&amont);
    TWaveOut fichier;
    Compteurs f;
    f.brancher(fichier);
    fichier.SetInput(filtre.get());
    fichier.FileName = d.chemin("coupe.wav");
    fichier.Run();
    ASSERT_TRUE(attendre([&] { return amont.livres > 50000; }));
    filtre.reset();
    ASSERT_TRUE(attendre([&] { return f.fins == 1; }));
    EXPECT_EQ(fichier.Input(), nullptr);
    EXPECT_EQ(amont.flushs, 1);
    ASSERT_TRUE(attendre([&] { return fichier.Status() == 2; }));
    const auto o = test::lireFichier(d.chemin("coupe.wav"));
    EXPECT_EQ(test::lire32(o, 40), o.size() - 44);
    EXPECT_EQ(test::lire32(o, 4), o.size() - 8);
    EXPECT_EQ(static_cast<int64_t>(o.size() - 44), amont.livres.load());
}
