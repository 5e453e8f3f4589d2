// SPDX-License-Identifier: GPL-3.0-or-later
#include "FichiersSurs.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QDir>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Chemins.h"
#include "Erreur.h"
#include "RaisonSysteme.h"
#include "SousDossiers.h"

namespace vp {

namespace {

std::function<void()>& observateur() {
    static std::function<void()> o;
    return o;
}

// Each change of a name in a folder is one step a kill may stop after.
void signaler() {
    if (observateur()) observateur()();
}

std::function<void(const OperationFichier&)>& enregistreur() {
    static std::function<void(const OperationFichier&)> e;
    return e;
}

bool enregistrement() {
    return static_cast<bool>(enregistreur());
}

void noter(OperationFichier::Type type, const QString& chemin, const QString& cible = {},
           const QByteArray& octets = {}) {
    if (enregistrement()) enregistreur()(OperationFichier{type, chemin, cible, octets});
}

std::string natif(const QString& chemin) {
    return octetsDuChemin(chemin).toStdString();
}

QString nomAffiche(const QString& chemin) {
    return QDir::toNativeSeparators(cheminLisible(chemin));
}

[[noreturn]] void echec(const QString& quoi, const QString& chemin, int erreur) {
    throw Erreur(
        QStringLiteral("%1 « %2 » : %3").arg(quoi, nomAffiche(chemin), raisonSysteme(erreur)));
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
                noter(OperationFichier::Creation, nom_);
                signaler();
                return;
            }
            if (errno != EEXIST)
                echec(QStringLiteral("Impossible de créer un fichier dans"), dossierParent(chemin),
                      errno);
        }
        echec(QStringLiteral("Impossible de créer un fichier dans"), dossierParent(chemin), EEXIST);
    }
    ~Temporaire() {
        if (!garde_ && ::unlink(natif(nom_).c_str()) == 0)
            noter(OperationFichier::Effacement, nom_);
    }
    int fd() const { return fd_->get(); }
    const QString& nom() const { return nom_; }
    // Flushes (unless told not to), closes and renames the file over `destination`.
    void remplacer(const QString& destination, bool surDisque = true) {
        if (surDisque) {
            if (::fdatasync(fd()) != 0)
                echec(QStringLiteral("Impossible d'écrire"), destination, errno);
            noter(OperationFichier::SynchroDonnees, nom_);
        }
        if (fd_->fermer() != 0) echec(QStringLiteral("Impossible d'écrire"), destination, errno);
        if (::rename(natif(nom_).c_str(), natif(destination).c_str()) != 0)
            echec(QStringLiteral("Impossible d'écrire"), destination, errno);
        noter(OperationFichier::Renommage, nom_, destination);
        garde_ = true;
        signaler();
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

bool& simulationFat() {
    static bool oui = false;
    return oui;
}

void copierContenu(int source, int cible, const QString& destination) {
    if (!simulationFat() && ::ioctl(cible, FICLONE, source) == 0) return;
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

}  // namespace

QString nomTemporaire(const QString& chemin) {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    char suffixe[10];
    for (char& c : suffixe)
        c = kAlphabet[QRandomGenerator::global()->bounded(36)];
    return dossierParent(chemin) + QLatin1String(kPrefixeTemporaire) +
           QLatin1String(suffixe, sizeof suffixe) + QStringLiteral(".tmp");
}

QString raisonSysteme(int erreur) {
    return QString::fromStdString(raisonErreurSysteme(erreur));
}

void ecrireAtomique(const QString& chemin, const QByteArray& octets) {
    Temporaire t(chemin);
    toutEcrire(t.fd(), octets.constData(), static_cast<size_t>(octets.size()), chemin);
    noter(OperationFichier::Ecriture, t.nom(), {}, octets);
    t.remplacer(chemin);
}

void copierAtomique(const QString& source, const QString& destination, bool surDisque) {
    Descripteur src(::open(natif(source).c_str(), O_RDONLY | O_CLOEXEC));
    if (src.get() < 0) echec(QStringLiteral("Impossible de lire"), source, errno);
    Temporaire t(destination);
    copierContenu(src.get(), t.fd(), destination);
    if (enregistrement()) {
        QByteArray copie;
        lireFichier(source, copie);
        noter(OperationFichier::Ecriture, t.nom(), {}, copie);
    }
    t.remplacer(destination, surDisque);
}

void remplacerParTemporaire(const QString& temporaire, const QString& destination) {
    {
        Descripteur f(::open(natif(temporaire).c_str(), O_RDONLY | O_CLOEXEC));
        if (f.get() < 0) echec(QStringLiteral("Impossible d'écrire"), destination, errno);
        if (::fdatasync(f.get()) != 0 && errno != EINVAL)
            echec(QStringLiteral("Impossible d'écrire"), destination, errno);
    }
    noter(OperationFichier::SynchroDonnees, temporaire);
    if (::rename(natif(temporaire).c_str(), natif(destination).c_str()) != 0)
        echec(QStringLiteral("Impossible d'écrire"), destination, errno);
    noter(OperationFichier::Renommage, temporaire, destination);
    signaler();
    try {
        Descripteur f(::open(natif(destination).c_str(), O_RDONLY | O_CLOEXEC));
        if (f.get() < 0) echec(QStringLiteral("Impossible de lire"), destination, errno);
        if (::fsync(f.get()) != 0 && errno != EINVAL)
            echec(QStringLiteral("Impossible d'écrire"), destination, errno);
        noter(OperationFichier::SynchroDonnees, destination);
        synchroniserDossier(dossierParent(destination));
    } catch (const Erreur& e) {
        throw ErreurNonConfirmee(e.texte());
    }
}

Dossier::Dossier(const QString& chemin) : chemin_(avecSeparateur(chemin)) {
    fd_ = ::open(natif(chemin_).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) echec(QStringLiteral("Impossible d'ouvrir le dossier"), chemin_, errno);
}

Dossier::~Dossier() {
    ::close(fd_);
}

void Dossier::deplacer(const char* source, const char* destination) {
    int r = simulationFat() ? -1 : ::renameat2(fd_, source, fd_, destination, RENAME_NOREPLACE);
    if (simulationFat()) errno = EINVAL;
    if (r != 0 && errno == EINVAL) {
        // A file system that cannot refuse to replace (some network shares, user-space
        // drivers): the free name is checked first, which nothing else changes meanwhile.
        struct stat s {};
        if (::fstatat(fd_, destination, &s, AT_SYMLINK_NOFOLLOW) == 0) {
            errno = EEXIST;
        } else {
            r = ::renameat(fd_, source, fd_, destination);
        }
    }
    if (r != 0) {
        const int e = errno;
        echec(QStringLiteral("Impossible de déplacer"), chemin_ + cheminDepuisOctets(source), e);
    }
    if (enregistrement())
        noter(OperationFichier::Renommage, chemin_ + cheminDepuisOctets(source),
              chemin_ + cheminDepuisOctets(destination));
    signaler();
}

bool Dossier::existe(const char* nom) const {
    return taille(nom) >= 0;
}

qint64 Dossier::taille(const char* nom) const {
    struct stat s {};
    if (::fstatat(fd_, nom, &s, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    return static_cast<qint64>(s.st_size);
}

void Dossier::marquer(const char* nom) {
    const int fd = ::openat(fd_, nom, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) return;
        echec(QStringLiteral("Impossible de créer un fichier dans"), chemin_, errno);
    }
    ::close(fd);
    if (enregistrement()) noter(OperationFichier::Creation, chemin_ + cheminDepuisOctets(nom));
    signaler();
}

void Dossier::effacer(const char* nom) {
    if (::unlinkat(fd_, nom, 0) == 0) {
        if (enregistrement())
            noter(OperationFichier::Effacement, chemin_ + cheminDepuisOctets(nom));
        return signaler();
    }
    if (errno != ENOENT)
        echec(QStringLiteral("Impossible de supprimer"), chemin_ + cheminDepuisOctets(nom), errno);
}

void Dossier::synchroniserFichier(const char* nom) {
    Descripteur f(::openat(fd_, nom, O_RDONLY | O_CLOEXEC));
    if (f.get() < 0)
        echec(QStringLiteral("Impossible de lire"), chemin_ + cheminDepuisOctets(nom), errno);
    if (::fsync(f.get()) != 0 && errno != EINVAL)
        echec(QStringLiteral("Impossible d'écrire"), chemin_ + cheminDepuisOctets(nom), errno);
    if (enregistrement())
        noter(OperationFichier::SynchroDonnees, chemin_ + cheminDepuisOctets(nom));
}

bool disqueFat(const QString& dossier) {
    if (simulationFat()) return true;
    struct statfs s {};
    if (::statfs(natif(dossier).c_str(), &s) != 0) return false;
    switch (static_cast<unsigned long>(s.f_type)) {
        case 0x4d44UL:      // FAT12/16/32 (vfat, msdos)
        case 0x2011bab0UL:  // exFAT
        case 0x65735546UL:  // FUSE: fusefat, exfat-fuse and others
            return true;
        default:
            return false;
    }
}

void simulerDisqueFat(bool oui) {
    simulationFat() = oui;
}

void verifierEcriture(const QString& dossier) {
    Temporaire essai(avecSeparateur(dossier));  // removed again at once
}

void creerDossier(const QString& chemin) {
    if (::mkdir(natif(chemin).c_str(), 0777) != 0)
        echec(QStringLiteral("Impossible de créer le dossier"), chemin, errno);
    noter(OperationFichier::Creation, chemin);
}

void effacerFichier(const QString& chemin) {
    if (::unlink(natif(chemin).c_str()) == 0) {
        noter(OperationFichier::Effacement, chemin);
        return signaler();
    }
    if (errno != ENOENT) echec(QStringLiteral("Impossible de supprimer"), chemin, errno);
}

namespace {

// Empties the folder `nom` of the folder open as `parent`, then removes it.
bool effacerDans(int parent, const char* nom) {
    const int fd = ::openat(parent, nom, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const std::unique_ptr<DIR, int (*)(DIR*)> d(::fdopendir(fd), &closedir);
    if (!d) {
        ::close(fd);
        return false;
    }
    bool tout = true;
    while (const dirent* e = ::readdir(d.get())) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
        if (::unlinkat(fd, n, 0) == 0) continue;
        if (errno != EISDIR && errno != EPERM) {  // Linux says EISDIR, POSIX EPERM
            tout = errno == ENOENT && tout;
            continue;
        }
        tout = effacerDans(fd, n) && tout;
    }
    return ::unlinkat(parent, nom, AT_REMOVEDIR) == 0 && tout;
}

}  // namespace

bool effacerArborescence(const QString& chemin) {
    return effacerDans(AT_FDCWD, natif(sansSeparateur(chemin)).c_str());
}

int nombreDeNoms(const QString& chemin) {
    struct stat s {};
    if (::stat(natif(chemin).c_str(), &s) != 0) return 0;
    return static_cast<int>(s.st_nlink);
}

void synchroniserDossier(const QString& dossier) {
    Descripteur d(::open(natif(dossier).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.get() < 0) echec(QStringLiteral("Impossible d'ouvrir le dossier"), dossier, errno);
    // A file system that keeps no list of names to flush (EINVAL) has nothing to lose.
    if (::fsync(d.get()) != 0 && errno != EINVAL)
        echec(QStringLiteral("Impossible d'écrire dans le dossier"), dossier, errno);
    noter(OperationFichier::SynchroDossier, dossier);
}

void synchroniserArborescence(const QString& dossier) {
    Descripteur d(::open(natif(dossier).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.get() < 0) echec(QStringLiteral("Impossible d'ouvrir le dossier"), dossier, errno);
    if (::syncfs(d.get()) != 0)
        echec(QStringLiteral("Impossible d'écrire dans le dossier"), dossier, errno);
    noter(OperationFichier::SynchroDossier, dossier);
}

void synchroniserFichier(const QString& chemin) {
    {
        Descripteur f(::open(natif(chemin).c_str(), O_RDONLY | O_CLOEXEC));
        if (f.get() < 0) echec(QStringLiteral("Impossible de lire"), chemin, errno);
        if (::fdatasync(f.get()) != 0 && errno != EINVAL)
            echec(QStringLiteral("Impossible d'écrire"), chemin, errno);
    }
    noter(OperationFichier::SynchroDonnees, chemin);
    synchroniserDossier(dossierParent(chemin));
}

IdentiteFichier identiteFichier(const QString& chemin) {
    struct stat s {};
    if (::stat(natif(chemin).c_str(), &s) != 0 || !S_ISREG(s.st_mode)) return {};
    return {static_cast<qint64>(s.st_size),
            static_cast<qint64>(s.st_mtim.tv_sec) * 1000000000 + s.st_mtim.tv_nsec,
            static_cast<quint64>(s.st_dev), static_cast<quint64>(s.st_ino)};
}

namespace {
std::function<qint64(const QString&)>& simulationEspace() {
    static std::function<qint64(const QString&)> s;
    return s;
}
}  // namespace

qint64 espaceLibre(const QString& dossier) {
    if (simulationEspace()) return simulationEspace()(dossier);
    struct statvfs s {};
    if (::statvfs(natif(dossier).c_str(), &s) != 0) return -1;
    // The blocks kept for the system administrator are no room for a pupil's pictures.
    return static_cast<qint64>(s.f_bavail) * static_cast<qint64>(s.f_frsize);
}

void simulerEspaceLibre(std::function<qint64(const QString&)> simulation) {
    simulationEspace() = std::move(simulation);
}

void enregistrerOperations(std::function<void(const OperationFichier&)> e) {
    enregistreur() = std::move(e);
}

void observerChangements(std::function<void()> observateurDesTests) {
    observateur() = std::move(observateurDesTests);
}

void nettoyerTemporaires(const QString& dossier) {
    const QString d = avecSeparateur(dossier);
    QList<QByteArray> noms;
    parcourirDossier(d, [&](int, const char* nom, unsigned char) { noms.append(nom); });
    const QByteArray echange(kPrefixeEchange), temporaire(kPrefixeTemporaire);
    // A swap cut short: the first file of the pair gets its content back.
    for (const QByteArray& nom : noms)
        if (nom.startsWith(echange))
            ::rename(natif(d + cheminDepuisOctets(nom)).c_str(),
                     natif(d + cheminDepuisOctets(nom.mid(echange.size()))).c_str());
    for (const QByteArray& nom : noms)
        if (nom.startsWith(temporaire) && !nom.startsWith(echange) && nom.endsWith(".tmp"))
            ::unlink(natif(d + cheminDepuisOctets(nom)).c_str());
}

bool lireFichier(const QString& chemin, QByteArray& octets) {
    octets.clear();
    Descripteur fd(::open(natif(chemin).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat s {};
    if (fd.get() < 0 || ::fstat(fd.get(), &s) != 0 || !S_ISREG(s.st_mode)) return false;
    char tampon[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), tampon, sizeof tampon);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            octets.clear();
            return false;
        }
        octets.append(tampon, n);
    }
}

bool lireMorceau(const QString& chemin, qint64 debut, qint64 taille, QByteArray& octets) {
    octets.clear();
    Descripteur fd(::open(natif(chemin).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat s {};
    if (fd.get() < 0 || ::fstat(fd.get(), &s) != 0 || !S_ISREG(s.st_mode) || debut < 0 ||
        taille < 0)
        return false;
    octets.resize(std::min<qint64>(taille, std::max<qint64>(0, s.st_size - debut)));
    qint64 lus = 0;
    while (lus < octets.size()) {
        const ssize_t n = ::pread(fd.get(), octets.data() + lus, octets.size() - lus, debut + lus);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) break;  // the file shrank meanwhile
            octets.clear();
            return false;
        }
        lus += n;
    }
    octets.truncate(lus);
    return true;
}

}  // namespace vp
