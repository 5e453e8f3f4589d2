#include "Chemins.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "Erreur.h"

namespace vp {

QString avecSeparateur(const QString& dossier) {
    if (dossier.endsWith(QLatin1Char('/'))) return dossier;
    return dossier + QLatin1Char('/');
}

QString sansSeparateur(const QString& dossier) {
    QString d = dossier;
    while (d.size() > 1 && d.endsWith(QLatin1Char('/')))
        d.chop(1);
    return d;
}

QString repertoireCourant() {
    return avecSeparateur(QDir::currentPath());
}

void changerRepertoire(const QString& dossier) {
    if (!QDir::setCurrent(dossier))
        throw Erreur(QStringLiteral("Impossible d'entrer dans le dossier « %1 »")
                         .arg(QDir::toNativeSeparators(sansSeparateur(dossier))));
}

QString dossierDocuments() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

bool fichierExiste(const QString& chemin) {
    QFileInfo f(chemin);
    return f.exists() && !f.isDir();
}

bool dossierExiste(const QString& chemin) {
    return QFileInfo(chemin).isDir();
}

}  // namespace vp
