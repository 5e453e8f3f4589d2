#pragma once

#include <QString>
#include <QUndoStack>
#include <functional>
#include <optional>

#include "Journal.h"

namespace vp {

class Dossier;

// The history of the frame commands of one project, kept on disk in its journal (Journal.h):
// every frame command is a step that can be undone and redone, after the program is closed as
// well as after a crash. Each run of a step (done, undone, redone) is written in the journal and
// flushed before its first move; opening the project finishes a run that a kill or a power cut
// stopped, or undoes it when it cannot go on, so that the film is always the one before the step
// or the one after it. The frames a step takes out of the film wait in the hidden history folder
// until the step leaves the history (the oldest first, past kEtapesMax steps or when they take
// more room than the film itself).
//
// The toolkit's undo stack mirrors the steps, for the menu texts and their states; its commands
// do nothing themselves.
class Historique {
public:
    static constexpr int kEtapesMax = 50;

    enum class Reprise {
        Aucune,     // nothing was under way
        Terminee,   // the interrupted command was finished
        Annulee,    // it could not go on and was undone
        Impossible  // it could neither go on nor be undone (the disk refuses)
    };

    explicit Historique(const QString& dossierProjet);
    ~Historique();
    Historique(const Historique&) = delete;
    Historique& operator=(const Historique&) = delete;

    // The project folder, without its trailing separator.
    const QString& dossierProjet() const { return dossier_; }

    // Reads the journal, finishes an interrupted run and removes what no step keeps; `raison`
    // gets the error when the run could be neither finished nor undone. A damaged journal, or
    // one that does not describe the film on disk, starts an empty history.
    Reprise ouvrir(QString* raison = nullptr);

    using Ecrivain = std::function<void(qint32 k, const QString& chemin)>;
    using Pas = std::function<void()>;
    using Application = std::function<void(const EtatFilm&)>;

    // Units of work of a run of `e` (its new frames, then its moves), for a progress bar.
    static qint64 travail(const Etape& e);

    // Runs a new frame command: `ecrire` writes each of its new frames (Etape::nouvelles) at the
    // path it is given, then the frames move. `pas` runs after each frame written and each move;
    // `appliquer` gets the record after the command as soon as the disk holds the new film,
    // before the final flush of the folders. On an error nothing has changed on disk, unless
    // `appliquer` was called. The step's id and octets are set here.
    // A run that failed earlier and could not be undone is taken up first; when that changes the
    // film the step was made for, `appliquer` gets the film as it now is and the step is refused
    // (Erreur): it was meant for another film.
    void executer(Etape e, const Ecrivain& ecrire, const Pas& pas, const Application& appliquer);

    bool peutAnnuler() const;
    bool peutRetablir() const;
    // The step the next undo (redo) acts on; only when peutAnnuler() (peutRetablir()).
    const Etape& aAnnuler() const;
    const Etape& aRetablir() const;
    // Undoes the last step done (redoes the first one undone); `appliquer` gets the record to
    // show. Returns the step.
    Etape annuler(const Pas& pas, const Application& appliquer);
    Etape retablir(const Pas& pas, const Application& appliquer);

    const QUndoStack& pile() const { return pile_; }
    const Journal& journal() const { return journal_; }

private:
    Etape rejouer(bool defaire, const Pas& pas, const Application& appliquer);
    std::optional<EtatFilm> assurerDossier(Dossier& d);
    void ecrire(const Journal& j);
    void lancer(Dossier& d, const Journal& j, const Etape& e, bool defaire, const Pas& pas,
                const Application& appliquer);
    void finirSurDisque(Dossier& d, const Etape& e, const std::vector<Phase>& plan);
    Reprise reprendre(Dossier& d, QString* raison);
    void nettoyer(Dossier& d);
    void reconstruirePile();
    void effacerConserves(Dossier& d, const Etape& e);

    QString dossier_;
    Journal journal_;
    bool fat_ = false;
    bool aReprendre_ = false;  // a run failed and could not be undone: taken up again first
    qint64 octetsFilm_ = 0;
    qint64 derniereExecution_ = 0;  // its marks go once the next run is in the journal
    QUndoStack pile_;
};

}  // namespace vp
