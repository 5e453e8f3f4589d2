#include "Unit4.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Commun.h"

namespace vp {

TFvideo::TFvideo(ProjetCourant& projet, QWidget* parent) : QDialog(parent), p_(projet) {
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
    Eims = ligne(QStringLiteral("Images pas seconde : "), QStringLiteral("15"), 8);
    Elargeur = ligne(QStringLiteral("Largeur : "), QStringLiteral("640"), 40);
    Ehauteur = ligne(QStringLiteral("Hauteur : "), QStringLiteral("480"), 72);
    bvalider = boutonValider(QStringLiteral("VALIDER"), this);
    bvalider->setGeometry(8, 104, 140, 30);
    bannuler = boutonAnnuler(QStringLiteral("ANNULER"), this);
    bannuler->setGeometry(158, 104, 140, 30);
    connect(bvalider, &QPushButton::clicked, this, [this] { bvaliderClick(); });
    connect(bannuler, &QPushButton::clicked, this, [this] { bannulerClick(); });
}

void TFvideo::bvaliderClick() {
    p_.dialogueOk = true;
    accept();
}

void TFvideo::bannulerClick() {
    reject();
}

}  // namespace vp
