// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

namespace vp {

// Text of the application error box: the message, followed by "." when the code of its last
// character is above that of "." ("?" , a letter or a digit get one; "!", " " and "." do not).
QString texteBoiteErreur(const QString& texte);

// The application error box: caption "VOLTIPLUME", stop icon, one OK button.
void boiteErreur(const QString& texte, QWidget* parent = nullptr);

// Shows the text of `erreur` in the error box.
void montrerErreur(const std::exception_ptr& erreur, QWidget* parent = nullptr);

// Runs a command; an exception it raises ends it and is shown in the error box, so that no
// exception crosses the event loop.
void executerCommande(const std::function<void()>& commande, QWidget* parent = nullptr);

}  // namespace vp
