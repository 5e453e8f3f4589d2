// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The dialogs answered by a benchmark: the codec dialog gets the codec and quality set here,
// every question is answered yes, messages are printed rather than waited for.

#include <QDialog>
#include <QSlider>
#include <cstdint>
#include <cstdio>

#include "platform/Dialogues.h"
#include "video/AVIRecorder.h"
#include "video/DialogueCompression.h"

namespace vp::bench {

class ReponsesCodec final : public IDialogues {
public:
    uint32_t fcc = mmioFOURCC('M', 'J', 'P', 'G');
    int qualite = 85;  // on the dialog's scale

    void message(QWidget*, const QString& texte, Icone) override {
        std::fprintf(stderr, "message : %s\n", qPrintable(texte));
    }
    bool question(QWidget*, const QString&, Icone) override { return true; }
    int choix(QWidget*, const QString&, const QStringList& boutons, Icone) override {
        return static_cast<int>(boutons.size()) - 1;
    }
    QString ouvrirFichier(QWidget*, const QString&) override { return {}; }
    QString enregistrerFichier(QWidget*, const QString&, const QString&) override { return {}; }
    QString choisirDossier(QWidget*, const QString&) override { return {}; }
    int executer(QDialog& d) override {
        if (auto* c = dynamic_cast<DialogueCompression*>(&d)) {
            c->choisirCodec(fcc);
            c->Qualite->setValue(qualite);
            c->remplir(options_);
            c->accept();
            return QDialog::Accepted;
        }
        return QDialog::Rejected;
    }

private:
    AVICOMPRESSOPTIONS options_;
};

}  // namespace vp::bench
