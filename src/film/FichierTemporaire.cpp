#include "FichierTemporaire.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "ErreurFilm.h"
#include "platform/RaisonSysteme.h"

namespace vp {

std::string dossierDe(const std::string& chemin) {
    const size_t i = chemin.rfind('/');
    if (i == std::string::npos) return ".";
    return i == 0 ? "/" : chemin.substr(0, i);
}

FichierTemporaire::FichierTemporaire(const std::string& destination, const std::string& modele,
                                     const std::string& quoi)
    : destination_(destination), quoi_(quoi) {
    std::string nom = dossierDe(destination) + "/" + modele;
    fd_ = ::mkstemps(nom.data(), 4);
    if (fd_ < 0)
        throw ErreurFilm("Impossible d'écrire " + quoi + " dans le dossier « " +
                         dossierDe(destination) + " » : " + raisonErreurSysteme(errno) + ".");
    ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
    nom_ = nom;
    // The file gets the usual rights of a new file, not the temporary file's private ones.
    const mode_t masque = ::umask(0);
    ::umask(masque);
    ::fchmod(fd_, 0666 & ~masque);
}

FichierTemporaire::~FichierTemporaire() {
    if (fd_ >= 0) ::close(fd_);
    if (!garde_) ::unlink(nom_.c_str());
}

void FichierTemporaire::remplacer() {
    const auto echec = [&] {
        return ErreurFilm("Impossible d'écrire " + quoi_ + " « " + destination_ +
                          " » : " + raisonErreurSysteme(errno) + ".");
    };
    // Whatever wrote the file through another descriptor, this one flushes the same file.
    if (::fsync(fd_) != 0) throw echec();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw echec();
    if (::rename(nom_.c_str(), destination_.c_str()) != 0) throw echec();
    garde_ = true;
    // The new name itself on disk.
    const int dossier = ::open(dossierDe(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dossier >= 0) {
        ::fsync(dossier);
        ::close(dossier);
    }
}

}  // namespace vp
