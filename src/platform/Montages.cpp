// SPDX-License-Identifier: GPL-3.0-or-later
#include "Montages.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <memory>

#include "Chemins.h"
#include "EnFond.h"
#include "SousDossiers.h"

namespace vp {

namespace {

// Mount tables escape blanks and backslashes as "\ooo" (octal), udev names as "\xhh" (hex).
QString decoderEchappements(const QByteArray& champ, bool hexadecimal) {
    const auto chiffre = [hexadecimal](char c) {
        return hexadecimal ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                           : c >= '0' && c <= '7';
    };
    QByteArray octets;
    octets.reserve(champ.size());
    for (qsizetype i = 0; i < champ.size(); ++i) {
        if (champ[i] == '\\' && i + 3 < champ.size() && (!hexadecimal || champ[i + 1] == 'x')) {
            const QByteArray code = hexadecimal ? champ.mid(i + 2, 2) : champ.mid(i + 1, 3);
            const int valeur = code.toInt(nullptr, hexadecimal ? 16 : 8);
            if (std::all_of(code.begin(), code.end(), chiffre) && valeur < 256) {
                octets.append(static_cast<char>(valeur));
                i += 3;
                continue;
            }
        }
        octets.append(champ[i]);
    }
    return cheminDepuisOctets(octets);
}

QString nomFinal(const QString& chemin) {
    return chemin.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
}

bool typeReseau(const QString& type) {
    static const QSet<QString> kReseau = {"cifs", "smb3",       "smbfs", "nfs",
                                          "nfs4", "fuse.sshfs", "davfs"};
    return kReseau.contains(type);
}

// Kernel, service and container file systems, and the desktop's own fuse helpers.
bool typePseudo(const QString& type) {
    static const QSet<QString> kPseudo = {
        "proc",       "sysfs",         "tmpfs",       "devtmpfs",
        "devpts",     "cgroup",        "cgroup2",     "securityfs",
        "pstore",     "bpf",           "debugfs",     "tracefs",
        "configfs",   "fusectl",       "mqueue",      "hugetlbfs",
        "autofs",     "binfmt_misc",   "overlay",     "squashfs",
        "ramfs",      "efivarfs",      "nsfs",        "rpc_pipefs",
        "selinuxfs",  "nfsd",          "fuse.portal", "fuse.gvfsd-fuse",
        "fuse.lxcfs", "fuse.snapfuse", "aufs",        "zram"};
    return kPseudo.contains(type);
}

// Places the system mounts itself on, and folders whose name begins with "." (hidden on
// purpose).
bool emplacementSysteme(const QString& point) {
    static const QStringList kExacts = {"/",    "/boot", "/efi", "/home", "/media", "/mnt",
                                        "/opt", "/root", "/srv", "/tmp",  "/usr",   "/var"};
    static const QStringList kDessous = {"/proc/", "/sys/",  "/dev/",  "/boot/",  "/efi/",
                                         "/usr/",  "/var/",  "/snap/", "/etc/",   "/tmp/",
                                         "/bin/",  "/sbin/", "/lib/",  "/lib64/", "/opt/"};
    if (kExacts.contains(point) || point.contains(QLatin1String("/."))) return true;
    for (const QString& d : kDessous)
        if (point.startsWith(d)) return true;
    return point.startsWith(QLatin1String("/run/")) &&
           !point.startsWith(QLatin1String("/run/media/"));
}

bool amovible(const QString& point) {
    return point.startsWith(QLatin1String("/media/")) ||
           point.startsWith(QLatin1String("/run/media/"));
}

// "//srv/films" and "srv:/export/films" give "films sur srv".
QString nomPartageMonte(const Montage& m) {
    QString serveur, chemin;
    if (m.source.startsWith(QLatin1String("//"))) {
        serveur = m.source.mid(2).section(QLatin1Char('/'), 0, 0);
        chemin = m.source.mid(2).section(QLatin1Char('/'), 1);
    } else if (m.source.contains(QLatin1Char(':'))) {
        serveur = m.source.section(QLatin1Char(':'), 0, 0).section(QLatin1Char('@'), -1);
        chemin = m.source.section(QLatin1Char(':'), 1);
    }
    const QString partage = nomFinal(chemin);
    if (serveur.isEmpty()) return nomFinal(m.pointMontage);
    return partage.isEmpty() ? serveur : partage + QStringLiteral(" sur ") + serveur;
}

QString dossierGvfs() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return (runtime.isEmpty() ? QStringLiteral("/run/user/%1").arg(getuid()) : runtime) +
           QStringLiteral("/gvfs");
}

// Device -> volume label, from the links udev keeps.
QHash<QString, QString> etiquettesVolumes() {
    QHash<QString, QString> etiquettes;
    const QFileInfoList liens =
        QDir(QStringLiteral("/dev/disk/by-label"))
            .entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& lien : liens)
        etiquettes.insert(lien.canonicalFilePath(),
                          decoderEchappements(QFile::encodeName(lien.fileName()), true));
    return etiquettes;
}

// The system's table. The kernel flags /proc/self/mountinfo as exceptional (POLLPRI) after each
// mount or unmount, until it is read again. GVfs mounts show as folders of one fuse mount,
// whose changes no file notification reports: that folder is looked at every few seconds, by the
// names it lists alone (a look at one of its folders would ask its share), on a thread of its
// own, so that a desktop helper that hangs never holds the window.
class TableMontagesSysteme final : public TableMontages {
public:
    explicit TableMontagesSysteme(QObject* parent) : TableMontages(parent), enFond_(this) {
        fichier_.fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        if (fichier_.fd >= 0) {
            signal_ = std::make_unique<QSocketNotifier>(fichier_.fd, QSocketNotifier::Exception);
            connect(signal_.get(), &QSocketNotifier::activated, this, [this] { relire(); });
        }
        gvfs_.setInterval(3000);
        connect(&gvfs_, &QTimer::timeout, this, [this] { sonderGvfs(); });
        relire();
    }

    QList<Volume> volumes() const override { return volumes_; }

    QStringList pointsLents() const override { return pointsLents_; }

private:
    struct Descripteur {
        int fd = -1;
        ~Descripteur() {
            if (fd >= 0) ::close(fd);
        }
    };

    void relire() {
        QByteArray texte;
        if (fichier_.fd >= 0 && ::lseek(fichier_.fd, 0, SEEK_SET) == 0) {
            char tampon[16384];
            ssize_t lus;
            while ((lus = ::read(fichier_.fd, tampon, sizeof tampon)) > 0)
                texte.append(tampon, lus);
        }
        const QList<Montage> montages = lireMountinfo(texte);
        pointsLents_.clear();
        for (const Montage& m : montages)
            if (typeLent(m.typeFs)) pointsLents_ << m.pointMontage;
        QList<Volume> volumes = volumesUtilisateur(montages, etiquettesVolumes());
        volumes += partagesGvfs(montages);
        if (volumes != volumes_) {
            volumes_ = volumes;
            emit changement();
        }
    }

    QList<Volume> partagesGvfs(const QList<Montage>& montages) {
        const QString dossier = dossierGvfs();
        const bool monte = std::any_of(montages.begin(), montages.end(), [&](const Montage& m) {
            return m.typeFs == QLatin1String("fuse.gvfsd-fuse") && m.pointMontage == dossier;
        });
        QList<Volume> partages;
        if (!monte) {
            gvfs_.stop();
            nomsGvfs_.clear();
            return partages;
        }
        if (!gvfs_.isActive()) {
            gvfs_.start();
            sonderGvfs();
        }
        for (const QString& nom : nomsGvfs_)
            partages.append(
                {dossier + QLatin1Char('/') + nom, nomPartageGvfs(nom), Volume::Genre::Reseau});
        return partages;
    }

    // Lists the GVfs folder's names in the background; a change reads the table again.
    void sonderGvfs() {
        if (sondeEnCours_) return;  // the last one has not answered yet
        sondeEnCours_ = true;
        const QString dossier = dossierGvfs();
        enFond_.lancer([this, dossier]() -> TravauxEnFond::Suite {
            QStringList noms;
            parcourirDossier(dossier, [&](int, const char* nom, unsigned char) {
                if (nom[0] != '.') noms << cheminDepuisOctets(QByteArray(nom));
            });
            noms.sort();
            return [this, noms] {
                sondeEnCours_ = false;
                if (noms == nomsGvfs_) return;
                nomsGvfs_ = noms;
                relire();
            };
        });
    }

    // Declared before the notifier, which must go first.
    Descripteur fichier_;
    std::unique_ptr<QSocketNotifier> signal_;
    QTimer gvfs_;
    QList<Volume> volumes_;
    QStringList pointsLents_;
    QStringList nomsGvfs_;  // the GVfs folder's names when it last answered
    bool sondeEnCours_ = false;
    TravauxEnFond enFond_;
};

QPointer<TableMontages>& tableInstallee() {
    static QPointer<TableMontages> t;
    return t;
}

QPointer<TableMontages>& tableSysteme() {
    static QPointer<TableMontages> t;
    return t;
}

}  // namespace

QStringList TableMontages::pointsLents() const {
    QStringList points;
    for (const Volume& v : volumes())
        if (v.genre == Volume::Genre::Reseau) points << v.pointMontage;
    return points;
}

bool TableMontages::lent(const QString& chemin) const {
    const QString c = sansSeparateur(chemin);
    for (const QString& p : pointsLents())
        if (p == QLatin1String("/") || c == p || c.startsWith(p + QLatin1Char('/'))) return true;
    return false;
}

QStringList TableMontages::nomsLentsDans(const QString& dossier) const {
    const QString d = avecSeparateur(dossier);
    QStringList noms;
    for (const QString& p : pointsLents())
        if (p.size() > d.size() && p.startsWith(d) && !p.mid(d.size()).contains(QLatin1Char('/')))
            noms << p.mid(d.size());
    return noms;
}

bool typeLent(const QString& typeFs) {
    static const QSet<QString> kLents = {"cifs",   "smb3", "smbfs", "nfs",      "nfs4",
                                         "davfs",  "afs",  "ceph",  "9p",       "ncpfs",
                                         "autofs", "fuse", "sshfs", "glusterfs"};
    // fuseblk: a local disk through ntfs-3g or exfat-fuse.
    return kLents.contains(typeFs) || typeFs.startsWith(QLatin1String("fuse."));
}

TableMontages& tableMontages() {
    if (tableInstallee()) return *tableInstallee();
    // Owned by the application object, which outlives every window.
    if (!tableSysteme()) tableSysteme() = new TableMontagesSysteme(QCoreApplication::instance());
    return *tableSysteme();
}

TableMontages* installerTableMontages(TableMontages* table) {
    TableMontages* ancienne = tableInstallee().data();
    tableInstallee() = table;
    return ancienne;
}

QList<Montage> lireMountinfo(const QByteArray& texte) {
    // "36 35 98:0 /racine /point options [facultatifs…] - type source options"
    QList<Montage> montages;
    for (const QByteArray& ligne : texte.split('\n')) {
        const QList<QByteArray> champs = ligne.split(' ');
        const qsizetype tiret = champs.indexOf("-");
        if (tiret < 6 || tiret + 2 >= champs.size()) continue;
        montages.append({decoderEchappements(champs[tiret + 2], false),
                         decoderEchappements(champs[4], false),
                         decoderEchappements(champs[tiret + 1], false)});
    }
    return montages;
}

QList<Volume> volumesUtilisateur(const QList<Montage>& montages,
                                 const QHash<QString, QString>& etiquettes) {
    QList<Volume> amovibles, locaux, reseau;
    QSet<QString> vus;
    // A mount point mounted again hides what was mounted there before: the last line wins.
    for (auto m = montages.crbegin(); m != montages.crend(); ++m) {
        if (vus.contains(m->pointMontage)) continue;
        vus.insert(m->pointMontage);
        if (typePseudo(m->typeFs) || emplacementSysteme(m->pointMontage)) continue;
        if (typeReseau(m->typeFs)) {
            reseau.prepend({m->pointMontage, nomPartageMonte(*m), Volume::Genre::Reseau});
            continue;
        }
        const QString etiquette = etiquettes.value(m->source, nomFinal(m->pointMontage));
        if (amovible(m->pointMontage))
            amovibles.prepend({m->pointMontage, etiquette, Volume::Genre::Amovible});
        else
            locaux.prepend({m->pointMontage, etiquette, Volume::Genre::Local});
    }
    return amovibles + locaux + reseau;
}

QString nomPartageGvfs(const QString& nomDossier) {
    const qsizetype deuxPoints = nomDossier.indexOf(QLatin1Char(':'));
    if (deuxPoints < 0) return nomDossier;
    QHash<QString, QString> cles;
    for (const QString& paire : nomDossier.mid(deuxPoints + 1).split(QLatin1Char(','))) {
        const qsizetype egal = paire.indexOf(QLatin1Char('='));
        if (egal > 0)
            cles.insert(paire.left(egal), QUrl::fromPercentEncoding(paire.mid(egal + 1).toUtf8()));
    }
    const QString serveur =
        cles.value(QStringLiteral("server"), cles.value(QStringLiteral("host")));
    const QString partage = cles.value(QStringLiteral("share"));
    if (serveur.isEmpty()) return nomDossier;
    return partage.isEmpty() ? serveur : partage + QStringLiteral(" sur ") + serveur;
}

}  // namespace vp
