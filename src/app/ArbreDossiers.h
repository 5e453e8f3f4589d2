// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCollator>
#include <QElapsedTimer>
#include <QFlags>
#include <QHash>
#include <QIcon>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <functional>
#include <vector>

#include "platform/EnFond.h"
#include "platform/SurveillanceDossiers.h"

namespace vp {

class ArbreDossiers;
struct SousDossier;
struct Volume;

enum TFolderOption {
    foNetworkNeighborhood = 0x1,  // the "Réseau" node
    foRecycleBin = 0x2,           // the "Corbeille" node
    foVirtualFirst = 0x4,         // those nodes before the folders instead of after them
};
Q_DECLARE_FLAGS(TFolderOptions, TFolderOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFolderOptions)

enum TDisplayMode { dmAsis, dmUppercase, dmLowercase };

using TEndSessionQueryEvent = std::function<void(ArbreDossiers* Sender, bool& CanEndSession)>;

// One node of the folder tree.
class NoeudDossier : public QTreeWidgetItem {
public:
    enum Genre : quint8 {
        Dossier = 0,
        Reseau = 1,
        Corbeille = 2,
        Ordinateur = 3,
        Bureau = 4,  // the root
        PartageReseau = 5,
    };
    static constexpr int kType = QTreeWidgetItem::UserType + 1;

    NoeudDossier(Genre g, const QString& c, const QString& n)
        : QTreeWidgetItem(kType), genre(g), chemin(c), nom(n) {}

    const Genre genre;
    const QString chemin;   // the folder, without trailing separator but "/"; empty without one
    QString nom;            // its name (cheminDepuisOctets), the label before the display mode
    bool charge = false;    // its folders have been listed
    bool muet = false;      // its listing has not answered in time: "(ne répond pas)"
    bool aDeplier = false;  // opened while its listing was under way
};

// The folder tree: the desktop folder at the root; below it "Ordinateur" with the home folder,
// the file system's root and the mounted volumes, and optionally "Réseau" with the mounted
// network shares and "Corbeille". A folder is listed when it is first opened; while the tree is
// shown it follows the disk (folders created, removed or renamed, volumes mounted or removed).
// Folders whose names begin with "." are not listed, but SelectPath reaches them. A name that is
// not UTF-8 is shown as best it reads and keeps its bytes in the node's path.
// Folders on network shares and user-space file systems are listed on threads of their own (the
// window never waits for them): their folders come in when they answer, and a node whose listing
// shows no sign of life for kDelaiReponseMs says "(ne répond pas)"; opening or double-clicking it
// again asks again.
// The change event is the tree's currentItemChanged.
class ArbreDossiers : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kDelaiReponseMs = static_cast<int>(kDelaiReponse.count());
    static inline const QString kNeRepondPas = QStringLiteral(" (ne répond pas)");

    explicit ArbreDossiers(QWidget* parent = nullptr);
    ~ArbreDossiers() override;

    // True builds the tree and follows the disk; false forgets every node.
    bool Active() const { return active_; }
    void setActive(bool v);
    TFolderOptions FolderOptions() const { return options_; }
    void setFolderOptions(TFolderOptions v);
    TDisplayMode DisplayMode() const { return mode_; }
    void setDisplayMode(TDisplayMode v);

    // Selects, opening the tree down to it, the deepest folder along the absolute `chemin` that
    // exists, and returns its node. An empty or relative path, or a folder the tree still
    // showed but that has gone from the disk, clears the selection and gives none.
    QTreeWidgetItem* SelectPath(const QString& chemin);
    // The selected folder ("/" for the file system's root); empty when nothing is selected or
    // the node is "Ordinateur", "Réseau" or "Corbeille".
    QString SelectedPath() const;

    // Asked when the session is about to end (log-off, shutdown); CanEndSession starts true.
    TEndSessionQueryEvent OnEndSessionQuery;
    // The session manager's request: true when the session may end, and the tree then stops
    // following the disk until it is shown again.
    bool accepterFinSession();

    NoeudDossier* racine() const { return racine_; }
    NoeudDossier* noeudOrdinateur() const { return ordinateur_; }
    NoeudDossier* noeudReseau() const { return reseau_; }
    NoeudDossier* noeudCorbeille() const { return corbeille_; }
    static NoeudDossier* noeud(QTreeWidgetItem* item);
    // True while folders are being watched for changes.
    bool suitLeDisque() const { return !surveillance_.dossiers().isEmpty(); }
    // True when `chemin` is being watched.
    bool suit(const QString& chemin) const { return surveillance_.dossiers().contains(chemin); }
    // Listings under way on threads of their own.
    int lecturesEnCours() const { return static_cast<int>(lectures_.size()); }

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    struct VolumeVoulu;
    enum class Chargement { Fait, Echec, EnCours };
    // A listing under way in the background, and the last sign of life it gave.
    struct Lecture {
        Vivacite avancement;
        quint64 vu = 0;
        qint64 echeance = 0;  // on horloge_
    };

    void construire();
    void detruire();
    NoeudDossier* creerNoeud(NoeudDossier::Genre genre, const QString& chemin,
                             const QString& nom) const;
    void ajouterSpecial(NoeudDossier*& special, NoeudDossier::Genre genre, const QString& nom);
    void retirerSpecial(NoeudDossier*& special);
    void developper(QTreeWidgetItem* item);
    Chargement chargerEnfants(NoeudDossier* n);
    bool lent(const NoeudDossier* n) const;
    void demanderLecture(NoeudDossier* n);
    void lectureFinie(const QString& chemin, bool lu, std::vector<SousDossier> dossiers);
    void verifierLectures();
    std::vector<NoeudDossier*> noeudsDe(const QString& chemin) const;
    void accorderDossiers(NoeudDossier* n, std::vector<SousDossier> dossiers);
    void insererDossiers(NoeudDossier* parent, std::vector<SousDossier> dossiers);
    NoeudDossier* enfantNomme(NoeudDossier* parent, const QString& nom) const;
    void synchroniser(NoeudDossier* n);
    void resynchroniser(NoeudDossier* n, const QSet<QString>* chemins);
    void retirer(NoeudDossier* n);
    void elaguer(NoeudDossier* n);
    void actualiserVolumes();
    void accorderVolumes(NoeudDossier* parent, const std::vector<VolumeVoulu>& voulus);
    NoeudDossier* chercher(const QString& chemin);
    void surveiller();
    void rattraper();
    void dossierModifie(const QString& chemin);
    void relabelliser(QTreeWidgetItem* item);
    void etiqueter(NoeudDossier* n) const;
    QString libelle(const QString& nom) const;
    QString cleDeTri(const QString& nom) const;
    bool suivi() const;

    bool active_ = false;
    TFolderOptions options_;
    TDisplayMode mode_ = dmAsis;
    bool montre_ = false;
    bool sessionFinie_ = false;
    bool enTravail_ = false;       // the tree is being changed: changes from outside wait
    bool volumesARelire_ = false;  // the mount table changed
    NoeudDossier* racine_ = nullptr;
    NoeudDossier* ordinateur_ = nullptr;
    NoeudDossier* reseau_ = nullptr;
    NoeudDossier* corbeille_ = nullptr;
    QMetaObject::Connection connexionTable_;
    SurveillanceDossiers surveillance_;
    QSet<QString> aRelire_;  // folders changed on disk, listed again together
    QTimer relecture_;
    QHash<QString, Lecture> lectures_;  // by folder
    QTimer veilleLectures_;             // looks at the listings under way
    QElapsedTimer horloge_;
    TravauxEnFond enFond_{this};
    QCollator ordre_{QLocale(QLocale::French, QLocale::France)};  // the program speaks French
    std::array<QIcon, 6> iconesGenres_;                           // by NoeudDossier::Genre
    QIcon iconeMaison_, iconeDisque_, iconeAmovible_;
};

}  // namespace vp
