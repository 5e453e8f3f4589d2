// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <QSettings>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "app/DialogueNouveauProjet.h"
#include "app/DialogueOuvrirProjet.h"
#include "app/DialogueReglagesVideo.h"
#include "app/FenetrePrincipale.h"
#include "app/Programme.h"
#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "film/CommandesFilm.h"
#include "platform/Bureau.h"
#include "platform/Profil.h"
#include "video/DialogueCompression.h"

namespace vp::test {

// The whole program on the offscreen platform, started in a fresh folder with scripted dialogs
// and the simulated camera. That folder is also its program folder, as when the program is
// started from its own folder, so that tests put the guide and the editor programs there.
class Programme : public ::testing::Test {
protected:
    Scenario scenario;
    DossierTest dossier;
    std::unique_ptr<FenetrePrincipale> f;
    QString ancienDossier = QDir::currentPath();
    QString repProgrammeAuDemarrage;  // the folder of the test's executable

    void SetUp() override {
        oublierReglages();
        QDir::setCurrent(dossier.chemin());
        f = creerFenetres();
        repProgrammeAuDemarrage = f->projet.repProgramme;
        f->projet.repProgramme = dossier.chemin();
        definirVisionneuse(programmeEditeur(f->projet));
        f->show();
    }
    void TearDown() override {
        f.reset();
        QDir::setCurrent(ancienDossier);
        oublierReglages();
    }
    // What the program remembers between runs (the camera, the shooting settings): each test
    // starts from a program run for the first time.
    static void oublierReglages() { reglagesProgramme().clear(); }
    DialoguesScriptes& dialogues() { return scenario.dialogues(); }

    // Creates a project through the New project dialog, as a user typing its title would.
    void creerProjet(const QString& titre) {
        dialogues().quandModal<DialogueNouveauProjet>([titre](DialogueNouveauProjet& d) {
            d.champTitre->setText(titre);
            d.boutonValider->click();
        });
        f->actionNouveau->trigger();
    }
    // « Créer la vidéo » with the settings the dialog holds, confirmed, and Motion JPEG.
    void creerVideoMjpeg() {
        dialogues().quandModal<DialogueReglagesVideo>(
            [](DialogueReglagesVideo& d) { d.boutonValider->click(); });
        dialogues().quandModal<DialogueCompression>([](DialogueCompression& c) {
            c.choisirCodec(mmioFOURCC('M', 'J', 'P', 'G'));
            c.boutonOk->click();
        });
        f->actionCreerVideo->trigger();
        dialogues().modaux.clear();
    }
    // Opens the project listed with this title through the Open project dialog.
    void ouvrirProjet(const QString& titre) {
        dialogues().quandModal<DialogueOuvrirProjet>([titre](DialogueOuvrirProjet& d) {
            const auto trouves = d.listeTitres->findItems(titre, Qt::MatchExactly);
            ASSERT_FALSE(trouves.isEmpty()) << titre.toStdString();
            d.listeTitres->setCurrentItem(trouves.first());
            d.boutonOuvrir->click();
        });
        f->actionOuvrir->trigger();
    }
};

// Lets the event loop run until `image()` gives a picture made after this call: a camera frame
// taken since has gone through the views. False after 5 s.
inline bool imageSuivante(const std::function<QImage()>& image) {
    const qint64 avant = image().cacheKey();
    return attendreQue([&] { return image().cacheKey() != avant; }, 5000);
}

// Moves the mouse over a control, without a button pressed.
inline void survoler(QWidget* w) {
    QMouseEvent e(QEvent::MouseMove, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

}  // namespace vp::test
