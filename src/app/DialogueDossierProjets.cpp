// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogueDossierProjets.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "ArbreDossiers.h"
#include "Commun.h"
#include "DialogueOuvrirProjet.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/ErreurApplication.h"

namespace vp {

int compterProjetsDans(const QString& dossier) {
    int n = 0;
    for (const ProjetTrouve& p : listerProjets(dossier))
        n += p.aUnTitre;
    return n;
}

DialogueDossierProjets::DialogueDossierProjets(ProjetCourant& projet, QWidget* parent)
    : QDialog(parent), p_(projet) {
    setWindowTitle(QStringLiteral("Dossier des projets"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(329, 525);
    arbre = new ArbreDossiers(this);
    arbre->setGeometry(8, 8, 313, 441);
    QFont police = arbre->font();
    police.setPixelSize(13);
    arbre->setFont(police);
    arbre->setIndentation(19);
    arbre->setFolderOptions(foNetworkNeighborhood);
    arbre->setActive(true);
    etiquetteNombreProjets = etiquetteBleue(QStringLiteral("Dossier des projets:"), this);
    etiquetteNombreProjets->setGeometry(8, 456, 313, 20);
    boutonSelectionner = creerBoutonValider(QStringLiteral("SÉLECTIONNER"), this);
    boutonSelectionner->setGeometry(8, 482, 313, 35);
    boutonSelectionner->setEnabled(false);  // until a folder is selected

    connect(arbre, &QTreeWidget::currentItemChanged, this,
            [this] { executerCommande([this] { compterProjets(); }, this); });
    connect(boutonSelectionner, &QPushButton::clicked, this, [this] { selectionner(); });
    // A folder that did not answer is asked again when clicked again.
    connect(arbre, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (item == arbre->currentItem() && etiquetteNombreProjets->text() == kDossierMuet)
            executerCommande([this] { compterProjets(); }, this);
    });
}

void DialogueDossierProjets::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (const QScreen* ecran = screen())
        move(ecran->availableGeometry().center() - frameGeometry().center() + pos());
}

bool DialogueDossierProjets::changerDossierProjets() {
    const QTreeWidgetItem* avant = arbre->currentItem();
    // The tree opens down to the projects folder; the change of selection counts its projects.
    const QTreeWidgetItem* choisi = arbre->SelectPath(p_.repProjets);
    // The same folder still selected: its projects may have changed since the last time.
    if (choisi && choisi == avant) executerCommande([this] { compterProjets(); }, this);
    dossierChoisi = false;
    dialogues().executer(*this);
    const QString chemin = arbre->SelectedPath();
    if (!dossierChoisi || chemin.isEmpty()) return false;
    p_.repProjets = avecSeparateur(chemin);
    return true;
}

void DialogueDossierProjets::compterProjets() {
    const QString chemin = arbre->SelectedPath();
    boutonSelectionner->setEnabled(false);
    const quint64 comptage = ++comptage_;
    veille_.arreter();
    if (chemin.isEmpty()) {
        etiquetteNombreProjets->setText(kChoisirUnDossier);
        return;
    }
    // The folder is read where it is: the working directory never moves.
    const QString dossier = avecSeparateur(chemin);
    if (!projetsSurReseau(dossier)) {
        afficherCompte(compterProjetsDans(dossier));
        return;
    }
    // A network share may take long, or never answer: the window does not wait for it.
    etiquetteNombreProjets->setText(kComptageEnCours);
    const Vivacite vivacite = nouvelleVivacite();
    veille_.suivre(vivacite, [this] { etiquetteNombreProjets->setText(kDossierMuet); });
    enFond_.lancer([this, dossier, comptage, vivacite]() -> TravauxEnFond::Suite {
        int n = 0;
        QString erreur;
        try {
            for (const ProjetTrouve& p : listerProjets(dossier, vivacite.get()))
                n += p.aUnTitre;
        } catch (const Erreur& e) {
            erreur = e.texte();
        }
        return [this, comptage, n, erreur] {
            if (comptage != comptage_) return;  // another folder was selected since
            veille_.arreter();
            if (!erreur.isEmpty()) {
                etiquetteNombreProjets->setText(texteBoiteErreur(erreur));
                return;
            }
            afficherCompte(n);
        };
    });
}

void DialogueDossierProjets::afficherCompte(int n) {
    etiquetteNombreProjets->setText(n > 0 ? QStringLiteral("%1 projets trouvés.").arg(n)
                                          : kAucunProjet);
    boutonSelectionner->setEnabled(true);
}

void DialogueDossierProjets::selectionner() {
    dossierChoisi = true;
    accept();
}

}  // namespace vp
