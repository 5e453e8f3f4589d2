#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace vp {

// File operations that an interruption at any instant cannot leave half done: the destination
// either keeps its old content or has its new one, never a torn file. Temporary files live in
// the destination's folder under a hidden name (kPrefixeTemporaire) that no reader takes for
// one of its files. Each operation raises Erreur with the reason when it fails.

inline constexpr char kPrefixeTemporaire[] = ".voltiplume-";
// Where a swap without an atomic exchange keeps the first file's content meanwhile.
inline constexpr char kPrefixeEchange[] = ".voltiplume-echange-";

// Writes `octets` into a temporary file, flushes it to disk, then renames it over `chemin`.
void ecrireAtomique(const QString& chemin, const QByteArray& octets);

// A real copy of `source` onto `destination` (reflink where the file system offers it, else an
// in-kernel copy), written and renamed like ecrireAtomique: afterwards the two share no storage.
// `surDisque` false skips the flush to disk, for bulk copies whose source stays anyway.
void copierAtomique(const QString& source, const QString& destination, bool surDisque = true);

// Gives `source`'s file the further name `destination` (hard link to a temporary name, then
// rename over the destination): no byte is copied and the source name stays. Where the file
// system refuses hard links, a real copy is made instead.
void lierAtomique(const QString& source, const QString& destination);

// A folder whose files are linked by their bare names, for the long runs of moves of the frame
// commands: no path to walk and no name to make for each move.
class DossierOuvert {
public:
    // Raises Erreur with the reason when the folder cannot be opened.
    explicit DossierOuvert(const QString& chemin);
    ~DossierOuvert();
    DossierOuvert(const DossierOuvert&) = delete;
    DossierOuvert& operator=(const DossierOuvert&) = delete;

    // lierAtomique between two names of this folder.
    void lier(const char* source, const char* destination);

private:
    QString chemin_;  // with its trailing separator, for the messages
    int fd_ = -1;
    char temporaire_[48];
};

// Renames `source` over `destination` in one atomic step.
void renommer(const QString& source, const QString& destination);

// A fresh hidden name next to `chemin`, for a file about to be written there; it is one of the
// temporary names nettoyerTemporaires removes.
QString nomTemporaire(const QString& chemin);

// Gives `source`'s file the name `destination`, which does not exist yet (one link, or the
// same as lierAtomique when it does exist after all).
void ajouterNom(const QString& source, const QString& destination);

// Swaps the files of two names in one atomic step; false, with nothing changed, where the file
// system cannot (FAT sticks).
bool echangerSiPossible(const QString& a, const QString& b);

// Swaps the contents of two names in one atomic step where the file system can; otherwise
// through a temporary name in the same folder.
void echangerAtomique(const QString& a, const QString& b);

// Raises Erreur with the reason when no file can be created in the folder `dossier`.
void verifierEcriture(const QString& dossier);

// Creates the folder `chemin` (its parent exists); raises Erreur with the reason when it cannot.
void creerDossier(const QString& chemin);

// Deletes `chemin`; a file that is already gone is not an error.
void effacerFichier(const QString& chemin);

// Number of names of the file (its link count); 0 when it does not exist.
int nombreDeNoms(const QString& chemin);

// Removes the temporary files an interrupted operation may have left in `dossier`, and puts
// back the file a swap cut short had set aside.
void nettoyerTemporaires(const QString& dossier);

// Flushes the folder's list of names to disk, so that the files created, renamed and deleted in
// it so far survive a power cut. A command that changes a folder calls it before it reports
// success (the frame files' data is already on disk by then).
void synchroniserDossier(const QString& dossier);

// Flushes everything written on the file system that holds `dossier` (data and names), for a
// command that wrote many files without flushing each one.
void synchroniserArborescence(const QString& dossier);

// Flushes a file written in place (not through ecrireAtomique) to disk, then its folder.
void synchroniserFichier(const QString& chemin);

// One operation of the file system as a power cut sees it: names (creation, link, rename,
// exchange, deletion) that stay in a folder only once it is flushed, and data that stays in a
// file only once it is flushed.
struct OperationFichier {
    enum Type {
        Creation,
        Ecriture,
        SynchroDonnees,
        Lien,
        Renommage,
        Echange,
        Effacement,
        SynchroDossier
    };
    Type type;
    QString chemin;     // the file; the source of a link or a rename; the folder flushed
    QString cible;      // the new name of a link or a rename, the other name of an exchange
    QByteArray octets;  // what a write adds at the end of the file
};

// Hands each operation made here from now on to `enregistreur` (an empty function stops);
// off by default, for the tests that rebuild what a power cut could leave.
void enregistrerOperations(std::function<void(const OperationFichier&)> enregistreur);

// Runs `observateur` after each change of a name in a folder made here (a file created, renamed,
// linked or deleted): the tests look at the film at each step a kill could stop after.
void observerChangements(std::function<void()> observateur);

// French text for a system error number.
QString raisonSysteme(int erreur);

}  // namespace vp
