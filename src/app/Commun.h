// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small things the project dialogs share.

#include <QString>

class QLabel;
class QPushButton;
class QToolButton;
class QWidget;

namespace vp {

QLabel* etiquetteBleue(const QString& texte, QWidget* parent, bool grasse = true);
// Confirm buttons are flat with green captions, cancel buttons flat with maroon captions.
QPushButton* creerBoutonValider(const QString& texte, QWidget* parent);
QPushButton* creerBoutonAnnuler(const QString& texte, QWidget* parent);
// The folder button at the right of the projects folder; the mouse reaches it, the Tab key
// does not.
QToolButton* creerBoutonDossier(QWidget* parent);

}  // namespace vp
