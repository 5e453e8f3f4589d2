#include "StockImages.h"

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
    // One system call per move where the file system swaps names; links elsewhere.
    const QString source = cheminImage(p, a);
    const QString destination = cheminImage(p, b);
    if (!echangerSiPossible(source, destination)) lierAtomique(source, destination);
}

void effacerImage(const ProjetCourant& p, qint32 i) {
    effacerFichier(cheminImage(p, i));
}

void ouvrirEspace(const ProjetCourant& p, qint32 position, qint32 n,
                  const Avancement& apresChaque) {
    const qint32 dernier = p.nbImages - 1;
    if (position >= dernier) return;
    // The n new slots past the end first get their frames as new names (or, when the gap is
    // wider than the frames that move, a name of the last frame as a stand-in), in order, so
    // that no hole ever opens; then the other frames move up by n, highest first.
    for (qint32 s = p.nbImages; s < p.nbImages + n; ++s) {
        const bool saPlace = s - n > position;
        ajouterNom(cheminImage(p, saPlace ? s - n : dernier), cheminImage(p, s));
        if (saPlace && apresChaque) apresChaque();
    }
    for (qint32 k = dernier - n; k > position; --k) {
        deplacerImage(p, k, k + n);
        if (apresChaque) apresChaque();
    }
}

void prolongerFilm(const ProjetCourant& p, qint32 n) {
    for (qint32 s = p.nbImages; s < p.nbImages + n; ++s)
        ajouterNom(cheminImage(p, p.nbImages - 1), cheminImage(p, s));
}

void fermerEspace(const ProjetCourant& p, qint32 q, qint32 n) {
    for (qint32 k = q; k < p.nbImages; ++k)
        deplacerImage(p, k, k - n);
    for (qint32 d = 1; d <= n; ++d)
        effacerImage(p, p.nbImages - d);
}

void insererImage(ProjetCourant& p, VueSequence& vue, const EcrivainImage& ecrivain) {
    ouvrirEspace(p, p.imageCourante, 1);
    const qint32 nouvelle = p.imageCourante + 1;
    try {
        ecrivain(cheminImage(p, nouvelle));
    } catch (...) {
        // Frames after the gap move back down over the stale copy left in the new slot.
        if (nouvelle < p.nbImages) {
            ProjetCourant ouvert = p;
            ouvert.nbImages = p.nbImages + 1;
            try {
                fermerEspace(ouvert, nouvelle + 1, 1);
            } catch (...) {
                // The writer's error is the one to report; at worst a frame stays doubled.
            }
        }
        throw;
    }
    p.nbImages += 1;
    p.imageCourante = nouvelle;
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
