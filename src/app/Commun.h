#pragma once

// Small things the project dialogs share.

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace vp {

QLabel* etiquetteBleue(const QString& texte, QWidget* parent, bool grasse = true);
// Confirm buttons are flat with green captions, cancel buttons flat with maroon captions.
QPushButton* creerBoutonValider(const QString& texte, QWidget* parent);
QPushButton* creerBoutonAnnuler(const QString& texte, QWidget* parent);

}  // namespace vp
