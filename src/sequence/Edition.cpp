// SPDX-License-Identifier: GPL-3.0-or-later
#include "Edition.h"

#include <QApplication>
#include <optional>

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

// Runs the command `e` as a step of the project's history, with a progress bar of `maximum`
// steps spread over its work (none when 0), then refreshes the strip.
void executerEtape(ProjetCourant& p, VueSequence& vue, const Etape& e,
                   const Historique::EcrivainNouvelle& ecrire, int maximum) {
    std::optional<Progression> progression;
    std::optional<ProgressionEtalee> pas;
    if (maximum > 0) {
        progression.emplace(vue, maximum);
        pas.emplace(*progression, maximum, Historique::travail(e));
    }
    historiqueDe(p).executer(e, ecrire,
                             pas ? Historique::Pas([&] { (*pas)(); }) : Historique::Pas(),
                             [&](const EtatFilm& f) { appliquerEtat(p, f); });
    if (progression) progression->completer();
    vue.rafraichirBande();
}

Etape etape(const ProjetCourant& p, TypeCommande type) {
    Etape e;
    e.type = type;
    e.avant = etatDe(p);
    e.apres = e.avant;
    return e;
}

Historique::EcrivainNouvelle copiesDe(const ProjetCourant& p, qint32 premiere) {
    return [&p, premiere](qint32 k, const QString& chemin) {
        copierAtomique(cheminImage(p, premiere + k), chemin);
    };
}

QString rejouer(ProjetCourant& p, VueSequence& vue, bool defaire) {
    if (!verifierProjet(p)) return {};
    Historique& h = historiqueDe(p);
    if (defaire ? !h.peutAnnuler() : !h.peutRetablir()) return {};
    QString texte;
    avecReprise(p, vue, [&] {
        const Etape& suivante = defaire ? h.aAnnuler() : h.aRetablir();
        constexpr int kPas = 100;
        Progression progression(vue, kPas);
        ProgressionEtalee pas(progression, kPas, Historique::travail(suivante));
        const auto appliquer = [&](const EtatFilm& f) { appliquerEtat(p, f); };
        const Etape e =
            defaire ? h.annuler([&] { pas(); }, appliquer) : h.retablir([&] { pas(); }, appliquer);
        progression.completer();
        texte = libelle(e) + (defaire ? QStringLiteral(" annulée.") : QStringLiteral(" rétablie."));
        vue.rafraichirBande();
    });
    return texte;
}

}  // namespace

void dupliquerImageCourante(ProjetCourant& p, VueSequence& vue) {
    if (!filmPret(p)) return;
    avecReprise(p, vue, [&] {
        Etape e = etape(p, TypeCommande::CopieImage);
        e.position = p.imageCourante;
        e.apres.nbImages += 1;
        e.apres.imageCourante += 1;
        executerEtape(p, vue, e, copiesDe(p, p.imageCourante), 0);
    });
}

void supprimerImageCourante(ProjetCourant& p, VueSequence& vue) {
    if (!filmPret(p)) return;
    avecReprise(p, vue, [&] {
        Etape e = etape(p, TypeCommande::SuppressionImage);
        e.debut = e.fin = p.imageCourante;
        e.apres.nbImages -= 1;
        e.apres.imageCourante = std::min(p.imageCourante, e.apres.nbImages - 1);
        executerEtape(p, vue, e, {}, 0);
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
        Etape e = etape(p, TypeCommande::CopieSelection);
        e.position = p.imageCourante;
        e.debut = p.selDebut;
        e.fin = p.selFin;
        e.apres.nbImages += longueur;
        e.apres.selDebut = p.imageCourante + 1;
        e.apres.selFin = p.imageCourante + longueur;
        // One step of the bar per frame after the current one and per copy.
        executerEtape(p, vue, e, copiesDe(p, p.selDebut),
                      (p.nbImages - 1 - p.imageCourante) + longueur);
    });
}

void inverserSelection(ProjetCourant& p, VueSequence& vue) {
    if (!filmPret(p) || !selectionPrete(p, vue)) return;
    if (p.selDebut == p.selFin) return;
    avecReprise(p, vue, [&] {
        Etape e = etape(p, TypeCommande::InversionSelection);
        e.debut = p.selDebut;
        e.fin = p.selFin;
        executerEtape(p, vue, e, {}, (p.selFin - p.selDebut + 1) / 2);
    });
}

void doublerSelection(ProjetCourant& p, VueSequence& vue) {
    if (!filmPret(p) || !selectionPrete(p, vue)) return;
    avecReprise(p, vue, [&] {
        const qint32 longueur = p.selFin - p.selDebut + 1;
        Etape e = etape(p, TypeCommande::DuplicationSelection);
        e.debut = p.selDebut;
        e.fin = p.selFin;
        e.apres.nbImages += longueur;
        e.apres.selFin = 2 * p.selFin - p.selDebut + 1;
        executerEtape(p, vue, e, copiesDe(p, p.selDebut), longueur);
    });
}

void supprimerSelection(ProjetCourant& p, VueSequence& vue) {
    if (!filmPret(p) || !selectionPrete(p, vue)) return;
    avecReprise(p, vue, [&] {
        const qint32 longueur = p.selFin - p.selDebut + 1;
        Etape e = etape(p, TypeCommande::SuppressionSelection);
        e.debut = p.selDebut;
        e.fin = p.selFin;
        e.apres.nbImages -= longueur;
        e.apres.imageCourante = e.apres.nbImages == 0 ? -1 : std::max(p.selDebut - 1, 0);
        e.apres.selDebut = -1;
        e.apres.selFin = -1;
        executerEtape(p, vue, e, {}, 0);
    });
}

QString annulerCommande(ProjetCourant& p, VueSequence& vue) {
    return rejouer(p, vue, true);
}

QString retablirCommande(ProjetCourant& p, VueSequence& vue) {
    return rejouer(p, vue, false);
}

}  // namespace vp
