// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <memory>
#include <string>

#include "film/PisteSon.h"
#include "film/SortieSon.h"

class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace vp {

class DecodeurImages;

// The picture, scaled to the widget with its proportions kept, on black.
class ImageVideo : public QWidget {
public:
    explicit ImageVideo(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    QSize sizeHint() const override { return {640, 480}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage image_;
};

// The editor's window: the video's pictures with its sound track, play and pause, a position
// slider, the time, and "Enregistrer le film…", which writes the film as the batch runner does.
// While the sound plays, the sound card's position drives the pictures; without sound, the clock.
class FenetreEditeur : public QWidget {
    Q_OBJECT
public:
    struct Contenu {
        std::string video;        // the pictures
        std::string son;          // the sound (a WAV file, or a film's own sound); empty: none
        std::string film;         // where the film is saved first (empty: beside the video)
        bool visionnage = false;  // viewing a file: nothing to save
    };
    // Raises ErreurFilm when the video cannot be read.
    FenetreEditeur(const Contenu& contenu, OuvrirSortieSon ouvrirSortie, QWidget* parent = nullptr);
    ~FenetreEditeur() override;

    ImageVideo* image;
    QPushButton* boutonLecture;
    QSlider* glissierePosition;
    QLabel* etiquetteTemps;
    QPushButton* boutonEnregistrer;
    QLabel* ligneEtat;
    QTimer* minuterie;

    void basculerLecture();
    bool enLecture() const { return enLecture_; }
    // Shows picture `n`; playing goes on from there.
    void allerA(int n);
    // Asks where to save the film and writes it.
    void enregistrerFilm();
    // One tick of playback: the picture for the instant the clock (or the sound card) gives.
    void avancer();

private:
    void demarrer();
    void arreter();
    void afficher(int n);
    void afficherTemps(double secondes);

    Contenu contenu_;
    std::unique_ptr<DecodeurImages> decodeur_;
    PisteSon piste_;
    std::unique_ptr<SortieSon> sortie_;
    double duree_ = 0;
    bool enLecture_ = false;
    bool sonEnCours_ = false;  // the sound card drives the pictures
    double depart_ = 0;        // instant where the clock started, in seconds
    QElapsedTimer chrono_;
    int affichee_ = -1;
    bool finAtteinte_ = false;  // the last playing went to the end
};

}  // namespace vp
