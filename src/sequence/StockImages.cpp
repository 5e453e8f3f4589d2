// SPDX-License-Identifier: GPL-3.0-or-later
#include "StockImages.h"

#include "platform/Chemins.h"

namespace vp {

QString nomImage(qint32 i) {
    return QString::fromLatin1(nomFichierImage(i));
}

QString cheminImage(const ProjetCourant& p, qint32 i) {
    return p.dossierProjet() + QLatin1Char('/') + nomImage(i);
}

qint32 compterImages(const ProjetCourant& p) {
    qint32 i = 0;
    while (fichierExiste(cheminImage(p, i)))
        ++i;
    return i;
}

Historique& historiqueDe(ProjetCourant& p) {
    if (!p.historique || p.historique->dossierProjet() != p.dossierProjet()) {
        p.historique = std::make_shared<Historique>(p.dossierProjet());
        p.historique->ouvrir();
    }
    return *p.historique;
}

EtatFilm etatDe(const ProjetCourant& p) {
    return {p.nbImages, p.imageCourante, p.selDebut, p.selFin};
}

void appliquerEtat(ProjetCourant& p, const EtatFilm& f) {
    p.nbImages = f.nbImages;
    p.imageCourante = f.imageCourante;
    p.selDebut = f.selDebut;
    p.selFin = f.selFin;
}

void insererImage(ProjetCourant& p, VueSequence& vue, const EcrivainImage& ecrivain) {
    Etape e;
    e.type = TypeCommande::Photo;
    e.position = p.imageCourante;
    e.avant = etatDe(p);
    e.apres = e.avant;
    e.apres.nbImages += 1;
    e.apres.imageCourante += 1;
    bool enPlace = false;
    try {
        historiqueDe(p).executer(
            e, [&](qint32, const QString& chemin) { ecrivain(chemin); }, {},
            [&](const EtatFilm& f) {
                // The record follows the disk even when the final flush fails: a count left one
                // short would let the next picture replace this one.
                appliquerEtat(p, f);
                enPlace = true;
            });
    } catch (...) {
        // As after the editing commands, the record follows the disk: a picture refused
        // because the film changed behind it must not leave it behind for the next one. (Not
        // while a failed run waits to be taken up: the disk is half moved then, and the take-up
        // gives the record its film.)
        if (!enPlace && p.historique && !p.historique->repriseEnAttente() &&
            compterImages(p) != p.nbImages) {
            resynchroniser(p);
            enPlace = true;
        }
        if (enPlace) vue.rafraichirBande();
        throw;
    }
    vue.rafraichirBande();
}

void resynchroniser(ProjetCourant& p) {
    p.nbImages = compterImages(p);
    if (p.imageCourante >= p.nbImages) p.imageCourante = p.nbImages - 1;
    if (p.imageCourante < 0 && p.nbImages > 0) p.imageCourante = 0;
    if (p.selFin >= p.nbImages) p.selFin = p.nbImages - 1;
    if (p.selDebut > p.selFin || p.selDebut < 0 || p.selFin < 0) p.selDebut = p.selFin = -1;
}

}  // namespace vp
