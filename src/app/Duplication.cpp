// SPDX-License-Identifier: GPL-3.0-or-later
#include "Duplication.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <vector>

#include "platform/Chemins.h"
#include "platform/Curseur.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "platform/Profil.h"
#include "platform/SousDossiers.h"

namespace vp {

namespace {

const QRegularExpression kImage(QStringLiteral("^image_\\d{5,}\\.bmp$"));

// Counts a file of the copy that failed; the first one is named, or the first one of the film.
void noterEchec(RapportCopie& rapport, const QString& chemin, const QString& raison, bool film) {
    if (rapport.echecs++ == 0 || (film && !rapport.filmIncomplet)) {
        rapport.premierEchec = chemin;
        rapport.raison = raison;
    }
    rapport.filmIncomplet |= film;
}

void copierDossier(const QString& source, const QString& destination, RapportCopie& rapport,
                   const std::function<void()>& apresChaque, int niveau) {
    const QString de = avecSeparateur(source);
    const QString vers = avecSeparateur(destination);
    if (!dossierExiste(vers)) {
        try {
            creerDossier(vers);
        } catch (const Erreur& erreur) {
            return noterEchec(rapport, vers, erreur.texte(), niveau == 0);
        }
    }
    // The names are read first: the copy may go into the folder being read.
    struct Entree {
        QString nom;
        bool dossier;
    };
    std::vector<Entree> entrees;
    const bool liste = parcourirDossier(de, [&](int fd, const char* nom, unsigned char type) {
        if (type == DT_UNKNOWN) {
            struct stat s {};
            if (::fstatat(fd, nom, &s, AT_SYMLINK_NOFOLLOW) == 0)
                type = S_ISDIR(s.st_mode) ? DT_DIR : DT_REG;
        }
        entrees.push_back({cheminDepuisOctets(QByteArray(nom)), type == DT_DIR});
    });
    // A folder that cannot be read copies nothing: that is no copy of the film.
    if (!liste) return noterEchec(rapport, de, raisonSysteme(errno), niveau == 0);
    for (const Entree& e : entrees) {
        if (e.dossier) {
            if (!e.nom.startsWith(QLatin1Char('.')))
                copierDossier(de + e.nom, vers + e.nom, rapport, apresChaque, niveau + 1);
        } else if (!e.nom.startsWith(QLatin1String(kPrefixeTemporaire))) {  // not a half-done write
            try {
                copierAtomique(de + e.nom, vers + e.nom, false);
            } catch (const Erreur& erreur) {
                noterEchec(rapport, de + e.nom, erreur.texte(),
                           niveau == 0 && (e.nom == QLatin1String("projet.ini") ||
                                           kImage.match(e.nom).hasMatch()));
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
                throw Erreur(QStringLiteral("La copie du projet n'a pas pu être faite : « %1 » "
                                            "n'a pas été copié (%2). Aucune copie n'a été créée.")
                                 .arg(QDir::toNativeSeparators(cheminLisible(rapport.premierEchec)),
                                      rapport.raison));
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
            effacerArborescence(destination);
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
                .arg(QDir::toNativeSeparators(cheminLisible(rapport.premierEchec)), rapport.raison),
            Icone::Avertissement);
    }
    return n;
}

}  // namespace vp
