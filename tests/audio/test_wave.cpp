// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <fstream>

#include "Commun.h"
#include "audio/EntreeSon.h"
#include "audio/FichierWav.h"
#include "audio/simule/MicroSimule.h"

using namespace vp;
using test::attendre;
using test::DossierAudio;
using test::lire32;
using test::lireAvecFfmpeg;
using test::lireFichier;
using test::SourceFactice;

namespace {

void ecrireOctets(const std::string& chemin, const std::vector<unsigned char>& o) {
    std::ofstream(chemin, std::ios::binary)
        .write(reinterpret_cast<const char*>(o.data()), static_cast<std::streamsize>(o.size()));
}

// A RIFF/WAVE file: "fmt " with the given fields (and "fact" for ADPCM), "data" with `data`
// bytes, then `apres`.
std::vector<unsigned char> fichierWav(uint16_t tag, uint16_t canaux, uint16_t alignement,
                                      uint16_t bits, uint32_t data, const std::string& apres = {}) {
    std::vector<unsigned char> o;
    auto texte = [&](const std::string& t) { o.insert(o.end(), t.begin(), t.end()); };
    auto mot = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            o.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    texte("RIFF");
    mot(0, 4);
    texte("WAVEfmt ");
    mot(16, 4);
    mot(tag, 2);
    mot(canaux, 2);
    mot(44100, 4);
    mot(44100u * alignement, 4);
    mot(alignement, 2);
    mot(bits, 2);
    if (tag == 17) {
        texte("fact");
        mot(4, 4);
        mot(0, 4);
    }
    texte("data");
    mot(data, 4);
    o.resize(o.size() + data, 0);
    texte(apres);
    return o;
}

// Runs `sortie` to the end of its stream; the error text when it failed.
std::string executer(TWaveOut& sortie) {
    std::atomic<int> fin{0};
    std::string erreur;
    sortie.OnDone = [&](TACSOutput*) { fin = 1; };
    sortie.OnThreadException = [&](TACSOutput*, const std::exception& e) {
        erreur = e.what();
        fin = 2;
    };
    sortie.Run();
    EXPECT_TRUE(attendre([&] { return fin != 0; }, 20000));
    EXPECT_TRUE(attendre([&] { return sortie.Status() == 2; }));
    return erreur;
}

}  // namespace

TEST(Wav, PcmEnReecriture) {
    DossierAudio d;
    SourceFactice source;
    source.rampe = true;
    source.total = 44100 * 4;  // one second of 16-bit stereo
    source.parAppel = 5000;
    TWaveOut sortie;
    sortie.SetInput(&source);
    sortie.FileName = d.chemin("audio.wav");
    EXPECT_EQ(executer(sortie), "");
    d.conserver("audio.wav");

    const auto o = lireFichier(d.chemin("audio.wav"));
    ASSERT_EQ(o.size(), 44u + 176400u);
    EXPECT_EQ(std::string(o.begin(), o.begin() + 4), "RIFF");
    EXPECT_EQ(lire32(o, 4), 176400u + 36);
    EXPECT_EQ(lire32(o, 24), 44100u);
    EXPECT_EQ(lire32(o, 28), 176400u);
    EXPECT_EQ(lire32(o, 40), 176400u);
    const auto l = lireAvecFfmpeg(d.chemin("audio.wav"));
    ASSERT_TRUE(l.ouvert);
    EXPECT_EQ(l.codec, "pcm_s16le");
    EXPECT_EQ(l.frequence, 44100);
    EXPECT_EQ(l.canaux, 2);
    EXPECT_EQ(l.trames, 44100);
    EXPECT_EQ(l.echantillons[2 * 1234], 1234 - 1000);

    // Rewriting replaces the file.
    source.total = 4000;
    EXPECT_EQ(executer(sortie), "");
    EXPECT_EQ(lireAvecFfmpeg(d.chemin("audio.wav")).trames, 1000);
}

TEST(Wav, PcmEnAjoutEtFormatDifferent) {
    DossierAudio d;
    SourceFactice source;
    source.total = 40000;
    TWaveOut sortie;
    sortie.SetInput(&source);
    sortie.FileName = d.chemin("ajout.wav");
    sortie.SetFileMode(foAppend);  // the file does not exist yet: written with its header
    EXPECT_EQ(sortie.FileMode(), foAppend);
    EXPECT_EQ(executer(sortie), "");
    source.total = 20000;
    EXPECT_EQ(executer(sortie), "");
    d.conserver("ajout.wav");
    const auto o = lireFichier(d.chemin("ajout.wav"));
    ASSERT_EQ(o.size(), 44u + 60000u);
    EXPECT_EQ(lire32(o, 40), 60000u);
    EXPECT_EQ(lire32(o, 4), 60036u);
    EXPECT_EQ(lireAvecFfmpeg(d.chemin("ajout.wav")).trames, 15000);

    source.bits = 8;
    source.canaux = 1;
    EXPECT_EQ(executer(sortie), "Cannot append data in different audio format.");
    EXPECT_EQ(lireFichier(d.chemin("ajout.wav")).size(), 44u + 60000u);
    EXPECT_EQ(source.flushs, source.inits);  // the source was released
}

TEST(Wav, AjoutLitLesEntetesQuelleQueSoitLaCasse) {
    DossierAudio d;
    // A file from another program: lower-case identifiers and a chunk before "data".
    std::vector<unsigned char> o;
    auto ajouter = [&](const std::string& s) { o.insert(o.end(), s.begin(), s.end()); };
    auto ajouter32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            o.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    auto ajouter16 = [&](uint16_t v) {
        o.push_back(static_cast<unsigned char>(v));
        o.push_back(static_cast<unsigned char>(v >> 8));
    };
    ajouter("riff");
    ajouter32(0);
    ajouter("wave");
    ajouter("LIST");
    ajouter32(3);
    ajouter("abc");
    o.push_back(0);  // pad byte
    ajouter("FMT ");
    ajouter32(16);
    ajouter16(1);
    ajouter16(2);
    ajouter32(44100);
    ajouter32(176400);
    ajouter16(4);
    ajouter16(16);
    ajouter("DATA");
    ajouter32(400);
    o.resize(o.size() + 400, 0);
    std::ofstream(d.chemin("casse.wav"), std::ios::binary)
        .write(reinterpret_cast<const char*>(o.data()), static_cast<std::streamsize>(o.size()));

    SourceFactice source;
    source.total = 800;
    TWaveOut sortie;
    sortie.SetInput(&source);
    sortie.FileName = d.chemin("casse.wav");
    sortie.SetFileMode(foAppend);
    EXPECT_EQ(executer(sortie), "");
    const auto apres = lireFichier(d.chemin("casse.wav"));
    const size_t debutData = o.size() - 400;
    ASSERT_EQ(apres.size(), o.size() + 800);
    EXPECT_EQ(lire32(apres, debutData - 4), 1200u);
    EXPECT_EQ(lire32(apres, 4), apres.size() - 8);

    // A file that is not a WAV file cannot be appended to.
    std::ofstream(d.chemin("texte.wav")) << "bonjour, ceci n'est pas un son";
    sortie.FileName = d.chemin("texte.wav");
    EXPECT_EQ(executer(sortie), "Cannot append data to this .wav file.");
}

TEST(Wav, TailleInconnueEtArretAvantLaFin) {
    DossierAudio d;
    SourceFactice source;
    source.tailleConnue = false;
    source.total = 12345 * 4;
    TWaveOut sortie;
    sortie.SetInput(&source);
    sortie.FileName = d.chemin("inconnue.wav");
    EXPECT_EQ(executer(sortie), "");
    d.conserver("inconnue.wav");
    auto o = lireFichier(d.chemin("inconnue.wav"));
    EXPECT_EQ(lire32(o, 40), o.size() - 44);
    EXPECT_EQ(lire32(o, 4), o.size() - 8);
    EXPECT_EQ(lireAvecFfmpeg(d.chemin("inconnue.wav")).trames, 12345);

    // A stream with a declared length stopped early: the header says what the file holds.
    reglagesMicroSimule().reinitialiser();
    installerPiloteEntree(std::make_unique<PiloteMicroSimule>());
    TAudioIn micro;
    micro.InBitsPerSample = 16;
    micro.InChannels = 2;
    micro.InSampleRate = 44100;
    micro.RecTime = 10;
    TWaveOut enregistreur;
    enregistreur.SetInput(&micro);
    enregistreur.FileName = d.chemin("coupe.wav");
    std::atomic<int> fins{0};
    enregistreur.OnDone = [&](TACSOutput*) { ++fins; };
    enregistreur.Run();
    ASSERT_TRUE(attendre([&] { return micro.Position > 40000; }));
    enregistreur.Stop();
    ASSERT_TRUE(attendre([&] { return fins == 1; }));
    d.conserver("coupe.wav");
    o = lireFichier(d.chemin("coupe.wav"));
    EXPECT_LT(o.size(), 44u + 176400u * 10);
    EXPECT_EQ(lire32(o, 40), o.size() - 44);
    EXPECT_EQ(lire32(o, 4), o.size() - 8);
    EXPECT_EQ(lireAvecFfmpeg(d.chemin("coupe.wav")).trames,
              static_cast<int64_t>((o.size() - 44) / 4));
}

TEST(Wav, EnregistrementDeTroisSecondes) {
    DossierAudio d;
    reglagesMicroSimule().reinitialiser();
    reglagesMicroSimule().rapide = true;
    installerPiloteEntree(std::make_unique<PiloteMicroSimule>());
    TAudioIn micro;
    micro.InBitsPerSample = 16;
    micro.InChannels = 2;
    micro.InSampleRate = 44100;
    micro.RecTime = 3;
    TWaveOut sortie;
    sortie.SetInput(&micro);
    sortie.FileName = d.chemin("audio.wav");
    EXPECT_EQ(executer(sortie), "");
    reglagesMicroSimule().reinitialiser();
    d.conserver("audio.wav");
    const auto o = lireFichier(d.chemin("audio.wav"));
    EXPECT_EQ(lire32(o, 40), 529200u);
    EXPECT_EQ(lire32(o, 4), 529236u);
    EXPECT_GE(o.size(), 44u + 529200u);
    EXPECT_LT(o.size(), 44u + 529200u + 16384u);
    const auto l = lireAvecFfmpeg(d.chemin("audio.wav"));
    EXPECT_EQ(l.trames, 529200 / 4);
    // The simulated microphone's 440 Hz tone.
    EXPECT_EQ(l.echantillons[0], 0);
    EXPECT_NEAR(l.echantillons[2 * 25], std::lround(8000 * std::sin(2 * M_PI * 440 * 25 / 44100.0)),
                1);
}

TEST(Wav, AdpcmDecodeParFfmpeg) {
    DossierAudio d;
    for (int canaux : {1, 2}) {
        SourceFactice source;
        source.canaux = canaux;
        source.sinus = true;
        source.total = 44100LL * 2 * canaux;  // one second
        TWaveOut sortie;
        sortie.SetWavType(wtDVIADPCM);
        sortie.SetInput(&source);
        const std::string nom = "adpcm" + std::to_string(canaux) + ".wav";
        sortie.FileName = d.chemin(nom);
        EXPECT_EQ(executer(sortie), "");
        d.conserver(nom);
        const auto o = lireFichier(d.chemin(nom));
        const int spb = TWaveOut::echantillonsParBloc(512, canaux);
        EXPECT_EQ(o[20], 17);
        EXPECT_EQ(lire32(o, 48), 44100u);  // sample frames declared
        EXPECT_EQ((o.size() - 60) % 512, 0u);
        const auto l = lireAvecFfmpeg(d.chemin(nom));
        ASSERT_TRUE(l.ouvert);
        EXPECT_EQ(l.codec, "adpcm_ima_wav");
        EXPECT_EQ(l.canaux, canaux);
        const int64_t blocs = static_cast<int64_t>(o.size() - 60) / 512;
        EXPECT_EQ(l.trames, blocs * spb);
        ASSERT_GE(l.trames, 44100);
        // Within the codec's error: a 440 Hz tone of amplitude 8000 comes back close.
        double ecartMoyen = 0;
        int64_t pire = 0;
        for (int64_t t = 0; t < 44100; ++t)
            for (int c = 0; c < canaux; ++c) {
                const auto attendu = std::lround(8000 * std::sin(2 * M_PI * 440 * t / 44100.0));
                const int64_t ecart =
                    std::abs(l.echantillons[static_cast<size_t>(t * canaux + c)] - attendu);
                ecartMoyen += static_cast<double>(ecart) / (44100.0 * canaux);
                if (t >= 50) pire = std::max(pire, ecart);  // after the step size has adapted
            }
        EXPECT_LT(ecartMoyen, 100) << canaux << " canal(aux)";
        EXPECT_LT(pire, 1000) << canaux << " canal(aux)";
    }
}

TEST(Wav, ReglagesRefuses) {
    TWaveOut sortie;
    sortie.SetWavType(wtMSADPCM);
    EXPECT_EQ(sortie.WavType(), wtPCM);
    sortie.SetWavType(wtACM);
    EXPECT_EQ(sortie.WavType(), wtPCM);
    sortie.SetBlockSize(510);
    EXPECT_EQ(sortie.BlockSize(), 512);
    sortie.SetBlockSize(0);
    EXPECT_EQ(sortie.BlockSize(), 512);
    sortie.SetBlockSize(1024);
    EXPECT_EQ(sortie.BlockSize(), 1024);

    DossierAudio d;
    SourceFactice source;
    source.bits = 8;
    sortie.SetWavType(wtDVIADPCM);
    sortie.SetInput(&source);
    sortie.FileName = d.chemin("huit.wav");
    EXPECT_EQ(executer(sortie), "Cannot encode 8 bit sound into ADPCM.");
}

TEST(Wav, ErreurDEcritureEnPleinFlux) {
    // The file may not grow past 100 000 bytes (as a full disk would refuse them).
    DossierAudio d;
    SourceFactice source;
    source.rampe = true;
    source.total = 400000;
    source.parAppel = 10000;
    TWaveOut sortie;
    sortie.SetInput(&source);
    sortie.FileName = d.chemin("plein.wav");
    std::atomic<int> fins{0};
    sortie.OnDone = [&](TACSOutput*) { ++fins; };
    std::string erreur;
    int code = 0;
    std::atomic<bool> fini{false};
    sortie.OnThreadException = [&](TACSOutput*, const std::exception& e) {
        erreur = e.what();
        if (const auto* f = dynamic_cast<const ErreurFichierAudio*>(&e)) code = f->erreur;
        fini = true;
    };
    rlimit ancienne{};
    ::getrlimit(RLIMIT_FSIZE, &ancienne);
    const auto ancienSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limite = ancienne;
    limite.rlim_cur = 100000;
    ::setrlimit(RLIMIT_FSIZE, &limite);
    sortie.Run();
    const bool arrive = attendre([&] { return fini.load(); });
    ASSERT_TRUE(attendre([&] { return sortie.Status() == 2; }));
    ::setrlimit(RLIMIT_FSIZE, &ancienne);
    std::signal(SIGXFSZ, ancienSignal);
    ASSERT_TRUE(arrive);
    EXPECT_EQ(code, EFBIG) << erreur;
    EXPECT_EQ(fins, 0);
    EXPECT_EQ(source.flushs, 1);
    // The header tells what really reached the file, which FFmpeg reads whole.
    const auto o = lireFichier(d.chemin("plein.wav"));
    ASSERT_EQ(o.size(), 100000u);
    EXPECT_EQ(lire32(o, 40), 100000u - 44);
    EXPECT_EQ(lire32(o, 4), 100000u - 8);
    const auto l = lireAvecFfmpeg(d.chemin("plein.wav"));
    EXPECT_EQ(l.trames, (100000 - 44) / 4);
    EXPECT_EQ(l.echantillons[2 * 5000], 5000 % 2000 - 1000);
}

TEST(Wav, DemarrageImpossibleLaisseLAncienFichier) {
    DossierAudio d;
    const auto ancien = fichierWav(1, 2, 4, 16, 4000);
    ecrireOctets(d.chemin("audio.wav"), ancien);
    reglagesMicroSimule().reinitialiser();
    reglagesMicroSimule().refuserOuverture = true;
    installerPiloteEntree(std::make_unique<PiloteMicroSimule>());
    TAudioIn micro;
    TWaveOut sortie;
    sortie.SetInput(&micro);
    sortie.FileName = d.chemin("audio.wav");
    EXPECT_NE(executer(sortie), "");
    reglagesMicroSimule().reinitialiser();
    EXPECT_EQ(lireFichier(d.chemin("audio.wav")), ancien);

    // A file that cannot be created: the error carries the system's reason.
    SourceFactice source;
    sortie.SetInput(&source);
    sortie.FileName = d.chemin("absent/audio.wav");
    int code = 0;
    sortie.OnThreadException = [&](TACSOutput*, const std::exception& e) {
        if (const auto* f = dynamic_cast<const ErreurFichierAudio*>(&e)) code = f->erreur;
    };
    sortie.Run();
    EXPECT_EQ(code, ENOENT);
    EXPECT_EQ(source.flushs, source.inits);
}

TEST(Wav, AdpcmBlocsEtCanauxImpossibles) {
    DossierAudio d;
    SourceFactice source;
    source.total = 40000;
    TWaveOut sortie;
    sortie.SetInput(&source);
    sortie.SetWavType(wtDVIADPCM);
    sortie.FileName = d.chemin("a.wav");
    source.canaux = 3;
    EXPECT_EQ(executer(sortie), "Cannot encode ADPCM sound with 3 channels.");
    source.canaux = 2;

    // Files to append to whose header gives an impossible block or channel count.
    sortie.SetFileMode(foAppend);
    const std::pair<std::vector<unsigned char>, std::string> fichiers[] = {
        {fichierWav(17, 2, 0, 4, 512), "Cannot encode ADPCM sound in blocks of 0 bytes."},
        {fichierWav(17, 2, 16384, 4, 512), "Cannot encode ADPCM sound in blocks of 16384 bytes."},
        {fichierWav(17, 0, 512, 4, 512), "Cannot encode ADPCM sound with 0 channels."},
        {fichierWav(17, 3, 512, 4, 512), "Cannot encode ADPCM sound with 3 channels."},
    };
    for (const auto& [octets, message] : fichiers) {
        ecrireOctets(d.chemin("b.wav"), octets);
        sortie.FileName = d.chemin("b.wav");
        EXPECT_EQ(executer(sortie), message);
        EXPECT_EQ(lireFichier(d.chemin("b.wav")), octets);
    }
    EXPECT_EQ(source.flushs, source.inits);
}

TEST(Wav, AjoutRefuseQuandLesDonneesNeSontPasALaFin) {
    DossierAudio d;
    SourceFactice source;
    source.total = 4000;
    TWaveOut sortie;
    sortie.SetInput(&source);
    sortie.SetFileMode(foAppend);
    sortie.FileName = d.chemin("liste.wav");
    // A chunk after the sound: appending would turn it into sound.
    const auto avecListe = fichierWav(1, 2, 4, 16, 400, std::string("LIST\x04\0\0\0abcd", 12));
    ecrireOctets(d.chemin("liste.wav"), avecListe);
    EXPECT_EQ(executer(sortie), "Cannot append data: the .wav file holds more after its sound.");
    EXPECT_EQ(lireFichier(d.chemin("liste.wav")), avecListe);

    // An odd-sized sound with its pad byte, then nothing: the new sound follows the old one.
    source.bits = 8;
    source.canaux = 1;
    source.valeur = 7;
    auto impair = fichierWav(1, 1, 1, 8, 401);
    impair.push_back(0);  // pad byte
    ecrireOctets(d.chemin("impair.wav"), impair);
    sortie.FileName = d.chemin("impair.wav");
    EXPECT_EQ(executer(sortie), "");
    const auto o = lireFichier(d.chemin("impair.wav"));
    ASSERT_EQ(o.size(), 44u + 401u + 4000u);
    EXPECT_EQ(lire32(o, 40), 4401u);
    EXPECT_EQ(o[44 + 401], 7);
}

TEST(Wav, BlocsAdpcmQueLeCodeurNePeutRemplirRefuses) {
    // One block's samples must fit in the transfer buffer, and a block must hold more than its
    // channel headers: a damaged header once overflowed the buffer or divided by zero.
    TWaveOut sortie;
    for (uint16_t taille : {8, 8192})
        sortie.SetBlockSize(taille);
    EXPECT_EQ(sortie.BlockSize(), 512);
    DossierAudio d;
    SourceFactice source;
    source.total = 4000;
    sortie.SetWavType(wtDVIADPCM);
    sortie.SetInput(&source);
    sortie.FileName = d.chemin("adpcm.wav");
    ASSERT_EQ(executer(sortie), "");
    const auto juste = lireFichier(d.chemin("adpcm.wav"));
    for (uint16_t alignement : {0, 6, 8, 8192, 65532}) {
        auto o = juste;
        o[32] = static_cast<unsigned char>(alignement);
        o[33] = static_cast<unsigned char>(alignement >> 8);
        std::ofstream(d.chemin("abime.wav"), std::ios::binary)
            .write(reinterpret_cast<const char*>(o.data()), static_cast<std::streamsize>(o.size()));
        sortie.FileName = d.chemin("abime.wav");
        sortie.SetFileMode(foAppend);
        EXPECT_EQ(executer(sortie), "Cannot encode ADPCM sound in blocks of " +
                                        std::to_string(alignement) + " bytes.")
            << alignement;
        EXPECT_EQ(lireFichier(d.chemin("abime.wav")), o) << alignement;
    }
}

TEST(Wav, FichierTemporaireQuiRemplaceLeFichierUneFoisComplet) {
    DossierAudio d;
    const auto ancien = fichierWav(1, 2, 4, 16, 4000);
    const std::string final = d.chemin("audio.wav"), temporaire = d.chemin(".audio.tmp");
    const auto existe = [](const std::string& chemin) {
        return ::access(chemin.c_str(), F_OK) == 0;
    };
    ecrireOctets(final, ancien);
    SourceFactice source;
    source.total = 40000;
    TWaveOut sortie;
    sortie.SetInput(&source);
    sortie.FileName = temporaire;
    sortie.FichierFinal = final;
    // The source is released, and the old file still there, when the new one takes its place.
    int remplacements = 0;
    sortie.Remplacer = [&](const std::string& t, const std::string& f) {
        ++remplacements;
        EXPECT_EQ(source.flushs, source.inits);
        EXPECT_EQ(lireFichier(final), ancien);
        ASSERT_EQ(::rename(t.c_str(), f.c_str()), 0);
    };
    EXPECT_EQ(executer(sortie), "");
    EXPECT_EQ(remplacements, 1);
    EXPECT_EQ(lireAvecFfmpeg(final).trames, 10000);
    EXPECT_FALSE(existe(temporaire));

    // Stopped before its end: the part written replaces the file, with a header that says it.
    sortie.Remplacer = nullptr;  // plain system calls
    source.total = -1;
    source.parAppel = 4000;
    std::atomic<bool> fini{false};
    sortie.OnDone = [&](TACSOutput*) { fini = true; };
    sortie.OnThreadException = [&](TACSOutput*, const std::exception& e) {
        ADD_FAILURE() << e.what();
    };
    sortie.Run();
    ASSERT_TRUE(attendre([&] { return source.livres > 100000; }));
    sortie.Stop();
    ASSERT_TRUE(attendre([&] { return fini.load() && sortie.Status() == 2; }));
    const auto arrete = lireFichier(final);
    ASSERT_GT(arrete.size(), 100044u);
    EXPECT_EQ(lire32(arrete, 40), arrete.size() - 44);
    EXPECT_FALSE(existe(temporaire));

    // A source that fails, or a replacement that fails: the temporary file goes, the file
    // stays as it was.
    source.total = 400000;
    source.echouer = true;
    EXPECT_EQ(executer(sortie), "source en panne");
    source.echouer = false;
    sortie.Remplacer = [](const std::string&, const std::string& f) {
        throw ErreurFichierAudio("Cannot write file", f, EIO);
    };
    EXPECT_NE(executer(sortie), "");
    EXPECT_EQ(lireFichier(final), arrete);
    EXPECT_FALSE(existe(temporaire));

    // Appending writes into FileName itself: the final file and the replacement are ignored.
    const std::string ajout = d.chemin("ajout.wav");
    ecrireOctets(ajout, ancien);
    sortie.FileName = ajout;
    sortie.SetFileMode(foAppend);
    source.total = 4000;
    EXPECT_EQ(executer(sortie), "");
    EXPECT_EQ(lireAvecFfmpeg(ajout).trames, 2000);
    EXPECT_EQ(lireFichier(final), arrete);
}
