#include "SousDossiers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <QFile>
#include <cerrno>
#include <memory>

namespace vp {

namespace {

// File systems that count a folder's subfolders in its link count.
bool compteDesLiensFiable(int fd) {
    struct statfs sf {};
    if (fstatfs(fd, &sf) != 0) return false;
    switch (static_cast<unsigned long>(sf.f_type)) {
        case 0xEF53:      // ext2, ext3, ext4
        case 0x58465342:  // xfs
        case 0x01021994:  // tmpfs
        case 0x4d44:      // vfat
        case 0x2011BAB0:  // exfat
        case 0xF2F52010:  // f2fs
            return true;
        default:
            return false;
    }
}

}  // namespace

bool listerSousDossiers(const QString& dossier, std::vector<SousDossier>& resultat) {
    resultat.clear();
    const std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(QFile::encodeName(dossier).constData()),
                                                &closedir);
    if (!d) return false;
    const int fd = dirfd(d.get());
    const bool fiable = compteDesLiensFiable(fd);
    errno = 0;
    while (const dirent* e = readdir(d.get())) {
        const char* nom = e->d_name;
        if (nom[0] == '.' && (nom[1] == '\0' || (nom[1] == '.' && nom[2] == '\0'))) continue;
        struct stat st {};
        bool lu = false;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            if (fstatat(fd, nom, &st, 0) != 0 || !S_ISDIR(st.st_mode)) continue;
            lu = true;
        } else if (e->d_type != DT_DIR) {
            continue;
        }
        bool sousDossiers = true;
        if (fiable && (lu || fstatat(fd, nom, &st, AT_SYMLINK_NOFOLLOW) == 0))
            sousDossiers = st.st_nlink != 2;
        resultat.push_back({QFile::decodeName(nom), sousDossiers});
        errno = 0;
    }
    return errno == 0;
}

QString cheminEnfant(const QString& dossier, const QString& nom) {
    return dossier.endsWith(QLatin1Char('/')) ? dossier + nom : dossier + QLatin1Char('/') + nom;
}

}  // namespace vp
