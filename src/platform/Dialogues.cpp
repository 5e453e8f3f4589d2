// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialogues.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <algorithm>

#include "BoitesQt.h"

namespace vp {

namespace {

QMessageBox::Icon iconeMessage(Icone icone) {
    switch (icone) {
        case Icone::Information:
            return QMessageBox::Information;
        case Icone::Avertissement:
            return QMessageBox::Warning;
        case Icone::Arret:
            return QMessageBox::Critical;
        case Icone::Question:
            return QMessageBox::Question;
        case Icone::Aucune:
            break;
    }
    return QMessageBox::NoIcon;
}

class DialoguesQt final : public IDialogues {
    static QWidget* proprietaire(QWidget* parent) { return parent ? parent : fenetreDesBoites(); }

public:
    void message(QWidget* parent, const QString& texte, Icone icone) override {
        boiteMessage(proprietaire(parent), texte, icone)->exec();
    }

    bool question(QWidget* parent, const QString& texte, Icone icone) override {
        QMessageBox boite(iconeMessage(icone), kTitreApplication, texte,
                          QMessageBox::Yes | QMessageBox::No, proprietaire(parent));
        boite.button(QMessageBox::Yes)->setText(QStringLiteral("Oui"));
        boite.button(QMessageBox::No)->setText(QStringLiteral("Non"));
        return boite.exec() == QMessageBox::Yes;
    }

    int choix(QWidget* parent, const QString& texte, const QStringList& boutons,
              Icone icone) override {
        const auto boite = boiteChoix(proprietaire(parent), texte, boutons, icone);
        boite->exec();
        const qsizetype i = boutonsDansLOrdre(*boite).indexOf(boite->clickedButton());
        return i < 0 ? static_cast<int>(boutons.size()) - 1 : static_cast<int>(i);
    }

    QString ouvrirFichier(QWidget* parent, const QString& filtre) override {
        QFileDialog d(proprietaire(parent), QStringLiteral("Ouvrir"), QString(), filtreQt(filtre));
        d.setAcceptMode(QFileDialog::AcceptOpen);
        d.setFileMode(QFileDialog::ExistingFile);
        return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty()
                   ? d.selectedFiles().first()
                   : QString();
    }

    QString enregistrerFichier(QWidget* parent, const QString& filtre,
                               const QString& extension) override {
        const auto d = dialogueEnregistrer(proprietaire(parent), filtre, extension);
        return d->exec() == QDialog::Accepted && !d->selectedFiles().isEmpty()
                   ? d->selectedFiles().first()
                   : QString();
    }

    QString enregistrerSous(QWidget* parent, const QString& filtre, const QString& extension,
                            const QString& proposition, int& filtreChoisi) override {
        const auto d = dialogueEnregistrer(proprietaire(parent), filtre, extension);
        const QFileInfo propose(proposition);
        d->setDirectory(propose.absolutePath());
        d->selectFile(propose.fileName());
        const bool choisi = d->exec() == QDialog::Accepted && !d->selectedFiles().isEmpty();
        filtreChoisi = std::max<int>(
            0, static_cast<int>(
                   filtreQt(filtre).split(QStringLiteral(";;")).indexOf(d->selectedNameFilter())));
        return choisi ? d->selectedFiles().first() : QString();
    }

    QString choisirDossier(QWidget* parent, const QString& depart) override {
        return QFileDialog::getExistingDirectory(proprietaire(parent),
                                                 QStringLiteral("Dossier des projets"), depart);
    }

    int executer(QDialog& dialogue) override { return dialogue.exec(); }
};

std::unique_ptr<IDialogues>& installes() {
    static std::unique_ptr<IDialogues> d = dialoguesQt();
    return d;
}

}  // namespace

QWidget* fenetreDesBoites() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w) && w->isVisible()) return w;
    return nullptr;
}

IDialogues& dialogues() {
    return *installes();
}

std::unique_ptr<IDialogues> installerDialogues(std::unique_ptr<IDialogues> nouveaux) {
    std::unique_ptr<IDialogues> anciens = std::move(installes());
    installes() = std::move(nouveaux);
    return anciens;
}

std::unique_ptr<QMessageBox> boiteMessage(QWidget* parent, const QString& texte, Icone icone) {
    auto boite = std::make_unique<QMessageBox>(iconeMessage(icone), kTitreApplication, texte,
                                               QMessageBox::Ok, parent);
    boite->button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    return boite;
}

std::unique_ptr<QMessageBox> boiteChoix(QWidget* parent, const QString& texte,
                                        const QStringList& boutons, Icone icone) {
    auto boite = std::make_unique<QMessageBox>(iconeMessage(icone), kTitreApplication, texte,
                                               QMessageBox::NoButton, parent);
    // In the order given, whatever the desktop's usual order of roles: the first is the default
    // (Entrée), the last the way out (Échap, the close box).
    for (qsizetype i = 0; i < boutons.size(); ++i) {
        const bool dernier = i + 1 == boutons.size();
        QPushButton* b = boite->addButton(
            boutons[i], dernier ? QMessageBox::RejectRole : QMessageBox::ActionRole);
        b->setObjectName(QStringLiteral("choix%1").arg(i));
        if (i == 0) boite->setDefaultButton(b);
        if (dernier) boite->setEscapeButton(b);
    }
    return boite;
}

QList<QAbstractButton*> boutonsDansLOrdre(const QMessageBox& boite) {
    QList<QAbstractButton*> liste;
    for (int i = 0;; ++i) {
        auto* b = boite.findChild<QAbstractButton*>(QStringLiteral("choix%1").arg(i));
        if (!b) return liste;
        liste << b;
    }
}

std::unique_ptr<QFileDialog> dialogueEnregistrer(QWidget* parent, const QString& filtre,
                                                 const QString& extensionParDefaut) {
    auto d = std::make_unique<QFileDialog>(parent, QStringLiteral("Enregistrer sous"), QString(),
                                           filtreQt(filtre));
    d->setAcceptMode(QFileDialog::AcceptSave);
    d->setFileMode(QFileDialog::AnyFile);
    QString ext = extensionParDefaut;
    if (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
    d->setDefaultSuffix(ext);
    // A name typed without extension gets that of the filter chosen ("*.gif" gives "gif").
    QFileDialog* brut = d.get();
    QObject::connect(brut, &QFileDialog::filterSelected, brut, [brut](const QString& choisi) {
        const qsizetype debut = choisi.indexOf(QStringLiteral("*."));
        if (debut < 0) return;
        qsizetype fin = debut + 2;
        while (fin < choisi.size() && choisi[fin].isLetterOrNumber())
            ++fin;
        brut->setDefaultSuffix(choisi.mid(debut + 2, fin - debut - 2));
    });
    return d;
}

std::unique_ptr<IDialogues> dialoguesQt() {
    return std::make_unique<DialoguesQt>();
}

QString filtreQt(const QString& filtre) {
    const QStringList morceaux = filtre.split(QLatin1Char('|'));
    QStringList filtres;
    for (qsizetype i = 0; i + 1 < morceaux.size(); i += 2)
        filtres << morceaux[i] + QStringLiteral(" (") +
                       QString(morceaux[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                       QLatin1Char(')');
    return filtres.join(QStringLiteral(";;"));
}

}  // namespace vp
