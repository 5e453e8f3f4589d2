// SPDX-License-Identifier: GPL-3.0-or-later
#include "Profil.h"

#include <QDir>
#include <QStringDecoder>
#include <QStringList>

#include "Chemins.h"
#include "Erreur.h"
#include "FichiersSurs.h"

namespace vp {

namespace {

QByteArray contenu(const QString& fichier) {
    QByteArray octets;
    lireFichier(fichier, octets);
    return octets;
}

QStringList lignesDuTexte(const QByteArray& octets, bool* crlf) {
    if (crlf) *crlf = octets.isEmpty() || octets.contains("\r\n");
    QStringList lignes = decoderTexte(octets).split(QLatin1Char('\n'));
    for (QString& l : lignes)
        if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
    if (!lignes.isEmpty() && lignes.last().isEmpty()) lignes.removeLast();
    return lignes;
}

// Name of the section opened by `ligne`, or a null string when the line opens none.
QString sectionDe(const QString& ligne) {
    const QString t = ligne.trimmed();
    if (!t.startsWith(QLatin1Char('['))) return {};
    const qsizetype fin = t.indexOf(QLatin1Char(']'));
    const QString nom = (fin < 0 ? t.mid(1) : t.mid(1, fin - 1)).trimmed();
    return nom.isNull() ? QString(QLatin1String("")) : nom;
}

bool estCle(const QString& ligne, const QString& cle, QString* valeur) {
    const qsizetype egal = ligne.indexOf(QLatin1Char('='));
    if (egal < 0) return false;
    if (ligne.left(egal).trimmed().compare(cle.trimmed(), Qt::CaseInsensitive) != 0) return false;
    if (valeur) {
        QString v = ligne.mid(egal + 1).trimmed();
        if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
            v.back() == v.front())
            v = v.mid(1, v.size() - 2);
        *valeur = v;
    }
    return true;
}

bool memeNom(const QString& a, const QString& b) {
    return a.compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

}  // namespace

QSettings reglagesProgramme() {
    return QSettings(QStringLiteral("voltiplume"), QStringLiteral("voltiplume"));
}

QString decoderTexte(const QByteArray& octets) {
    QByteArray corps = octets;
    if (corps.startsWith("\xEF\xBB\xBF")) corps.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texte = utf8.decode(corps);
    if (!utf8.hasError()) return texte;
    return decoderCp1252(corps);
}

QString lireProfil(const QString& fichier, const QString& section, const QString& cle,
                   const QString& defaut) {
    QByteArray octets;
    if (!lireFichier(fichier, octets)) return defaut;
    return lireProfilTexte(octets, section, cle, defaut);
}

QString lireProfilTexte(const QByteArray& contenu, const QString& section, const QString& cle,
                        const QString& defaut) {
    bool dansSection = false;
    for (const QString& ligne : lignesDuTexte(contenu, nullptr)) {
        const QString s = sectionDe(ligne);
        if (!s.isNull()) {
            if (dansSection) break;  // the first section of that name is the one read
            dansSection = memeNom(s, section);
            continue;
        }
        QString valeur;
        if (dansSection && estCle(ligne, cle, &valeur)) return valeur;
    }
    return defaut;
}

QByteArray profilModifie(const QByteArray& octets, const QString& section, const QString& cle,
                         const QString& valeur) {
    bool crlf = true;
    QStringList lignes = lignesDuTexte(octets, &crlf);
    QString propre = valeur;
    propre.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString nouvelle = cle.trimmed() + QLatin1Char('=') + propre;

    qsizetype debut = -1;  // index of the section's header line
    for (qsizetype i = 0; i < lignes.size(); ++i) {
        const QString s = sectionDe(lignes[i]);
        if (!s.isNull() && memeNom(s, section)) {
            debut = i;
            break;
        }
    }
    if (debut < 0) {
        if (!lignes.isEmpty() && !lignes.last().trimmed().isEmpty()) lignes.append(QString());
        lignes.append(QLatin1Char('[') + section + QLatin1Char(']'));
        lignes.append(nouvelle);
    } else {
        qsizetype derniere = debut;  // last non-blank line of the section
        bool remplacee = false;
        for (qsizetype i = debut + 1; i < lignes.size(); ++i) {
            if (!sectionDe(lignes[i]).isNull()) break;
            if (estCle(lignes[i], cle, nullptr)) {
                lignes[i] = nouvelle;
                remplacee = true;
                break;
            }
            if (!lignes[i].trimmed().isEmpty()) derniere = i;
        }
        if (!remplacee) lignes.insert(derniere + 1, nouvelle);
    }

    const QString finLigne = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    return (lignes.join(finLigne) + finLigne).toUtf8();
}

void ecrireProfil(const QString& fichier, const QString& section, const QString& cle,
                  const QString& valeur) {
    const QByteArray octets = profilModifie(contenu(fichier), section, cle, valeur);
    try {
        ecrireAtomique(fichier, octets);
    } catch (const Erreur&) {
        throw Erreur(QStringLiteral("Impossible d'écrire le fichier « %1 »")
                         .arg(QDir::toNativeSeparators(cheminLisible(fichier))));
    }
    // The new content, flushed before its rename, keeps its name through a power cut.
    synchroniserDossier(dossierParent(fichier));
}

}  // namespace vp
