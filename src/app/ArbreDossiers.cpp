// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArbreDossiers.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QSessionManager>
#include <QStandardPaths>
#include <algorithm>
#include <numeric>
#include <utility>

#include "platform/Chemins.h"
#include "platform/Curseur.h"
#include "platform/Montages.h"
#include "platform/SousDossiers.h"

namespace vp {

namespace {

// Marks the tree as being changed for its lifetime.
class Travail {
public:
    explicit Travail(bool& drapeau) : drapeau_(drapeau), avant_(std::exchange(drapeau, true)) {}
    ~Travail() { drapeau_ = avant_; }
    Travail(const Travail&) = delete;
    Travail& operator=(const Travail&) = delete;

private:
    bool& drapeau_;
    bool avant_;
};

// The tree is not repainted while many nodes come and go.
class PeintureSuspendue {
public:
    explicit PeintureSuspendue(QWidget* w) : w_(w), avant_(w->updatesEnabled()) {
        w_->setUpdatesEnabled(false);
    }
    ~PeintureSuspendue() { w_->setUpdatesEnabled(avant_); }
    PeintureSuspendue(const PeintureSuspendue&) = delete;
    PeintureSuspendue& operator=(const PeintureSuspendue&) = delete;

private:
    QWidget* w_;
    bool avant_;
};

// The desktop folder, or the home folder when the desktop has none.
QString dossierBureau() {
    const QString bureau = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return QDir::cleanPath(QFileInfo(bureau).isDir() ? bureau : QDir::homePath());
}

QString nomDe(const QString& chemin) {
    const QString nom = QFileInfo(chemin).fileName();
    return nom.isEmpty() ? chemin : nom;
}

bool contient(const QString& dossier, const QString& chemin) {
    return dossier == QLatin1String("/") || chemin == dossier ||
           chemin.startsWith(dossier + QLatin1Char('/'));
}

void retirerCaches(std::vector<SousDossier>& dossiers) {
    std::erase_if(dossiers,
                  [](const SousDossier& d) { return d.nom.startsWith(QLatin1Char('.')); });
}

}  // namespace

struct ArbreDossiers::VolumeVoulu {
    NoeudDossier::Genre genre;
    QString chemin;
    QString nom;
    QIcon icone;
};

ArbreDossiers::ArbreDossiers(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);

    ordre_.setCaseSensitivity(Qt::CaseInsensitive);
    ordre_.setNumericMode(true);

    const QFileIconProvider icones;
    const QIcon dossier = icones.icon(QAbstractFileIconProvider::Folder);
    const QIcon reseau = icones.icon(QAbstractFileIconProvider::Network);
    iconeDisque_ = icones.icon(QAbstractFileIconProvider::Drive);
    iconeMaison_ = QIcon::fromTheme(QStringLiteral("user-home"), dossier);
    iconeAmovible_ = QIcon::fromTheme(QStringLiteral("drive-removable-media"), iconeDisque_);
    iconesGenres_[NoeudDossier::Dossier] = dossier;
    iconesGenres_[NoeudDossier::Reseau] = reseau;
    iconesGenres_[NoeudDossier::Corbeille] = icones.icon(QAbstractFileIconProvider::Trashcan);
    iconesGenres_[NoeudDossier::Ordinateur] = icones.icon(QAbstractFileIconProvider::Computer);
    iconesGenres_[NoeudDossier::Bureau] = icones.icon(QAbstractFileIconProvider::Desktop);
    iconesGenres_[NoeudDossier::PartageReseau] =
        QIcon::fromTheme(QStringLiteral("folder-remote"), reseau);

    relecture_.setSingleShot(true);
    relecture_.setInterval(50);  // a burst of changes is read once
    connect(&relecture_, &QTimer::timeout, this, [this] { rattraper(); });
    connect(&surveillance_, &SurveillanceDossiers::dossierModifie, this,
            [this](const QString& chemin) { dossierModifie(chemin); });
    horloge_.start();
    veilleLectures_.setInterval(100);
    connect(&veilleLectures_, &QTimer::timeout, this, [this] { verifierLectures(); });
    connect(this, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem* item) {
        if (NoeudDossier* n = noeud(item)) n->aDeplier = false;
    });
    connect(this, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { developper(item); });
#ifndef QT_NO_SESSIONMANAGER
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& session) {
        if (!accepterFinSession()) session.cancel();
    });
#endif
}

ArbreDossiers::~ArbreDossiers() = default;

NoeudDossier* ArbreDossiers::noeud(QTreeWidgetItem* item) {
    return item && item->type() == NoeudDossier::kType ? static_cast<NoeudDossier*>(item) : nullptr;
}

void ArbreDossiers::setActive(bool v) {
    if (v == active_) return;
    const Travail t(enTravail_);
    active_ = v;
    if (v)
        construire();
    else
        detruire();
}

void ArbreDossiers::setFolderOptions(TFolderOptions v) {
    options_ = v;
    if (!active_) return;
    const Travail t(enTravail_);
    if (v & foRecycleBin)
        ajouterSpecial(corbeille_, NoeudDossier::Corbeille, QStringLiteral("Corbeille"));
    else
        retirerSpecial(corbeille_);
    if (v & foNetworkNeighborhood)
        ajouterSpecial(reseau_, NoeudDossier::Reseau, QStringLiteral("Réseau"));
    else
        retirerSpecial(reseau_);
    actualiserVolumes();
    surveiller();
}

void ArbreDossiers::setDisplayMode(TDisplayMode v) {
    mode_ = v;
    if (!active_) return;
    const PeintureSuspendue p(this);
    for (int i = 0; i < topLevelItemCount(); ++i)
        relabelliser(topLevelItem(i));
}

void ArbreDossiers::relabelliser(QTreeWidgetItem* item) {
    if (NoeudDossier* n = noeud(item)) etiqueter(n);
    for (int i = 0; i < item->childCount(); ++i)
        relabelliser(item->child(i));
}

void ArbreDossiers::etiqueter(NoeudDossier* n) const {
    n->setText(0, n->muet ? libelle(n->nom) + kNeRepondPas : libelle(n->nom));
}

QString ArbreDossiers::libelle(const QString& nom) const {
    const QString lisible = cheminLisible(nom);
    switch (mode_) {
        case dmUppercase:
            return lisible.toUpper();
        case dmLowercase:
            return lisible.toLower();
        case dmAsis:
            break;
    }
    return lisible;
}

QString ArbreDossiers::cleDeTri(const QString& nom) const {
    return cheminLisible(nom);
}

// --- Building ---

void ArbreDossiers::construire() {
    const PeintureSuspendue p(this);
    const QString bureau = dossierBureau();
    racine_ = creerNoeud(NoeudDossier::Bureau, bureau, nomDe(bureau));
    addTopLevelItem(racine_);
    ordinateur_ = creerNoeud(NoeudDossier::Ordinateur, {}, QStringLiteral("Ordinateur"));
    racine_->addChild(ordinateur_);
    chargerEnfants(racine_);
    connexionTable_ = connect(&tableMontages(), &TableMontages::changement, this, [this] {
        volumesARelire_ = true;
        rattraper();
    });
    setFolderOptions(options_);  // fills the computer node and adds the optional nodes
    racine_->setExpanded(true);
    ordinateur_->setExpanded(true);
}

void ArbreDossiers::detruire() {
    disconnect(connexionTable_);
    racine_ = ordinateur_ = reseau_ = corbeille_ = nullptr;
    clear();
    aRelire_.clear();
    lectures_.clear();  // their answers find no node any more
    verifierLectures();
    surveiller();
}

NoeudDossier* ArbreDossiers::creerNoeud(NoeudDossier::Genre genre, const QString& chemin,
                                        const QString& nom) const {
    auto* n = new NoeudDossier(genre, chemin, nom);
    etiqueter(n);
    n->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    n->setIcon(0, iconesGenres_[genre]);
    // Nodes without a folder hold what the tree itself puts there.
    n->charge = chemin.isEmpty();
    n->setChildIndicatorPolicy(n->charge ? QTreeWidgetItem::DontShowIndicatorWhenChildless
                                         : QTreeWidgetItem::ShowIndicator);
    return n;
}

void ArbreDossiers::ajouterSpecial(NoeudDossier*& special, NoeudDossier::Genre genre,
                                   const QString& nom) {
    if (special) return;
    special = creerNoeud(genre, {}, nom);
    if (options_ & foVirtualFirst)
        racine_->insertChild(0, special);
    else
        racine_->addChild(special);
}

void ArbreDossiers::retirerSpecial(NoeudDossier*& special) {
    if (special) retirer(std::exchange(special, nullptr));
}

// --- Listing folders ---

void ArbreDossiers::developper(QTreeWidgetItem* item) {
    NoeudDossier* n = noeud(item);
    if (!n || n->charge) return;
    switch (chargerEnfants(n)) {
        case Chargement::Fait:
            break;
        case Chargement::Echec:
            // A folder that cannot be listed stays closed, unless SelectPath already went
            // through it.
            if (n->childCount() == 0) collapseItem(n);
            break;
        case Chargement::EnCours:
            n->aDeplier = true;  // opened for good when its folders come
            break;
    }
    surveiller();
}

ArbreDossiers::Chargement ArbreDossiers::chargerEnfants(NoeudDossier* n) {
    if (n->charge) return Chargement::Fait;
    if (lent(n)) {
        demanderLecture(n);
        return Chargement::EnCours;
    }
    const CurseurOccupe sablier;
    std::vector<SousDossier> dossiers;
    if (!listerSousDossiers(n->chemin, dossiers, tableMontages().nomsLentsDans(n->chemin)))
        return Chargement::Echec;  // its button stays
    accorderDossiers(n, std::move(dossiers));
    return Chargement::Fait;
}

bool ArbreDossiers::lent(const NoeudDossier* n) const {
    return !n->chemin.isEmpty() && tableMontages().lent(n->chemin);
}

// Lists n's folder on a thread of its own. A listing of that folder already under way is waited
// for, unless it has stopped answering: then it is asked again.
void ArbreDossiers::demanderLecture(NoeudDossier* n) {
    const QString chemin = n->chemin;
    if (const auto l = lectures_.constFind(chemin); l != lectures_.constEnd() && !n->muet) return;
    for (NoeudDossier* m : noeudsDe(chemin))
        if (std::exchange(m->muet, false)) etiqueter(m);
    Lecture lecture;
    lecture.avancement = nouvelleVivacite();
    lecture.echeance = horloge_.elapsed() + kDelaiReponseMs;
    lectures_.insert(chemin, lecture);
    enFond_.lancer([this, chemin, avancement = lecture.avancement]() -> TravauxEnFond::Suite {
        std::vector<SousDossier> dossiers;
        const bool lu = listerSousDossiers(chemin, dossiers, {}, avancement.get());
        return [this, chemin, lu, dossiers = std::move(dossiers)]() mutable {
            lectureFinie(chemin, lu, std::move(dossiers));
        };
    });
    viewport()->setCursor(Qt::BusyCursor);
    if (!veilleLectures_.isActive()) veilleLectures_.start();
}

void ArbreDossiers::lectureFinie(const QString& chemin, bool lu,
                                 std::vector<SousDossier> dossiers) {
    lectures_.remove(chemin);
    if (enTravail_) {
        // The tree is being changed (a message box of a change event, say): this answer waits.
        QTimer::singleShot(50, this, [this, chemin, lu, dossiers = std::move(dossiers)]() mutable {
            lectureFinie(chemin, lu, std::move(dossiers));
        });
        return;
    }
    const Travail t(enTravail_);
    for (NoeudDossier* n : noeudsDe(chemin)) {
        if (std::exchange(n->muet, false)) etiqueter(n);
        if (!lu) {
            // As for a folder that cannot be listed: it stays closed and can be opened again.
            if (!n->charge && n->childCount() == 0) collapseItem(n);
            n->aDeplier = false;
            continue;
        }
        accorderDossiers(n, dossiers);
        if (std::exchange(n->aDeplier, false)) n->setExpanded(true);
    }
    verifierLectures();
    surveiller();
}

// A listing that has read nothing more for kDelaiReponseMs makes its nodes say they do not answer.
void ArbreDossiers::verifierLectures() {
    const qint64 maintenant = horloge_.elapsed();
    for (auto l = lectures_.begin(); l != lectures_.end(); ++l) {
        const quint64 lus = *l->avancement;
        if (lus != l->vu) {
            l->vu = lus;
            l->echeance = maintenant + kDelaiReponseMs;
            continue;
        }
        if (maintenant < l->echeance) continue;
        for (NoeudDossier* n : noeudsDe(l.key())) {
            if (n->muet) continue;
            n->muet = true;
            etiqueter(n);
            // Closed, so that opening it again asks again.
            if (!n->charge && n->childCount() == 0) {
                n->aDeplier = false;
                collapseItem(n);
            }
        }
    }
    if (lectures_.isEmpty()) {
        veilleLectures_.stop();
        viewport()->unsetCursor();
    }
}

// The nodes of the folder `chemin` (a folder may show under the desktop and under a volume).
std::vector<NoeudDossier*> ArbreDossiers::noeudsDe(const QString& chemin) const {
    std::vector<NoeudDossier*> trouves;
    const std::function<void(QTreeWidgetItem*)> chercherDans = [&](QTreeWidgetItem* item) {
        NoeudDossier* n = noeud(item);
        if (!n) return;
        if (!n->chemin.isEmpty()) {
            if (n->chemin == chemin) trouves.push_back(n);
            // Not along the way; but the desktop also holds the computer and the network.
            if (!contient(n->chemin, chemin) && n->genre != NoeudDossier::Bureau) return;
        }
        for (int i = 0; i < item->childCount(); ++i)
            chercherDans(item->child(i));
    };
    for (int i = 0; i < topLevelItemCount(); ++i)
        chercherDans(topLevelItem(i));
    return trouves;
}

// Makes n's folders those of a new listing: the folders gone leave, the new ones come in.
void ArbreDossiers::accorderDossiers(NoeudDossier* n, std::vector<SousDossier> dossiers) {
    QSet<QString> presents;
    for (const SousDossier& d : dossiers)
        presents.insert(d.nom);
    const PeintureSuspendue p(this);
    for (int i = n->childCount() - 1; i >= 0; --i) {
        NoeudDossier* e = noeud(n->child(i));
        if (e->genre == NoeudDossier::Dossier && !presents.contains(e->nom)) retirer(e);
    }
    // A hidden folder SelectPath opened stays while it exists.
    retirerCaches(dossiers);
    insererDossiers(n, std::move(dossiers));
    n->charge = true;
    n->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

// Adds the folders not shown yet under `parent`, in alphabetical order among its folders.
void ArbreDossiers::insererDossiers(NoeudDossier* parent, std::vector<SousDossier> dossiers) {
    QSet<QString> presents;
    for (int i = 0; i < parent->childCount(); ++i)
        if (const NoeudDossier* e = noeud(parent->child(i)); e->genre == NoeudDossier::Dossier)
            presents.insert(e->nom);
    std::erase_if(dossiers, [&](const SousDossier& d) { return presents.contains(d.nom); });
    if (dossiers.empty()) return;

    std::vector<QCollatorSortKey> cles;
    cles.reserve(dossiers.size());
    for (const SousDossier& d : dossiers)
        cles.push_back(ordre_.sortKey(cleDeTri(d.nom)));
    std::vector<size_t> rangs(dossiers.size());
    std::iota(rangs.begin(), rangs.end(), size_t{0});
    std::sort(rangs.begin(), rangs.end(), [&](size_t a, size_t b) {
        const int c = cles[a].compare(cles[b]);
        return c != 0 ? c < 0 : dossiers[a].nom < dossiers[b].nom;
    });
    std::vector<NoeudDossier*> nouveaux;
    nouveaux.reserve(dossiers.size());
    for (size_t r : rangs) {
        const SousDossier& d = dossiers[r];
        NoeudDossier* n =
            creerNoeud(NoeudDossier::Dossier, cheminEnfant(parent->chemin, d.nom), d.nom);
        if (!d.peutAvoirSousDossiers)
            n->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
        nouveaux.push_back(n);
    }

    // Merged with the folders already there; the root's folders come after "Ordinateur".
    const PeintureSuspendue p(this);
    int i = parent == racine_ && ordinateur_ ? parent->indexOfChild(ordinateur_) + 1 : 0;
    size_t k = 0;
    while (k < nouveaux.size()) {
        const NoeudDossier* suivant = nullptr;
        for (; i < parent->childCount(); ++i) {
            const NoeudDossier* e = noeud(parent->child(i));
            if (e->genre != NoeudDossier::Dossier ||
                ordre_.compare(cleDeTri(e->nom), cleDeTri(nouveaux[k]->nom)) > 0) {
                if (e->genre == NoeudDossier::Dossier) suivant = e;
                break;
            }
        }
        QList<QTreeWidgetItem*> lot;
        do {
            lot.append(nouveaux[k++]);
        } while (k < nouveaux.size() && (!suivant || ordre_.compare(cleDeTri(nouveaux[k]->nom),
                                                                    cleDeTri(suivant->nom)) <= 0));
        parent->insertChildren(i, lot);
        i += static_cast<int>(lot.size());
    }
}

NoeudDossier* ArbreDossiers::enfantNomme(NoeudDossier* parent, const QString& nom) const {
    for (int i = 0; i < parent->childCount(); ++i) {
        NoeudDossier* e = noeud(parent->child(i));
        if (e->genre == NoeudDossier::Dossier && e->nom == nom) return e;
    }
    return nullptr;
}

// --- Following the disk ---

// Lists a loaded folder again: folders gone from the disk leave the tree, new ones come in.
void ArbreDossiers::synchroniser(NoeudDossier* n) {
    if (!n->charge || n->chemin.isEmpty()) return;
    if (lent(n)) return demanderLecture(n);
    std::vector<SousDossier> dossiers;
    if (!listerSousDossiers(n->chemin, dossiers, tableMontages().nomsLentsDans(n->chemin))) return;
    accorderDossiers(n, std::move(dossiers));
}

// Lists again the loaded folders of n's branch: all of them, or those named in `chemins`.
void ArbreDossiers::resynchroniser(NoeudDossier* n, const QSet<QString>* chemins) {
    if (n->charge && !n->chemin.isEmpty() && (!chemins || chemins->contains(n->chemin)))
        synchroniser(n);
    for (int i = 0; i < n->childCount(); ++i)
        resynchroniser(noeud(n->child(i)), chemins);
}

void ArbreDossiers::retirer(NoeudDossier* n) {
    // The selection goes up to the parent rather than to a neighbour.
    for (QTreeWidgetItem* c = currentItem(); c; c = c->parent())
        if (c == n) {
            setCurrentItem(n->parent());
            break;
        }
    delete n;
}

// A node whose folder has gone: the nearest folder above it that is still there is listed again.
void ArbreDossiers::elaguer(NoeudDossier* n) {
    NoeudDossier* p = noeud(n->parent());
    while (p && !p->chemin.isEmpty() && !lent(p) && !dossierExiste(p->chemin))
        p = noeud(p->parent());
    if (p && !p->chemin.isEmpty())
        synchroniser(p);
    else
        actualiserVolumes();
    surveiller();
}

void ArbreDossiers::actualiserVolumes() {
    if (!ordinateur_) return;
    const QString maison = QDir::cleanPath(QDir::homePath());
    std::vector<VolumeVoulu> locaux = {
        {NoeudDossier::Dossier, maison, QStringLiteral("Dossier personnel"), iconeMaison_},
        {NoeudDossier::Dossier, QStringLiteral("/"), QStringLiteral("Système de fichiers"),
         iconeDisque_}};
    std::vector<VolumeVoulu> partages;
    for (const Volume& v : tableMontages().volumes()) {
        const QString chemin = QDir::cleanPath(v.pointMontage);
        if (v.genre == Volume::Genre::Reseau)
            partages.push_back({NoeudDossier::PartageReseau, chemin, v.etiquette,
                                iconesGenres_[NoeudDossier::PartageReseau]});
        else if (chemin != maison && chemin != QLatin1String("/"))
            locaux.push_back({NoeudDossier::Dossier, chemin, v.etiquette,
                              v.genre == Volume::Genre::Amovible ? iconeAmovible_ : iconeDisque_});
    }
    const PeintureSuspendue p(this);
    accorderVolumes(ordinateur_, locaux);
    if (reseau_) accorderVolumes(reseau_, partages);
}

// Makes the children of `parent` the volumes `voulus`, in that order, keeping the nodes (and
// what is open below them) of the volumes still there.
void ArbreDossiers::accorderVolumes(NoeudDossier* parent, const std::vector<VolumeVoulu>& voulus) {
    const auto voulu = [&](const NoeudDossier* e) {
        return std::any_of(voulus.begin(), voulus.end(),
                           [&](const VolumeVoulu& v) { return v.chemin == e->chemin; });
    };
    for (int i = parent->childCount() - 1; i >= 0; --i)
        if (NoeudDossier* e = noeud(parent->child(i)); !voulu(e)) retirer(e);
    for (int k = 0; k < static_cast<int>(voulus.size()); ++k) {
        const VolumeVoulu& v = voulus[static_cast<size_t>(k)];
        int j = k;
        while (j < parent->childCount() && noeud(parent->child(j))->chemin != v.chemin)
            ++j;
        if (j == parent->childCount()) {
            NoeudDossier* n = creerNoeud(v.genre, v.chemin, v.nom);
            n->setIcon(0, v.icone);
            parent->insertChild(k, n);
            continue;
        }
        for (; j > k; --j)  // out of order: made again further on
            retirer(noeud(parent->child(k)));
        NoeudDossier* e = noeud(parent->child(k));
        if (e->nom != v.nom) {
            e->nom = v.nom;
            etiqueter(e);
        }
    }
}

bool ArbreDossiers::suivi() const {
    return active_ && montre_ && !sessionFinie_;
}

// Watches the loaded folders while the tree is shown, and only them. Folders of a network share
// are not: the system tells nothing of what other computers change there, and even asking to
// watch one may wait on the network.
void ArbreDossiers::surveiller() {
    QSet<QString> voulus;
    if (suivi()) {
        const std::function<void(QTreeWidgetItem*)> parcourir = [&](QTreeWidgetItem* item) {
            const NoeudDossier* n = noeud(item);
            if (n->charge && !n->chemin.isEmpty() && !lent(n)) voulus.insert(n->chemin);
            for (int i = 0; i < item->childCount(); ++i)
                parcourir(item->child(i));
        };
        for (int i = 0; i < topLevelItemCount(); ++i)
            parcourir(topLevelItem(i));
    }
    QStringList enTrop;
    for (const QString& d : surveillance_.dossiers())
        if (!voulus.remove(d)) enTrop << d;
    if (!enTrop.isEmpty()) surveillance_.retirer(enTrop);
    if (!voulus.isEmpty()) surveillance_.ajouter(voulus.values());
}

// Brings the tree up to the disk's and the mount table's changes. A change of selection may
// open a message box, whose event loop must not change the tree under the code that changed
// the selection: the changes then wait until that code is done.
void ArbreDossiers::rattraper() {
    if (enTravail_) {
        relecture_.start();
        return;
    }
    const Travail t(enTravail_);
    if (std::exchange(volumesARelire_, false)) actualiserVolumes();
    const QSet<QString> chemins = std::exchange(aRelire_, {});
    if (racine_ && !chemins.isEmpty()) resynchroniser(racine_, &chemins);
    surveiller();
}

void ArbreDossiers::dossierModifie(const QString& chemin) {
    aRelire_.insert(chemin);
    if (!relecture_.isActive()) relecture_.start();
}

void ArbreDossiers::showEvent(QShowEvent* e) {
    QTreeWidget::showEvent(e);
    montre_ = true;
    sessionFinie_ = false;
    // The disk may have changed while the tree was hidden.
    const Travail t(enTravail_);
    if (racine_) resynchroniser(racine_, nullptr);
    surveiller();
}

void ArbreDossiers::hideEvent(QHideEvent* e) {
    QTreeWidget::hideEvent(e);
    montre_ = false;
    surveiller();
}

bool ArbreDossiers::accepterFinSession() {
    bool CanEndSession = true;
    if (OnEndSessionQuery) OnEndSessionQuery(this, CanEndSession);
    if (CanEndSession) {
        sessionFinie_ = true;
        surveiller();
    }
    return CanEndSession;
}

void ArbreDossiers::mouseDoubleClickEvent(QMouseEvent* e) {
    NoeudDossier* n = noeud(itemAt(e->position().toPoint()));
    if (n && n->muet) {
        demanderLecture(n);  // asked again
    } else if (n && !n->chemin.isEmpty() && !lent(n) && !dossierExiste(n->chemin)) {
        const Travail t(enTravail_);
        elaguer(n);  // gone from the disk: the tree catches up instead of opening it
        e->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(e);
}

// --- Paths ---

NoeudDossier* ArbreDossiers::chercher(const QString& chemin) {
    if (!active_ || !chemin.startsWith(QLatin1Char('/'))) return nullptr;
    const QString c = QDir::cleanPath(chemin);
    // The walk starts at the volume (or the desktop) with the longest path holding `chemin`.
    NoeudDossier* n = nullptr;
    const auto essayer = [&](QTreeWidgetItem* item) {
        NoeudDossier* d = noeud(item);
        if (d && !d->chemin.isEmpty() && contient(d->chemin, c) &&
            (!n || d->chemin.size() > n->chemin.size()))
            n = d;
    };
    essayer(racine_);
    for (NoeudDossier* groupe : {ordinateur_, reseau_})
        for (int i = 0; groupe && i < groupe->childCount(); ++i)
            essayer(groupe->child(i));
    if (!n) return nullptr;
    const QString reste = c.mid(n->chemin.size());
    for (const QString& nom : reste.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        chargerEnfants(n);  // a folder that cannot be listed may still be gone through
        NoeudDossier* suivant = enfantNomme(n, nom);
        if (!suivant) {
            // Hidden, made since the listing, or inside a folder that cannot be listed. On a
            // slow disk it is taken on trust: a listing of its folder takes it away again if it
            // is not there.
            const QString sousDossier = cheminEnfant(n->chemin, nom);
            if (!tableMontages().lent(sousDossier) && !dossierExiste(sousDossier)) break;
            insererDossiers(n, {SousDossier{nom, true}});
            if (n->charge && lent(n)) demanderLecture(n);
            suivant = enfantNomme(n, nom);
        }
        n = suivant;
    }
    return n;
}

QTreeWidgetItem* ArbreDossiers::SelectPath(const QString& chemin) {
    const Travail t(enTravail_);
    NoeudDossier* n = chemin.isEmpty() ? nullptr : chercher(chemin);
    if (n && !n->chemin.isEmpty() && !lent(n) && !dossierExiste(n->chemin)) {
        elaguer(n);  // the tree was behind the disk
        n = nullptr;
    }
    if (!n) {
        setCurrentItem(nullptr);
        return nullptr;
    }
    std::vector<QTreeWidgetItem*> branche;
    for (QTreeWidgetItem* p = n->parent(); p; p = p->parent())
        branche.push_back(p);
    for (auto p = branche.rbegin(); p != branche.rend(); ++p)
        (*p)->setExpanded(true);
    surveiller();
    scrollToItem(n);
    setCurrentItem(n);
    return n;
}

QString ArbreDossiers::SelectedPath() const {
    const NoeudDossier* n = noeud(currentItem());
    if (!n) return {};
    switch (n->genre) {
        case NoeudDossier::Reseau:
        case NoeudDossier::Corbeille:
        case NoeudDossier::Ordinateur:
            return {};
        case NoeudDossier::Dossier:
        case NoeudDossier::Bureau:
        case NoeudDossier::PartageReseau:
            break;
    }
    return n->chemin;
}

}  // namespace vp
