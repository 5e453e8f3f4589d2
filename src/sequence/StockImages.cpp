#include "StockImages.h"

#include <cstdio>

#include "platform/Chemins.h"
#include "platform/FichiersSurs.h"

namespace vp {

QString nomImage(qint32 i) {
    return QStringLiteral("image_%1.bmp").arg(QString::number(i), 5, QLatin1Char('0'));
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

void copierImage(const ProjetCourant& p, qint32 a, qint32 b) {
    copierAtomique(cheminImage(p, a), cheminImage(p, b));
}

void deplacerImage(const ProjetCourant& p, qint32 a, qint32 b) {
    lierAtomique(cheminImage(p, a), cheminImage(p, b));
}

void effacerImage(const ProjetCourant& p, qint32 i) {
    effacerFichier(cheminImage(p, i));
}

namespace {

// The moves of one command in the project folder, by the frames' bare names.
class Deplacements {
public:
    explicit Deplacements(const ProjetCourant& p) : dossier_(p.dossierProjet()) {}
    void deplacer(qint32 a, qint32 b) {
        char source[32], destination[32];
        std::snprintf(source, sizeof source, "image_%05d.bmp", a);
        std::snprintf(destination, sizeof destination, "image_%05d.bmp", b);
        dossier_.lier(source, destination);
    }

private:
    DossierOuvert dossier_;
};

// Frame i leaves a film of nb frames: each later frame takes the slot below it, lowest first,
// so that only the frame just moved shows twice; then the last name goes.
void retirer(const ProjetCourant& p, qint32 i, qint32 nb, const Avancement& apresChaque = {}) {
    if (i + 1 < nb) {
        Deplacements d(p);
        for (qint32 k = i + 1; k < nb; ++k) {
            d.deplacer(k, k - 1);
            if (apresChaque) apresChaque();
        }
    }
    effacerImage(p, nb - 1);
}

}  // namespace

void ouvrirEspace(const ProjetCourant& p, qint32 position, const Avancement& apresChaque) {
    const qint32 nb = p.nbImages;
    if (position >= nb - 1) return;
    // The last frame gets a new name past the end first, so that no hole ever opens; that
    // name is on disk before any frame moves into the slot it frees.
    ajouterNom(cheminImage(p, nb - 1), cheminImage(p, nb));
    qint32 doublon = nb - 1;  // slots doublon and doublon + 1 name the same frame
    try {
        synchroniserDossier(p.dossierProjet());
        if (apresChaque) apresChaque();
        Deplacements d(p);
        for (qint32 k = nb - 2; k > position; --k) {
            d.deplacer(k, k + 1);
            doublon = k;
            if (apresChaque) apresChaque();
        }
    } catch (...) {
        try {
            retirer(p, doublon, nb + 1);
        } catch (...) {
            // The first error is the one to report; at worst a frame stays doubled.
        }
        throw;
    }
}

void fermerEspace(const ProjetCourant& p, qint32 q, qint32 n, const Avancement& apresChaque) {
    for (qint32 d = 0; d < n; ++d)
        retirer(p, q - 1 - d, p.nbImages - d, apresChaque);
}

ImagesPreparees::~ImagesPreparees() {
    for (const QString& nom : noms_) {
        try {
            effacerFichier(nom);  // inserted ones no longer have this name
        } catch (...) {
        }
    }
}

QString ImagesPreparees::nouvelle() {
    noms_ << nomTemporaire(cheminImage(p_, 0));
    return noms_.last();
}

void ImagesPreparees::inserer(qint32 j, qint32 position, qint32 dejaInserees,
                              const Avancement& apresChaque) {
    ProjetCourant film = p_;
    film.nbImages = p_.nbImages + dejaInserees;
    ouvrirEspace(film, position, apresChaque);
    try {
        renommer(noms_[j], cheminImage(film, position + 1));
    } catch (...) {
        if (position + 1 < film.nbImages) {
            try {
                retirer(film, position + 1, film.nbImages + 1);  // the second name goes
            } catch (...) {
                // The first error is the one to report; at worst a frame stays doubled.
            }
        }
        throw;
    }
}

void insererImage(ProjetCourant& p, VueSequence& vue, const EcrivainImage& ecrivain) {
    ImagesPreparees preparees(p);
    ecrivain(preparees.nouvelle());
    preparees.inserer(0, p.imageCourante, 0);
    // The record follows the disk even when the flush fails: a count left one short would let
    // the next picture replace this one. The strip shows the picture once it is durable.
    p.nbImages += 1;
    p.imageCourante += 1;
    try {
        synchroniserDossier(p.dossierProjet());
    } catch (...) {
        vue.rafraichirBande();
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
