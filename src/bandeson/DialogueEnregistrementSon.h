// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QImage>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "Enveloppe.h"
#include "InfosVideo.h"
#include "LecteurImages.h"
#include "audio/EntreeSon.h"
#include "audio/FichierWav.h"
#include "audio/IndicateurNiveau.h"
#include "audio/SortieNulle.h"
#include "film/PisteSon.h"
#include "film/SortieSon.h"
#include "sequence/Projet.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;

namespace vp {

class BandeSon;
class ImageEtiree;

// The status line's report of the cuts in a recording: how many, the silence put in place of
// the lost sound, and whether the microphone could not measure some of it.
QString texteCoupures(int coupures, int64_t octetsSilence, bool incertaine);

// The window "Enregistrement audio": the project's frames play at the video's rate while the
// microphone records "audio.wav" for the video's length plus one second. Frame k goes on screen
// k frame periods after the first sample, so that what a pupil says while it is shown lies
// under it in the film. A countdown (3, 2, 1) may come first. A level meter shows the
// microphone all the time the window is open. Under the picture, a bar shows the time during a
// recording, then the sound track's waveform: a frame chosen on it is shown and its sound
// played. Created once; each opening is modal.
//
// Two chains on the same microphone: the monitoring chain feeds the meter and drops the sound;
// the recording chain writes the file and feeds the meter while it runs. The recording takes
// the microphone over from the monitoring chain and gives it back, so that a device that cannot
// be opened twice works too. Their events arrive on worker threads and are carried to the
// window's thread. A recording is written beside "audio.wav" and replaces it only once
// complete: a failure, a kill or a power cut leave the previous sound track.
class DialogueEnregistrementSon : public QDialog {
    Q_OBJECT
public:
    DialogueEnregistrementSon(ProjetCourant& projet, QWidget* parent);
    ~DialogueEnregistrementSon() override;

    // Controls.
    ImageEtiree* vueImage;
    QLabel* compteARebours;          // the figures 3, 2, 1 over the first frame
    QProgressBar* indicateurNiveau;  // 0 to 40
    BandeSon* barreSon;              // the time, then the waveform
    QPushButton* boutonEnregistrer;
    QPushButton* boutonFermer;
    QToolButton* boutonMelangeur;
    QCheckBox* caseCompteARebours;  // remembered between runs
    // Under the buttons: what the last recording has to say (the sound lost to a stall), or
    // that the video misses frames of the project.
    QLabel* ligneEtat;
    QTimer* minuterieNiveau;  // every 100 ms, from creation: the meter and the time
    QTimer* minuterieImages;  // single shot, set to the next frame's due time
    QTimer* minuterieCompte;  // each second of the countdown

    // The monitoring chain, then the recording chain (sinks last: they go first).
    TAudioIn entreeSurveillance;
    TSoundIndicator niveauSurveillance;
    TNULLOut sortieSurveillance;
    TAudioIn entreeEnregistrement;
    TSoundIndicator niveauEnregistrement;
    TWaveOut enregistreur;

    // How a frame file is read during a recording, on the reader's thread (a test slows it
    // down as a USB stick would); raises Erreur when it cannot.
    std::function<QImage(const QString& chemin)> lireImage;
    // How the waveform's envelope is computed, on a worker thread (a test holds it as a cold
    // USB stick would).
    std::function<Enveloppe(const std::string& chemin, const std::atomic<bool>* abandon)>
        calculerFormeOnde;
    // The sound card that plays a chosen frame's sound (a test listens instead).
    OuvrirSortieSon ouvrirSortieSon;

    // "ENREGISTRER", "FERMER", the volume-mixer button.
    void enregistrer();
    void fermer();
    void ouvrirMelangeur();
    // The meter's timer: the level, and during a recording the time.
    void rafraichirNiveau();
    // Shows frame `index` of the sound track's waveform and plays its sound, as long as one
    // frame lasts.
    void choisirImage(int index);

    // What each opening does: frame 0, monitoring, the video's period and length, the file,
    // the waveform.
    void preparerOuverture();
    // The video read at the last opening; empty when it could not be used.
    const std::optional<InfosVideo>& video() const { return video_; }
    // When the recording in progress (or the last one) heard its first sample.
    std::chrono::steady_clock::time_point debutEnregistrement() const { return debut_; }
    bool compteEnCours() const;

    // Once the window is closed, a recording stopped by "FERMER" may still be writing its file
    // and putting it in place of "audio.wav". A command on the sound track (or on the project)
    // waits for that first, with the busy cursor, at most attenteFinEnregistrementMs; true when
    // the sound track is settled, else the user is told to try again and false.
    bool attendreFinEnregistrement(QWidget* parent);
    int attenteFinEnregistrementMs = 20000;

    // Longest wait, at an opening, for the last opening's chains to let go of the microphone.
    static constexpr int kAttenteSurveillanceMs = 2000;
    static constexpr int kSecondesCompte = 3;

signals:
    // Frame `index` went on screen at `instantNs` (steady clock), `retardUs` microseconds after
    // its due time.
    void imageMontree(int index, qint64 retardUs, qint64 instantNs);
    // The recording ended, normally when `erreur` is empty.
    void enregistrementTermine(const QString& erreur);
    // The bar shows the waveform of the project's sound track.
    void formeOndePrete();

protected:
    void showEvent(QShowEvent* e) override;
    // However the window closes, the countdown, the chains and the sound stop.
    void done(int resultat) override;

private:
    using Horloge = std::chrono::steady_clock;

    QString cheminSon() const;
    void brancherChaines();
    void demarrerSurveillance();
    // The monitoring chain lets go of the microphone for the recording.
    void libererMicro();
    void avancerCompte();
    void annulerCompte();
    void demarrerEnregistrement();
    // Shows the frame due now when it is ready, and waits for the next one.
    void avancerImages();
    void arreterLecture();
    Horloge::time_point echeance(int index) const;
    // The frames' due times follow the sound actually captured: the card's crystal is not the
    // computer's clock (they part by up to 30 ms in 5 minutes).
    void recalerSurLeSon();
    // Frame 0, or the empty picture when there is none.
    void afficherPremiereImage();
    // Computes the sound track's envelope on a worker thread; the bar shows it once done.
    void chargerFormeOnde();
    void formeOndeCalculee(uint64_t generation, std::shared_ptr<const Enveloppe> enveloppe,
                           const QString& erreur);
    // The frames of the film: those of the project that the video holds.
    int imagesDuFilm() const;
    void jouerSonImage(int index);
    void arreterSon();
    // The recording chain's end, on the window's thread; `erreur` empty for a normal end.
    // `sonRemplace`: the new file took the place of "audio.wav" even though the end failed.
    void finEnregistrement(const QString& erreur, bool sonRemplace);
    // The monitoring chain failed for `raison`, on the window's thread. One failure of the
    // microphone gives one message: during a recording, the recording's end speaks first.
    void finSurveillance(const QString& raison);

    ProjetCourant& p_;
    std::optional<InfosVideo> video_;
    Horloge::time_point debut_;
    bool debutConnu_ = false;  // debut_ is the device's own start, not a guess
    int imagesJouees_ = 0;     // frames of the recording in progress
    int derniereMontree_ = -1;
    bool lectureEnCours_ = false;
    LecteurImages lecteur_;
    int resteCompte_ = 0;
    bool finAttendue_ = false;    // a recording was started and its end has not come here yet
    QString panneNiveau_;         // the monitoring chain's failure, held during a recording
    QString derniereErreur_;      // the last recording's failure in this opening
    QString avertissementVideo_;  // frames of the project the video misses
    QString imageIllisible_;      // a frame of the recording in progress could not be read
    // The waveforms being computed: only the last one asked for is shown, the others are given
    // up (never waited for on this thread, except when the window goes).
    struct CalculOnde {
        std::shared_ptr<std::atomic<bool>> abandon;
        std::future<void> fin;
    };
    uint64_t generationOnde_ = 0;
    std::vector<CalculOnde> calculsOnde_;
    void abandonnerFormesOnde();
    // The chosen frame's sound and the card that plays it.
    PisteSon extrait_;
    std::unique_ptr<SortieSon> sortie_;
    bool sortieEssayee_ = false;
};

}  // namespace vp
