#include "DialogueDossierProjets.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <memory>

#include "ArbreDossiers.h"
#include "Commun.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/ErreurApplication.h"
#include "platform/Profil.h"

namespace vp {

namespace {

// Puts the working directory back as it was, whatever happens meanwhile.
class RetourRepertoire {
public:
    RetourRepertoire() : avant_(QDir::currentPath()) {}
    ~RetourRepertoire() { QDir::setCurrent(avant_); }
    RetourRepertoire(const RetourRepertoire&) = delete;
    RetourRepertoire& operator=(const RetourRepertoire&) = delete;

private:
    QString avant_;
};

// The contents of the regular file `nom` of the folder open as `dossier` (opened from there:
// the folder's path is not walked again for each file); empty when there is none.
QByteArray lireFichierDans(int dossier, const QByteArray& nom) {
    const int fd = openat(dossier, nom.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    QByteArray contenu;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char tampon[4096];
        ssize_t lus;
        while ((lus = read(fd, tampon, sizeof tampon)) > 0)
            contenu.append(tampon, lus);
    }
    close(fd);
    return contenu;
}

}  // namespace

int compterProjetsDans(const QString& dossier) {
    const std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(QFile::encodeName(dossier).constData()),
                                                &closedir);
    if (!d)
        throw Erreur(QStringLiteral("Impossible de lire le dossier « %1 »")
                         .arg(QDir::toNativeSeparators(sansSeparateur(dossier))));
    const int fd = dirfd(d.get());
    int n = 0;
    while (const dirent* e = readdir(d.get())) {
        if (e->d_type != DT_DIR && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
        const QByteArray nom(e->d_name);
        if (nom == "." || nom == "..") continue;
        // A project whose "projet.ini" lost its title is not counted.
        const QByteArray ini = lireFichierDans(fd, nom + "/projet.ini");
        if (lireProfilTexte(ini, QStringLiteral("GENERAL"), QStringLiteral("titre"),
                            QStringLiteral("*no*")) != QLatin1String("*no*"))
            ++n;
    }
    return n;
}

DialogueDossierProjets::DialogueDossierProjets(ProjetCourant& projet, QWidget* parent)
    : QDialog(parent), p_(projet) {
    setWindowTitle(QStringLiteral("Dossier des projets"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(329, 525);
    arbre = new ArbreDossiers(this);
    arbre->setGeometry(8, 8, 313, 441);
    QFont police = arbre->font();
    police.setPixelSize(13);
    arbre->setFont(police);
    arbre->setIndentation(19);
    arbre->setFolderOptions(foNetworkNeighborhood);
    arbre->setActive(true);
    etiquetteNombreProjets = etiquetteBleue(QStringLiteral("Dossier des projets:"), this);
    etiquetteNombreProjets->setGeometry(8, 456, 313, 20);
    boutonSelectionner = creerBoutonValider(QStringLiteral("SÉLECTIONNER"), this);
    boutonSelectionner->setGeometry(8, 482, 313, 35);
    boutonSelectionner->setEnabled(false);  // until a folder is selected

    connect(arbre, &QTreeWidget::currentItemChanged, this,
            [this] { executerCommande([this] { compterProjets(); }, this); });
    connect(boutonSelectionner, &QPushButton::clicked, this, [this] { selectionner(); });
}

void DialogueDossierProjets::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (const QScreen* ecran = screen())
        move(ecran->availableGeometry().center() - frameGeometry().center() + pos());
}

bool DialogueDossierProjets::changerDossierProjets() {
    const QTreeWidgetItem* avant = arbre->currentItem();
    // The tree opens down to the projects folder; the change of selection counts its projects.
    const QTreeWidgetItem* choisi = arbre->SelectPath(p_.repProjets);
    // The same folder still selected: its projects may have changed since the last time.
    if (choisi && choisi == avant) executerCommande([this] { compterProjets(); }, this);
    dossierChoisi = false;
    dialogues().executer(*this);
    const QString chemin = arbre->SelectedPath();
    if (!dossierChoisi || chemin.isEmpty()) return false;
    p_.repProjets = avecSeparateur(chemin);
    return true;
}

void DialogueDossierProjets::compterProjets() {
    const QString chemin = arbre->SelectedPath();
    boutonSelectionner->setEnabled(false);
    if (chemin.isEmpty()) {
        etiquetteNombreProjets->setText(kChoisirUnDossier);
        return;
    }
    const QString dossier = avecSeparateur(chemin);
    int n = 0;
    {
        const RetourRepertoire retour;
        changerRepertoire(dossier);
        n = compterProjetsDans(dossier);
    }
    etiquetteNombreProjets->setText(n > 0 ? QStringLiteral("%1 projets trouvés.").arg(n)
                                          : kAucunProjet);
    boutonSelectionner->setEnabled(true);
}

void DialogueDossierProjets::selectionner() {
    dossierChoisi = true;
    accept();
}

}  // namespace vp
