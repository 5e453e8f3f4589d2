// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ordre.h"

#include <QStringList>
#include <algorithm>

namespace vp::test {

namespace {

// The selection the commands act on: its end brought back within the film.
bool selection(const Film& f, const Commande& c, int& debut, int& fin) {
    debut = c.debut;
    fin = std::min<int>(c.fin, static_cast<int>(f.size()) - 1);
    return c.debut >= 0 && c.fin >= 0 && debut <= fin;
}

}  // namespace

Film filmApres(const Film& avant, const Commande& c) {
    Film f = avant;
    int d = 0, fin = 0;
    if (c.nom == "photo") {
        f.insert(c.courante + 1, c.nouvelle);
    } else if (avant.isEmpty()) {
        return f;
    } else if (c.nom == "doubler") {
        f.insert(c.courante + 1, avant[c.courante]);
    } else if (c.nom == "supprimer") {
        f.removeAt(c.courante);
    } else if (!selection(avant, c, d, fin)) {
        return f;
    } else if (c.nom == "copierSel") {
        if (d <= c.courante && c.courante < fin) return f;
        for (int j = fin; j >= d; --j)
            f.insert(c.courante + 1, avant[j]);
    } else if (c.nom == "inverserSel") {
        std::reverse(f.begin() + d, f.begin() + fin + 1);
    } else if (c.nom == "doublerSel") {
        for (int k = fin; k >= d; --k)
            f.insert(k + 1, avant[k]);
    } else if (c.nom == "supprimerSel") {
        f.remove(d, fin - d + 1);
    }
    return f;
}

bool etatPermis(const Film& avant, const Commande& c, const Film& etat) {
    return memeFilm(etat, avant) || memeFilm(etat, filmApres(avant, c));
}

bool memeFilm(const Film& a, const Film& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

QString texte(const Film& film) {
    QStringList nombres;
    for (int x : film)
        nombres << QString::number(x);
    return nombres.join(QLatin1Char(' '));
}

}  // namespace vp::test
