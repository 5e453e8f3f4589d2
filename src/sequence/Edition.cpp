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
    const auto [debut, fin] = p.selectionUtile();
    if (debut < 0) {
        p.selDebut = p.selFin = -1;
        vue.rafraichirBande();
        return false;
    }
    p.selFin = fin;
    return true;
}

// Advances a bar of `maximum` steps evenly over `travail` units of work, one per call.
class ProgressionEtalee {
public:
    ProgressionEtalee(Progression& progression, qint64 maximum, qint64 travail)
        : progression_(progression), maximum_(maximum), travail_(std::max<qint64>(travail, 1)) {}
    void operator()() {
        ++fait_;
        while (pas_ < maximum_ && (pas_ + 1) * travail_ <= fait_ * maximum_) {
            ++pas_;
            progression_.avancer();
        }
    }

private:
    Progression& progression_;
    qint64 maximum_, travail_, fait_ = 0, pas_ = 0;
};

// Inserts the n prepared frames in order, frame j after position(j) of the film as it then
// stands. When one fails, those already inserted are taken out again, the highest first.
template <typename Position>
void insererTout(const ProjetCourant& p, ImagesPreparees& preparees, qint32 n, Position&& position,
                 ProgressionEtalee& pas) {
    qint32 j = 0;
    try {
        for (; j < n; ++j)
            preparees.inserer(j, position(j), j, [&] { pas(); });
    } catch (...) {
        ProjetCourant film = p;
        for (film.nbImages = p.nbImages + j; j > 0; --film.nbImages) {
            --j;
            try {
                fermerEspace(film, position(j) + 2, 1);
            } catch (...) {
                break;  // the first error is the one to report; the film stays in order
            }
        }
        throw;
    }
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
        synchroniserDossier(p.dossierProjet());
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
        const qint32 courante = p.imageCourante;
        const qint32 longueur = p.selFin - p.selDebut + 1;
        const qint32 apres = p.nbImages - 1 - courante;
        Progression progression(vue, apres + longueur);
        // The bar shows the copies and the moves of the frames after the current one, which
        // make room for the copies one slot at a time.
        ProgressionEtalee pas(progression, apres + longueur,
                              longueur + static_cast<qint64>(longueur) * apres);
        ImagesPreparees copies(p);
        for (qint32 j = 0; j < longueur; ++j) {
            copierAtomique(cheminImage(p, p.selDebut + j), copies.nouvelle());
            pas();
        }
        insererTout(
            p, copies, longueur, [&](qint32 j) { return courante + j; }, pas);
        synchroniserDossier(p.dossierProjet());
        progression.completer();
        p.nbImages += longueur;
        p.selDebut = courante + 1;
        p.selFin = courante + longueur;
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
        synchroniserDossier(p.dossierProjet());
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
        // Each copy goes right after its frame, from the first frame of the selection up: the
        // frames after it move up one slot each time.
        qint64 deplacements = 0;
        for (qint32 j = 0; j < longueur; ++j)
            deplacements += p.nbImages - 1 - (debut + j);
        ProgressionEtalee pas(progression, longueur, longueur + deplacements);
        ImagesPreparees copies(p);
        for (qint32 j = 0; j < longueur; ++j) {
            copierAtomique(cheminImage(p, debut + j), copies.nouvelle());
            pas();
        }
        // Frame debut + j stands at debut + 2j once the j frames before it are doubled.
        insererTout(
            p, copies, longueur, [&](qint32 j) { return debut + 2 * j; }, pas);
        synchroniserDossier(p.dossierProjet());
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
        synchroniserDossier(p.dossierProjet());
        p.nbImages -= longueur;
        p.imageCourante = p.nbImages == 0 ? -1 : std::max(p.selDebut - 1, 0);
        p.selDebut = -1;
        p.selFin = -1;
        vue.rafraichirBande();
    });
}

}  // namespace vp
