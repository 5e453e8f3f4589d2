// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "FichierAvi.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QSpinBox;

namespace vp {

// "Compression vidéo": the codecs on offer, with their quality, key frame interval and data
// rate where the codec takes them. The last choice is kept for the rest of the run.
class DialogueCompression : public QDialog {
    Q_OBJECT
public:
    explicit DialogueCompression(QWidget* parent = nullptr);

    QListWidget* Codecs;
    QSlider* Qualite;
    QLabel* TexteQualite;
    QCheckBox* ImagesCles;
    QSpinBox* Intervalle;
    QCheckBox* Debit;
    QSpinBox* KoParSeconde;
    QPushButton* boutonOk;
    QPushButton* boutonAnnuler;

    // Selects the codec named by `fcc` in the list; false when it is not on offer.
    bool choisirCodec(uint32_t fcc);
    // The options as the dialog sets them.
    void remplir(AVICOMPRESSOPTIONS& options) const;

private:
    void mettreAJour();
    void retenir() const;

    QVector<CodecAvi> codecs_;
};

}  // namespace vp
