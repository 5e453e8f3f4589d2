#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

#include "FixtureSon.h"
#include "app/DialogueReglagesVideo.h"
#include "audio/Commun.h"
#include "bandeson/Melangeur.h"
#include "video/DialogueCompression.h"

using namespace vp;
using test::attendreQue;
using test::ProgrammeSon;

namespace {

using FenetreSon = ProgrammeSon;

QList<int> suite(int n) {
    QList<int> l;
    for (int k = 0; k < n; ++k)
        l << k;
    return l;
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
    EXPECT_EQ(montrees, suite(25));
    QList<QChar> attendues;
    for (QChar c : test::lettresFilm(25))
        attendues << c;
    EXPECT_EQ(lettres, attendues);
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
    dossier.conserver(son());
    enTeteJuste(son());
    const qint64 taille = QFileInfo(son()).size() - 44;
    EXPECT_GT(taille, 0);
    EXPECT_LT(taille, 9 * 176400);
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
    EXPECT_EQ(montrees, suite(1));
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
    // One failure of the microphone, one message.
    EXPECT_EQ(dialogues().messages().join('|').toStdString(), fins[0].toStdString());
    reglagesMicroSimule().muet = false;
    dossier.conserver(son());
    enTeteJuste(son());
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
    QList<std::pair<int, std::chrono::steady_clock::time_point>> instants;
    QObject local;
    QObject::connect(&fenetre(), &DialogueEnregistrementSon::imageMontree, &local,
                     [&](int k, qint64) {
                         instants.append({k, std::chrono::steady_clock::now()});
                     });
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
    for (const auto& [k, instant] : instants) {
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
