// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a kill or a power cut during a frame command may leave, once the project is opened again:
// the film before it or the film after it, frame for frame. Films are lists of frame numbers.

#include <QList>
#include <QString>

namespace vp::test {

using Film = QList<int>;

// A frame command as the crash test's child journals it.
struct Commande {
    QString nom;  // photo, doubler, supprimer, copierSel, inverserSel, doublerSel, supprimerSel
    int courante = -1, debut = -1, fin = -1;
    int nouvelle = 0;  // the number of the frame a picture adds
};

// The film `avant` becomes through `c`.
Film filmApres(const Film& avant, const Commande& c);

// True when a kill during `c`, run on `avant`, may leave `etat` (once opened).
bool etatPermis(const Film& avant, const Commande& c, const Film& etat);

QString texte(const Film& film);

// The same frames in the same order (QList's own == trips the sanitizer on two empty lists).
bool memeFilm(const Film& a, const Film& b);

}  // namespace vp::test
