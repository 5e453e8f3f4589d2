// SPDX-License-Identifier: GPL-3.0-or-later
#include "SousDossiers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>

#include "Chemins.h"

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

using Retard = std::function<void(const QString&)>;

std::mutex& verrouRetard() {
    static std::mutex m;
    return m;
}

std::shared_ptr<const Retard>& retardInstalle() {
    static std::shared_ptr<const Retard> r;
    return r;
}

std::shared_ptr<const Retard> retard() {
    const std::lock_guard verrou(verrouRetard());
    return retardInstalle();
}

}  // namespace

void installerRetardLecture(std::function<void(const QString&)> avant) {
    const std::lock_guard verrou(verrouRetard());
    retardInstalle() = avant ? std::make_shared<const Retard>(std::move(avant)) : nullptr;
}

bool parcourirDossier(const QString& dossier,
                      const std::function<void(int, const char*, unsigned char)>& chaque) {
    const std::shared_ptr<const Retard> lent = retard();
    const std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(octetsDuChemin(dossier).constData()),
                                                &closedir);
    if (!d) return false;
    const int fd = dirfd(d.get());
    for (;;) {
        if (lent) (*lent)(dossier);
        // The end of the listing leaves errno as it was: whatever an entry's handling set
        // (a link that leads nowhere, say) must not read as a broken listing.
        errno = 0;
        const dirent* e = readdir(d.get());
        if (!e) return errno == 0;
        const char* nom = e->d_name;
        if (nom[0] == '.' && (nom[1] == '\0' || (nom[1] == '.' && nom[2] == '\0'))) continue;
        chaque(fd, nom, e->d_type);
    }
}

bool listerSousDossiers(const QString& dossier, std::vector<SousDossier>& resultat,
                        const QStringList& sansLesInterroger, std::atomic<quint64>* avancement) {
    resultat.clear();
    std::vector<QByteArray> aLaisser;
    for (const QString& n : sansLesInterroger)
        aLaisser.push_back(octetsDuChemin(n));
    int fiable = -1;  // asked of the file system once
    return parcourirDossier(dossier, [&](int fd, const char* nom, unsigned char type) {
        if (avancement) ++*avancement;
        if (std::find(aLaisser.begin(), aLaisser.end(), QByteArrayView(nom)) != aLaisser.end()) {
            resultat.push_back({cheminDepuisOctets(QByteArray(nom)), true});
            return;
        }
        struct stat st {};
        bool lu = false;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            if (fstatat(fd, nom, &st, 0) != 0 || !S_ISDIR(st.st_mode)) return;
            lu = true;
        } else if (type != DT_DIR) {
            return;
        }
        if (fiable < 0) fiable = compteDesLiensFiable(fd) ? 1 : 0;
        bool sousDossiers = true;
        if (fiable && (lu || fstatat(fd, nom, &st, AT_SYMLINK_NOFOLLOW) == 0))
            sousDossiers = st.st_nlink != 2;
        resultat.push_back({cheminDepuisOctets(QByteArray(nom)), sousDossiers});
    });
}

QString cheminEnfant(const QString& dossier, const QString& nom) {
    return dossier.endsWith(QLatin1Char('/')) ? dossier + nom : dossier + QLatin1Char('/') + nom;
}

}  // namespace vp
