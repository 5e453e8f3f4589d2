// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "sequence/Projet.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace vp {

class DialogueDossierProjets;

// Folder name derived from a title: accented small letters lose their accent; "\", "/", "?"
// and spaces become "_"; every other character passes unchanged.
QString nomDossierDepuisTitre(const QString& titre);

// Why a new project with this title and folder name cannot be made in `repProjets` (a French
// sentence), or an empty text when it can.
QString refusNouveauProjet(const QString& repProjets, const QString& titre, const QString& dossier);

// The New project dialog.
class DialogueNouveauProjet : public QDialog {
    Q_OBJECT
public:
    DialogueNouveauProjet(ProjetCourant& projet, QWidget* parent);

    QLineEdit* champDossierProjets;
    QToolButton* boutonDossier;
    QLineEdit* champTitre;
    QLineEdit* champDossier;
    QPushButton* boutonValider;
    QPushButton* boutonAnnuler;
    // Run by the folder button.
    DialogueDossierProjets* dialogueDossierProjets = nullptr;

    void preparerAffichage();
    void deduireNomDossier();
    void valider();
    void annuler();
    void choisirDossierProjets();

protected:
    void showEvent(QShowEvent* e) override;

private:
    ProjetCourant& p_;
};

}  // namespace vp
