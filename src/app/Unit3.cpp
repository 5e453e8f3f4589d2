#include "Unit3.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include "Commun.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "platform/ErreurApplication.h"
#include "platform/Profil.h"

namespace vp {

TFouvrir::TFouvrir(ProjetCourant& projet, QWidget* parent) : QDialog(parent), p_(projet) {
    setWindowTitle(QStringLiteral("Ouvrir un projet"));
    setFixedSize(401, 311);
    etiquetteBleue(QStringLiteral("Dossier des projets:"), this)->setGeometry(8, 8, 300, 16);
    DP = new QLineEdit(this);
    DP->setGeometry(8, 28, 345, 24);
    DP->setReadOnly(true);
    SpeedButton2 = new QToolButton(this);
    SpeedButton2->setGeometry(360, 24, 33, 33);
    SpeedButton2->setAutoRaise(true);
    SpeedButton2->setIcon(QIcon(QStringLiteral(":/glyphes/dossier.png")));
    SpeedButton2->setIconSize(QSize(26, 26));
    SpeedButton2->setCursor(Qt::PointingHandCursor);
    Liste = new QListWidget(this);
    Liste->setGeometry(8, 60, 385, 209);
    QFont police = Liste->font();
    police.setPixelSize(16);
    Liste->setFont(police);
    Liste->setStyleSheet(QStringLiteral("QListWidget::item { height: 20px; }"));
    Listerep = new QListWidget(this);
    Listerep->hide();
    bouvrir = boutonValider(QStringLiteral("OUVRIR"), this);
    bouvrir->setGeometry(8, 274, 185, 33);
    bannuler = boutonAnnuler(QStringLiteral("ANNULER"), this);
    bannuler->setGeometry(208, 274, 185, 33);
    DP->setText(p_.repProjets);

    connect(bouvrir, &QPushButton::clicked, this, [this] { bouvrirClick(); });
    connect(Liste, &QListWidget::itemDoubleClicked, this, [this] { ListeDblClick(); });
    connect(bannuler, &QPushButton::clicked, this, [this] { bannulerClick(); });
    connect(SpeedButton2, &QToolButton::clicked, this,
            [this] { executerCommande([this] { SpeedButton2Click(); }, this); });
}

void TFouvrir::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
}

void TFouvrir::FormShow() {
    lister();
}

void TFouvrir::lister() {
    DP->setText(p_.repProjets);
    Liste->clear();
    Listerep->clear();
    // The listing leaves the projects folder as the working directory.
    if (!QDir::setCurrent(p_.repProjets)) {
        dialogues().message(this,
                            QStringLiteral("Le dossier des projets « %1 » est introuvable : "
                                           "choisissez-en un autre avec le bouton dossier.")
                                .arg(QDir::toNativeSeparators(sansSeparateur(p_.repProjets))),
                            Icone::Avertissement);
        return;
    }
    const QStringList noms =
        QDir(p_.repProjets)
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                       QDir::Unsorted);
    for (const QString& nom : noms) {
        const QString ini = p_.repProjets + nom + QStringLiteral("/projet.ini");
        if (!fichierExiste(ini)) continue;
        Listerep->addItem(nom);
        Liste->addItem(
            lireProfil(ini, QStringLiteral("GENERAL"), QStringLiteral("titre"), QString()));
    }
}

int TFouvrir::indexChoisi() const {
    const QListWidgetItem* item = Liste->currentItem();
    return item && item->isSelected() ? Liste->row(item) : -1;
}

void TFouvrir::bouvrirClick() {
    if (indexChoisi() < 0) {
        dialogues().message(this, kAucunProjetChoisi, Icone::Information);
        return;
    }
    p_.dialogueOk = true;
    accept();
}

void TFouvrir::ListeDblClick() {
    bouvrirClick();
}

void TFouvrir::bannulerClick() {
    reject();
}

void TFouvrir::SpeedButton2Click() {
    if (changerDossierProjets(p_, this)) lister();
}

}  // namespace vp
