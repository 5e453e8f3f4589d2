#pragma once

#include <QDialog>

#include "sequence/Projet.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace vp {

// The Open project dialog: the projects of the projects folder, by title. `Listerep` (hidden)
// holds each project's folder name at the same index as its title in `Liste`.
class TFouvrir : public QDialog {
    Q_OBJECT
public:
    TFouvrir(ProjetCourant& projet, QWidget* parent);

    QLineEdit* DP;
    QToolButton* SpeedButton2;
    QListWidget* Liste;
    QListWidget* Listerep;
    QPushButton* bouvrir;
    QPushButton* bannuler;

    // The selected index of Liste, -1 when no entry is selected.
    int indexChoisi() const;

    void FormShow();
    void bouvrirClick();
    void ListeDblClick();
    void bannulerClick();
    void SpeedButton2Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void lister();

    ProjetCourant& p_;
};

inline const QString kAucunProjetChoisi =
    QStringLiteral("Aucun projet n'est sélectionné : cliquez sur un projet de la liste.");

}  // namespace vp
