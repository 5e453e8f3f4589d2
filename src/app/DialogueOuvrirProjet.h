#pragma once

#include <QDialog>

#include "sequence/Projet.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace vp {

class DialogueDossierProjets;
class MesureurProjets;

// The Open project dialog: the projects of the projects folder, by title. `listeDossiers` (hidden)
// holds each project's folder name at the same index as its title in `listeTitres`.
class DialogueOuvrirProjet : public QDialog {
    Q_OBJECT
public:
    DialogueOuvrirProjet(ProjetCourant& projet, QWidget* parent);

    QLineEdit* champDossierProjets;
    QToolButton* boutonDossier;
    QListWidget* listeTitres;
    QListWidget* listeDossiers;
    QPushButton* boutonOuvrir;
    QPushButton* boutonAnnuler;
    // Run by the folder button.
    DialogueDossierProjets* dialogueDossierProjets = nullptr;
    // Each project's size and frame count, at the right of its title.
    MesureurProjets* mesureur;

    // The selected index of listeTitres, -1 when no entry is selected.
    int indexChoisi() const;

    void preparerAffichage();
    void ouvrir();
    void annuler();
    void choisirDossierProjets();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void lister();

    ProjetCourant& p_;
};

inline const QString kAucunProjetChoisi =
    QStringLiteral("Aucun projet n'est sélectionné : cliquez sur un projet de la liste.");

}  // namespace vp
