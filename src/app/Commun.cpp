// SPDX-License-Identifier: GPL-3.0-or-later
#include "Commun.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace vp {

QLabel* etiquetteBleue(const QString& texte, QWidget* parent, bool grasse) {
    auto* l = new QLabel(texte, parent);
    l->setStyleSheet(grasse ? QStringLiteral("color: blue; font-weight: bold;")
                            : QStringLiteral("color: blue;"));
    return l;
}

namespace {

QPushButton* boutonPlat(const QString& texte, QWidget* parent, const char* couleur) {
    auto* b = new QPushButton(texte, parent);
    b->setFlat(true);
    b->setCursor(Qt::PointingHandCursor);
    // A button that cannot be used shows it.
    b->setStyleSheet(QStringLiteral("QPushButton { color: %1; font-weight: bold; font-size: 14px; }"
                                    " QPushButton:disabled { color: gray; }")
                         .arg(QLatin1String(couleur)));
    return b;
}

}  // namespace

QPushButton* creerBoutonValider(const QString& texte, QWidget* parent) {
    return boutonPlat(texte, parent, "green");
}

QPushButton* creerBoutonAnnuler(const QString& texte, QWidget* parent) {
    return boutonPlat(texte, parent, "maroon");
}

QToolButton* creerBoutonDossier(QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setGeometry(360, 24, 33, 33);
    b->setAutoRaise(true);
    b->setIcon(QIcon(QStringLiteral(":/glyphes/dossier.png")));
    b->setIconSize(QSize(26, 26));
    b->setCursor(Qt::PointingHandCursor);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

}  // namespace vp
