// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fraicheur.h"

#include <QList>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <unordered_map>

#include "Historique.h"
#include "Journal.h"
#include "StockImages.h"
#include "platform/Chemins.h"
#include "platform/Erreur.h"

namespace vp {

namespace {

constexpr char kEnTete[] = "VOLTIPLUME etat 1";

QString dossierReleves(const ProjetCourant& p) {
    return p.dossierProjet() + QLatin1Char('/') + QLatin1String(kDossierHistorique);
}

QString cheminReleve(const ProjetCourant& p, const QString& nom) {
    return dossierReleves(p) + QLatin1Char('/') + nom + QStringLiteral(".etat");
}

QString cheminFichier(const ProjetCourant& p, const QString& nom) {
    return p.dossierProjet() + QLatin1Char('/') + nom;
}

bool entier(const QByteArray& mot, qint64& valeur) {
    bool ok = false;
    valeur = mot.toLongLong(&ok);
    return ok;
}

bool naturel32(const QByteArray& mot, quint32& valeur) {
    bool ok = false;
    valeur = mot.toUInt(&ok);
    return ok;
}

bool entier32(const QByteArray& mot, qint32& valeur) {
    bool ok = false;
    valeur = mot.toInt(&ok);
    return ok;
}

struct CleImage {
    qint64 taille, date;
    bool operator==(const CleImage&) const = default;
};
struct HacheImage {
    size_t operator()(const CleImage& c) const noexcept {
        return std::hash<qint64>()(c.taille * 1000003 ^ c.date);
    }
};

// Past this many pairs of frames that look alike (a FAT stick's two-second times), the order is
// compared position by position instead.
constexpr qint64 kPairesMax = 4000000;

}  // namespace

qint64 prochaineExecution(const ProjetCourant& p) {
    if (p.historique && p.historique->dossierProjet() == p.dossierProjet())
        return p.historique->journal().execution;
    QByteArray texte;
    if (!lireFichier(dossierReleves(p) + QStringLiteral("/journal"), texte)) return 1;
    const std::optional<Journal> j = lireJournal(texte);
    return j ? j->execution : 1;
}

ReleveFilm releverFilm(const ProjetCourant& p) {
    ReleveFilm r;
    r.execution = prochaineExecution(p);
    for (qint32 i = 0; i < kImagesMaxJournal; ++i) {
        const IdentiteFichier image = identiteFichier(cheminImage(p, i));
        if (image.taille < 0) break;
        r.images.push_back(image);
    }
    return r;
}

QByteArray ecrireTexteReleve(const ReleveFilm& r) {
    const auto n = [](auto v) { return QByteArray::number(v); };
    const ReglagesVideo& v = r.reglages;
    QByteArray t = QByteArray(kEnTete) + '\n';
    t += "fichier " + n(r.fichier.taille) + ' ' + n(r.fichier.dateNs) + '\n';
    t += "execution " + n(r.execution) + '\n';
    t += "video " + n(v.imagesParSeconde) + ' ' + n(v.largeur) + ' ' + n(v.hauteur) + ' ' +
         n(v.codec.fcc) + ' ' + n(v.codec.qualite) + ' ' + n(v.codec.imagesCles) + ' ' +
         n(v.codec.octetsParSeconde) + ' ' + n(v.codec.drapeaux) + '\n';
    if (r.son) t += "son " + n(r.son->taille) + ' ' + n(r.son->dateNs) + '\n';
    t += "images " + n(static_cast<qint64>(r.images.size())) + '\n';
    for (const IdentiteFichier& i : r.images)
        t += n(i.taille) + ' ' + n(i.dateNs) + '\n';
    return t;
}

std::optional<ReleveFilm> lireTexteReleve(const QByteArray& octets) {
    QList<QByteArray> lignes = octets.split('\n');
    if (lignes.size() < 5 || lignes[0] != kEnTete || !lignes.last().isEmpty()) return {};
    ReleveFilm r;
    // The sound track's line, a film's only, taken out so that the lines after keep their place.
    if (lignes[4].startsWith("son ")) {
        const QList<QByteArray> son = lignes.takeAt(4).split(' ');
        IdentiteFichier s;
        if (son.size() != 3 || !entier(son[1], s.taille) || !entier(son[2], s.dateNs) ||
            s.taille < 0)
            return {};
        r.son = s;
    }
    // The header, four lines, one line per frame, and the empty text after the last newline.
    if (lignes.size() < 6) return {};
    const QList<QByteArray> fichier = lignes[1].split(' ');
    const QList<QByteArray> execution = lignes[2].split(' ');
    const QList<QByteArray> video = lignes[3].split(' ');
    const QList<QByteArray> images = lignes[4].split(' ');
    ReglagesVideo& v = r.reglages;
    qint64 nombre = -1;
    if (fichier.size() != 3 || fichier[0] != "fichier" || !entier(fichier[1], r.fichier.taille) ||
        !entier(fichier[2], r.fichier.dateNs) || execution.size() != 2 ||
        execution[0] != "execution" || !entier(execution[1], r.execution) || video.size() != 9 ||
        video[0] != "video" || !entier32(video[1], v.imagesParSeconde) ||
        !entier32(video[2], v.largeur) || !entier32(video[3], v.hauteur) ||
        !naturel32(video[4], v.codec.fcc) || !naturel32(video[5], v.codec.qualite) ||
        !naturel32(video[6], v.codec.imagesCles) ||
        !naturel32(video[7], v.codec.octetsParSeconde) || !naturel32(video[8], v.codec.drapeaux) ||
        images.size() != 2 || images[0] != "images" || !entier(images[1], nombre) || nombre < 0 ||
        nombre > kImagesMaxJournal || nombre != lignes.size() - 6)
        return {};
    r.images.reserve(static_cast<size_t>(nombre));
    for (qsizetype i = 5; i < lignes.size() - 1; ++i) {
        const QList<QByteArray> mots = lignes[i].split(' ');
        IdentiteFichier image;
        if (mots.size() != 2 || !entier(mots[0], image.taille) || !entier(mots[1], image.dateNs) ||
            image.taille < 0)
            return {};
        r.images.push_back(image);
    }
    return r;
}

void ecrireReleve(const ProjetCourant& p, const QString& nom, ReleveFilm r) {
    r.fichier = identiteFichier(cheminFichier(p, nom));
    if (r.fichier.taille < 0) throw Erreur(QStringLiteral("Le fichier « %1 » a disparu").arg(nom));
    const QString dossier = dossierReleves(p);
    if (!dossierExiste(dossier)) creerDossier(dossier);
    ecrireAtomique(cheminReleve(p, nom), ecrireTexteReleve(r));
    synchroniserDossier(dossier);
}

std::optional<ReleveFilm> lireReleve(const ProjetCourant& p, const QString& nom) {
    const QString chemin = cheminReleve(p, nom);
    QByteArray texte;
    // Far more than the longest film's record: a stray big file is not read.
    if (identiteFichier(chemin).taille > 64 * qint64(kImagesMaxJournal) ||
        !lireFichier(chemin, texte))
        return {};
    std::optional<ReleveFilm> r = lireTexteReleve(texte);
    if (!r || !r->fichier.memeDate(identiteFichier(cheminFichier(p, nom)))) return {};
    return r;
}

void releverMixage(const ProjetCourant& p) {
    try {
        if (std::optional<ReleveFilm> r = lireReleve(p, kNomVideo)) {
            r->son = identiteFichier(cheminFichier(p, kNomSon));
            if (r->son->taille < 0) r->son.reset();
            ecrireReleve(p, kNomFilm, *r);
        } else {
            effacerFichier(cheminReleve(p, kNomFilm));
        }
    } catch (const Erreur&) {
        // Without it the film counts as up to date, as one made by an earlier version.
    }
}

qint32 imagesDifferentes(const std::vector<IdentiteFichier>& avant,
                         const std::vector<IdentiteFichier>& apres) {
    std::unordered_map<CleImage, std::vector<qint32>, HacheImage> places;
    for (size_t i = 0; i < avant.size(); ++i)
        places[{avant[i].taille, avant[i].dateNs}].push_back(static_cast<qint32>(i));

    // The frames of `avant` still in the film, each counted once.
    std::unordered_map<CleImage, size_t, HacheImage> restantes;
    for (const auto& [cle, p] : places)
        restantes[cle] = p.size();
    qint64 gardees = 0;
    for (const IdentiteFichier& i : apres) {
        const auto r = restantes.find({i.taille, i.dateNs});
        if (r != restantes.end() && r->second > 0) {
            --r->second;
            ++gardees;
        }
    }

    // The longest run of frames of `apres` in the order they had in `avant` (Hunt and
    // Szymanski): `fins[k]` is the smallest place in `avant` that ends such a run of k + 1.
    std::vector<qint32> fins;
    qint64 paires = 0;
    for (const IdentiteFichier& i : apres) {
        const auto p = places.find({i.taille, i.dateNs});
        if (p == places.end()) continue;
        paires += static_cast<qint64>(p->second.size());
        if (paires > kPairesMax) {
            // Too many look-alikes: position by position, and the difference in length.
            qint64 n =
                std::abs(static_cast<qint64>(avant.size()) - static_cast<qint64>(apres.size()));
            for (size_t k = 0; k < std::min(avant.size(), apres.size()); ++k)
                n += avant[k].memeDate(apres[k]) ? 0 : 1;
            return static_cast<qint32>(std::min<qint64>(n, kImagesMaxJournal));
        }
        for (auto place = p->second.rbegin(); place != p->second.rend(); ++place) {
            const auto f = std::lower_bound(fins.begin(), fins.end(), *place);
            if (f == fins.end())
                fins.push_back(*place);
            else
                *f = *place;
        }
    }
    const qint64 n = (static_cast<qint64>(apres.size()) - static_cast<qint64>(fins.size())) +
                     (static_cast<qint64>(avant.size()) - gardees);
    return static_cast<qint32>(std::min<qint64>(n, kImagesMaxJournal));
}

QString texteImagesModifiees(qint32 n) {
    return n == 1 ? QStringLiteral("1 image modifiée")
                  : QStringLiteral("%1 images modifiées").arg(n);
}

qint32 imagesModifiees(const ProjetCourant& p, const QString& nom) {
    const std::optional<ReleveFilm> r = lireReleve(p, nom);
    // No frame command since: the film is the one recorded, whatever the disk says of times.
    if (!r || r->execution == prochaineExecution(p)) return 0;
    return imagesDifferentes(r->images, releverFilm(p).images);
}

bool bandeSonChangee(const ProjetCourant& p) {
    const std::optional<ReleveFilm> r = lireReleve(p, kNomFilm);
    if (!r || !r->son) return false;
    const IdentiteFichier son = identiteFichier(cheminFichier(p, kNomSon));
    return son.taille >= 0 && !r->son->memeDate(son);
}

}  // namespace vp
