// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <atomic>
#include <vector>

#include "platform/EnFond.h"
#include "sequence/Projet.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace vp {

class DialogueDossierProjets;
class MesureurProjets;

// A project folder of a projects folder.
struct ProjetTrouve {
    QString nomDossier;  // its name as cheminDepuisOctets holds it
    QString titre;       // the title of its "projet.ini", empty when it has none
    bool aUnTitre = false;
};

// The folders of `dossier` that hold a "projet.ini", in the order the file system gives them,
// each with the title it holds. Raises Erreur when the folder cannot be entered or read.
// `vivacite`, when given, counts the entries read.
std::vector<ProjetTrouve> listerProjets(const QString& dossier,
                                        std::atomic<quint64>* vivacite = nullptr);
// True when listing the projects of `dossier` may wait on a network share: it lies on one, or
// one is mounted in it.
bool projetsSurReseau(const QString& dossier);

// The Open project dialog: the projects of the projects folder, by title. `listeDossiers` (hidden)
// holds each project's folder name at the same index as its title in `listeTitres`. A projects
// folder on a network share is listed in the background: the list fills when it answers, and
// says so when it does not.
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
    // True while the projects folder is being listed in the background.
    bool enLecture() const;

    void preparerAffichage();
    void ouvrir();
    void annuler();
    void choisirDossierProjets();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void lister();
    void afficher(const std::vector<ProjetTrouve>& projets);
    void annoncer(const QStringList& lignes);

    ProjetCourant& p_;
    quint64 listage_ = 0;  // the listing whose answer is awaited
    VeilleTravail veille_;
    TravauxEnFond enFond_{this};
};

inline const QString kAucunProjetChoisi =
    QStringLiteral("Aucun projet n'est sélectionné : cliquez sur un projet de la liste.");
inline const QString kLectureProjets = QStringLiteral("Lecture du dossier des projets…");
inline const QString kProjetsMuets = QStringLiteral("Le dossier des projets ne répond pas.");
inline const QString kReessayerProjets = QStringLiteral("Réessayez avec le bouton dossier.");

}  // namespace vp
