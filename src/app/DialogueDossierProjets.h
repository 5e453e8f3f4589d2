// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "platform/EnFond.h"
#include "sequence/Projet.h"

class QLabel;
class QPushButton;

namespace vp {

class ArbreDossiers;

// The projects of `dossier`: its folders holding a "projet.ini" with a title. Raises Erreur
// when the folder cannot be read.
int compterProjetsDans(const QString& dossier);

// The projects-folder dialog: a folder tree and, under it, how many projects the selected
// folder holds. Closing it by its close box cancels. A folder on a network share is counted in
// the background: the label says so meanwhile, and says when the folder does not answer.
class DialogueDossierProjets : public QDialog {
    Q_OBJECT
public:
    DialogueDossierProjets(ProjetCourant& projet, QWidget* parent);

    ArbreDossiers* arbre;
    QLabel* etiquetteNombreProjets;
    QPushButton* boutonSelectionner;
    bool dossierChoisi = false;  // set by "SÉLECTIONNER"

    // Shows the dialog on the projects folder; true when the user chose a folder, which is
    // then the projects folder.
    bool changerDossierProjets();
    // Counts the projects of the selected folder into the label.
    void compterProjets();
    void selectionner();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void afficherCompte(int n);

    ProjetCourant& p_;
    quint64 comptage_ = 0;  // the count whose answer is awaited
    VeilleTravail veille_;
    TravauxEnFond enFond_{this};
};

inline const QString kChoisirUnDossier = QStringLiteral("Choisissez un dossier.");
inline const QString kAucunProjet = QStringLiteral("Aucun projet dans ce dossier.");
inline const QString kComptageEnCours = QStringLiteral("Recherche des projets…");
// Clicking the folder again counts again.
inline const QString kDossierMuet = QStringLiteral("Ce dossier ne répond pas.");

}  // namespace vp
