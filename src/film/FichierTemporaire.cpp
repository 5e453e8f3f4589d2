// SPDX-License-Identifier: GPL-3.0-or-later
#include "FichierTemporaire.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>

#include "ErreurFilm.h"
#include "platform/RaisonSysteme.h"

namespace vp {

namespace {

constexpr char kJoker[] = "XXXXXX";
constexpr size_t kLongueurJoker = sizeof kJoker - 1;

// `modele` with its X's replaced by random letters and digits.
std::string nomAuHasard(const std::string& modele) {
    static const char kAlphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string nom = modele;
    const size_t joker = nom.rfind(kJoker);
    if (joker == std::string::npos) return nom;
    unsigned char hasard[kLongueurJoker] = {};
    if (::getrandom(hasard, sizeof hasard, 0) != static_cast<ssize_t>(sizeof hasard)) {
        // No random source: the clock and the process still make a name of its own.
        const auto graine = static_cast<unsigned long>(std::time(nullptr)) ^
                            (static_cast<unsigned long>(::getpid()) << 16) ^
                            reinterpret_cast<unsigned long>(&nom);
        for (size_t i = 0; i < sizeof hasard; ++i)
            hasard[i] = static_cast<unsigned char>(graine >> (5 * i));
    }
    for (size_t i = 0; i < kLongueurJoker; ++i)
        nom[joker + i] = kAlphabet[hasard[i] % (sizeof kAlphabet - 1)];
    return nom;
}

// True when `nom` was made from `modele`.
bool faitDuModele(const std::string& nom, const std::string& modele) {
    const size_t joker = modele.rfind(kJoker);
    if (joker == std::string::npos || nom.size() != modele.size()) return false;
    return nom.compare(0, joker, modele, 0, joker) == 0 &&
           nom.compare(joker + kLongueurJoker, std::string::npos, modele, joker + kLongueurJoker) ==
               0;
}

}  // namespace

std::string dossierDe(const std::string& chemin) {
    const size_t i = chemin.rfind('/');
    if (i == std::string::npos) return ".";
    return i == 0 ? "/" : chemin.substr(0, i);
}

FichierTemporaire::FichierTemporaire(const std::string& destination, const std::string& modele,
                                     const std::string& quoi)
    : destination_(destination), quoi_(quoi) {
    const std::string dossier = dossierDe(destination);
    // Made by open() rather than mkstemp(), whose private rights would have to be widened: the
    // file gets the rights of any new file, without touching the process's umask.
    for (int essai = 0; fd_ < 0 && essai < 100; ++essai) {
        nom_ = dossier + "/" + nomAuHasard(modele);
        fd_ = ::open(nom_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        const int erreur = errno;
        nom_.clear();
        throw ErreurFilm("Impossible d'écrire " + quoi + " dans le dossier « " + dossier +
                         " » : " + raisonErreurSysteme(erreur) + ".");
    }
    // Held until the file has its name: whoever cleans the folder meanwhile leaves it alone.
    ::flock(fd_, LOCK_EX | LOCK_NB);
}

FichierTemporaire::~FichierTemporaire() {
    if (!garde_ && !nom_.empty()) ::unlink(nom_.c_str());
    if (fd_ >= 0) ::close(fd_);
}

void FichierTemporaire::remplacer() {
    const auto echec = [&] {
        return ErreurFilm("Impossible d'écrire " + quoi_ + " « " + destination_ +
                          " » : " + raisonErreurSysteme(errno) + ".");
    };
    // Whatever wrote the file through another descriptor, this one flushes the same file.
    if (::fsync(fd_) != 0) throw echec();
    if (::rename(nom_.c_str(), destination_.c_str()) != 0) throw echec();
    garde_ = true;
    // Its bytes are on disk: the close only lets the lock go.
    ::close(fd_);
    fd_ = -1;
    // The new name itself on disk.
    const int dossier = ::open(dossierDe(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dossier >= 0) {
        ::fsync(dossier);
        ::close(dossier);
    }
}

void nettoyerTemporairesAbandonnes(const std::string& dossier, const std::string& modele) {
    const std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dossier.c_str()), &::closedir);
    if (!d) return;
    const int fdDossier = ::dirfd(d.get());
    const time_t maintenant = std::time(nullptr);
    while (const dirent* entree = ::readdir(d.get())) {
        if (!faitDuModele(entree->d_name, modele)) continue;
        const int fd =
            ::openat(fdDossier, entree->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat etat {};
        if (::fstat(fd, &etat) == 0 && S_ISREG(etat.st_mode) && maintenant - etat.st_mtime >= 60) {
            const bool abandonne = ::flock(fd, LOCK_EX | LOCK_NB) == 0 ||
                                   (errno != EWOULDBLOCK && maintenant - etat.st_mtime >= 3600);
            if (abandonne) ::unlinkat(fdDossier, entree->d_name, 0);
        }
        ::close(fd);
    }
}

}  // namespace vp
