// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "sequence/Projet.h"

class QLineEdit;
class QPushButton;

namespace vp {

// The Video settings dialog: frame rate, width and height of the video.
class DialogueReglagesVideo : public QDialog {
    Q_OBJECT
public:
    DialogueReglagesVideo(ProjetCourant& projet, QWidget* parent);

    QLineEdit* champImagesParSeconde;
    QLineEdit* champLargeur;
    QLineEdit* champHauteur;
    QPushButton* boutonValider;
    QPushButton* boutonAnnuler;

    void valider();
    void annuler();

private:
    ProjetCourant& p_;
};

}  // namespace vp
