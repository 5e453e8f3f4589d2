// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "Erreur.h"

namespace vp {

// File operations that an interruption at any instant cannot leave half done: the destination
// either keeps its old content or has its new one, never a torn file. Temporary files live in
// the destination's folder under a hidden name (kPrefixeTemporaire) that no reader takes for
// one of its files. Each operation raises Erreur with the reason when it fails.

inline constexpr char kPrefixeTemporaire[] = ".voltiplume-";
// Where the swaps of earlier versions, on disks without the atomic exchange, kept the first
// file's content meanwhile; nettoyerTemporaires still puts such a file back.
inline constexpr char kPrefixeEchange[] = ".voltiplume-echange-";

// Writes `octets` into a temporary file, flushes it to disk, then renames it over `chemin`.
void ecrireAtomique(const QString& chemin, const QByteArray& octets);

// A real copy of `source` onto `destination` (reflink where the file system offers it, else an
// in-kernel copy), written and renamed like ecrireAtomique: afterwards the two share no storage.
// `surDisque` false skips the flush to disk, for bulk copies whose source stays anyway.
void copierAtomique(const QString& source, const QString& destination, bool surDisque = true);

// Raised once a new file has taken its destination's name but a flush after that failed: the
// new file is in place, the disk has not confirmed it.
class ErreurNonConfirmee : public Erreur {
public:
    using Erreur::Erreur;
};

// Puts `temporaire`, a file written in place beside `destination` (see nomTemporaire), where
// `destination` is: its data flushed, renamed over `destination`, flushed again under its new
// name (on a FAT disk the size and first cluster of a renamed file live in the folder entry the
// rename wrote, which only the file's own flush writes), then the folder flushed. A kill or a
// power cut at any instant leaves the old file or the complete new one. Raises Erreur while
// nothing has changed (`temporaire` is still there), ErreurNonConfirmee once the rename is done.
void remplacerParTemporaire(const QString& temporaire, const QString& destination);

// A fresh hidden name next to `chemin`, for a file about to be written there; it is one of the
// temporary names nettoyerTemporaires removes.
QString nomTemporaire(const QString& chemin);

// A folder whose files the frame commands rename by their names relative to it (a frame, or a
// file of one of its subfolders): no path to walk for each of the thousands of moves of a long
// film, and no file ever replaced by a move.
class Dossier {
public:
    // Raises Erreur with the reason when the folder cannot be opened.
    explicit Dossier(const QString& chemin);
    ~Dossier();
    Dossier(const Dossier&) = delete;
    Dossier& operator=(const Dossier&) = delete;

    const QString& chemin() const { return chemin_; }  // with its trailing separator
    // Gives the file `source` the name `destination`, which must be free: a move onto an
    // existing name is refused (Erreur), never a file lost.
    void deplacer(const char* source, const char* destination);
    bool existe(const char* nom) const;
    // Size of the file in bytes, -1 when there is none.
    qint64 taille(const char* nom) const;
    // An empty file that marks a step of a command; nothing when it is there already.
    void marquer(const char* nom);
    // Deletes the file; one that is already gone is not an error.
    void effacer(const char* nom);
    // Flushes the file itself: on a FAT disk its size and first cluster live in its entry of
    // the folder, which only the file's own flush writes after a rename.
    void synchroniserFichier(const char* nom);

private:
    QString chemin_;
    int fd_ = -1;
};

// True when the folder lies on a disk that keeps a renamed file's size in the file's folder entry,
// so that a renamed file must be flushed itself before its folder: FAT and exFAT sticks, and
// disks served by a user-space driver, which may be one of them.
bool disqueFat(const QString& dossier);

// For the tests: every folder is taken for one on a FAT stick (no shared copy, a renamed file
// flushed itself before its folder, a move that checks the free name itself as on disks that
// cannot refuse to replace).
void simulerDisqueFat(bool oui);

// Raises Erreur with the reason when no file can be created in the folder `dossier`.
void verifierEcriture(const QString& dossier);

// Creates the folder `chemin` (its parent exists); raises Erreur with the reason when it cannot.
void creerDossier(const QString& chemin);

// Deletes `chemin`; a file that is already gone is not an error.
void effacerFichier(const QString& chemin);

// Deletes the folder `chemin` with all it holds; links are removed, never followed. False when
// something could not be removed (what could is gone).
bool effacerArborescence(const QString& chemin);

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

// A file as the disk describes it. Moving a file by rename keeps all of it; every write goes to
// a new file renamed over the old, which changes the node and the time (on FAT, to two seconds).
struct IdentiteFichier {
    qint64 taille = -1;  // -1 when there is no such regular file
    qint64 dateNs = 0;   // modification time, in nanoseconds
    quint64 appareil = 0;
    quint64 noeud = 0;
    // The very same file, both existing: what a cache of pictures read from frames goes by.
    bool operator==(const IdentiteFichier& autre) const {
        return taille >= 0 && taille == autre.taille && dateNs == autre.dateNs &&
               appareil == autre.appareil && noeud == autre.noeud;
    }
    // Same size and time: what a record kept in a file can tell, across a copy that keeps times.
    bool memeDate(const IdentiteFichier& autre) const {
        return taille == autre.taille && dateNs == autre.dateNs;
    }
};
IdentiteFichier identiteFichier(const QString& chemin);

// The room left to an ordinary user on the disk that holds `dossier`, in bytes; -1 when the
// disk does not say.
qint64 espaceLibre(const QString& dossier);
// For the tests: the room every disk reports from now on (an empty function: the real disks).
void simulerEspaceLibre(std::function<qint64(const QString& dossier)> simulation);

// The whole content of the regular file `chemin`; false (and nothing) when it cannot be read.
bool lireFichier(const QString& chemin, QByteArray& octets);
// At most `taille` bytes of the regular file `chemin` from byte `debut` (fewer at its end); false
// (and nothing) when it cannot be read.
bool lireMorceau(const QString& chemin, qint64 debut, qint64 taille, QByteArray& octets);

// French text for a system error number.
QString raisonSysteme(int erreur);

}  // namespace vp
