// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogueReglagesVideo.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Commun.h"

namespace vp {

DialogueReglagesVideo::DialogueReglagesVideo(ProjetCourant& projet, QWidget* parent)
    : QDialog(parent), p_(projet) {
    setWindowTitle(QStringLiteral("Réglages vidéo"));
    setFixedSize(307, 140);
    QFont police = font();
    police.setBold(true);
    police.setPixelSize(16);
    auto ligne = [&](const QString& texte, const QString& valeur, int y) {
        etiquetteBleue(texte, this)->setGeometry(8, y + 4, 170, 18);
        auto* e = new QLineEdit(valeur, this);
        e->setGeometry(180, y, 117, 26);
        e->setFont(police);
        return e;
    };
    champImagesParSeconde = ligne(QStringLiteral("Images pas seconde : "), QStringLiteral("15"), 8);
    champLargeur = ligne(QStringLiteral("Largeur : "), QStringLiteral("640"), 40);
    champHauteur = ligne(QStringLiteral("Hauteur : "), QStringLiteral("480"), 72);
    boutonValider = creerBoutonValider(QStringLiteral("VALIDER"), this);
    boutonValider->setGeometry(8, 104, 140, 30);
    boutonAnnuler = creerBoutonAnnuler(QStringLiteral("ANNULER"), this);
    boutonAnnuler->setGeometry(158, 104, 140, 30);
    connect(boutonValider, &QPushButton::clicked, this, [this] { valider(); });
    connect(boutonAnnuler, &QPushButton::clicked, this, [this] { annuler(); });
}

void DialogueReglagesVideo::valider() {
    p_.dialogueOk = true;
    accept();
}

void DialogueReglagesVideo::annuler() {
    reject();
}

}  // namespace vp
