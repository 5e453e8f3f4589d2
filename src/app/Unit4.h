#pragma once

#include <QDialog>

#include "sequence/Projet.h"

class QLineEdit;
class QPushButton;

namespace vp {

// The Video settings dialog: frame rate, width and height of the video.
class TFvideo : public QDialog {
    Q_OBJECT
public:
    TFvideo(ProjetCourant& projet, QWidget* parent);

    QLineEdit* Eims;
    QLineEdit* Elargeur;
    QLineEdit* Ehauteur;
    QPushButton* bvalider;
    QPushButton* bannuler;

    void bvaliderClick();
    void bannulerClick();

private:
    ProjetCourant& p_;
};

}  // namespace vp
