// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QScrollArea>
#include <array>
#include <functional>

#include "Projet.h"

class QLabel;
class QScrollBar;
class QFrame;

namespace vp {

class ImageEtiree;

// The film strip (the scroll box bandeFilm of the main window): five thumbnails centred on the
// current frame, their numbers, the fixed frame around the middle one and the scroll bar.
class BandeFilm : public QScrollArea {
    Q_OBJECT
public:
    BandeFilm(ProjetCourant& projet, QWidget* parent);

    // The labels outside the strip that it keeps up to date, and the placeholder picture.
    void relier(QLabel* etiquetteNombre, QLabel* etiquetteSelection, const ImageEtiree* imageVide);

    // Brings the strip to the current frame, then runs `apresRafraichissement`, even when a frame
    // cannot be read.
    void rafraichirBande();
    // What else follows the strip (the preview, the full-screen window): set by the main window,
    // run after every refresh, whether a command or the strip itself (scrolling, a click on a
    // thumbnail) moved the current frame.
    std::function<void()> apresRafraichissement;
    void afficherNombreImages();
    void afficherSelection();

    void suivreDefilement();
    // A click on thumbnail `rang` (0 to 4, the middle one being 2).
    void cliquerVignette(int rang);
    void marquerDebutSelection();
    void marquerFinSelection();
    void annulerSelection();

    // The current frame stretched to 320 x 240 (the onion skin's reference), remade only when
    // the middle thumbnail gets a new picture; `version()` changes each time it is remade.
    const QImage& referenceOignon() const { return reference_; }
    quint64 version() const { return version_; }

    // Current frame - 2 to current frame + 2, and the frame numbers above them.
    std::array<ImageEtiree*, 5> vignettes{};
    std::array<QLabel*, 5> numeros{};
    QFrame* cadreCentre;
    QScrollBar* barreDefilement;

protected:
    bool eventFilter(QObject* objet, QEvent* evenement) override;

private:
    QImage imageDeRemplacement() const;

    ProjetCourant& p_;
    QLabel* etiquetteNombre_ = nullptr;
    QLabel* etiquetteSelection_ = nullptr;
    const ImageEtiree* imageVide_ = nullptr;
    QImage reference_;
    quint64 version_ = 0;
};

// Colour of a strip label: red inside the selection, black outside.
inline constexpr QRgb kRougeSelection = 0xFFFF0000;
inline constexpr QRgb kNoir = 0xFF000000;

}  // namespace vp
