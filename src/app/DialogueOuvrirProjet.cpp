#include "DialogueOuvrirProjet.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include "Commun.h"
#include "DialogueDossierProjets.h"
#include "MesureProjets.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "platform/ErreurApplication.h"
#include "platform/Profil.h"

namespace vp {

DialogueOuvrirProjet::DialogueOuvrirProjet(ProjetCourant& projet, QWidget* parent)
    : QDialog(parent), p_(projet) {
    setWindowTitle(QStringLiteral("Ouvrir un projet"));
    setFixedSize(401, 311);
    etiquetteBleue(QStringLiteral("Dossier des projets:"), this)->setGeometry(8, 8, 300, 16);
    champDossierProjets = new QLineEdit(this);
    champDossierProjets->setGeometry(8, 28, 345, 24);
    champDossierProjets->setReadOnly(true);
    boutonDossier = creerBoutonDossier(this);
    listeTitres = new QListWidget(this);
    listeTitres->setGeometry(8, 60, 385, 209);
    QFont police = listeTitres->font();
    police.setPixelSize(16);
    listeTitres->setFont(police);
    listeTitres->setStyleSheet(QStringLiteral("QListWidget::item { height: 20px; }"));
    listeDossiers = new QListWidget(this);
    listeDossiers->hide();
    mesureur = new MesureurProjets(listeTitres);
    boutonOuvrir = creerBoutonValider(QStringLiteral("OUVRIR"), this);
    boutonOuvrir->setGeometry(8, 274, 185, 33);
    boutonAnnuler = creerBoutonAnnuler(QStringLiteral("ANNULER"), this);
    boutonAnnuler->setGeometry(208, 274, 185, 33);
    champDossierProjets->setText(p_.repProjets);

    connect(boutonOuvrir, &QPushButton::clicked, this, [this] { ouvrir(); });
    connect(listeTitres, &QListWidget::itemDoubleClicked, this, [this] { ouvrir(); });
    connect(boutonAnnuler, &QPushButton::clicked, this, [this] { annuler(); });
    connect(boutonDossier, &QToolButton::clicked, this,
            [this] { executerCommande([this] { choisirDossierProjets(); }, this); });
}

void DialogueOuvrirProjet::showEvent(QShowEvent* e) {
    preparerAffichage();
    QDialog::showEvent(e);
}

void DialogueOuvrirProjet::preparerAffichage() {
    lister();
}

void DialogueOuvrirProjet::lister() {
    champDossierProjets->setText(p_.repProjets);
    mesureur->arreter();
    listeTitres->clear();
    listeDossiers->clear();
    // The listing leaves the projects folder as the working directory.
    if (!QDir::setCurrent(p_.repProjets)) {
        dialogues().message(this,
                            QStringLiteral("Le dossier des projets « %1 » est introuvable : "
                                           "choisissez-en un autre avec le bouton dossier.")
                                .arg(QDir::toNativeSeparators(sansSeparateur(p_.repProjets))),
                            Icone::Avertissement);
        return;
    }
    QStringList dossiers;
    const QStringList noms =
        QDir(p_.repProjets)
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                       QDir::Unsorted);
    for (const QString& nom : noms) {
        const QString ini = p_.repProjets + nom + QStringLiteral("/projet.ini");
        if (!fichierExiste(ini)) continue;
        listeDossiers->addItem(nom);
        listeTitres->addItem(
            lireProfil(ini, QStringLiteral("GENERAL"), QStringLiteral("titre"), QString()));
        dossiers << p_.repProjets + nom;
    }
    mesureur->mesurer(dossiers);
}

int DialogueOuvrirProjet::indexChoisi() const {
    const QListWidgetItem* item = listeTitres->currentItem();
    return item && item->isSelected() ? listeTitres->row(item) : -1;
}

void DialogueOuvrirProjet::ouvrir() {
    if (indexChoisi() < 0) {
        dialogues().message(this, kAucunProjetChoisi, Icone::Information);
        return;
    }
    p_.dialogueOk = true;
    accept();
}

void DialogueOuvrirProjet::annuler() {
    reject();
}

void DialogueOuvrirProjet::choisirDossierProjets() {
    if (dialogueDossierProjets && dialogueDossierProjets->changerDossierProjets()) lister();
}

}  // namespace vp
