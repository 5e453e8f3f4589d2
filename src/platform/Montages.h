// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

namespace vp {

// One line of the kernel's mount table.
struct Montage {
    QString source;        // "/dev/sdb1", "//serveur/partage", "serveur:/export"…
    QString pointMontage;  // where it is mounted
    QString typeFs;        // "vfat", "ext4", "cifs", "fuse.gvfsd-fuse"…
};

// A mounted volume on which a user may pick a folder.
struct Volume {
    enum class Genre { Amovible, Local, Reseau };
    QString pointMontage;
    QString etiquette;  // its name as the desktop shows it
    Genre genre = Genre::Local;
    bool operator==(const Volume&) const = default;
};

// The mounted volumes and their changes. The program reads the system's mount table; tests
// install a table of their own.
class TableMontages : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Removable media first, then the other local volumes, then the network shares.
    virtual QList<Volume> volumes() const = 0;
    // The mount points of the file systems that may answer late or never: network shares and
    // user-space file systems (a phone, a share the desktop mounted). Known from the table
    // alone, without asking the disk. By default, those of the network volumes.
    virtual QStringList pointsLents() const;
    // True when `chemin` lies on one of them: reading it may wait on the network.
    bool lent(const QString& chemin) const;
    // The names of the folders of `dossier` that are mount points of pointsLents(): looking at
    // them (their size, their link count) would ask the share.
    QStringList nomsLentsDans(const QString& dossier) const;

signals:
    // A volume was mounted, removed or renamed.
    void changement();
};

// The installed table; the system's one unless a test installed another.
TableMontages& tableMontages();
// Installs `table` (not owned; nullptr for the system's) and returns the one it replaces.
TableMontages* installerTableMontages(TableMontages* table);

// The lines of /proc/self/mountinfo, with their escaped characters decoded.
QList<Montage> lireMountinfo(const QByteArray& texte);

// The volumes a user would pick among `montages`, in the order of `TableMontages::volumes`:
// neither the root nor pseudo or system file systems. `etiquettes` gives the volume label of
// a device ("/dev/sdb1" -> "CLE USB"); without one a volume is named after its mount point.
QList<Volume> volumesUtilisateur(const QList<Montage>& montages,
                                 const QHash<QString, QString>& etiquettes);

// Types of file system whose answers may wait on the network or on a user-space program.
bool typeLent(const QString& typeFs);

// The name of a GVfs mount as the desktop shows it: "smb-share:server=srv,share=films" gives
// "films sur srv".
QString nomPartageGvfs(const QString& nomDossier);

}  // namespace vp
