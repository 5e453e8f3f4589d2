// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogueOuvrirProjet.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include "ArbreDossiers.h"
#include "Commun.h"
#include "DialogueDossierProjets.h"
#include "MesureProjets.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/ErreurApplication.h"
#include "platform/FichiersSurs.h"
#include "platform/Montages.h"
#include "platform/Profil.h"
#include "platform/SousDossiers.h"

namespace vp {

namespace {

// The regular file `nom` of the folder open as `dossier` (opened from there: the folder's path is
// not walked again for each project); false when there is none.
bool lireFichierDans(int dossier, const QByteArray& nom, QByteArray& contenu) {
    const int fd = openat(dossier, nom.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool regulier = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regulier) {
        char tampon[4096];
        ssize_t lus;
        while ((lus = read(fd, tampon, sizeof tampon)) > 0)
            contenu.append(tampon, lus);
    }
    close(fd);
    return regulier;
}

QString nomAffiche(const QString& dossier) {
    return QDir::toNativeSeparators(cheminLisible(sansSeparateur(dossier)));
}

}  // namespace

std::vector<ProjetTrouve> listerProjets(const QString& dossier, std::atomic<quint64>* vivacite) {
    if (!dossierExiste(dossier))
        throw Erreur(
            QStringLiteral("Impossible d'entrer dans le dossier « %1 »").arg(nomAffiche(dossier)));
    std::vector<ProjetTrouve> projets;
    const bool lu = parcourirDossier(dossier, [&](int fd, const char* nom, unsigned char type) {
        if (vivacite) ++*vivacite;
        if (type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN) return;
        QByteArray ini;
        if (!lireFichierDans(fd, QByteArray(nom) + "/projet.ini", ini)) return;
        // A title-less project is listed with an empty title, but it does not count.
        const QString titre = lireProfilTexte(ini, QStringLiteral("GENERAL"),
                                              QStringLiteral("titre"), QStringLiteral("*no*"));
        const bool aUnTitre = titre != QLatin1String("*no*");
        projets.push_back(
            {cheminDepuisOctets(QByteArray(nom)), aUnTitre ? titre : QString(), aUnTitre});
    });
    if (!lu)
        throw Erreur(QStringLiteral("Impossible de lire le dossier « %1 » : %2")
                         .arg(nomAffiche(dossier), raisonSysteme(errno)));
    return projets;
}

bool projetsSurReseau(const QString& dossier) {
    return tableMontages().lent(dossier) || !tableMontages().nomsLentsDans(dossier).isEmpty();
}

DialogueOuvrirProjet::DialogueOuvrirProjet(ProjetCourant& projet, QWidget* parent)
    : QDialog(parent), p_(projet) {
    setWindowTitle(QStringLiteral("Ouvrir un projet"));
    setFixedSize(401, 311);
    etiquetteBleue(QStringLiteral("Dossier des projets:"), this)->setGeometry(8, 8, 300, 16);
    champDossierProjets = new QLineEdit(this);
    champDossierProjets->setGeometry(8, 28, 345, 24);
    champDossierProjets->setReadOnly(true);
    boutonDossier = creerBoutonDossier(this);
    listeTitres = new QListWidget(this);
    listeTitres->setGeometry(8, 60, 385, 209);
    QFont police = listeTitres->font();
    police.setPixelSize(16);
    listeTitres->setFont(police);
    listeTitres->setStyleSheet(QStringLiteral("QListWidget::item { height: 20px; }"));
    listeDossiers = new QListWidget(this);
    listeDossiers->hide();
    mesureur = new MesureurProjets(listeTitres);
    boutonOuvrir = creerBoutonValider(QStringLiteral("OUVRIR"), this);
    boutonOuvrir->setGeometry(8, 274, 185, 33);
    boutonAnnuler = creerBoutonAnnuler(QStringLiteral("ANNULER"), this);
    boutonAnnuler->setGeometry(208, 274, 185, 33);
    champDossierProjets->setText(cheminLisible(p_.repProjets));

    connect(boutonOuvrir, &QPushButton::clicked, this, [this] { ouvrir(); });
    connect(listeTitres, &QListWidget::itemDoubleClicked, this, [this] { ouvrir(); });
    connect(boutonAnnuler, &QPushButton::clicked, this, [this] { annuler(); });
    connect(boutonDossier, &QToolButton::clicked, this,
            [this] { executerCommande([this] { choisirDossierProjets(); }, this); });
}

void DialogueOuvrirProjet::showEvent(QShowEvent* e) {
    preparerAffichage();
    QDialog::showEvent(e);
}

void DialogueOuvrirProjet::preparerAffichage() {
    lister();
}

bool DialogueOuvrirProjet::enLecture() const {
    return veille_.suit();
}

void DialogueOuvrirProjet::lister() {
    champDossierProjets->setText(cheminLisible(p_.repProjets));
    mesureur->arreter();
    listeTitres->clear();
    listeDossiers->clear();
    const quint64 listage = ++listage_;
    veille_.arreter();
    const QString dossier = p_.repProjets;
    if (projetsSurReseau(dossier)) {
        // A network share may take long, or never answer: the window does not wait for it.
        annoncer({kLectureProjets});
        const Vivacite vivacite = nouvelleVivacite();
        veille_.suivre(vivacite, [this] { annoncer({kProjetsMuets, kReessayerProjets}); });
        enFond_.lancer([this, dossier, listage, vivacite]() -> TravauxEnFond::Suite {
            std::vector<ProjetTrouve> projets;
            QString erreur;
            try {
                projets = listerProjets(dossier, vivacite.get());
                // The listing leaves the projects folder as the working directory.
                if (::chdir(octetsDuChemin(dossier).constData()) != 0) projets.clear();
            } catch (const Erreur& e) {
                erreur = e.texte();
            }
            return [this, listage, projets = std::move(projets), erreur] {
                if (listage != listage_) return;  // a listing of another folder came since
                veille_.arreter();
                if (!erreur.isEmpty()) {
                    annoncer({texteBoiteErreur(erreur)});
                    return;
                }
                afficher(projets);
            };
        });
        return;
    }
    // The listing leaves the projects folder as the working directory.
    try {
        changerRepertoire(dossier);
    } catch (const Erreur&) {
        dialogues().message(this,
                            QStringLiteral("Le dossier des projets « %1 » est introuvable : "
                                           "choisissez-en un autre avec le bouton dossier.")
                                .arg(nomAffiche(dossier)),
                            Icone::Avertissement);
        return;
    }
    try {
        afficher(listerProjets(dossier));
    } catch (const Erreur& e) {
        dialogues().message(this, texteBoiteErreur(e.texte()), Icone::Avertissement);
    }
}

void DialogueOuvrirProjet::afficher(const std::vector<ProjetTrouve>& projets) {
    listeTitres->clear();
    listeDossiers->clear();
    QStringList dossiers;
    for (const ProjetTrouve& p : projets) {
        listeDossiers->addItem(p.nomDossier);
        listeTitres->addItem(p.titre);
        dossiers << p_.repProjets + p.nomDossier;
    }
    mesureur->mesurer(dossiers);
}

// Lines of the list that say what the listing is doing; they cannot be chosen.
void DialogueOuvrirProjet::annoncer(const QStringList& lignes) {
    listeTitres->clear();
    listeDossiers->clear();
    for (const QString& texte : lignes) {
        auto* ligne = new QListWidgetItem(texte, listeTitres);
        ligne->setFlags(Qt::NoItemFlags);
        new QListWidgetItem(QString(), listeDossiers);
    }
}

int DialogueOuvrirProjet::indexChoisi() const {
    const QListWidgetItem* item = listeTitres->currentItem();
    return item && item->isSelected() && (item->flags() & Qt::ItemIsSelectable)
               ? listeTitres->row(item)
               : -1;
}

void DialogueOuvrirProjet::ouvrir() {
    if (indexChoisi() < 0) {
        dialogues().message(this, kAucunProjetChoisi, Icone::Information);
        return;
    }
    p_.dialogueOk = true;
    accept();
}

void DialogueOuvrirProjet::annuler() {
    reject();
}

void DialogueOuvrirProjet::choisirDossierProjets() {
    if (dialogueDossierProjets && dialogueDossierProjets->changerDossierProjets()) lister();
}

}  // namespace vp
