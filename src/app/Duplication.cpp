#include "Duplication.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>

#include "platform/Chemins.h"
#include "platform/Curseur.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "platform/Profil.h"

namespace vp {

namespace {

const QRegularExpression kImage(QStringLiteral("^image_\\d{5,}\\.bmp$"));

void copierDossier(const QString& source, const QString& destination, RapportCopie& rapport,
                   const std::function<void()>& apresChaque, int niveau) {
    const QString de = avecSeparateur(source);
    const QString vers = avecSeparateur(destination);
    QDir().mkdir(vers);
    const QFileInfoList entrees = QDir(de).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& e : entrees) {
        const QString nom = e.fileName();
        if (e.isDir() && !e.isSymLink()) {
            if (!nom.startsWith(QLatin1Char('.'))) {
                QDir().mkdir(vers + nom);
                copierDossier(de + nom, vers + nom, rapport, apresChaque, niveau + 1);
            }
        } else if (!nom.startsWith(QLatin1String(kPrefixeTemporaire))) {  // not a half-done write
            try {
                copierAtomique(de + nom, vers + nom, false);
            } catch (const Erreur& erreur) {
                const bool film = niveau == 0 && (nom == QLatin1String("projet.ini") ||
                                                  kImage.match(nom).hasMatch());
                if (rapport.echecs++ == 0 || (film && !rapport.filmIncomplet)) {
                    rapport.premierEchec = de + nom;
                    rapport.raison = erreur.texte();
                }
                rapport.filmIncomplet |= film;
            }
        }
        if (apresChaque) apresChaque();
    }
}

}  // namespace

void copierDossier(const QString& source, const QString& destination, RapportCopie& rapport,
                   const std::function<void()>& apresChaque) {
    copierDossier(source, destination, rapport, apresChaque, 0);
}

int dupliquerProjet(const ProjetCourant& p, const std::function<void()>& apresChaque) {
    if (!verifierProjet(p)) return 0;
    RapportCopie rapport;
    int n = 0;
    QString destination;
    {
        CurseurOccupe curseur;
        do {
            ++n;
            destination =
                p.repProjets + p.nomDossier + QStringLiteral("_copie_") + QString::number(n);
        } while (dossierExiste(destination));
        creerDossier(destination);
        // A copy that is not the whole film (a full disk) is not left behind: nothing half made.
        try {
            copierDossier(p.dossierProjet(), destination, rapport, apresChaque);
            if (rapport.filmIncomplet)
                throw Erreur(
                    QStringLiteral("La copie du projet n'a pas pu être faite : « %1 » "
                                   "n'a pas été copié (%2). Aucune copie n'a été créée.")
                        .arg(QDir::toNativeSeparators(rapport.premierEchec), rapport.raison));
            // The copies were not flushed one by one: their data goes to disk at once, before
            // the title's change flushes the folder's names.
            synchroniserArborescence(destination);
            const QString ini = destination + QStringLiteral("/projet.ini");
            const QString titre =
                lireProfil(ini, QStringLiteral("GENERAL"), QStringLiteral("titre"), QString());
            ecrireProfil(
                ini, QStringLiteral("GENERAL"), QStringLiteral("titre"),
                titre + QStringLiteral(" (copie ") + QString::number(n) + QLatin1Char(')'));
            synchroniserDossier(p.repProjets);
        } catch (...) {
            QDir(destination).removeRecursively();
            throw;
        }
    }
    if (rapport.echecs == 0) {
        dialogues().message(QApplication::activeWindow(), kCopieFaite, Icone::Aucune);
    } else {
        dialogues().message(
            QApplication::activeWindow(),
            QStringLiteral("La copie du projet est incomplète : %1 fichier(s) n'ont pas pu être "
                           "copiés, dont « %2 » (%3).")
                .arg(rapport.echecs)
                .arg(QDir::toNativeSeparators(rapport.premierEchec), rapport.raison),
            Icone::Avertissement);
    }
    return n;
}

}  // namespace vp
