// SPDX-License-Identifier: GPL-3.0-or-later
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <thread>

#include "FixtureSon.h"
#include "app/DialogueReglagesVideo.h"
#include "audio/Commun.h"
#include "bandeson/Melangeur.h"
#include "platform/Bitmap.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "sequence/Fraicheur.h"
#include "video/DialogueCompression.h"

using namespace vp;
using test::attendreQue;
using test::ProgrammeSon;
using test::trameEntendueA;

namespace {

using FenetreSon = ProgrammeSon;

// The frames shown from the first to frame `derniere`, in order. (A frame whose time passed
// while a loaded machine could not paint it is skipped.)
::testing::AssertionResult jusquA(const QList<int>& montrees, int derniere) {
    if (montrees.isEmpty() || montrees.front() != 0 || montrees.back() != derniere)
        return ::testing::AssertionFailure() << "images " << ::testing::PrintToString(montrees);
    for (int i = 1; i < montrees.size(); ++i)
        if (montrees[i] <= montrees[i - 1])
            return ::testing::AssertionFailure() << "images " << ::testing::PrintToString(montrees);
    return ::testing::AssertionSuccess();
}

QByteArray lire(const QString& fichier) {
    QFile f(fichier);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What the header of a PCM file says against what it holds.
void enTeteJuste(const QString& fichier) {
    const auto o = test::lireFichier(fichier.toStdString());
    ASSERT_GE(o.size(), 44u);
    EXPECT_EQ(test::lire32(o, 40), o.size() - 44);
    EXPECT_EQ(test::lire32(o, 4), o.size() - 8);
    const auto l = test::lireAvecFfmpeg(fichier.toStdString());
    EXPECT_EQ(l.trames, static_cast<int64_t>(o.size() - 44) / 4);
}

}  // namespace

TEST_F(FenetreSon, EnregistrementDUneVideoDeVingtCinqImagesA12ImagesParSeconde) {
    // The video made by "Créer la vidéo": 25 frames at 83333 µs, 2 whole seconds.
    projet(25);
    QFile::remove(dossierProjet() + "video.avi");
    dialogues().quandModal<DialogueReglagesVideo>([](DialogueReglagesVideo& d) {
        d.champImagesParSeconde->setText("12");
        d.champLargeur->setText("160");
        d.champHauteur->setText("120");
        d.boutonValider->click();
    });
    dialogues().quandModal<DialogueCompression>([](DialogueCompression& c) {
        c.choisirCodec(mmioFOURCC('M', 'J', 'P', 'G'));
        c.boutonOk->click();
    });
    f->actionCreerVideo->trigger();

    QList<QChar> lettres;
    QObject local;
    QObject::connect(&fenetre(), &DialogueEnregistrementSon::imageMontree, &local,
                     [&](int, qint64) { lettres << imageAffichee(); });
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_EQ(w.windowTitle(), "Enregistrement audio");
        EXPECT_EQ(imageAffichee(), QChar('0'));
        EXPECT_NE(w.sortieSurveillance.Status(), 2);  // the meter's chain runs
        EXPECT_EQ(w.entreeEnregistrement.RecTime, 3);
        EXPECT_TRUE(w.boutonEnregistrer->isEnabled());
        // 1000 in both channels reads 21.9 on the meter's scale.
        EXPECT_TRUE(attendreQue([&] { return w.indicateurNiveau->value() == 22; }));
        w.boutonEnregistrer->click();
        EXPECT_FALSE(w.boutonEnregistrer->isEnabled());
        ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
        EXPECT_TRUE(w.boutonEnregistrer->isEnabled());
        EXPECT_EQ(imageAffichee(), QChar('0'));  // back to the first frame
        w.boutonFermer->click();
        EXPECT_FALSE(w.isVisible());
    });
    EXPECT_EQ(fins, QStringList{""});
    EXPECT_TRUE(jusquA(montrees, 24));
    ASSERT_EQ(lettres.size(), montrees.size());
    for (int i = 0; i < montrees.size(); ++i)
        EXPECT_EQ(lettres[i], test::lettresFilm(25)[montrees[i]]);
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();

    dossier.conserver(son());
    const auto o = test::lireFichier(son().toStdString());
    EXPECT_EQ(o.size(), 44u + 529200u);
    EXPECT_EQ(test::lire32(o, 40), 529200u);
    const auto l = test::lireAvecFfmpeg(son().toStdString());
    ASSERT_TRUE(l.ouvert);
    EXPECT_EQ(l.codec, "pcm_s16le");
    EXPECT_EQ(l.frequence, 44100);
    EXPECT_EQ(l.canaux, 2);
    EXPECT_EQ(l.trames, 3 * 44100);
    EXPECT_EQ(l.echantillons[2 * 60000 + 1], 1000);
}

TEST_F(FenetreSon, FermerPendantLEnregistrementGardeCeQuiEstEnregistre) {
    projet(100);  // 8 whole seconds: a 9-second recording
    test::ecrireFichier(son(), "l'ancienne bande-son");
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_EQ(w.entreeEnregistrement.RecTime, 9);
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue([&] { return montrees.size() >= 5; }));
        w.boutonFermer->click();
        EXPECT_FALSE(w.isVisible());  // at once
    });
    ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
    EXPECT_EQ(fins, QStringList{""});
    EXPECT_TRUE(fenetre().boutonEnregistrer->isEnabled());
    EXPECT_FALSE(fenetre().minuterieImages->isActive());
    // The part recorded has replaced the old sound track, whole and with a right header.
    dossier.conserver(son());
    enTeteJuste(son());
    const qint64 taille = QFileInfo(son()).size() - 44;
    EXPECT_GT(taille, 0);
    EXPECT_LT(taille, 9 * 176400);
    EXPECT_TRUE(test::temporaires(dossierProjet()).isEmpty());
}

TEST_F(FenetreSon, SansImageRienPuisUneSeuleImage) {
    projet(0);
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_FALSE(w.vueImage->image().isNull());  // the empty picture
        w.boutonEnregistrer->click();
        attendreQue([] { return false; }, 200);
        EXPECT_FALSE(w.enregistreur.EnCours());
    });
    EXPECT_FALSE(QFile::exists(son()));
    EXPECT_TRUE(montrees.isEmpty());

    // One frame of 83 ms: no whole second, a one-second recording; the frame is shown once.
    test::ecrireFilm(f->projet.dossierProjet(), "0");
    f->projet.nbImages = 1;
    test::ecrireEnTeteAvi(dossierProjet() + "video.avi", 83333, 1);
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_EQ(w.entreeEnregistrement.RecTime, 1);
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
    });
    EXPECT_TRUE(jusquA(montrees, 0));
    EXPECT_EQ(fins, QStringList{""});
    EXPECT_EQ(QFileInfo(son()).size(), 44 + 176400);
    dossier.conserver(son());
}

TEST_F(FenetreSon, VideoIllisibleCourteOuSansCadence) {
    projet(3);
    const std::pair<std::function<void()>, QString> cas[] = {
        {[&] { test::ecrireEnTeteAvi(dossierProjet() + "video.avi", 83333, 3, 59); },
         "incomplète ou abîmée"},
        {[&] { test::ecrireEnTeteAvi(dossierProjet() + "video.avi", 0, 3); },
         "n'indique pas sa cadence"},
    };
    for (const auto& [preparer, raison] : cas) {
        preparer();
        dialogues().affichages.clear();
        ouvrir([&](DialogueEnregistrementSon& w) {
            EXPECT_FALSE(w.boutonEnregistrer->isEnabled());
            w.enregistrer();  // even if asked: nothing is recorded
            EXPECT_FALSE(w.enregistreur.EnCours());
        });
        ASSERT_EQ(dialogues().messages().size(), 1);
        EXPECT_TRUE(dialogues().messages()[0].contains(raison)) << raison.toStdString();
        EXPECT_EQ(dialogues().affichages.back().icone, Icone::Avertissement);
        EXPECT_FALSE(QFile::exists(son()));
    }
    // Without "video.avi" (the window opened without the command's check).
    QFile::remove(dossierProjet() + "video.avi");
    dialogues().affichages.clear();
    dialogues().executer(fenetre());
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].startsWith("Impossible de lire la vidéo"));
    EXPECT_FALSE(QFile::exists(son()));
}

TEST_F(FenetreSon, MicroQuiRefuseDeSOuvrirLaisseLAncienneBandeSon) {
    projet(10);
    test::ecrireFichier(son(), "l'ancienne bande-son");
    reglagesMicroSimule().refuserOuverture = true;
    ouvrir([&](DialogueEnregistrementSon& w) {
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
        EXPECT_TRUE(w.boutonEnregistrer->isEnabled());
        EXPECT_FALSE(w.minuterieImages->isActive());
    });
    ASSERT_EQ(fins.size(), 1);
    EXPECT_TRUE(fins[0].startsWith("L'enregistrement ne peut pas commencer.\n"));
    EXPECT_TRUE(dialogues().messages().contains(fins[0]));
    EXPECT_TRUE(montrees.isEmpty());
    QFile f(son());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "l'ancienne bande-son");
}

TEST_F(FenetreSon, BandeSonImpossibleAEcrire) {
    projet(10);
    QDir().mkdir(son());  // "audio.wav" is a folder: the file cannot be created
    ouvrir([&](DialogueEnregistrementSon& w) {
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
        EXPECT_NE(w.sortieSurveillance.Status(), 2);  // the meter goes on
    });
    EXPECT_EQ(fins, QStringList{"L'enregistrement ne peut pas commencer.\nImpossible d'écrire le "
                                "fichier « " +
                                son() + " » : c'est un dossier."});
    EXPECT_TRUE(montrees.isEmpty());
}

TEST_F(FenetreSon, MicroQuiSeTaitEnCoursDEnregistrement) {
    // A stall first, that cost some sound: the failure that follows is all the window tells.
    auto& r = reglagesMicroSimule();
    r.pertes = true;
    r.hoquetApresMs = 100;
    r.hoquetDureeMs = 800;
    projet(100);
    test::ecrireFichier(son(), "l'ancienne bande-son");
    ouvrir([&](DialogueEnregistrementSon& w) {
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue(
            [&] { return montrees.size() >= 3 && w.entreeEnregistrement.Debordements() == 1; }));
        reglagesMicroSimule().muet = true;
        ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }, 20000));
        // The pictures stop with the sound.
        const auto vues = montrees.size();
        attendreQue([] { return false; }, 300);
        EXPECT_EQ(montrees.size(), vues);
        EXPECT_LT(vues, 100);
        EXPECT_TRUE(w.boutonEnregistrer->isEnabled());
        // The meter's chain fails on the same silence: its end is in too.
        ASSERT_TRUE(attendreQue([&] { return w.sortieSurveillance.Status() == 2; }, 20000));
        test::attendreEvenements(50);
        EXPECT_TRUE(w.ligneEtat->text().isEmpty()) << w.ligneEtat->text().toStdString();
    });
    ASSERT_EQ(fins.size(), 1);
    EXPECT_TRUE(fins[0].startsWith("L'enregistrement s'est arrêté avant la fin.\nLe micro"));
    EXPECT_TRUE(fins[0].endsWith("\nLa bande-son d'avant est gardée.")) << fins[0].toStdString();
    // One failure of the microphone, one message.
    EXPECT_EQ(dialogues().messages().join('|').toStdString(), fins[0].toStdString());
    reglagesMicroSimule().muet = false;
    // Nothing of the failed recording is left: the old sound track is there as it was.
    EXPECT_EQ(lire(son()), "l'ancienne bande-son");
    EXPECT_TRUE(test::temporaires(dossierProjet()).isEmpty());
}

TEST_F(FenetreSon, RouvrirAussitotApresAvoirFerme) {
    projet(5);
    for (int fois = 0; fois < 3; ++fois)
        ouvrir([&](DialogueEnregistrementSon& w) {
            EXPECT_NE(w.sortieSurveillance.Status(), 2);
            EXPECT_TRUE(attendreQue([&] { return w.indicateurNiveau->value() == 22; }));
        });
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    EXPECT_FALSE(QFile::exists(son()));  // opened and closed: no file

    // Closed during a recording and reopened at once: the recording ends on its own and the
    // new opening works.
    ouvrir([&](DialogueEnregistrementSon& w) {
        w.boutonEnregistrer->click();
        w.boutonFermer->click();
    });
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_NE(w.sortieSurveillance.Status(), 2);
        EXPECT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
        EXPECT_TRUE(w.boutonEnregistrer->isEnabled());
    });
    EXPECT_EQ(fins, QStringList{""});
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    dossier.conserver(son());
    enTeteJuste(son());
}

TEST_F(FenetreSon, NiveauAZeroQuandLaFenetreEstFermee) {
    projet(2);
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_TRUE(attendreQue([&] { return w.indicateurNiveau->value() == 22; }));
    });
    // Once the monitoring chain has let go of the microphone, nothing moves the meter.
    ASSERT_TRUE(attendreQue([&] { return fenetre().sortieSurveillance.Status() == 2; }, 3000));
    EXPECT_TRUE(attendreQue([&] { return fenetre().indicateurNiveau->value() == 0; }, 1000));
    for (int i = 0; i < 5; ++i) {
        test::attendreEvenements(110);
        EXPECT_EQ(fenetre().indicateurNiveau->value(), 0);
    }
}

TEST_F(FenetreSon, MelangeurDuBureauSansAttendre) {
    projet(1);
    auto& b = scenario.bureau();
    auto cliquer = [&] {
        b.detaches.clear();
        dialogues().affichages.clear();
        ouvrir([](DialogueEnregistrementSon& w) { w.boutonMelangeur->click(); });
    };
    cliquer();  // nothing installed: the package to install
    EXPECT_EQ(dialogues().messages(), QStringList{kAucunMelangeur});
    EXPECT_TRUE(b.detaches.empty());

    b.programmesPresents = {"x-terminal-emulator"};  // a terminal, but no alsamixer
    cliquer();
    EXPECT_EQ(dialogues().messages(), QStringList{kAucunMelangeur});

    b.programmesPresents << "alsamixer";
    cliquer();
    ASSERT_EQ(b.detaches.size(), 1u);
    EXPECT_EQ(b.detaches[0],
              (std::pair<QString, QStringList>{"x-terminal-emulator", {"-e", "alsamixer"}}));

    // The sound server's mixer comes first; one that fails to start gives way to the next.
    b.programmesPresents << "gnome-control-center"
                         << "pavucontrol";
    b.programmesEnPanne = {"pavucontrol"};
    cliquer();
    ASSERT_EQ(b.detaches.size(), 2u);
    EXPECT_EQ(b.detaches[0].first, "pavucontrol");
    EXPECT_EQ(b.detaches[1], (std::pair<QString, QStringList>{"gnome-control-center", {"sound"}}));
    EXPECT_TRUE(dialogues().messages().isEmpty());
}

TEST_F(FenetreSon, ApresUnHoquetLImageEtLeSonRestentEnsemble) {
    // The machine stalls for a second during a 3-second recording: the microphone, which
    // loses what it cannot hold, tells in each sample when it heard it.
    auto& r = reglagesMicroSimule();
    r.signal = ReglagesMicroSimule::Signal::Horloge;
    r.pertes = true;
    r.hoquetApresMs = 800;
    r.hoquetDureeMs = 1000;
    projet(36);  // 3 seconds at 83333 µs: a 3-second recording
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_EQ(w.entreeEnregistrement.RecTime, 3);
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
        // Once, calmly, in the status line.
        EXPECT_TRUE(w.ligneEtat->text().startsWith("Son enregistré avec 1 coupure ("))
            << w.ligneEtat->text().toStdString();
        EXPECT_TRUE(w.ligneEtat->text().endsWith("le son reste calé sur les images."));
        // Each report, at its longest, shows whole in its line.
        for (const bool incertaine : {false, true}) {
            w.ligneEtat->setText(texteCoupures(12, 99 * 44100 * 4, incertaine));
            EXPECT_LE(w.ligneEtat->heightForWidth(w.ligneEtat->width()), w.ligneEtat->height())
                << w.ligneEtat->text().toStdString();
        }
    });
    EXPECT_EQ(fins, QStringList{""});
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    dossier.conserver(son());

    const auto l = test::lireAvecFfmpeg(son().toStdString());
    ASSERT_EQ(l.trames, 3 * 44100);  // the film plus one second, the lost time included
    const auto debut = fenetre().debutEnregistrement();
    const auto ms = [](std::chrono::steady_clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
    };
    // The sound recorded at the instant each frame went on screen was heard at that instant,
    // within one frame period; after the stall as before it.
    int apres = 0, silencieuses = 0;
    for (const auto& [k, instant, retard] : instants) {
        const int64_t trame =
            std::chrono::duration_cast<std::chrono::microseconds>(instant - debut).count() * 44100 /
            1000000;
        if (trame >= l.trames) continue;
        const int16_t v = l.echantillons[static_cast<size_t>(2 * trame)];
        if (v == 0) {
            ++silencieuses;
            continue;
        }
        const auto ecart =
            static_cast<int16_t>(static_cast<uint16_t>(v) - static_cast<uint16_t>(ms(instant)));
        EXPECT_LT(std::abs(ecart), 83) << "image " << k;
        if (instant - debut > std::chrono::milliseconds(2000)) ++apres;
    }
    EXPECT_GE(silencieuses, 6);  // the stall's second
    EXPECT_GE(apres, 8);
}

TEST_F(FenetreSon, ChaqueImageArriveAvecLeSonDeSonInstant) {
    // The microphone stamps each sample with the instant it heard it. Frame k is due when the
    // sound k frame periods into "audio.wav" is heard, for the first frame as for the others:
    // what is heard at the instant the window painted it, less how late the window says it
    // came, lies there within 5 ms. At 12 and at 5 frames a second, and with a card whose
    // crystal runs 1 % fast (the pictures would lag 20 ms behind its sound by the last frame).
    // A fast reader shows every frame; a loaded machine may hold the window's thread past a
    // frame's time, and the recording is then made again, twice at most.
    reglagesMicroSimule().signal = ReglagesMicroSimule::Signal::Horloge;
    projet(25);  // 25 frames at 83333 µs
    struct Cas {
        int images;
        quint32 us;
        int ppm;
    };
    for (const auto& [images, us, ppm] :
         {Cas{25, 83333u, 0}, Cas{10, 200000u, 0}, Cas{25, 83333u, 10000}}) {
        reglagesMicroSimule().derivePpm = ppm;
        f->projet.nbImages = images;
        test::ecrireEnTeteAvi(dossierProjet() + "video.avi", us, static_cast<quint32>(images));
        for (int essai = 0; essai < 3; ++essai) {
            instants.clear();
            montrees.clear();
            fins.clear();
            enregistrerJusquAuBout();
            ASSERT_EQ(fins, QStringList{""});
            ASSERT_TRUE(jusquA(montrees, images - 1));
            if (montrees.size() == images) break;
        }
        EXPECT_EQ(montrees.size(), images) << images << " images : " << montrees.size();
        const auto l = test::lireAvecFfmpeg(son().toStdString());
        std::vector<double> retards;
        for (const auto& [k, instant, retardMs] : instants) {
            const int64_t trame = trameEntendueA(l.echantillons, instant);
            ASSERT_GE(trame, 0);
            const double entenduMs = trame * 1000.0 / 44100 - k * us / 1000.0;
            EXPECT_LT(std::abs(entenduMs - retardMs), 5.0)
                << images << " images, " << ppm << " ppm, image " << k;
            EXPECT_GE(retardMs, 0) << "image " << k;
            retards.push_back(retardMs);
        }
        // Shown while it is due, as a rule.
        std::nth_element(retards.begin(), retards.begin() + retards.size() / 2, retards.end());
        EXPECT_LT(retards[retards.size() / 2], us / 1000.0);
    }
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
}

TEST_F(FenetreSon, UnLecteurLentMontreToujoursLImageDue) {
    // Reading a frame takes one period and a half, as from a USB stick: frames are skipped,
    // but each one shown is the one due, within a period, up to the last; the sound is whole.
    reglagesMicroSimule().signal = ReglagesMicroSimule::Signal::Horloge;
    projet(30);  // 2.5 seconds at 12 frames a second: a 3-second recording
    fenetre().lireImage = [](const QString& chemin) {
        std::this_thread::sleep_for(std::chrono::microseconds(125000));
        return chargerImage(chemin);
    };
    QList<QChar> lettres;
    QObject local;
    QObject::connect(&fenetre(), &DialogueEnregistrementSon::imageMontree, &local,
                     [&](int, qint64) { lettres << imageAffichee(); });
    enregistrerJusquAuBout();
    ASSERT_EQ(fins, QStringList{""});
    ASSERT_FALSE(instants.isEmpty());
    EXPECT_EQ(instants.back().index, 29);
    EXPECT_GE(instants.size(), 12);
    const auto l = test::lireAvecFfmpeg(son().toStdString());
    ASSERT_EQ(l.trames, 3 * 44100);
    // The window says how late each frame came, and says it right; a loaded machine may hold
    // the window's own thread now and then, so the frames are due ones as a rule: half of them
    // at least within their period.
    std::vector<double> ecarts;
    for (int i = 0; i < instants.size(); ++i) {
        const auto& [k, instant, retardMs] = instants[i];
        if (i > 0) {
            EXPECT_GT(k, instants[i - 1].index);
        }
        EXPECT_EQ(lettres[i], test::lettresFilm(30)[k]) << "image " << k;
        const double ecartMs =
            trameEntendueA(l.echantillons, instant) * 1000.0 / 44100 - k * 83.333;
        EXPECT_GT(ecartMs, -5.0) << "image " << k;
        EXPECT_LT(std::abs(ecartMs - retardMs), 5.0) << "image " << k;
        ecarts.push_back(ecartMs);
    }
    std::nth_element(ecarts.begin(), ecarts.begin() + ecarts.size() / 2, ecarts.end());
    EXPECT_LT(ecarts[ecarts.size() / 2], 83.333);
    // Each second of sound follows the one before it: none was lost to the slow reader.
    for (int64_t n = 44100; n < l.trames; n += 44100)
        EXPECT_NEAR(static_cast<int16_t>(static_cast<uint16_t>(l.echantillons[2 * n]) -
                                         static_cast<uint16_t>(l.echantillons[0])),
                    1000.0 * n / 44100, 1.0);
}

TEST_F(FenetreSon, UnDisquePleinGardeLAncienneBandeSon) {
    projet(100);  // a 9-second recording: more than the disk holds
    test::ecrireFichier(son(), "l'ancienne bande-son");
    ouvrir([&](DialogueEnregistrementSon& w) {
        test::DisquePlein plein(300000);
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
        EXPECT_TRUE(w.boutonEnregistrer->isEnabled());
    });
    ASSERT_EQ(fins.size(), 1);
    EXPECT_TRUE(
        fins[0].startsWith("L'enregistrement s'est arrêté avant la fin.\nImpossible "
                           "d'écrire le fichier « " +
                           son() + " »"))
        << fins[0].toStdString();
    EXPECT_EQ(dialogues().messages(), QStringList{fins[0]});
    EXPECT_EQ(lire(son()), "l'ancienne bande-son");
    EXPECT_TRUE(test::temporaires(dossierProjet()).isEmpty());
}

TEST_F(FenetreSon, UnMicroQuiNeSOuvrePasDeuxFoisPasseDuNiveauALEnregistrement) {
    // A plain ALSA card, no sound server: while the meter holds it, nobody else can open it.
    reglagesMicroSimule().exclusif = true;
    projet(24);  // a 2-second recording
    ouvrir([&](DialogueEnregistrementSon& w) {
        ASSERT_TRUE(attendreQue([&] { return w.indicateurNiveau->value() == 22; }));
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue([&] { return montrees.size() >= 6 || !fins.isEmpty(); }));
        ASSERT_TRUE(fins.isEmpty()) << fins[0].toStdString();
        // The meter still moves: the recording feeds it.
        w.indicateurNiveau->setValue(0);
        EXPECT_TRUE(attendreQue([&] { return w.indicateurNiveau->value() == 22; }));
        EXPECT_TRUE(w.enregistreur.EnCours());
        ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
        // Then the meter has the microphone back.
        EXPECT_NE(w.sortieSurveillance.Status(), 2);
        w.indicateurNiveau->setValue(0);
        EXPECT_TRUE(attendreQue([&] { return w.indicateurNiveau->value() == 22; }));
    });
    EXPECT_EQ(fins, QStringList{""});
    EXPECT_TRUE(jusquA(montrees, 23));
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
    EXPECT_EQ(test::lireAvecFfmpeg(son().toStdString()).trames, 2 * 44100);
}

TEST_F(FenetreSon, VideoInterrompueOuPlusCourteQueLeFilm) {
    // A video cut off while it was made still says 0 frames: refused.
    projet(10);
    test::ecrireEnTeteAvi(dossierProjet() + "video.avi", 83333, 0);
    ouvrir([&](DialogueEnregistrementSon& w) { EXPECT_FALSE(w.boutonEnregistrer->isEnabled()); });
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].contains("recréez la vidéo"))
        << dialogues().messages()[0].toStdString();
    EXPECT_FALSE(QFile::exists(son()));

    // A video of 7 frames for a film of 10: said before recording, which goes on with the
    // frames of the video.
    dialogues().affichages.clear();
    test::ecrireEnTeteAvi(dossierProjet() + "video.avi", 83333, 7);
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_TRUE(w.ligneEtat->text().contains("3 dernières images"))
            << w.ligneEtat->text().toStdString();
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
    });
    EXPECT_EQ(fins, QStringList{""});
    EXPECT_TRUE(jusquA(montrees, 6));
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();

    // A video of the whole film, then a frame of the middle deleted: as many frames as the
    // video would say, but the film is not the one it shows.
    test::ecrireEnTeteAvi(dossierProjet() + "video.avi", 83333, 10);
    ecrireReleve(f->projet, kNomVideo, releverFilm(f->projet));
    ouvrir([&](DialogueEnregistrementSon& w) { EXPECT_TRUE(w.ligneEtat->text().isEmpty()); });
    f->projet.imageCourante = 4;
    f->boutonSupprimerImage->click();
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_TRUE(w.ligneEtat->text().startsWith(
            "Le film a changé depuis la dernière vidéo (1 image modifiée)"))
            << w.ligneEtat->text().toStdString();
    });
}

TEST_F(FenetreSon, CompteAReboursAvantLEnregistrement) {
    projet(12);  // a one-second recording
    test::ecrireFichier(son(), "l'ancienne bande-son");
    fenetre().caseCompteARebours->setChecked(true);
    // "FERMER" during the countdown: nothing recorded, the sound track untouched.
    ouvrir([&](DialogueEnregistrementSon& w) {
        w.boutonEnregistrer->click();
        EXPECT_TRUE(w.compteARebours->isVisible());
        EXPECT_EQ(w.compteARebours->text(), "3");
        EXPECT_TRUE(attendreQue([&] { return w.compteARebours->text() == "2"; }, 3000));
        EXPECT_FALSE(w.boutonEnregistrer->isEnabled());
        w.boutonFermer->click();
    });
    test::attendreEvenements(1500);
    EXPECT_TRUE(fins.isEmpty());
    EXPECT_TRUE(montrees.isEmpty());
    EXPECT_FALSE(fenetre().compteARebours->isVisible());
    EXPECT_EQ(lire(son()), "l'ancienne bande-son");

    // To the end: 3, 2, 1 over the first frame, a second each, then the recording.
    std::chrono::steady_clock::time_point clic;
    QStringList chiffres;
    ouvrir([&](DialogueEnregistrementSon& w) {
        clic = std::chrono::steady_clock::now();
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue([&] {
            if (w.compteARebours->isVisible() && !chiffres.contains(w.compteARebours->text()))
                chiffres << w.compteARebours->text();
            return !fins.isEmpty();
        }));
    });
    EXPECT_EQ(chiffres, (QStringList{"3", "2", "1"}));
    EXPECT_EQ(fins, QStringList{""});
    ASSERT_FALSE(instants.isEmpty());
    EXPECT_GE(instants[0].instant - clic, std::chrono::milliseconds(2900));
    EXPECT_EQ(test::lireAvecFfmpeg(son().toStdString()).trames, 44100);

    // Remembered: a window made later (the next run) starts with the box as it was left.
    fenetre().caseCompteARebours->setChecked(false);
    EXPECT_FALSE(DialogueEnregistrementSon(f->projet, nullptr).caseCompteARebours->isChecked());
    fenetre().caseCompteARebours->setChecked(true);
    EXPECT_TRUE(DialogueEnregistrementSon(f->projet, nullptr).caseCompteARebours->isChecked());
}

TEST_F(FenetreSon, TempsPuisFormeDOndeOuChaqueImageSEntend) {
    // The microphone counts: sample frame n holds n, so each frame's sound is known.
    reglagesMicroSimule().signal = ReglagesMicroSimule::Signal::Rampe;
    projet(25);  // 2 seconds and a frame at 12 frames a second: a 3-second recording
    QStringList temps;
    const auto cliquer = [](QWidget* w, int x) {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(x, w->height() / 2.0),
                      w->mapToGlobal(QPointF(x, w->height() / 2.0)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    };
    // The sound of frame k: from sample frame k × 44100 / 12 to the next frame's.
    const auto sonDeLImage = [](int k) {
        std::vector<uint8_t> o;
        for (int64_t n = std::llround(k * 44100 / 12.0); n < std::llround((k + 1) * 44100 / 12.0);
             ++n)
            for (int c = 0; c < 2; ++c) {
                o.push_back(static_cast<uint8_t>(n & 0xFF));
                o.push_back(static_cast<uint8_t>((n >> 8) & 0xFF));
            }
        return o;
    };
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_EQ(w.barreSon->mode(), BandeSon::Mode::Texte);  // no sound track yet
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue([&] {
            if (w.barreSon->mode() == BandeSon::Mode::Temps && !temps.contains(w.barreSon->texte()))
                temps << w.barreSon->texte();
            return !fins.isEmpty();
        }));
        // The time gone and the time left of the 3-second recording.
        EXPECT_TRUE(temps.contains("0:01 — reste 0:02")) << temps.join('|').toStdString();
        EXPECT_TRUE(temps.contains("0:02 — reste 0:01")) << temps.join('|').toStdString();

        ASSERT_TRUE(attendreQue([&] { return w.barreSon->mode() == BandeSon::Mode::FormeOnde; }));
        EXPECT_EQ(w.barreSon->images(), 25);
        cliquer(w.barreSon, w.barreSon->xDeLImage(7));
        EXPECT_EQ(imageAffichee(), test::lettresFilm(25)[7]);
        ASSERT_EQ(ecoute.jouees.size(), 1u);
        EXPECT_TRUE(ecoute.jouees[0] == sonDeLImage(7));
        // The arrows go on frame by frame.
        QKeyEvent droite(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        QCoreApplication::sendEvent(w.barreSon, &droite);
        EXPECT_EQ(imageAffichee(), test::lettresFilm(25)[8]);
        ASSERT_EQ(ecoute.jouees.size(), 2u);
        EXPECT_TRUE(ecoute.jouees[1] == sonDeLImage(8));
        QKeyEvent gauche(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
        QCoreApplication::sendEvent(w.barreSon, &gauche);
        QCoreApplication::sendEvent(w.barreSon, &gauche);
        EXPECT_EQ(imageAffichee(), test::lettresFilm(25)[6]);
    });
    EXPECT_EQ(fins, QStringList{""});
    EXPECT_EQ(ecoute.ouvertures, 1);
    EXPECT_EQ(ecoute.fermetures, 1);  // the sound card is let go with the window

    // Opened again on the project and its sound track: the waveform at once, the last frame
    // heard to its end.
    ouvrir([&](DialogueEnregistrementSon& w) {
        ASSERT_TRUE(attendreQue([&] { return w.barreSon->mode() == BandeSon::Mode::FormeOnde; }));
        w.barreSon->choisirImage(24);
        cliquer(w.barreSon, w.barreSon->xDeLImage(24));
        EXPECT_EQ(imageAffichee(), test::lettresFilm(25)[24]);
        EXPECT_TRUE(ecoute.jouees.back() == sonDeLImage(24));
    });
}

TEST_F(FenetreSon, UneBandeSonQuiSEcritEncore) {
    // A cold USB stick: putting the new sound track in place takes a second and a half after
    // "FERMER". The microphone, which cannot be opened twice, is free at once: the window
    // opens again without waiting and its meter moves.
    reglagesMicroSimule().exclusif = true;
    projet(100);
    test::ecrireFichier(son(), "l'ancienne bande-son");
    auto lent = [](const std::string& temporaire, const std::string& final) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        remplacerParTemporaire(QFile::decodeName(temporaire.c_str()),
                               QFile::decodeName(final.c_str()));
    };
    fenetre().enregistreur.Remplacer = lent;
    const auto enregistrerPuisFermer = [&] {
        fins.clear();
        ouvrir([&](DialogueEnregistrementSon& w) {
            w.boutonEnregistrer->click();
            ASSERT_TRUE(attendreQue([&] { return montrees.size() >= 3; }));
            w.boutonFermer->click();
        });
    };
    enregistrerPuisFermer();
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_TRUE(w.enregistreur.EnCours());
        EXPECT_FALSE(w.boutonEnregistrer->isEnabled());
        EXPECT_TRUE(attendreQue([&] { return w.indicateurNiveau->value() == 22; }));
        ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
        EXPECT_TRUE(w.boutonEnregistrer->isEnabled());
    });
    EXPECT_EQ(fins, QStringList{""});
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();

    // « Ré-écouter » right after "FERMER" waits for the new sound track, then opens it.
    test::ecrireFichier(son(), "l'ancienne bande-son");
    enregistrerPuisFermer();
    f->actionEcouterSon->trigger();
    EXPECT_EQ(scenario.bureau().documents, QStringList{son()});
    EXPECT_NE(lire(son()), "l'ancienne bande-son");
    EXPECT_TRUE(test::temporaires(dossierProjet()).isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    test::attendreEvenements(50);
    EXPECT_EQ(fins, QStringList{""});

    // Not beyond a while: the user is told, and nothing runs on the old track.
    scenario.bureau().documents.clear();
    fenetre().attenteFinEnregistrementMs = 200;
    enregistrerPuisFermer();
    f->actionEcouterSon->trigger();
    EXPECT_TRUE(scenario.bureau().documents.isEmpty());
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].contains("réessayez dans un moment"));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    ASSERT_TRUE(attendreQue([&] { return !fins.isEmpty(); }));
}

TEST_F(FenetreSon, DisqueQuiNeConfirmePasLaNouvelleBandeSon) {
    // The new sound track has taken the old one's place, then the disk failed to flush the
    // folder: the window says so, and does not claim the old one is kept.
    projet(12);
    test::ecrireFichier(son(), "l'ancienne bande-son");
    fenetre().enregistreur.Remplacer = [](const std::string& temporaire, const std::string& final) {
        remplacerParTemporaire(QFile::decodeName(temporaire.c_str()),
                               QFile::decodeName(final.c_str()));
        throw ErreurNonConfirmee("Impossible d'écrire dans le dossier : erreur du matériel");
    };
    enregistrerJusquAuBout();
    ASSERT_EQ(fins.size(), 1);
    EXPECT_TRUE(fins[0].contains("la nouvelle bande-son a remplacé l'ancienne"))
        << fins[0].toStdString();
    EXPECT_TRUE(fins[0].contains("erreur du matériel"));
    EXPECT_FALSE(fins[0].contains("gardée")) << fins[0].toStdString();
    EXPECT_EQ(test::lireAvecFfmpeg(son().toStdString()).trames, 44100);
}

TEST_F(FenetreSon, UneImageIllisiblePendantLEnregistrementEstDiteUneFois) {
    projet(24);  // a 2-second recording
    fenetre().lireImage = [&](const QString& chemin) -> QImage {
        for (int k = 5; k < 9; ++k)
            if (chemin == cheminImage(f->projet, k)) throw Erreur("illisible");
        return chargerImage(chemin);
    };
    QStringList lignes;
    ouvrir([&](DialogueEnregistrementSon& w) {
        w.boutonEnregistrer->click();
        ASSERT_TRUE(attendreQue([&] {
            // During the recording.
            if (fins.isEmpty() && !lignes.contains(w.ligneEtat->text()))
                lignes << w.ligneEtat->text();
            return !fins.isEmpty();
        }));
        EXPECT_TRUE(w.ligneEtat->text().contains("ne peut pas être lue"))
            << w.ligneEtat->text().toStdString();
    });
    EXPECT_EQ(fins, QStringList{""});
    EXPECT_EQ(lignes.filter("ne peut pas être lue").size(), 1) << lignes.join('|').toStdString();
    EXPECT_TRUE(dialogues().messages().isEmpty());
}

TEST_F(FenetreSon, UneFormeDOndeLenteNeRetientPasLaFenetre) {
    // The envelope of a long track on a cold stick takes its time: a later one gives it up,
    // the window never waits for it.
    projet(12);
    test::ecrireFichier(son(), "l'ancienne bande-son");
    std::atomic<int> abandonnes{0};
    fenetre().calculerFormeOnde = [&](const std::string&,
                                      const std::atomic<bool>* abandon) -> Enveloppe {
        const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!abandon->load() && std::chrono::steady_clock::now() < limite)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (abandon->load()) ++abandonnes;
        throw EnveloppeAbandonnee{};
    };
    ouvrir([](DialogueEnregistrementSon&) {});
    ouvrir([&](DialogueEnregistrementSon& w) {
        EXPECT_TRUE(attendreQue([&] { return abandonnes == 1; }, 5000));
        EXPECT_EQ(w.barreSon->mode(), BandeSon::Mode::Texte);  // « Lecture de la bande-son… »
    });
}
