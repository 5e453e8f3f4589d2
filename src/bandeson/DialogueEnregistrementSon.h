#pragma once

#include <QDialog>
#include <QImage>
#include <chrono>
#include <optional>

#include "InfosVideo.h"
#include "audio/EntreeSon.h"
#include "audio/FichierWav.h"
#include "audio/IndicateurNiveau.h"
#include "audio/SortieNulle.h"
#include "sequence/Projet.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;

namespace vp {

class ImageEtiree;

// The status line's report of the cuts in a recording: how many, the silence put in place of
// the lost sound, and whether the microphone could not measure some of it.
QString texteCoupures(int coupures, int64_t octetsSilence, bool incertaine);

// The window "Enregistrement audio": the project's frames play at the video's rate while the
// microphone records "audio.wav" for the video's length plus one second. A level meter shows
// the microphone all the time the window is open. Created once; each opening is modal.
//
// Two chains on the same microphone: the monitoring chain feeds the meter and drops the sound;
// the recording chain runs only during a recording and writes the file. Their events arrive on
// worker threads and are carried to the window's thread.
class DialogueEnregistrementSon : public QDialog {
    Q_OBJECT
public:
    DialogueEnregistrementSon(ProjetCourant& projet, QWidget* parent);
    ~DialogueEnregistrementSon() override;

    // Controls.
    ImageEtiree* vueImage;
    QProgressBar* indicateurNiveau;  // 0 to 40
    QPushButton* boutonEnregistrer;
    QPushButton* boutonFermer;
    QToolButton* boutonMelangeur;
    // Under the buttons: what the last recording has to say (the sound lost to a stall).
    QLabel* ligneEtat;
    QTimer* minuterieNiveau;  // every 100 ms, from creation
    QTimer* minuterieImages;  // single shot, set to the next frame's due time

    // The monitoring chain, then the recording chain (sinks last: they go first).
    TAudioIn entreeSurveillance;
    TSoundIndicator niveauSurveillance;
    TNULLOut sortieSurveillance;
    TAudioIn entreeEnregistrement;
    TSoundIndicator niveauEnregistrement;
    TWaveOut enregistreur;

    // "ENREGISTRER", "FERMER", the volume-mixer button.
    void enregistrer();
    void fermer();
    void ouvrirMelangeur();
    // The timers' work.
    void rafraichirNiveau();
    void montrerImageSuivante();

    // What each opening does: frame 0, monitoring, the video's period and length, the file.
    void preparerOuverture();
    // The video read at the last opening; empty when it could not be used.
    const std::optional<InfosVideo>& video() const { return video_; }
    // When the recording in progress (or the last one) started.
    std::chrono::steady_clock::time_point debutEnregistrement() const { return debut_; }

    // Longest wait, at an opening, for the last opening's monitoring chain to finish.
    static constexpr int kAttenteSurveillanceMs = 2000;

signals:
    // Frame `index` went on screen, `retardUs` microseconds after its due time.
    void imageMontree(int index, qint64 retardUs);
    // The recording ended, normally when `erreur` is empty.
    void enregistrementTermine(const QString& erreur);

protected:
    void showEvent(QShowEvent* e) override;
    // However the window closes, both chains stop.
    void done(int resultat) override;

private:
    void brancherChaines();
    void demarrerSurveillance();
    void programmerImageSuivante();
    // Reads and scales frame `index` ahead of its due time; a null picture when it cannot be
    // read.
    void preparerImage(int index);
    // Frame 0, or the empty picture when there is none.
    void afficherPremiereImage();
    // The recording chain's end, on the window's thread; `erreur` empty for a normal end.
    void finEnregistrement(const QString& erreur);
    // The monitoring chain failed for `raison`, on the window's thread. One failure of the
    // microphone gives one message: during a recording, the recording's end speaks first.
    void finSurveillance(const QString& raison);

    ProjetCourant& p_;
    std::optional<InfosVideo> video_;
    std::chrono::steady_clock::time_point debut_;
    QImage imagePrete_;
    int indexPrete_ = -1;
    bool finAttendue_ = false;  // a recording was started and its end has not come here yet
    QString panneNiveau_;       // the monitoring chain's failure, held during a recording
    QString derniereErreur_;    // the last recording's failure in this opening
};

}  // namespace vp
