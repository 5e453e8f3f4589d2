// SPDX-License-Identifier: GPL-3.0-or-later
#include "Historique.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/Chemins.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "platform/SousDossiers.h"

namespace vp {

namespace {

inline const QString kFilmChange = QStringLiteral(
    "Les images du projet sur le disque ne sont plus celles qui étaient affichées : la bande "
    "vient d'être remise à jour. Regardez le film, puis recommencez la commande.");

// The undo stack's commands only carry the label: the history runs the steps itself.
class CommandeEtape final : public QUndoCommand {
public:
    explicit CommandeEtape(const QString& texte) { setText(texte); }
    void undo() override {}
    void redo() override {}
};

// The mark that the first phases of run `execution` are done (phase > 0), or that all of it is
// (phase -1).
QByteArray marque(qint64 execution, qint64 phase = -1) {
    char nom[96];
    if (phase < 0)
        std::snprintf(nom, sizeof nom, "%s/fin-%lld", kDossierHistorique,
                      static_cast<long long>(execution));
    else
        std::snprintf(nom, sizeof nom, "%s/phase-%lld-%lld", kDossierHistorique,
                      static_cast<long long>(execution), static_cast<long long>(phase));
    return QByteArray(nom);
}

QString dossierHistorique(const Dossier& d) {
    return d.chemin() + QLatin1String(kDossierHistorique);
}

// The names of the files of the history folder.
QStringList fichiersHistorique(const Dossier& d) {
    QStringList noms;
    parcourirDossier(dossierHistorique(d), [&](int, const char* nom, unsigned char type) {
        if (type == DT_REG || type == DT_UNKNOWN) noms << cheminDepuisOctets(QByteArray(nom));
    });
    return noms;
}

// Whether the file that move `m` of phase `p` brings stays there when the run ends (and is not
// taken on by the next phase).
bool resteEnPlace(const std::vector<Phase>& plan, size_t p, const Mouvement& m) {
    return p + 1 >= plan.size() ||
           std::none_of(plan[p + 1].begin(), plan[p + 1].end(),
                        [&](const Mouvement& suivant) { return suivant.source == m.destination; });
}

// On a FAT disk a renamed file's size and first cluster are in its new folder entry, which only
// the file's own flush writes: each file phase `p` brought is flushed.
void flusherArrivees(Dossier& d, const Etape& e, const std::vector<Phase>& plan, size_t p,
                     bool seulementCellesQuiRestent) {
    for (const Mouvement& m : plan[p])
        if (!seulementCellesQuiRestent || resteEnPlace(plan, p, m))
            d.synchroniserFichier(nomDeplacement(e, m.destination).constData());
}

// Undoes the moves of the run before move j of phase p, back to the film before the run.
// False when one of them could not be undone.
bool revenir(Dossier& d, const Etape& e, const std::vector<Phase>& plan, qint64 execution, size_t p,
             size_t j) {
    try {
        for (;;) {
            while (j > 0) {
                --j;
                const Mouvement& m = plan[p][j];
                d.deplacer(nomDeplacement(e, m.destination).constData(),
                           nomDeplacement(e, m.source).constData());
            }
            if (p == 0) return true;
            d.effacer(marque(execution, static_cast<qint64>(p)).constData());
            --p;
            j = plan[p].size();
        }
    } catch (...) {
        return false;
    }
}

// Makes the moves of the plan from phase p on. Taking up an interrupted run (`reprise`), a move
// whose destination is already there was made before the interruption. On an error everything
// the run did is undone (`revenu` says whether that worked) and the error raised.
void jouer(Dossier& d, const Etape& e, const std::vector<Phase>& plan, qint64 execution, size_t p,
           const Historique::Pas& pas, bool reprise, bool fat, bool& revenu) {
    size_t j = 0;
    const size_t depart = p;  // its mark is there already when a run is taken up there
    try {
        for (; p < plan.size(); ++p, j = 0) {
            if (p > depart || (p > 0 && !reprise)) {
                // The files of the phase before are on disk before the mark says so; the mark
                // before the next moves (a FAT disk keeps no order between unflushed writes).
                if (fat) {
                    flusherArrivees(d, e, plan, p - 1, false);
                    synchroniserDossier(dossierHistorique(d));
                }
                d.marquer(marque(execution, static_cast<qint64>(p)).constData());
                if (fat) synchroniserDossier(dossierHistorique(d));
            }
            const Phase& phase = plan[p];
            while (j < phase.size()) {
                const QByteArray destination = nomDeplacement(e, phase[j].destination);
                if (!reprise || !d.existe(destination.constData()))
                    d.deplacer(nomDeplacement(e, phase[j].source).constData(),
                               destination.constData());
                ++j;
                if (pas) pas();
            }
        }
    } catch (...) {
        revenu = revenir(d, e, plan, execution, p, j);
        throw;
    }
}

// The size of the frames the steps keep in the history folder: the frames taken out by the
// steps done, and the new frames of the steps undone.
qint64 octetsGardes(const Etape& e) {
    return (e.faite && e.retirees() > 0) || (!e.faite && e.nouvelles() > 0) ? e.octets : 0;
}

// How the film's size changes when `e` is done.
qint64 variationFilm(const Etape& e) {
    if (e.nouvelles() > 0) return e.octets;
    if (e.retirees() > 0) return -e.octets;
    return 0;
}

// Whether kept file k of `e` is on disk while the step stands as it does.
bool conserveAttendu(const Etape& e, qint64 k) {
    return k < (e.faite ? e.retirees() : e.nouvelles());
}

// The new frames of a step written so far, removed again unless the journal takes them over.
class Preparees {
public:
    Preparees(Dossier& d, qint64 id) : d_(d), id_(id) {}
    ~Preparees() {
        for (qint32 k = 0; k < nombre_ && !gardees_; ++k) {
            try {
                d_.effacer(nomConserve(id_, k).constData());
            } catch (...) {
                // what is left goes at the next opening
            }
        }
    }
    Preparees(const Preparees&) = delete;
    Preparees& operator=(const Preparees&) = delete;
    void ajouter() { ++nombre_; }
    void garder() { gardees_ = true; }

private:
    Dossier& d_;
    qint64 id_;
    qint32 nombre_ = 0;
    bool gardees_ = false;
};

QString texteErreur(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

}  // namespace

Historique::Historique(const QString& dossierProjet) : dossier_(dossierProjet) {
    while (dossier_.endsWith(QLatin1Char('/')) && dossier_.size() > 1)
        dossier_.chop(1);
}

Historique::~Historique() {
    if (verrou_ >= 0) ::close(verrou_);  // the lock goes with it
}

qint64 Historique::travail(const Etape& e) {
    qint64 n = e.nouvelles();
    for (const Phase& phase : planDe(e, false))
        n += static_cast<qint64>(phase.size());
    return n;
}

bool Historique::peutAnnuler() const {
    return !journal_.etapes.empty() && journal_.etapes.front().faite;
}

bool Historique::peutRetablir() const {
    return !journal_.etapes.empty() && !journal_.etapes.back().faite;
}

const Etape& Historique::aAnnuler() const {
    for (auto e = journal_.etapes.rbegin(); e != journal_.etapes.rend(); ++e)
        if (e->faite) return *e;
    return journal_.etapes.back();
}

const Etape& Historique::aRetablir() const {
    for (const Etape& e : journal_.etapes)
        if (!e.faite) return e;
    return journal_.etapes.back();
}

qint32 Historique::filmAttendu() const {
    return peutRetablir() ? aRetablir().avant.nbImages : journal_.etapes.back().apres.nbImages;
}

void Historique::ecrire(const Journal& j) {
    const QString chemin = dossier_ + QLatin1Char('/') + QLatin1String(kDossierHistorique) +
                           QStringLiteral("/journal");
    ecrireAtomique(chemin, ecrireJournal(j));
    if (fat_) {
        // On FAT the renamed journal's size is only in its new entry, and nothing orders it
        // before the moves but the flushes.
        Dossier(dossier_).synchroniserFichier(QByteArray(kDossierHistorique) + "/journal");
        synchroniserDossier(dossier_ + QLatin1Char('/') + QLatin1String(kDossierHistorique));
    }
}

void Historique::preparer(Dossier& d, qint32 nbImages, const NouvelEtat& appliquer) {
    if (occupe_) throw Erreur(kProjetOccupe);
    if (!d.existe(kDossierHistorique)) {
        creerDossier(dossierHistorique(d));
        if (fat_) synchroniserDossier(dossier_);
    }
    if (aReprendre_) {
        // A run that failed and could not be undone is taken up first; the command asked for was
        // built on a film that has changed since: it is not made. The record gets the film as
        // the take-up leaves it, which the next command is built on.
        const bool defaire = journal_.enCours->defaire;
        const Etape e = *journal_.etape(journal_.enCours->etape);
        const Reprise r = reprendre(d);
        reconstruirePile();
        if (r.genre == Reprise::Impossible)
            throw Erreur(
                QStringLiteral("La commande « %1 », interrompue, n'a pas pu être reprise : ")
                    .arg(r.commande) +
                r.raison);
        if (appliquer) appliquer((r.genre == Reprise::Terminee) != defaire ? e.apres : e.avant);
        throw Erreur(
            QStringLiteral("La commande « %1 » avait été interrompue : elle vient d'être %2. "
                           "Regardez le film, puis recommencez.")
                .arg(r.commande, r.genre == Reprise::Terminee ? QStringLiteral("terminée")
                                                              : QStringLiteral("défaite")));
    }
    // The film on disk must be the one the command was built on.
    if ((nbImages > 0 && !d.existe(nomFichierImage(nbImages - 1).constData())) ||
        d.existe(nomFichierImage(nbImages).constData()))
        throw Erreur(kFilmChange);
}

void Historique::executer(Etape e, const EcrivainNouvelle& ecrireImage, const Pas& pas,
                          const NouvelEtat& appliquer) {
    Dossier d(dossier_);
    preparer(d, e.avant.nbImages, appliquer);
    e.id = journal_.suivant;
    e.faite = true;
    Preparees preparees(d, e.id);
    const qint32 nouvelles = e.nouvelles();
    for (qint32 k = 0; k < nouvelles; ++k) {
        preparees.ajouter();
        ecrireImage(k, d.chemin() + QString::fromLatin1(nomConserve(e.id, k)));
        if (pas) pas();
    }
    e.octets = 0;
    for (qint32 k = 0; k < nouvelles; ++k) {
        e.octets += std::max<qint64>(0, d.taille(nomConserve(e.id, k).constData()));
        // On FAT a renamed file's size lives in its entry: the new frames' are written before
        // the journal names them.
        if (fat_) d.synchroniserFichier(nomConserve(e.id, k).constData());
    }
    for (qint32 i = 0; i < e.retirees(); ++i)
        e.octets += std::max<qint64>(0, d.taille(nomFichierImage(e.debut + i).constData()));

    Journal j = journal_;
    std::vector<Etape> quittent;
    // A history that does not end on this film cannot be undone on it: it goes.
    if (!j.etapes.empty() && filmAttendu() != e.avant.nbImages) {
        quittent = j.etapes;
        j.etapes.clear();
    }
    // The steps undone leave the history with the new one; then the oldest go past the limits
    // (the newest always stays, whatever it keeps).
    while (!j.etapes.empty() && !j.etapes.back().faite) {
        quittent.push_back(j.etapes.back());
        j.etapes.pop_back();
    }
    j.etapes.push_back(e);
    j.suivant = e.id + 1;
    const qint64 filmApres = octetsFilm_ + variationFilm(e);
    qint64 gardesAvant = 0;  // by the steps before the new one
    for (size_t i = 0; i + 1 < j.etapes.size(); ++i)
        gardesAvant += octetsGardes(j.etapes[i]);
    while (j.etapes.size() > 1 &&
           (j.etapes.size() > static_cast<size_t>(kEtapesMax) || gardesAvant > filmApres)) {
        gardesAvant -= octetsGardes(j.etapes.front());
        quittent.push_back(j.etapes.front());
        j.etapes.erase(j.etapes.begin());
    }
    j.enCours = Journal::Operation{j.execution, e.id, false};
    j.execution += 1;

    // Names past the end of the film that the film will take (a frame left after a hole) go.
    for (qint32 i = e.avant.nbImages; i < e.apres.nbImages; ++i)
        d.effacer(nomFichierImage(i).constData());
    ecrire(j);
    try {
        lancer(d, j, e, false, pas, appliquer);
    } catch (...) {
        if (aReprendre_) preparees.garder();  // the journal names them
        throw;
    }
    preparees.garder();
    for (const Etape& q : quittent)
        effacerConserves(d, q);
}

Etape Historique::annuler(const Pas& pas, const NouvelEtat& appliquer) {
    return rejouer(true, pas, appliquer);
}

Etape Historique::retablir(const Pas& pas, const NouvelEtat& appliquer) {
    return rejouer(false, pas, appliquer);
}

Etape Historique::rejouer(bool defaire, const Pas& pas, const NouvelEtat& appliquer) {
    Dossier d(dossier_);
    if (defaire ? !peutAnnuler() : !peutRetablir())
        throw Erreur(defaire ? QStringLiteral("Il n'y a rien à annuler.")
                             : QStringLiteral("Il n'y a rien à rétablir."));
    preparer(d, filmAttendu(), appliquer);
    Journal j = journal_;
    const qint64 id = (defaire ? aAnnuler() : aRetablir()).id;
    Etape* e = nullptr;
    for (Etape& x : j.etapes)
        if (x.id == id) e = &x;
    e->faite = !defaire;
    j.enCours = Journal::Operation{j.execution, id, defaire};
    j.execution += 1;
    const EtatFilm& depart = defaire ? e->apres : e->avant;
    const EtatFilm& arrivee = defaire ? e->avant : e->apres;
    for (qint32 i = depart.nbImages; i < arrivee.nbImages; ++i)
        d.effacer(nomFichierImage(i).constData());
    ecrire(j);
    const Etape etape = *e;
    try {
        lancer(d, j, etape, defaire, pas, appliquer);
    } catch (const Erreur& erreur) {
        throw Erreur(QStringLiteral("« %1 » n'a pas pu être %2 : ")
                         .arg(libelle(etape),
                              defaire ? QStringLiteral("annulée") : QStringLiteral("rétablie")) +
                     erreur.texte());
    }
    return etape;
}

void Historique::lancer(Dossier& d, const Journal& j, const Etape& e, bool defaire, const Pas& pas,
                        const NouvelEtat& appliquer) {
    const std::vector<Phase> plan = planDe(e, defaire);
    const qint64 execution = j.enCours->execution;
    bool revenu = true;
    try {
        jouer(d, e, plan, execution, 0, pas, false, fat_, revenu);
    } catch (...) {
        bool journalRemis = revenu;
        if (revenu) {
            // The film is as before: so must the journal be, or the next opening would finish
            // the command.
            try {
                ecrire(journal_);
                finirSurDisque(d, e, planDe(e, !defaire));
            } catch (...) {
                journalRemis = false;
            }
        }
        if (!journalRemis) {
            // The journal still names this run: it is taken up before anything else.
            journal_ = j;
            aReprendre_ = true;
        }
        throw;
    }
    // The disk holds the film after the run: the record follows it whatever comes next.
    const qint64 precedente = derniereExecution_;
    derniereExecution_ = execution;
    journal_ = j;
    octetsFilm_ += defaire ? -variationFilm(e) : variationFilm(e);
    reconstruirePile();
    appliquer(defaire ? e.avant : e.apres);
    d.marquer(marque(execution).constData());
    finirSurDisque(d, e, plan);
    if (precedente > 0) {
        try {
            d.effacer(marque(precedente, 1).constData());
            d.effacer(marque(precedente).constData());
        } catch (...) {
            // the next opening removes them
        }
    }
}

void Historique::finirSurDisque(Dossier& d, const Etape& e, const std::vector<Phase>& plan) {
    if (fat_) {
        for (size_t p = 0; p < plan.size(); ++p)
            flusherArrivees(d, e, plan, p, true);
        synchroniserDossier(dossierHistorique(d));
    }
    // Elsewhere one flush of the project folder puts the history folder's changes, made before,
    // on disk with it: the file system keeps its operations in order.
    synchroniserDossier(dossier_);
}

Historique::Reprise Historique::reprendre(Dossier& d) {
    const Journal::Operation op = *journal_.enCours;
    const Etape e = *journal_.etape(op.etape);
    const std::vector<Phase> plan = planDe(e, op.defaire);
    Reprise r;
    r.commande = libelle(e);
    r.annulation = op.defaire;
    size_t p = 0;
    for (size_t q = plan.size(); q-- > 1;)
        if (d.existe(marque(op.execution, static_cast<qint64>(q)).constData())) {
            p = q;
            break;
        }
    bool revenu = true;
    try {
        jouer(d, e, plan, op.execution, p, {}, true, fat_, revenu);
    } catch (const std::exception& erreur) {
        r.raison = texteErreur(erreur);
        if (!revenu) {
            aReprendre_ = true;
            r.genre = Reprise::Impossible;
            return r;
        }
        // Undone: the step stands as before the run. A new command comes back as one undone,
        // which « Rétablir » can still make.
        aReprendre_ = false;
        journal_.enCours.reset();
        for (Etape& x : journal_.etapes)
            if (x.id == e.id) x.faite = op.defaire;
        try {
            ecrire(journal_);
            finirSurDisque(d, e, planDe(e, !op.defaire));
        } catch (...) {
            // at worst the next opening does this again
        }
        r.genre = Reprise::Annulee;
        return r;
    }
    // The film is the one after the run, whatever the mark and the flush give.
    aReprendre_ = false;
    try {
        d.marquer(marque(op.execution).constData());
        finirSurDisque(d, e, plan);
    } catch (...) {
        // the next opening finds the moves made, and says the same
    }
    r.genre = Reprise::Terminee;
    return r;
}

Historique::Reprise Historique::ouvrir() {
    journal_ = Journal{};
    aReprendre_ = false;
    derniereExecution_ = 0;
    Reprise reprise;
    // Another program working on the same project would take this one's commands in the middle
    // for interrupted ones.
    if (verrou_ < 0)
        verrou_ = ::open(octetsDuChemin(dossier_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    occupe_ = verrou_ >= 0 && ::flock(verrou_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (occupe_) {
        reprise.genre = Reprise::Occupe;
        return reprise;
    }
    nettoyerTemporaires(dossier_);  // what an earlier version's interrupted command left
    fat_ = disqueFat(dossier_);
    Dossier d(dossier_);
    bool lisible = true;
    if (QByteArray texte; lireFichier(dossierHistorique(d) + QStringLiteral("/journal"), texte)) {
        std::optional<Journal> lu = lireJournal(texte);
        lisible = lu.has_value();
        if (lu) journal_ = std::move(*lu);
    }
    if (!lisible) {
        // The kept frames stay this time (the journal may be mended by hand); new steps take
        // ids none of them has.
        reprise.genre = Reprise::Illisible;
        for (const QString& nom : fichiersHistorique(d))
            if (nom.startsWith(QLatin1Char('e')) && nom.contains(QLatin1Char('_')) &&
                nom.endsWith(QLatin1String(".bmp")))
                journal_.suivant =
                    std::max(journal_.suivant,
                             nom.mid(1, nom.indexOf(QLatin1Char('_')) - 1).toLongLong() + 1);
    }
    if (journal_.enCours && !d.existe(marque(journal_.enCours->execution).constData()))
        reprise = reprendre(d);
    if (reprise.genre == Reprise::Impossible) {
        reconstruirePile();
        return reprise;
    }
    derniereExecution_ = journal_.enCours ? journal_.enCours->execution : 0;

    qint32 n = 0;
    octetsFilm_ = 0;
    for (qint64 taille; (taille = d.taille(nomFichierImage(n).constData())) >= 0; ++n)
        octetsFilm_ += taille;
    // A history that does not end on this film (frames changed by hand, a folder put back from
    // a copy) would undo the wrong frames: it is dropped.
    if (!journal_.etapes.empty() && filmAttendu() != n) {
        journal_.etapes.clear();
        journal_.enCours.reset();
        derniereExecution_ = 0;
        try {
            ecrire(journal_);
        } catch (...) {
            // read-only: the next opening drops it again
        }
    }
    nettoyer(d, lisible);
    reconstruirePile();
    return reprise;
}

void Historique::nettoyer(Dossier& d, bool inconnuesAussi) {
    const QStringList noms = fichiersHistorique(d);
    const QString execution = QString::number(derniereExecution_);
    for (const QString& nom : noms) {
        bool garder = nom == QLatin1String("journal");
        if (nom.startsWith(QLatin1Char('e')) && nom.endsWith(QLatin1String(".bmp"))) {
            const QStringList parties = nom.mid(1, nom.size() - 5).split(QLatin1Char('_'));
            bool okId = false, okK = false;
            const qint64 id = parties.value(0).toLongLong(&okId);
            const qint64 k = parties.value(1).toLongLong(&okK);
            const Etape* e = okId && okK && parties.size() == 2 ? journal_.etape(id) : nullptr;
            garder = e ? conserveAttendu(*e, k) : !inconnuesAussi;
        } else if (nom.startsWith(QLatin1String("fin-"))) {
            garder = derniereExecution_ > 0 && nom.mid(4) == execution;
        } else if (nom.startsWith(QLatin1String("phase-"))) {
            garder = derniereExecution_ > 0 && nom.section(QLatin1Char('-'), 1, 1) == execution;
        } else if (!nom.startsWith(QLatin1String(kPrefixeTemporaire))) {
            garder = true;  // not ours
        }
        if (!garder) {
            try {
                d.effacer(octetsDuChemin(QLatin1String(kDossierHistorique) + QLatin1Char('/') + nom)
                              .constData());
            } catch (...) {
                // a read-only disk: they stay, and harm nothing
            }
        }
    }
}

void Historique::effacerConserves(Dossier& d, const Etape& e) {
    const qint32 n = std::max(e.nouvelles(), e.retirees());
    for (qint32 k = 0; k < n; ++k) {
        try {
            d.effacer(nomConserve(e.id, k).constData());
        } catch (...) {
            // the next opening removes it
        }
    }
}

void Historique::reconstruirePile() {
    pile_.clear();
    int faites = 0;
    for (const Etape& e : journal_.etapes) {
        pile_.push(new CommandeEtape(libelle(e)));
        if (e.faite) ++faites;
    }
    pile_.setIndex(faites);
}

}  // namespace vp
