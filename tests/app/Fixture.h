#pragma once

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "app/Programme.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/Unit3.h"
#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"

namespace vp::test {

// The whole program on the offscreen platform, started in a fresh folder (its program folder)
// with scripted dialogs and the simulated camera.
class Programme : public ::testing::Test {
protected:
    Scenario scenario;
    DossierTest dossier;
    std::unique_ptr<TForm1> f;
    QString ancienDossier = QDir::currentPath();

    void SetUp() override {
        QDir::setCurrent(dossier.chemin());
        f = creerFiches();
        f->show();
    }
    void TearDown() override {
        f.reset();
        QDir::setCurrent(ancienDossier);
    }
    DialoguesScriptes& dialogues() { return scenario.dialogues(); }

    // Creates a project through the New project dialog, as a user typing its title would.
    void creerProjet(const QString& titre) {
        dialogues().quandModal<TFnouveau>([titre](TFnouveau& d) {
            d.Enom->setText(titre);
            d.bvalider->click();
        });
        f->Nouveau1->trigger();
    }
    // Opens the project listed with this title through the Open project dialog.
    void ouvrirProjet(const QString& titre) {
        dialogues().quandModal<TFouvrir>([titre](TFouvrir& d) {
            const auto trouves = d.Liste->findItems(titre, Qt::MatchExactly);
            ASSERT_FALSE(trouves.isEmpty()) << titre.toStdString();
            d.Liste->setCurrentItem(trouves.first());
            d.bouvrir->click();
        });
        f->Charger1->trigger();
    }
};

// Moves the mouse over a control, without a button pressed.
inline void survoler(QWidget* w) {
    QMouseEvent e(QEvent::MouseMove, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

}  // namespace vp::test
