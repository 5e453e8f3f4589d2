// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUndoStack>
#include <functional>

#include "Journal.h"

namespace vp {

class Dossier;

inline const QString kProjetOccupe = QStringLiteral(
    "Ce projet est déjà ouvert dans un autre VOLTIPLUME (sur cet ordinateur ou sur un autre) : "
    "fermez-le là-bas avant de changer ses images ici.");

// The history of the frame commands of one project, kept on disk in its journal (Journal.h):
// every frame command is a step that can be undone and redone, after the program is closed as
// well as after a crash. Each run of a step (done, undone, redone) is written in the journal and
// flushed before its first move; opening the project finishes a run that a kill or a power cut
// stopped, or undoes it when it cannot go on, so that the film is always the one before the step
// or the one after it. The frames a step takes out of the film wait in the hidden history folder
// until the step leaves the history: the oldest steps go first, past kEtapesMax steps, or when
// the frames the older steps keep take more room than the film itself.
//
// The project folder is locked while its history is open: a second program (a second pupil on
// a network share) cannot change its frames meanwhile.
//
// The toolkit's undo stack mirrors the steps, for the menu items; its commands do nothing
// themselves: the window's undo and redo go through annuler() and retablir().
class Historique {
public:
    static constexpr int kEtapesMax = 50;

    // What the opening found.
    struct Reprise {
        enum Genre {
            Aucune,      // nothing was under way
            Terminee,    // an interrupted run was finished
            Annulee,     // it could not go on and was undone
            Impossible,  // it could neither go on nor be undone (the disk refuses): `raison`
            Illisible,   // the journal is damaged: the history starts again, empty
            Occupe       // another program has the project open
        };
        Genre genre = Aucune;
        QString commande;         // the label of the interrupted run's step
        bool annulation = false;  // the interrupted run was an undo
        QString raison;
    };

    explicit Historique(const QString& dossierProjet);
    ~Historique();
    Historique(const Historique&) = delete;
    Historique& operator=(const Historique&) = delete;

    // The project folder, without its trailing separator.
    const QString& dossierProjet() const { return dossier_; }

    // Locks the project, reads the journal, finishes an interrupted run and removes what no step
    // keeps. A journal that does not describe the film on disk (frames changed by hand, a folder
    // put back from a copy) starts an empty history.
    Reprise ouvrir();

    using EcrivainNouvelle = std::function<void(qint32 k, const QString& chemin)>;
    using Pas = std::function<void()>;
    using NouvelEtat = std::function<void(const EtatFilm&)>;

    // Units of work of a run of `e` (its new frames, then its moves), for a progress bar.
    static qint64 travail(const Etape& e);

    // Runs a new frame command: `ecrire` writes each of its new frames (Etape::nouvelles) at the
    // path it is given, then the frames move. `pas` runs after each frame written and each move;
    // `appliquer` gets the record after the command as soon as the disk holds the new film,
    // before the final flush of the folders. On an error nothing has changed on disk, unless
    // `appliquer` was called. The step's id and octets are set here. A record that no longer
    // says the film on disk (`e.avant.nbImages`) is refused.
    void executer(Etape e, const EcrivainNouvelle& ecrire, const Pas& pas,
                  const NouvelEtat& appliquer);

    bool peutAnnuler() const;
    bool peutRetablir() const;
    // The step the next undo (redo) acts on; only when peutAnnuler() (peutRetablir()).
    const Etape& aAnnuler() const;
    const Etape& aRetablir() const;
    // Undoes the last step done (redoes the first one undone); `appliquer` gets the record to
    // show. Returns the step.
    Etape annuler(const Pas& pas, const NouvelEtat& appliquer);
    Etape retablir(const Pas& pas, const NouvelEtat& appliquer);

    // True while a run that failed and could not be undone waits to be taken up: the film on
    // disk is then half moved, and only the journal knows it.
    bool repriseEnAttente() const { return aReprendre_; }

    QUndoStack& pile() { return pile_; }
    const QUndoStack& pile() const { return pile_; }
    const Journal& journal() const { return journal_; }

private:
    Etape rejouer(bool defaire, const Pas& pas, const NouvelEtat& appliquer);
    void preparer(Dossier& d, qint32 nbImages, const NouvelEtat& appliquer);
    void ecrire(const Journal& j);
    void lancer(Dossier& d, const Journal& j, const Etape& e, bool defaire, const Pas& pas,
                const NouvelEtat& appliquer);
    void finirSurDisque(Dossier& d, const Etape& e, const std::vector<Phase>& plan);
    Reprise reprendre(Dossier& d);
    void nettoyer(Dossier& d, bool inconnuesAussi);
    void reconstruirePile();
    void effacerConserves(Dossier& d, const Etape& e);
    qint32 filmAttendu() const;

    QString dossier_;
    Journal journal_;
    int verrou_ = -1;      // the project folder, locked
    bool occupe_ = false;  // another program holds the lock
    bool fat_ = false;
    bool aReprendre_ = false;  // a run failed and could not be undone: taken up again first
    qint64 octetsFilm_ = 0;
    qint64 derniereExecution_ = 0;  // its marks go once the next run is in the journal
    QUndoStack pile_;
};

}  // namespace vp
