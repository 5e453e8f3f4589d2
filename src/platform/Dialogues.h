// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QDialog;
class QWidget;

namespace vp {

// Caption of every message box.
inline const QString kTitreApplication = QStringLiteral("VOLTIPLUME");

enum class Icone { Aucune, Information, Avertissement, Arret, Question };

// Every message box, question, file dialog and modal dialog of the program goes through this
// interface: the program installs the Qt implementation, tests a scripted one.
class IDialogues {
public:
    virtual ~IDialogues() = default;

    // A box with one OK button.
    virtual void message(QWidget* parent, const QString& texte, Icone icone) = 0;
    // A Yes/No box; true for Yes.
    virtual bool question(QWidget* parent, const QString& texte, Icone icone) = 0;
    // A box with one button per text in `boutons`, the first one the default: the index of the
    // button pressed, or of the last one when the box is closed or Échap is pressed.
    virtual int choix(QWidget* parent, const QString& texte, const QStringList& boutons,
                      Icone icone) = 0;
    // File dialogs; `filtre` is written "Description|*.ext|Description|*.ext". They return the
    // chosen path, or an empty text when the user cancels.
    virtual QString ouvrirFichier(QWidget* parent, const QString& filtre) = 0;
    virtual QString enregistrerFichier(QWidget* parent, const QString& filtre,
                                       const QString& extensionParDefaut) = 0;
    // The same, opened in the folder of `proposition` with its file name filled in; choosing
    // another filter gives the name that filter's extension. `filtreChoisi` receives the
    // position of the filter left chosen (0 for the first).
    virtual QString enregistrerSous(QWidget* parent, const QString& filtre,
                                    const QString& extensionParDefaut, const QString& proposition,
                                    int& filtreChoisi) {
        (void)proposition;
        filtreChoisi = 0;
        return enregistrerFichier(parent, filtre, extensionParDefaut);
    }
    virtual QString choisirDossier(QWidget* parent, const QString& depart) = 0;
    // Shows `dialogue` modally and returns its result code.
    virtual int executer(QDialog& dialogue) = 0;
};

IDialogues& dialogues();

// The window a box without an owner centres on: the active window, else the main window.
QWidget* fenetreDesBoites();
// Installs `nouveaux` and returns the implementation it replaces.
std::unique_ptr<IDialogues> installerDialogues(std::unique_ptr<IDialogues> nouveaux);

// The Qt implementation, with French buttons.
std::unique_ptr<IDialogues> dialoguesQt();

// "Description|*.a|Autre|*.b" -> "Description (*.a);;Autre (*.b)".
QString filtreQt(const QString& filtre);

}  // namespace vp
