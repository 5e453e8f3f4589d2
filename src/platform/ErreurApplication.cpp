// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErreurApplication.h"

#include <exception>

#include "Dialogues.h"
#include "Erreur.h"

namespace vp {

QString texteBoiteErreur(const QString& texte) {
    if (!texte.isEmpty() && texte.back().unicode() > QChar(u'.').unicode())
        return texte + QLatin1Char('.');
    return texte;
}

void boiteErreur(const QString& texte, QWidget* parent) {
    dialogues().message(parent, texteBoiteErreur(texte), Icone::Arret);
}

void montrerErreur(const std::exception_ptr& erreur, QWidget* parent) {
    try {
        std::rethrow_exception(erreur);
    } catch (const std::exception& e) {
        boiteErreur(QString::fromUtf8(e.what()), parent);
    } catch (...) {
        boiteErreur(QStringLiteral("Erreur inconnue"), parent);
    }
}

void executerCommande(const std::function<void()>& commande, QWidget* parent) {
    try {
        commande();
    } catch (...) {
        montrerErreur(std::current_exception(), parent);
    }
}

}  // namespace vp
