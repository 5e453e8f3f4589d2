#pragma once

#include <string>

namespace vp {

// A file being written under a temporary name in its destination's folder (the X's of the model
// made unique), removed unless it became the destination: whatever fails on the way, and a
// write given up, leave no partial file and an earlier file of that name untouched. Raises
// ErreurFilm with a French message naming `quoi` ("le film").
class FichierTemporaire {
public:
    // `modele`: the temporary file's name, ending in "XXXXXX.tmp"; it looks like the program's
    // own temporary files, so that opening a project clears away what an interrupted write left.
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

// The folder of `chemin` ("." for a bare name).
std::string dossierDe(const std::string& chemin);

}  // namespace vp
