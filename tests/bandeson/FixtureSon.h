#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <cstring>
#include <functional>

#include "app/Fixture.h"
#include "audio/simule/MicroSimule.h"
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

// The program with a project open, the simulated microphone reset, and what the recording
// window shows and tells recorded.
class ProgrammeSon : public Programme {
protected:
    QList<int> montrees;  // frames put on screen by the playback, in order
    QStringList fins;     // ends of recordings: empty for a normal end, else the message
    QObject abonnements;  // the connections to the window end with the test

    void SetUp() override {
        reglagesMicroSimule().reinitialiser();
        reglagesMicroSimule().signal = ReglagesMicroSimule::Signal::Constante;
        reglagesMicroSimule().constante = 1000;
        Programme::SetUp();
        QObject::connect(&fenetre(), &DialogueEnregistrementSon::imageMontree, &abonnements,
                         [this](int k, qint64) { montrees << k; });
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
};

}  // namespace vp::test
