// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

namespace vp {

struct SousDossier {
    QString nom;  // as cheminDepuisOctets gives it
    // False only when the folder surely holds no folder of its own.
    bool peutAvoirSousDossiers = true;
};

// Calls `chaque` for every entry of `dossier` but "." and "..", in the order the file system
// gives, with the folder open as `fd` and the entry's type as the listing tells it (DT_*,
// DT_UNKNOWN on file systems that do not say). False when the folder cannot be opened or its
// listing breaks off (errno then says why); an entry that `chaque` cannot use is no failure.
bool parcourirDossier(
    const QString& dossier,
    const std::function<void(int fd, const char* nom, unsigned char type)>& chaque);

// The folders inside `dossier` (links to folders included, hidden ones too), in the order the
// file system gives; false when `dossier` cannot be listed. A link that leads nowhere, loops or
// is refused is no folder and no failure. Nothing below them is listed: on the file systems
// whose link count of a folder is 2 + its number of subfolders, that count tells which ones
// hold none. The folders named in `sansLesInterroger` (mount points of network shares) are
// taken as folders without a look at them. `avancement`, when given, counts the entries read.
bool listerSousDossiers(const QString& dossier, std::vector<SousDossier>& resultat,
                        const QStringList& sansLesInterroger = {},
                        std::atomic<quint64>* avancement = nullptr);

// "/" + "a" gives "/a", "/b" + "a" gives "/b/a".
QString cheminEnfant(const QString& dossier, const QString& nom);

// For the tests and the benchmarks: `avant` runs before each entry of a folder is read (given
// the folder's path), on the thread that reads; it stands for a disk or a network share that
// answers slowly. An empty function takes it away.
void installerRetardLecture(std::function<void(const QString& dossier)> avant);

}  // namespace vp
