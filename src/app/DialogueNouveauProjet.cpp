// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogueNouveauProjet.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>

#include "Commun.h"
#include "DialogueDossierProjets.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "platform/ErreurApplication.h"
#include "platform/SousDossiers.h"

namespace vp {

QString nomDossierDepuisTitre(const QString& titre) {
    struct Remplacement {
        char16_t de;
        char16_t vers;
    };
    static constexpr Remplacement kTable[] = {
        {u'à', u'a'},  {u'â', u'a'}, {u'é', u'e'}, {u'è', u'e'}, {u'ê', u'e'}, {u'ë', u'e'},
        {u'î', u'i'},  {u'ï', u'i'}, {u'ô', u'o'}, {u'ö', u'o'}, {u'û', u'u'}, {u'ü', u'u'},
        {u'\\', u'_'}, {u'/', u'_'}, {u'?', u'_'}, {u' ', u'_'}};
    QString nom = titre;
    for (QChar& c : nom)
        for (const Remplacement& r : kTable)
            if (c == QChar(r.de)) c = QChar(r.vers);
    return nom;
}

namespace {

// The longest file name the usual file systems take, in bytes.
constexpr qsizetype kLongueurNomMax = 255;

}  // namespace

QString refusNouveauProjet(const QString& repProjets, const QString& titre,
                           const QString& dossier) {
    if (titre.trimmed().isEmpty())
        return QStringLiteral(
            "Le nom du projet est vide : entrez un nom avant de créer le projet.");
    if (dossier.isEmpty())
        return QStringLiteral("Le nom du dossier d'enregistrement est vide : entrez un nom.");
    if (dossier == QLatin1String(".") || dossier == QLatin1String("..") ||
        dossier.contains(QLatin1Char('/')) || dossier.contains(QChar(u'\0')))
        return QStringLiteral(
                   "Le nom de dossier « %1 » n'est pas possible : choisissez-en un autre.")
            .arg(dossier);
    if (octetsDuChemin(dossier).size() > kLongueurNomMax)
        return QStringLiteral(
            "Le nom du dossier d'enregistrement est trop long : raccourcissez le nom du projet.");
    const QString chemin = avecSeparateur(repProjets + dossier);
    if (dossierExiste(chemin)) {
        static const QRegularExpression kImage(QStringLiteral("^image_\\d{5,}\\.bmp$"));
        bool images = false;
        parcourirDossier(chemin, [&](int, const char* nom, unsigned char) {
            images = images || kImage.match(QString::fromUtf8(nom)).hasMatch();
        });
        if (images || fichierExiste(chemin + QStringLiteral("projet.ini")))
            return QStringLiteral(
                       "Le dossier « %1 » contient déjà un projet : choisissez un autre "
                       "nom de dossier pour ne pas écraser ses images.")
                .arg(dossier);
    }
    return {};
}

DialogueNouveauProjet::DialogueNouveauProjet(ProjetCourant& projet, QWidget* parent)
    : QDialog(parent), p_(projet) {
    setWindowTitle(QStringLiteral("Nouveau Projet"));
    setFixedSize(401, 239);
    etiquetteBleue(QStringLiteral("Dossier des projets:"), this)->setGeometry(8, 8, 300, 16);
    champDossierProjets = new QLineEdit(this);
    champDossierProjets->setGeometry(8, 28, 345, 24);
    champDossierProjets->setReadOnly(true);
    boutonDossier = creerBoutonDossier(this);
    etiquetteBleue(QStringLiteral("Entrez le nom du projet :"), this, false)
        ->setGeometry(8, 66, 300, 16);
    champTitre = new QLineEdit(this);
    champTitre->setGeometry(8, 86, 385, 24);
    etiquetteBleue(QStringLiteral("Dossier d'enregistrement :"), this, false)
        ->setGeometry(8, 120, 300, 16);
    champDossier = new QLineEdit(this);
    champDossier->setGeometry(8, 140, 385, 24);
    boutonValider = creerBoutonValider(QStringLiteral("CRÉER"), this);
    boutonValider->setGeometry(8, 184, 185, 41);
    boutonAnnuler = creerBoutonAnnuler(QStringLiteral("ANNULER"), this);
    boutonAnnuler->setGeometry(208, 184, 185, 41);
    setTabOrder(champTitre, champDossier);
    setTabOrder(champDossier, champDossierProjets);

    connect(champTitre, &QLineEdit::textChanged, this, [this] { deduireNomDossier(); });
    connect(boutonValider, &QPushButton::clicked, this,
            [this] { executerCommande([this] { valider(); }, this); });
    connect(boutonAnnuler, &QPushButton::clicked, this, [this] { annuler(); });
    connect(boutonDossier, &QToolButton::clicked, this,
            [this] { executerCommande([this] { choisirDossierProjets(); }, this); });
}

void DialogueNouveauProjet::showEvent(QShowEvent* e) {
    preparerAffichage();
    QDialog::showEvent(e);
    champTitre->setFocus(Qt::OtherFocusReason);  // the user types the title at once
}

void DialogueNouveauProjet::preparerAffichage() {
    champDossierProjets->setText(p_.repProjets);
}

void DialogueNouveauProjet::deduireNomDossier() {
    champDossier->setText(nomDossierDepuisTitre(champTitre->text()));
}

void DialogueNouveauProjet::valider() {
    // Typed spaces and separators would give another folder than the one shown.
    QString dossier = champDossier->text();
    dossier.replace(QLatin1Char(' '), QLatin1Char('_'))
        .replace(QLatin1Char('/'), QLatin1Char('_'))
        .replace(QLatin1Char('\\'), QLatin1Char('_'));
    champDossier->setText(dossier);
    const QString refus = refusNouveauProjet(p_.repProjets, champTitre->text(), dossier);
    if (!refus.isEmpty()) {
        dialogues().message(this, refus, Icone::Avertissement);
        return;  // the dialog stays open with its values
    }
    p_.dialogueOk = true;
    accept();
}

void DialogueNouveauProjet::annuler() {
    reject();
}

void DialogueNouveauProjet::choisirDossierProjets() {
    if (dialogueDossierProjets && dialogueDossierProjets->changerDossierProjets())
        champDossierProjets->setText(p_.repProjets);
}

}  // namespace vp
