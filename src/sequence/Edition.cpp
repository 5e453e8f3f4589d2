#include "Edition.h"

#include <QApplication>

#include "platform/Curseur.h"
#include "platform/Dialogues.h"
#include "platform/FichiersSurs.h"

namespace vp {

namespace {

bool filmPret(const ProjetCourant& p) {
    return verifierProjet(p) && p.nbImages > 0;
}

// Brings the selection within 0 .. nbImages-1; false when there is none left.
bool selectionPrete(ProjetCourant& p, VueSequence& vue) {
    if (!p.selectionExiste()) return false;
    if (p.selFin < p.nbImages) return true;
    p.selFin = p.nbImages - 1;
    if (p.selDebut > p.selFin) {
        p.selDebut = p.selFin = -1;
        vue.rafraichirBande();
        return false;
    }
    return true;
}

template <typename Travail>
void avecReprise(ProjetCourant& p, VueSequence& vue, Travail&& travail) {
    CurseurOccupe curseur;
    try {
        travail();
    } catch (...) {
        resynchroniser(p);
        try {
            vue.rafraichirBande();
        } catch (...) {
            // The first error is the one the user needs to see.
        }
        throw;
    }
}

}  // namespace

void dupliquerImageCourante(ProjetCourant& p, VueSequence& vue) {
    if (!filmPret(p)) return;
    avecReprise(p, vue, [&] {
        const QString source = cheminImage(p, p.imageCourante);
        insererImage(p, vue, [&](const QString& chemin) { copierAtomique(source, chemin); });
    });
}

void supprimerImageCourante(ProjetCourant& p, VueSequence& vue) {
    if (!filmPret(p)) return;
    avecReprise(p, vue, [&] {
        fermerEspace(p, p.imageCourante + 1, 1);
        p.nbImages -= 1;
        if (p.imageCourante >= p.nbImages) p.imageCourante = p.nbImages - 1;
        vue.rafraichirBande();
    });
}

void copierSelection(ProjetCourant& p, VueSequence& vue) {
    if (!filmPret(p) || !selectionPrete(p, vue)) return;
    if (p.selDebut <= p.imageCourante && p.imageCourante < p.selFin) {
        dialogues().message(QApplication::activeWindow(), kMessageCopieSurElleMeme, Icone::Aucune);
        return;
    }
    avecReprise(p, vue, [&] {
        const qint32 longueur = p.selFin - p.selDebut + 1;
        Progression progression(vue, (p.nbImages - 1 - p.imageCourante) + longueur);
        ouvrirEspace(p, p.imageCourante, longueur, [&] { progression.avancer(); });
        qint32 debut = p.selDebut;
        if (p.imageCourante < debut) debut += longueur;  // the selected frames moved up
        for (qint32 j = 0; j < longueur; ++j) {
            copierImage(p, debut + j, p.imageCourante + 1 + j);
            progression.avancer();
        }
        progression.completer();
        p.nbImages += longueur;
        p.selDebut = p.imageCourante + 1;
        p.selFin = p.imageCourante + longueur;
        vue.rafraichirBande();
    });
}

void inverserSelection(ProjetCourant& p, VueSequence& vue) {
    if (!filmPret(p) || !selectionPrete(p, vue)) return;
    if (p.selDebut == p.selFin) return;
    avecReprise(p, vue, [&] {
        Progression progression(vue, (p.selFin - p.selDebut + 1) / 2);
        for (qint32 i = p.selDebut, j = p.selFin; j > i; ++i, --j) {
            echangerAtomique(cheminImage(p, i), cheminImage(p, j));
            progression.avancer();
        }
        progression.completer();
        vue.rafraichirBande();
    });
}

void doublerSelection(ProjetCourant& p, VueSequence& vue) {
    if (!filmPret(p) || !selectionPrete(p, vue)) return;
    avecReprise(p, vue, [&] {
        const qint32 debut = p.selDebut;
        const qint32 fin = p.selFin;
        const qint32 longueur = fin - debut + 1;
        Progression progression(vue, longueur);
        // The frames after the selection move up once by its length; then each selected frame
        // k, from the last down, goes to 2k - debut and its copy right after it. Every slot
        // written lies at or above the frames still to be handled, so none is lost on the way.
        if (fin < p.nbImages - 1)
            ouvrirEspace(p, fin, longueur);
        else
            prolongerFilm(p, longueur);  // nothing after the selection: the new slots exist first
        for (qint32 k = fin; k >= debut; --k) {
            const qint32 place = 2 * k - debut;
            copierImage(p, k, place + 1);
            if (place != k) deplacerImage(p, k, place);
            progression.avancer();
        }
        progression.completer();
        p.nbImages += longueur;
        p.selFin = 2 * fin - debut + 1;
        vue.rafraichirBande();
    });
}

void supprimerSelection(ProjetCourant& p, VueSequence& vue) {
    if (!filmPret(p) || !selectionPrete(p, vue)) return;
    avecReprise(p, vue, [&] {
        const qint32 longueur = p.selFin - p.selDebut + 1;
        fermerEspace(p, p.selFin + 1, longueur);
        p.nbImages -= longueur;
        p.imageCourante = p.nbImages == 0 ? -1 : std::max(p.selDebut - 1, 0);
        p.selDebut = -1;
        p.selFin = -1;
        vue.rafraichirBande();
    });
}

}  // namespace vp
