// SPDX-License-Identifier: GPL-3.0-or-later
// What the video and the film know of the film they show: the frames changed since, counted as
// a teacher would count the edits, and a record that is not about the file on disk ignored.

#include <gtest/gtest.h>
#include <QFile>

#include "commun/Outils.h"
#include "sequence/Fraicheur.h"
#include "sequence/Journal.h"

using namespace vp;

namespace {

// A film as frames identified by letters: same letter, same file.
std::vector<IdentiteFichier> film(const QString& lettres) {
    std::vector<IdentiteFichier> f;
    for (QChar c : lettres)
        f.push_back({921654, 1700000000000000000 + c.unicode()});
    return f;
}

}  // namespace

TEST(Fraicheur, ImagesModifieesCommeLesCompteUnUtilisateur) {
    const auto avant = film("ABCDEFGHIJ");
    EXPECT_EQ(imagesDifferentes(avant, film("ABCDEFGHIJ")), 0);
    EXPECT_EQ(imagesDifferentes(avant, film("ABCDFGHIJ")), 1);      // one deleted
    EXPECT_EQ(imagesDifferentes(avant, film("ABCxyzDEFGHIJ")), 3);  // three pictures
    EXPECT_EQ(imagesDifferentes(avant, film("ABGFEDCHIJ")), 4);     // five reversed: E stays
    EXPECT_EQ(imagesDifferentes(avant, film("ABCDdEeFGHIJ")), 2);   // two doubled: new files
    EXPECT_EQ(imagesDifferentes(avant, film("ABCDxFGHIJ")), 2);     // one replaced
    EXPECT_EQ(imagesDifferentes(avant, film("")), 10);
    EXPECT_EQ(imagesDifferentes(film(""), film("AB")), 2);
    // Frames that look alike (a FAT stick keeps times to two seconds): one of them deleted.
    EXPECT_EQ(imagesDifferentes(film("AAAB"), film("AAB")), 1);
}

TEST(Fraicheur, ReleveDUnAutreFichierIgnore) {
    test::DossierTest dossier;
    ProjetCourant p;
    p.repProjets = dossier.chemin();
    p.nomDossier = QStringLiteral("Film");
    test::ecrireFilm(p.dossierProjet(), QStringLiteral("ABC"));
    const QString video = p.dossierProjet() + QStringLiteral("/video.avi");
    test::ecrireFichier(video, "une vidéo");
    // No record: made by an earlier version, up to date.
    EXPECT_FALSE(lireReleve(p, kNomVideo));
    EXPECT_EQ(imagesModifiees(p, kNomVideo), 0);

    ReleveFilm r = releverFilm(p);
    r.reglages = {12, 640, 480, {0x47504a4d, 8500, 15, 0, 8}};
    ecrireReleve(p, kNomVideo, r);
    const std::optional<ReleveFilm> lu = lireReleve(p, kNomVideo);
    ASSERT_TRUE(lu);
    EXPECT_EQ(lu->reglages, r.reglages);
    EXPECT_EQ(lu->images.size(), 3u);

    // The film mixed from it gets it; a video replaced by hand does not keep it.
    const QString film = p.dossierProjet() + QStringLiteral("/film.avi");
    const QString son = p.dossierProjet() + QStringLiteral("/audio.wav");
    test::ecrireFichier(film, "un film");
    test::ecrireFichier(son, "un son");
    releverMixage(p);
    EXPECT_TRUE(lireReleve(p, kNomFilm));
    EXPECT_FALSE(bandeSonChangee(p));
    test::ecrireFichier(son, "un autre son");
    EXPECT_TRUE(bandeSonChangee(p));
    // A film's record of an earlier version does not say which track it took: up to date.
    const IdentiteFichier i = identiteFichier(film);
    test::ecrireFichier(p.dossierProjet() + QLatin1Char('/') + QLatin1String(kDossierHistorique) +
                            QStringLiteral("/film.avi.etat"),
                        "VOLTIPLUME etat 1\nfichier " + QByteArray::number(i.taille) + ' ' +
                            QByteArray::number(i.dateNs) +
                            "\nexecution 1\nvideo 12 640 480 0 0 0 0 0\nimages 1\n9 9\n");
    ASSERT_TRUE(lireReleve(p, kNomFilm));
    EXPECT_FALSE(bandeSonChangee(p));
    test::ecrireFichier(video, "une autre vidéo");
    EXPECT_FALSE(lireReleve(p, kNomVideo));
    releverMixage(p);
    EXPECT_FALSE(lireReleve(p, kNomFilm));

    // A damaged record is no record.
    ecrireReleve(p, kNomVideo, r);
    const QString chemin = p.dossierProjet() + QLatin1Char('/') +
                           QLatin1String(kDossierHistorique) + QStringLiteral("/video.avi.etat");
    QFile f(chemin);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray texte = f.readAll();
    f.close();
    test::ecrireFichier(chemin, texte.left(texte.size() - 5));
    EXPECT_FALSE(lireReleve(p, kNomVideo));
}
