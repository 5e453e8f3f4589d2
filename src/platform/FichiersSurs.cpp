#include "FichiersSurs.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Erreur.h"
#include "RaisonSysteme.h"

namespace vp {

namespace {

std::string natif(const QString& chemin) {
    return QFile::encodeName(chemin).toStdString();
}

QString nomAffiche(const QString& chemin) {
    return QDir::toNativeSeparators(chemin);
}

[[noreturn]] void echec(const QString& quoi, const QString& chemin, int erreur) {
    throw Erreur(
        QStringLiteral("%1 « %2 » : %3").arg(quoi, nomAffiche(chemin), raisonSysteme(erreur)));
}

QString dossierDe(const QString& chemin) {
    const qsizetype i = chemin.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? QStringLiteral("./") : chemin.left(i + 1);
}

QString nomTemporaire(const QString& chemin) {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString suffixe;
    for (int i = 0; i < 10; ++i)
        suffixe += QLatin1Char(kAlphabet[QRandomGenerator::global()->bounded(36)]);
    return dossierDe(chemin) + QLatin1String(kPrefixeTemporaire) + suffixe + QStringLiteral(".tmp");
}

// A file descriptor that closes itself.
class Descripteur {
public:
    explicit Descripteur(int fd = -1) : fd_(fd) {}
    ~Descripteur() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descripteur(const Descripteur&) = delete;
    Descripteur& operator=(const Descripteur&) = delete;
    int get() const { return fd_; }
    int fermer() {
        const int r = ::close(fd_);
        fd_ = -1;
        return r;
    }

private:
    int fd_;
};

// A new temporary file next to `chemin`, removed again unless `garder` is called.
class Temporaire {
public:
    explicit Temporaire(const QString& chemin) {
        for (int essai = 0; essai < 100; ++essai) {
            nom_ = nomTemporaire(chemin);
            const int fd =
                ::open(natif(nom_).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                fd_ = std::make_unique<Descripteur>(fd);
                return;
            }
            if (errno != EEXIST)
                echec(QStringLiteral("Impossible de créer un fichier dans"), dossierDe(chemin),
                      errno);
        }
        echec(QStringLiteral("Impossible de créer un fichier dans"), dossierDe(chemin), EEXIST);
    }
    ~Temporaire() {
        if (!garde_) ::unlink(natif(nom_).c_str());
    }
    int fd() const { return fd_->get(); }
    // Flushes (unless told not to), closes and renames the file over `destination`.
    void remplacer(const QString& destination, bool surDisque = true) {
        if (surDisque && ::fdatasync(fd()) != 0)
            echec(QStringLiteral("Impossible d'écrire"), destination, errno);
        if (fd_->fermer() != 0) echec(QStringLiteral("Impossible d'écrire"), destination, errno);
        if (::rename(natif(nom_).c_str(), natif(destination).c_str()) != 0)
            echec(QStringLiteral("Impossible d'écrire"), destination, errno);
        garde_ = true;
    }

private:
    QString nom_;
    std::unique_ptr<Descripteur> fd_;
    bool garde_ = false;
};

void toutEcrire(int fd, const char* donnees, size_t taille, const QString& destination) {
    while (taille > 0) {
        const ssize_t n = ::write(fd, donnees, taille);
        if (n < 0) {
            if (errno == EINTR) continue;
            echec(QStringLiteral("Impossible d'écrire"), destination, errno);
        }
        donnees += n;
        taille -= static_cast<size_t>(n);
    }
}

void copierContenu(int source, int cible, const QString& destination) {
    if (::ioctl(cible, FICLONE, source) == 0) return;
    bool enNoyau = true;
    for (;;) {
        const ssize_t n = ::copy_file_range(source, nullptr, cible, nullptr, 1 << 30, 0);
        if (n == 0) return;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
            enNoyau = false;
            break;
        }
        echec(QStringLiteral("Impossible de copier vers"), destination, errno);
    }
    if (!enNoyau) {
        // Nothing was copied yet (the in-kernel copy failed at its first call).
        std::vector<char> tampon(1 << 20);
        for (;;) {
            const ssize_t n = ::read(source, tampon.data(), tampon.size());
            if (n == 0) return;
            if (n < 0) {
                if (errno == EINTR) continue;
                echec(QStringLiteral("Impossible de copier vers"), destination, errno);
            }
            toutEcrire(cible, tampon.data(), static_cast<size_t>(n), destination);
        }
    }
}

bool liensRefuses(int erreur) {
    return erreur == EPERM || erreur == EOPNOTSUPP || erreur == ENOSYS || erreur == EMLINK ||
           erreur == EXDEV;
}

}  // namespace

QString raisonSysteme(int erreur) {
    return QString::fromStdString(raisonErreurSysteme(erreur));
}

void ecrireAtomique(const QString& chemin, const QByteArray& octets) {
    Temporaire t(chemin);
    toutEcrire(t.fd(), octets.constData(), static_cast<size_t>(octets.size()), chemin);
    t.remplacer(chemin);
}

void copierAtomique(const QString& source, const QString& destination, bool surDisque) {
    Descripteur src(::open(natif(source).c_str(), O_RDONLY | O_CLOEXEC));
    if (src.get() < 0) echec(QStringLiteral("Impossible de lire"), source, errno);
    Temporaire t(destination);
    copierContenu(src.get(), t.fd(), destination);
    t.remplacer(destination, surDisque);
}

void lierAtomique(const QString& source, const QString& destination) {
    for (int essai = 0; essai < 100; ++essai) {
        const QString tmp = nomTemporaire(destination);
        if (::link(natif(source).c_str(), natif(tmp).c_str()) != 0) {
            if (errno == EEXIST) continue;
            if (liensRefuses(errno)) return copierAtomique(source, destination);
            echec(QStringLiteral("Impossible de déplacer"), source, errno);
        }
        const int r = ::rename(natif(tmp).c_str(), natif(destination).c_str());
        const int e = errno;
        // When the destination already was a name of the same file, rename does nothing and
        // leaves the temporary name: it goes here (after a real rename it no longer exists).
        ::unlink(natif(tmp).c_str());
        if (r != 0) echec(QStringLiteral("Impossible de déplacer vers"), destination, e);
        return;
    }
    echec(QStringLiteral("Impossible de déplacer"), source, EEXIST);
}

void ajouterNom(const QString& source, const QString& destination) {
    if (::link(natif(source).c_str(), natif(destination).c_str()) == 0) return;
    if (errno == EEXIST || liensRefuses(errno)) return lierAtomique(source, destination);
    echec(QStringLiteral("Impossible de déplacer"), source, errno);
}

bool echangerSiPossible(const QString& a, const QString& b) {
    if (::renameat2(AT_FDCWD, natif(a).c_str(), AT_FDCWD, natif(b).c_str(), RENAME_EXCHANGE) == 0)
        return true;
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return false;
    echec(QStringLiteral("Impossible d'échanger"), a, errno);
}

void echangerAtomique(const QString& a, const QString& b) {
    if (echangerSiPossible(a, b)) return;
    // No atomic exchange here: keep a's content under a hidden name while b takes its place.
    const QString tmp = nomTemporaire(a);
    lierAtomique(a, tmp);
    try {
        lierAtomique(b, a);
    } catch (...) {
        ::unlink(natif(tmp).c_str());
        throw;
    }
    if (::rename(natif(tmp).c_str(), natif(b).c_str()) != 0) {
        const int e = errno;
        ::rename(natif(tmp).c_str(), natif(a).c_str());  // a gets its own content back
        echec(QStringLiteral("Impossible d'échanger"), b, e);
    }
}

void effacerFichier(const QString& chemin) {
    if (::unlink(natif(chemin).c_str()) != 0 && errno != ENOENT)
        echec(QStringLiteral("Impossible de supprimer"), chemin, errno);
}

int nombreDeNoms(const QString& chemin) {
    struct stat s {};
    if (::stat(natif(chemin).c_str(), &s) != 0) return 0;
    return static_cast<int>(s.st_nlink);
}

void nettoyerTemporaires(const QString& dossier) {
    const QDir d(dossier);
    const QStringList restes =
        d.entryList({QLatin1String(kPrefixeTemporaire) + QStringLiteral("*.tmp")},
                    QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& nom : restes)
        ::unlink(natif(d.filePath(nom)).c_str());
}

}  // namespace vp
