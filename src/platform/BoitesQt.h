// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <memory>

#include "Dialogues.h"

namespace vp {

// The message box and the save dialog of the Qt implementation of IDialogues, built and ready
// to show. The pictures of the guide are taken of these same boxes.
std::unique_ptr<QMessageBox> boiteMessage(QWidget* parent, const QString& texte, Icone icone);
// A box with one button per text of `boutons`, in that order (see IDialogues::choix); the
// buttons are found again in that order by boutonsDansLOrdre.
std::unique_ptr<QMessageBox> boiteChoix(QWidget* parent, const QString& texte,
                                        const QStringList& boutons, Icone icone);
QList<QAbstractButton*> boutonsDansLOrdre(const QMessageBox& boite);
std::unique_ptr<QFileDialog> dialogueEnregistrer(QWidget* parent, const QString& filtre,
                                                 const QString& extensionParDefaut);

}  // namespace vp
