// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace vp {

// A file being written under a temporary name in its destination's folder (the X's of the model
// made unique), removed unless it became the destination: whatever fails on the way, and a
// write given up, leave no partial file and an earlier file of that name untouched. It is made
// with the usual rights of a new file (the process's umask), and locked while it is written, so
// that a later cleaning can tell it from one a crash left behind. Raises ErreurFilm with a
// French message naming `quoi` ("le film").
class FichierTemporaire {
public:
    // `modele`: the temporary file's name, ending in "XXXXXX.tmp"; it starts as the program's
    // own temporary files, so that opening a project clears away what an interrupted write left
    // in the project's folder (elsewhere, see nettoyerTemporairesAbandonnes).
    FichierTemporaire(const std::string& destination, const std::string& modele,
                      const std::string& quoi);
    ~FichierTemporaire();
    FichierTemporaire(const FichierTemporaire&) = delete;
    FichierTemporaire& operator=(const FichierTemporaire&) = delete;

    const std::string& nom() const { return nom_; }

    // Puts the written file on disk, gives it the destination's name and puts that name on
    // disk too.
    void remplacer();

private:
    std::string destination_, quoi_, nom_;
    int fd_ = -1;
    bool garde_ = false;
};

// Removes from `dossier` the temporary files made from `modele` that a crash or a power cut
// left there: those no program holds locked any more. A file changed in the last minute is
// left alone (it may have been made an instant ago), and where the disk keeps no locks, only
// one untouched for an hour goes.
void nettoyerTemporairesAbandonnes(const std::string& dossier, const std::string& modele);

// The folder of `chemin` ("." for a bare name).
std::string dossierDe(const std::string& chemin);

}  // namespace vp
