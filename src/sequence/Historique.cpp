#include "Historique.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>

#include "platform/Chemins.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "platform/SousDossiers.h"

namespace vp {

namespace {

// The undo stack's commands only carry the label: the history runs the steps itself.
class CommandeEtape final : public QUndoCommand {
public:
    explicit CommandeEtape(const QString& texte) { setText(texte); }
    void undo() override {}
    void redo() override {}
};

QByteArray nomImageCourt(qint32 i) {
    char nom[32];
    std::snprintf(nom, sizeof nom, "image_%05d.bmp", i);
    return QByteArray(nom);
}

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

// Makes the moves of the plan from move j of phase p on. Taking up an interrupted run
// (`reprise`), a move whose destination is already there was made before the interruption.
// On an error everything the run did is undone (`revenu` says whether that worked) and the
// error raised.
void jouer(Dossier& d, const Etape& e, const std::vector<Phase>& plan, qint64 execution, size_t p,
           size_t j, const Historique::Pas& pas, bool reprise, bool fat, bool& revenu) {
    try {
        for (; p < plan.size(); ++p, j = 0) {
            if (p > 0 && j == 0) {
                d.marquer(marque(execution, static_cast<qint64>(p)).constData());
                // A FAT disk keeps no order between unflushed writes: the mark goes first.
                if (fat) synchroniserDossier(d.chemin() + QLatin1String(kDossierHistorique));
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

// The kept frames of the steps in `j`: the frames taken out by the steps done, and the new
// frames of the steps undone.
qint64 octetsGardes(const Journal& j) {
    qint64 total = 0;
    for (const Etape& e : j.etapes)
        if ((e.faite && e.retirees() > 0) || (!e.faite && e.nouvelles() > 0)) total += e.octets;
    return total;
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

Historique::~Historique() = default;

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

void Historique::ecrire(const Journal& j) {
    const QString chemin = dossier_ + QLatin1Char('/') + QLatin1String(kDossierHistorique) +
                           QStringLiteral("/journal");
    ecrireAtomique(chemin, ecrireJournal(j));
    // On FAT nothing orders the journal before the moves but a flush of its folder.
    if (fat_) synchroniserDossier(dossier_ + QLatin1Char('/') + QLatin1String(kDossierHistorique));
}

// Takes up a run that failed and could not be undone; gives the film it leaves, if any.
std::optional<EtatFilm> Historique::assurerDossier(Dossier& d) {
    if (!d.existe(kDossierHistorique)) creerDossier(d.chemin() + QLatin1String(kDossierHistorique));
    if (!aReprendre_) return std::nullopt;
    const Journal::Operation op = *journal_.enCours;
    const Etape e = *journal_.etape(op.etape);
    QString raison;
    const Reprise reprise = reprendre(d, &raison);
    if (reprise == Reprise::Impossible)
        throw Erreur(QStringLiteral("Une commande interrompue n'a pas pu être reprise : ") +
                     raison);
    reconstruirePile();
    // Finished, the run leaves the film it was making; undone, the one it started from.
    return (reprise == Reprise::Terminee) != op.defaire ? e.apres : e.avant;
}

void Historique::executer(Etape e, const Ecrivain& ecrireImage, const Pas& pas,
                          const Application& appliquer) {
    Dossier d(dossier_);
    if (const std::optional<EtatFilm> repris = assurerDossier(d);
        repris && repris->nbImages != e.avant.nbImages) {
        // The record still showed the film from before the failed run: the step was built on
        // it, and would take the frame the run left past the end for a free name.
        appliquer(*repris);
        throw Erreur(QStringLiteral(
            "La commande précédente, que le disque avait interrompue, vient d'être terminée : "
            "regardez le film, puis recommencez"));
    }
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
    for (qint32 k = 0; k < nouvelles; ++k)
        e.octets += std::max<qint64>(0, d.taille(nomConserve(e.id, k).constData()));
    for (qint32 i = 0; i < e.retirees(); ++i)
        e.octets += std::max<qint64>(0, d.taille(nomImageCourt(e.debut + i).constData()));

    // The steps undone leave the history with the new one; the oldest go past the limits,
    // the newest always stays.
    Journal j = journal_;
    std::vector<Etape> quittent;
    while (!j.etapes.empty() && !j.etapes.back().faite) {
        quittent.push_back(j.etapes.back());
        j.etapes.pop_back();
    }
    j.etapes.push_back(e);
    j.suivant = e.id + 1;
    const qint64 filmApres = octetsFilm_ + variationFilm(e);
    qint64 gardes = octetsGardes(j);
    while (j.etapes.size() > 1 &&
           (j.etapes.size() > static_cast<size_t>(kEtapesMax) || gardes > filmApres)) {
        const Etape& vieille = j.etapes.front();
        if (vieille.retirees() > 0) gardes -= vieille.octets;
        quittent.push_back(vieille);
        j.etapes.erase(j.etapes.begin());
    }
    j.enCours = Journal::Operation{j.execution, e.id, false};
    j.execution += 1;

    // Names past the end of the film that the film will take (a frame left after a hole) go.
    for (qint32 i = e.avant.nbImages; i < e.apres.nbImages; ++i)
        d.effacer(nomImageCourt(i).constData());
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

Etape Historique::annuler(const Pas& pas, const Application& appliquer) {
    return rejouer(true, pas, appliquer);
}

Etape Historique::retablir(const Pas& pas, const Application& appliquer) {
    return rejouer(false, pas, appliquer);
}

Etape Historique::rejouer(bool defaire, const Pas& pas, const Application& appliquer) {
    Dossier d(dossier_);
    assurerDossier(d);
    if (defaire ? !peutAnnuler() : !peutRetablir())
        throw Erreur(defaire ? QStringLiteral("Il n'y a rien à annuler.")
                             : QStringLiteral("Il n'y a rien à rétablir."));
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
        d.effacer(nomImageCourt(i).constData());
    ecrire(j);
    const Etape etape = *e;
    lancer(d, j, etape, defaire, pas, appliquer);
    return etape;
}

void Historique::lancer(Dossier& d, const Journal& j, const Etape& e, bool defaire, const Pas& pas,
                        const Application& appliquer) {
    const std::vector<Phase> plan = planDe(e, defaire);
    const qint64 execution = j.enCours->execution;
    bool revenu = true;
    try {
        jouer(d, e, plan, execution, 0, 0, pas, false, fat_, revenu);
    } catch (...) {
        if (revenu) {
            // The film is as before: so must the journal be, or the next opening would finish
            // the command.
            try {
                ecrire(journal_);
            } catch (...) {
                // the next opening finishes it: the film is then the one after, also whole
            }
        } else {
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
        // A renamed file's size and first cluster are in its new folder entry, which only its
        // own flush writes: each file where the run leaves it.
        for (size_t p = 0; p < plan.size(); ++p)
            for (const Mouvement& m : plan[p]) {
                const bool repart =
                    p + 1 < plan.size() &&
                    std::any_of(plan[p + 1].begin(), plan[p + 1].end(),
                                [&](const Mouvement& s) { return s.source == m.destination; });
                if (!repart) d.synchroniserFichier(nomDeplacement(e, m.destination).constData());
            }
    }
    synchroniserDossier(dossier_);
    synchroniserDossier(dossier_ + QLatin1Char('/') + QLatin1String(kDossierHistorique));
}

Historique::Reprise Historique::reprendre(Dossier& d, QString* raison) {
    const Journal::Operation op = *journal_.enCours;
    const Etape e = *journal_.etape(op.etape);
    const std::vector<Phase> plan = planDe(e, op.defaire);
    size_t p = 0;
    for (size_t q = plan.size(); q-- > 1;)
        if (d.existe(marque(op.execution, static_cast<qint64>(q)).constData())) {
            p = q;
            break;
        }
    bool revenu = true;
    try {
        jouer(d, e, plan, op.execution, p, 0, {}, true, fat_, revenu);
        d.marquer(marque(op.execution).constData());
        finirSurDisque(d, e, plan);
        aReprendre_ = false;
        return Reprise::Terminee;
    } catch (const std::exception& erreur) {
        if (raison) *raison = texteErreur(erreur);
        if (!revenu) {
            aReprendre_ = true;
            return Reprise::Impossible;
        }
    }
    // Undone: the step stands as before the run. A new command comes back as one undone, which
    // « Rétablir » can still do.
    aReprendre_ = false;
    Journal j = journal_;
    j.enCours.reset();
    for (Etape& x : j.etapes)
        if (x.id == e.id) x.faite = op.defaire;
    journal_ = j;
    try {
        ecrire(journal_);
        finirSurDisque(d, e, {});
    } catch (...) {
        // at worst the next opening does this again
    }
    return Reprise::Annulee;
}

Historique::Reprise Historique::ouvrir(QString* raison) {
    journal_ = Journal{};
    aReprendre_ = false;
    derniereExecution_ = 0;
    nettoyerTemporaires(dossier_);  // what an earlier version's interrupted command left
    fat_ = disqueFat(dossier_);
    Dossier d(dossier_);
    QByteArray texte;
    if (lireFichier(d.chemin() + QLatin1String(kDossierHistorique) + QStringLiteral("/journal"),
                    texte)) {
        if (std::optional<Journal> lu = lireJournal(texte)) journal_ = std::move(*lu);
    }
    Reprise reprise = Reprise::Aucune;
    if (journal_.enCours && !d.existe(marque(journal_.enCours->execution).constData()))
        reprise = reprendre(d, raison);
    if (reprise == Reprise::Impossible) {
        reconstruirePile();
        return reprise;
    }
    derniereExecution_ = journal_.enCours ? journal_.enCours->execution : 0;

    qint32 n = 0;
    octetsFilm_ = 0;
    for (qint64 taille; (taille = d.taille(nomImageCourt(n).constData())) >= 0; ++n)
        octetsFilm_ += taille;
    // A history that does not end on this film (frames changed by hand, a folder put back from
    // a copy) would undo the wrong frames: it is dropped.
    if (!journal_.etapes.empty()) {
        const qint32 attendu =
            peutRetablir() ? aRetablir().avant.nbImages : journal_.etapes.back().apres.nbImages;
        if (attendu != n) {
            journal_.etapes.clear();
            journal_.enCours.reset();
            derniereExecution_ = 0;
            try {
                ecrire(journal_);
            } catch (...) {
                // read-only: the next opening drops it again
            }
        }
    }
    nettoyer(d);
    reconstruirePile();
    return reprise;
}

void Historique::nettoyer(Dossier& d) {
    QStringList noms;
    parcourirDossier(d.chemin() + QLatin1String(kDossierHistorique),
                     [&](int, const char* nom, unsigned char type) {
                         if (type == DT_REG || type == DT_UNKNOWN)
                             noms << cheminDepuisOctets(QByteArray(nom));
                     });
    const QString execution = QString::number(derniereExecution_);
    for (const QString& nom : noms) {
        bool garder = nom == QLatin1String("journal");
        if (nom.startsWith(QLatin1Char('e')) && nom.endsWith(QLatin1String(".bmp"))) {
            const QStringList parties = nom.mid(1, nom.size() - 5).split(QLatin1Char('_'));
            bool okId = false, okK = false;
            const qint64 id = parties.value(0).toLongLong(&okId);
            const qint64 k = parties.value(1).toLongLong(&okK);
            const Etape* e = okId && okK && parties.size() == 2 ? journal_.etape(id) : nullptr;
            garder = e && conserveAttendu(*e, k);
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
