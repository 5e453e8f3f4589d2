// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <stdexcept>

namespace vp {

// An error whose text is meant for the user; the command wrapper shows it in the error box.
class Erreur : public std::runtime_error {
public:
    explicit Erreur(const QString& texte) : std::runtime_error(texte.toStdString()) {}
    QString texte() const { return QString::fromUtf8(what()); }
};

}  // namespace vp
