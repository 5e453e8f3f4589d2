#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <memory>

#include "Dialogues.h"

namespace vp {

// The message box and the save dialog of the Qt implementation of IDialogues, built and ready
// to show. The pictures of the guide are taken of these same boxes.
std::unique_ptr<QMessageBox> boiteMessage(QWidget* parent, const QString& texte, Icone icone);
std::unique_ptr<QFileDialog> dialogueEnregistrer(QWidget* parent, const QString& filtre,
                                                 const QString& extensionParDefaut);

}  // namespace vp
