// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Bureau.h"
#include "platform/Dialogues.h"

namespace vp::test {

// What a test saw the program show.
struct Affichage {
    enum class Genre {
        Message,
        Question,
        Choix,
        OuvrirFichier,
        EnregistrerFichier,
        Dossier,
        Modal
    };
    Genre genre;
    QString texte;  // message text, file filter, or the dialog's title
    Icone icone = Icone::Aucune;
    QString proposition = {};        // the folder and name a save dialog opened on
    QPointer<QWidget> fenetre = {};  // the window a message box or a dialog opened over
    QStringList boutons = {};        // the buttons of a choice
};

// Dialogs answered from a script: nothing ever waits for a user. Every text shown is recorded.
// When the script has no answer left: No, Cancel, a choice's box closed (its last button), and
// modal dialogs closed without confirming.
class DialoguesScriptes final : public IDialogues {
public:
    std::vector<Affichage> affichages;
    std::deque<bool> reponses;
    std::deque<int> reponsesChoix;  // the buttons pressed in the choices, by index
    std::deque<QString> fichiers;
    std::deque<int> filtres;  // the filter each save dialog is left on (the first when none)
    std::deque<QString> dossiers;
    std::deque<std::function<void(QDialog&)>> modaux;

    void message(QWidget*, const QString& texte, Icone icone) override;
    bool question(QWidget*, const QString& texte, Icone icone) override;
    int choix(QWidget*, const QString& texte, const QStringList& boutons, Icone icone) override;
    QString ouvrirFichier(QWidget*, const QString& filtre) override;
    QString enregistrerFichier(QWidget*, const QString& filtre, const QString& extension) override;
    QString enregistrerSous(QWidget*, const QString& filtre, const QString& extension,
                            const QString& proposition, int& filtreChoisi) override;
    QString choisirDossier(QWidget*, const QString& depart) override;
    int executer(QDialog& dialogue) override;

    // The texts of the message boxes, in order.
    QStringList messages() const;
    // Typed access for scripts.
    template <typename D>
    void quandModal(std::function<void(D&)> script) {
        modaux.push_back([script](QDialog& d) { script(dynamic_cast<D&>(d)); });
    }
};

// Records what the program asks of the desktop instead of launching players.
class BureauEnregistreur final : public IBureau {
public:
    QStringList documents;
    std::vector<std::pair<QString, QStringList>> lancements;  // programs waited for
    std::vector<std::pair<QString, QStringList>> detaches;    // programs left running
    // When set, lancerEtAttendre really runs the program (for the external tools).
    bool executerVraiment = false;
    // When set, the desktop has no program for any document.
    bool sansProgramme = false;
    // Runs while a program started by lancerEtAttendre "runs".
    std::function<void()> pendantLancement;

    void ouvrirDocument(const QString& chemin) override;
    bool lancer(const QString& programme, const QStringList& arguments) override;
    // Programs named in `programmesPresents` exist; those in `programmesEnPanne` fail to start.
    QStringList programmesPresents;
    QStringList programmesEnPanne;
    bool programmeExiste(const QString& programme) override {
        return programmesPresents.contains(programme);
    }
    FinProgramme lancerEtAttendre(const QString& programme, const QStringList& arguments,
                                  const std::function<void()>& pendantAttente) override;
};

// Installs scripted dialogs and a recording desktop for its lifetime.
class Scenario {
public:
    Scenario();
    ~Scenario();
    DialoguesScriptes& dialogues() { return *dialogues_; }
    BureauEnregistreur& bureau() { return *bureau_; }

private:
    DialoguesScriptes* dialogues_;
    BureauEnregistreur* bureau_;
    std::unique_ptr<IDialogues> anciensDialogues_;
    std::unique_ptr<IBureau> ancienBureau_;
};

}  // namespace vp::test
