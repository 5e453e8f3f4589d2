// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journal.h"

#include <QList>
#include <algorithm>
#include <cstdio>
#include <iterator>

namespace vp {

namespace {

qint32 longueur(const Etape& e) {
    return e.fin - e.debut + 1;
}

Mouvement vers(qint32 source, qint32 destination) {
    return {source, destination};
}

qint32 conserve(qint32 k) {
    return -1 - k;
}

// The moves of the step done, phase by phase.
std::vector<Phase> planFaire(const Etape& e) {
    const qint32 n = e.avant.nbImages;
    std::vector<Phase> phases(1);
    Phase& m = phases[0];
    switch (e.type) {
        case TypeCommande::Photo:
        case TypeCommande::CopieImage:
            m.reserve(static_cast<size_t>(n - e.position));
            for (qint32 i = n - 1; i > e.position; --i)
                m.push_back(vers(i, i + 1));
            m.push_back(vers(conserve(0), e.position + 1));
            break;
        case TypeCommande::SuppressionImage:
        case TypeCommande::SuppressionSelection: {
            const qint32 l = longueur(e);
            m.reserve(static_cast<size_t>(n - e.debut));
            for (qint32 j = 0; j < l; ++j)
                m.push_back(vers(e.debut + j, conserve(j)));
            for (qint32 i = e.fin + 1; i < n; ++i)
                m.push_back(vers(i, i - l));
            break;
        }
        case TypeCommande::CopieSelection: {
            const qint32 l = longueur(e);
            m.reserve(static_cast<size_t>(n - 1 - e.position + l));
            for (qint32 i = n - 1; i > e.position; --i)
                m.push_back(vers(i, i + l));
            for (qint32 j = 0; j < l; ++j)
                m.push_back(vers(conserve(j), e.position + 1 + j));
            break;
        }
        case TypeCommande::InversionSelection: {
            // No free name to swap into: the frames wait in the history folder, then come back
            // in the other order.
            const qint32 l = longueur(e);
            phases.resize(2);
            phases[0].reserve(static_cast<size_t>(l));
            phases[1].reserve(static_cast<size_t>(l));
            for (qint32 j = 0; j < l; ++j) {
                phases[0].push_back(vers(e.debut + j, conserve(j)));
                phases[1].push_back(vers(conserve(j), e.fin - j));
            }
            break;
        }
        case TypeCommande::DuplicationSelection: {
            // The frames after the selection move up by its length, each frame of it to twice
            // its rank (the highest first: its slot was freed before), and each copy after it.
            const qint32 l = longueur(e);
            m.reserve(static_cast<size_t>(n - e.fin - 1 + 2 * l));
            for (qint32 i = n - 1; i > e.fin; --i)
                m.push_back(vers(i, i + l));
            for (qint32 k = l - 1; k >= 1; --k)
                m.push_back(vers(e.debut + k, e.debut + 2 * k));
            for (qint32 j = 0; j < l; ++j)
                m.push_back(vers(conserve(j), e.debut + 2 * j + 1));
            break;
        }
    }
    return phases;
}

bool entier(const QByteArray& mot, qint64& valeur) {
    if (mot.isEmpty() || mot.size() > 19) return false;
    bool ok = false;
    valeur = mot.toLongLong(&ok);
    // Only the journal's own way of writing a number ("-1", never "-0", "+1" or "01").
    return ok && QByteArray::number(valeur) == mot;
}

bool entier32(const QByteArray& mot, qint32& valeur) {
    qint64 v = 0;
    if (!entier(mot, v) || v < -1 || v > 2 * static_cast<qint64>(kImagesMaxJournal)) return false;
    valeur = static_cast<qint32>(v);
    return true;
}

bool etatValide(const EtatFilm& f) {
    const auto indexOuAucun = [](qint32 i) { return i >= -1; };
    return f.nbImages >= 0 && f.nbImages <= kImagesMaxJournal && f.imageCourante >= -1 &&
           f.imageCourante < f.nbImages && indexOuAucun(f.selDebut) && indexOuAucun(f.selFin);
}

bool etapeValide(const Etape& e) {
    if (e.id < 1 || e.octets < 0 || !etatValide(e.avant) || !etatValide(e.apres)) return false;
    const qint32 n = e.avant.nbImages;
    const bool selection = 0 <= e.debut && e.debut <= e.fin && e.fin < n;
    const qint32 l = selection ? longueur(e) : 0;
    switch (e.type) {
        case TypeCommande::Photo:
            return -1 <= e.position && e.position < n && e.apres.nbImages == n + 1;
        case TypeCommande::CopieImage:
            return 0 <= e.position && e.position < n && e.apres.nbImages == n + 1;
        case TypeCommande::SuppressionImage:
            return selection && l == 1 && e.apres.nbImages == n - 1;
        case TypeCommande::CopieSelection:
            return selection && -1 <= e.position && e.position < n && e.apres.nbImages == n + l;
        case TypeCommande::InversionSelection:
            return selection && l >= 2 && e.apres.nbImages == n;
        case TypeCommande::DuplicationSelection:
            return selection && e.apres.nbImages == n + l;
        case TypeCommande::SuppressionSelection:
            return selection && e.apres.nbImages == n - l;
    }
    return false;
}

const char* const kTypes[] = {"photo",     "copie-image", "suppression-image",    "copie-selection",
                              "inversion", "duplication", "suppression-selection"};

QByteArray etat(const EtatFilm& f) {
    return QByteArray::number(f.nbImages) + ' ' + QByteArray::number(f.imageCourante) + ' ' +
           QByteArray::number(f.selDebut) + ' ' + QByteArray::number(f.selFin);
}

bool lireEtat(const QList<QByteArray>& mots, qsizetype debut, EtatFilm& f) {
    return entier32(mots[debut], f.nbImages) && entier32(mots[debut + 1], f.imageCourante) &&
           entier32(mots[debut + 2], f.selDebut) && entier32(mots[debut + 3], f.selFin);
}

QString images(qint32 n) {
    return n == 1 ? QStringLiteral("d'une image") : QStringLiteral("de %1 images").arg(n);
}

}  // namespace

qint32 Etape::nouvelles() const {
    switch (type) {
        case TypeCommande::Photo:
        case TypeCommande::CopieImage:
            return 1;
        case TypeCommande::CopieSelection:
        case TypeCommande::DuplicationSelection:
            return longueur(*this);
        default:
            return 0;
    }
}

qint32 Etape::retirees() const {
    return type == TypeCommande::SuppressionImage || type == TypeCommande::SuppressionSelection
               ? longueur(*this)
               : 0;
}

std::vector<Phase> planDe(const Etape& e, bool defaire) {
    std::vector<Phase> phases = planFaire(e);
    if (!defaire) return phases;
    // Each move undone from the last: the state before each one is the state after it.
    std::vector<Phase> inverse(phases.rbegin(), phases.rend());
    for (Phase& phase : inverse) {
        std::reverse(phase.begin(), phase.end());
        for (Mouvement& m : phase)
            std::swap(m.source, m.destination);
    }
    return inverse;
}

QByteArray nomConserve(qint64 id, qint32 k) {
    char nom[96];
    std::snprintf(nom, sizeof nom, "%s/e%lld_%d.bmp", kDossierHistorique,
                  static_cast<long long>(id), k);
    return QByteArray(nom);
}

QByteArray nomFichierImage(qint32 i) {
    char nom[32];
    std::snprintf(nom, sizeof nom, "image_%05d.bmp", i);
    return QByteArray(nom);
}

QByteArray nomDeplacement(const Etape& e, qint32 numero) {
    return numero < 0 ? nomConserve(e.id, -1 - numero) : nomFichierImage(numero);
}

QString libelle(const Etape& e) {
    switch (e.type) {
        case TypeCommande::Photo:
            return QStringLiteral("Photo");
        case TypeCommande::CopieImage:
            return QStringLiteral("Copie de l'image");
        case TypeCommande::SuppressionImage:
            return QStringLiteral("Suppression de l'image");
        case TypeCommande::CopieSelection:
            return QStringLiteral("Copie ") + images(longueur(e));
        case TypeCommande::InversionSelection:
            return QStringLiteral("Inversion ") + images(longueur(e));
        case TypeCommande::DuplicationSelection:
            return QStringLiteral("Duplication ") + images(longueur(e));
        case TypeCommande::SuppressionSelection:
            return QStringLiteral("Suppression ") + images(longueur(e));
    }
    return {};
}

const Etape* Journal::etape(qint64 id) const {
    for (const Etape& e : etapes)
        if (e.id == id) return &e;
    return nullptr;
}

QByteArray ecrireJournal(const Journal& j) {
    QByteArray t = "VOLTIPLUME historique 1\n";
    t += "suivant " + QByteArray::number(j.suivant) + ' ' + QByteArray::number(j.execution) + '\n';
    if (j.enCours)
        t += "operation " + QByteArray::number(j.enCours->execution) + ' ' +
             QByteArray::number(j.enCours->etape) +
             (j.enCours->defaire ? " defaire\n" : " faire\n");
    else
        t += "operation -\n";
    for (const Etape& e : j.etapes)
        t += "etape " + QByteArray::number(e.id) + (e.faite ? " faite " : " annulee ") +
             kTypes[static_cast<int>(e.type)] + ' ' + QByteArray::number(e.position) + ' ' +
             QByteArray::number(e.debut) + ' ' + QByteArray::number(e.fin) + ' ' +
             QByteArray::number(e.octets) + ' ' + etat(e.avant) + ' ' + etat(e.apres) + '\n';
    return t;
}

std::optional<Journal> lireJournal(const QByteArray& octets) {
    const QList<QByteArray> lignes = octets.split('\n');
    if (lignes.size() < 4 || lignes[0] != "VOLTIPLUME historique 1" || !lignes.last().isEmpty())
        return std::nullopt;
    Journal j;
    const QList<QByteArray> suivant = lignes[1].split(' ');
    if (suivant.size() != 3 || suivant[0] != "suivant" || !entier(suivant[1], j.suivant) ||
        !entier(suivant[2], j.execution) || j.suivant < 1 || j.execution < 1)
        return std::nullopt;
    const QList<QByteArray> operation = lignes[2].split(' ');
    if (operation.size() == 2 && operation[0] == "operation" && operation[1] == "-") {
        j.enCours.reset();
    } else {
        Journal::Operation o;
        if (operation.size() != 4 || operation[0] != "operation" ||
            !entier(operation[1], o.execution) || !entier(operation[2], o.etape) ||
            (operation[3] != "faire" && operation[3] != "defaire") || o.execution < 1 ||
            o.execution >= j.execution)
            return std::nullopt;
        o.defaire = operation[3] == "defaire";
        j.enCours = o;
    }
    bool annuleeVue = false;
    for (qsizetype l = 3; l < lignes.size() - 1; ++l) {
        const QList<QByteArray> mots = lignes[l].split(' ');
        if (mots.size() != 16 || mots[0] != "etape") return std::nullopt;
        Etape e;
        if (!entier(mots[1], e.id) || (mots[2] != "faite" && mots[2] != "annulee"))
            return std::nullopt;
        e.faite = mots[2] == "faite";
        int type = -1;
        for (int t = 0; t < static_cast<int>(std::size(kTypes)); ++t)
            if (mots[3] == kTypes[t]) type = t;
        if (type < 0) return std::nullopt;
        e.type = static_cast<TypeCommande>(type);
        if (!entier32(mots[4], e.position) || !entier32(mots[5], e.debut) ||
            !entier32(mots[6], e.fin) || !entier(mots[7], e.octets) ||
            !lireEtat(mots, 8, e.avant) || !lireEtat(mots, 12, e.apres) || !etapeValide(e) ||
            e.id >= j.suivant)
            return std::nullopt;
        // Done steps first, then the undone ones; ids rise; each step starts from the film the
        // one before it left.
        if (e.faite && annuleeVue) return std::nullopt;
        annuleeVue = annuleeVue || !e.faite;
        if (!j.etapes.empty() &&
            (e.id <= j.etapes.back().id || e.avant.nbImages != j.etapes.back().apres.nbImages))
            return std::nullopt;
        j.etapes.push_back(e);
    }
    if (j.enCours) {
        const Etape* e = j.etape(j.enCours->etape);
        if (!e || e->faite == j.enCours->defaire) return std::nullopt;
    }
    return j;
}

}  // namespace vp
