#pragma once

#include <QScrollArea>
#include <array>

#include "Projet.h"

class QLabel;
class QScrollBar;
class QFrame;

namespace vp {

class ImageEtiree;

// The film strip (the scroll box SB of the main window): five thumbnails centred on the
// current frame, their numbers, the fixed frame around the middle one and the scroll bar.
class BandeFilm : public QScrollArea {
    Q_OBJECT
public:
    BandeFilm(ProjetCourant& projet, QWidget* parent);

    // The labels outside the strip that it keeps up to date, and the placeholder picture.
    void relier(QLabel* limages, QLabel* labS, const ImageEtiree* bb);

    void rafraichirBande();
    void afficherNombreImages();
    void afficherSelection();

    void SCRChange();
    void V1Click();
    void V2Click();
    void V4Click();
    void V5Click();
    void SGClick();
    void SFClick();
    void SpeedButton17Click();

    // The current frame stretched to 320 x 240 (the onion skin's reference), remade only when
    // the middle thumbnail gets a new picture; `version()` changes each time it is remade.
    const QImage& referenceOignon() const { return reference_; }
    quint64 version() const { return version_; }

    ImageEtiree* V1;
    ImageEtiree* V2;
    ImageEtiree* V3;
    ImageEtiree* V4;
    ImageEtiree* V5;
    QLabel* LAB1;
    QLabel* LAB2;
    QLabel* LAB3;
    QLabel* LAB4;
    QLabel* LAB5;
    QFrame* kase;
    QScrollBar* SCR;

private:
    std::array<ImageEtiree*, 5> vues() const { return {V1, V2, V3, V4, V5}; }
    std::array<QLabel*, 5> etiquettes() const { return {LAB1, LAB2, LAB3, LAB4, LAB5}; }
    QImage placeholder() const;

    ProjetCourant& p_;
    QLabel* limages_ = nullptr;
    QLabel* labS_ = nullptr;
    const ImageEtiree* bb_ = nullptr;
    QImage reference_;
    quint64 version_ = 0;
};

// Colour of a strip label: red inside the selection, black outside.
inline constexpr QRgb kRougeSelection = 0xFFFF0000;
inline constexpr QRgb kNoir = 0xFF000000;

}  // namespace vp
