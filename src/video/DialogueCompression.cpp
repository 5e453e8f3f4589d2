// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogueCompression.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/Dialogues.h"

namespace vp {

namespace {

// The last choice, for the rest of the run.
struct Choix {
    uint32_t fcc = mmioFOURCC('M', 'J', 'P', 'G');
    int qualite = 85;
    bool imagesCles = false;
    int intervalle = 15;
    bool debit = false;
    int koParSeconde = 500;
};
Choix& dernierChoix() {
    static Choix c;
    return c;
}

}  // namespace

DialogueCompression::DialogueCompression(QWidget* parent)
    : QDialog(parent), codecs_(codecsDisponibles()) {
    setWindowTitle(QStringLiteral("Compression vidéo"));
    auto* principal = new QVBoxLayout(this);
    principal->addWidget(new QLabel(QStringLiteral("Format de compression :")));
    Codecs = new QListWidget;
    for (const CodecAvi& c : codecs_)
        Codecs->addItem(c.nom);
    principal->addWidget(Codecs);

    auto* formulaire = new QFormLayout;
    auto* ligneQualite = new QHBoxLayout;
    Qualite = new QSlider(Qt::Horizontal);
    Qualite->setRange(0, 100);
    TexteQualite = new QLabel;
    TexteQualite->setMinimumWidth(40);
    ligneQualite->addWidget(Qualite);
    ligneQualite->addWidget(TexteQualite);
    formulaire->addRow(QStringLiteral("Qualité :"), ligneQualite);
    auto* ligneCles = new QHBoxLayout;
    ImagesCles = new QCheckBox(QStringLiteral("Une image clé toutes les"));
    Intervalle = new QSpinBox;
    Intervalle->setRange(1, 1000);
    ligneCles->addWidget(ImagesCles);
    ligneCles->addWidget(Intervalle);
    ligneCles->addWidget(new QLabel(QStringLiteral("images")));
    formulaire->addRow(ligneCles);
    auto* ligneDebit = new QHBoxLayout;
    Debit = new QCheckBox(QStringLiteral("Débit limité à"));
    KoParSeconde = new QSpinBox;
    KoParSeconde->setRange(1, 100000);
    ligneDebit->addWidget(Debit);
    ligneDebit->addWidget(KoParSeconde);
    ligneDebit->addWidget(new QLabel(QStringLiteral("Ko/s")));
    formulaire->addRow(ligneDebit);
    principal->addLayout(formulaire);

    auto* boutons = new QHBoxLayout;
    boutonOk = new QPushButton(QStringLiteral("OK"));
    boutonAnnuler = new QPushButton(QStringLiteral("Annuler"));
    boutons->addStretch();
    boutons->addWidget(boutonOk);
    boutons->addWidget(boutonAnnuler);
    principal->addLayout(boutons);

    const Choix& c = dernierChoix();
    Qualite->setValue(c.qualite);
    ImagesCles->setChecked(c.imagesCles);
    Intervalle->setValue(c.intervalle);
    Debit->setChecked(c.debit);
    KoParSeconde->setValue(c.koParSeconde);
    if (!choisirCodec(c.fcc) && !codecs_.isEmpty()) Codecs->setCurrentRow(0);

    connect(Codecs, &QListWidget::currentRowChanged, this, [this] { mettreAJour(); });
    connect(Qualite, &QSlider::valueChanged, this, [this] { mettreAJour(); });
    connect(ImagesCles, &QCheckBox::toggled, this, [this] { mettreAJour(); });
    connect(Debit, &QCheckBox::toggled, this, [this] { mettreAJour(); });
    connect(boutonOk, &QPushButton::clicked, this, [this] {
        retenir();
        accept();
    });
    connect(boutonAnnuler, &QPushButton::clicked, this, &QDialog::reject);
    mettreAJour();
}

bool DialogueCompression::choisirCodec(uint32_t fcc) {
    for (qsizetype i = 0; i < codecs_.size(); ++i)
        if (codecs_[i].fcc == fcc) {
            Codecs->setCurrentRow(static_cast<int>(i));
            return true;
        }
    return false;
}

void DialogueCompression::mettreAJour() {
    const int i = Codecs->currentRow();
    const bool ok = i >= 0;
    const CodecAvi c = ok ? codecs_[i] : CodecAvi{0, {}, false, false, false};
    Qualite->setEnabled(c.qualite);
    TexteQualite->setText(QStringLiteral("%1 %").arg(Qualite->value()));
    ImagesCles->setEnabled(c.imagesCles);
    Intervalle->setEnabled(c.imagesCles && ImagesCles->isChecked());
    Debit->setEnabled(c.debit);
    KoParSeconde->setEnabled(c.debit && Debit->isChecked());
    boutonOk->setEnabled(ok);
}

void DialogueCompression::remplir(AVICOMPRESSOPTIONS& options) const {
    const int i = Codecs->currentRow();
    if (i < 0) return;
    const CodecAvi& c = codecs_[i];
    options.fccType = streamtypeVIDEO;
    options.fccHandler = c.fcc;
    options.dwQuality =
        c.qualite ? static_cast<uint32_t>(Qualite->value()) * 100 : ICQUALITY_DEFAULT;
    options.dwFlags = AVICOMPRESSF_VALID;
    options.dwKeyFrameEvery = 0;
    options.dwBytesPerSecond = 0;
    if (c.imagesCles && ImagesCles->isChecked()) {
        options.dwFlags |= AVICOMPRESSF_KEYFRAMES;
        options.dwKeyFrameEvery = static_cast<uint32_t>(Intervalle->value());
    }
    if (c.debit && Debit->isChecked()) {
        options.dwFlags |= AVICOMPRESSF_DATARATE;
        options.dwBytesPerSecond = static_cast<uint32_t>(KoParSeconde->value()) * 1024;
    }
}

void DialogueCompression::retenir() const {
    Choix& c = dernierChoix();
    if (Codecs->currentRow() >= 0) c.fcc = codecs_[Codecs->currentRow()].fcc;
    c.qualite = Qualite->value();
    c.imagesCles = ImagesCles->isChecked();
    c.intervalle = Intervalle->value();
    c.debit = Debit->isChecked();
    c.koParSeconde = KoParSeconde->value();
}

bool AVISaveOptions(AVICOMPRESSOPTIONS& options) {
    DialogueCompression dialogue;
    if (dialogues().executer(dialogue) != QDialog::Accepted) return false;
    dialogue.remplir(options);
    return true;
}

}  // namespace vp
