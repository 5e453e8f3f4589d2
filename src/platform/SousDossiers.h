#pragma once

#include <QString>
#include <vector>

namespace vp {

struct SousDossier {
    QString nom;
    // False only when the folder surely holds no folder of its own.
    bool peutAvoirSousDossiers = true;
};

// The folders inside `dossier` (links to folders included, hidden ones too), in the order the
// file system gives; false when `dossier` cannot be listed. Nothing below them is listed: on the
// file systems whose link count of a folder is 2 + its number of subfolders, that count tells
// which ones hold none.
bool listerSousDossiers(const QString& dossier, std::vector<SousDossier>& resultat);

// "/" + "a" gives "/a", "/b" + "a" gives "/b/a".
QString cheminEnfant(const QString& dossier, const QString& nom);

}  // namespace vp
