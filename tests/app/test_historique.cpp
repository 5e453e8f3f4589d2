// SPDX-License-Identifier: GPL-3.0-or-later
// Undo and redo through the window's own commands, across the program being closed and started
// again: the films are compared frame by frame, by the bytes of their files.

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTest>
#include <array>

#include "Fixture.h"
#include "platform/Bitmap.h"
#include "platform/FichiersSurs.h"
#include "sequence/Identites.h"
#include "sequence/StockImages.h"

using namespace vp;
using test::Programme;

namespace {

class Annulation : public Programme {
protected:
    using Film = QList<QByteArray>;

    Film film() const {
        Film empreintes;
        for (qint32 i = 0; i < f->projet.nbImages; ++i) {
            QFile image(cheminImage(f->projet, i));
            image.open(QIODevice::ReadOnly);
            empreintes << QCryptographicHash::hash(image.readAll(), QCryptographicHash::Md5);
        }
        return empreintes;
    }
    // The program closed and started again in the same folder, the project opened.
    void redemarrer() {
        f.reset();
        f = creerFenetres();
        f->projet.repProgramme = dossier.chemin();
        f->show();
        ouvrirProjet("Histoire");
    }
    // What the strip shows: the count, the current frame, the selection.
    std::array<qint32, 4> etat() const {
        return {f->projet.nbImages, f->projet.imageCourante, f->projet.selDebut, f->projet.selFin};
    }
    // A random frame command, on a random frame and selection: its button, to click.
    QToolButton* commandeAuHasard(QRandomGenerator& hasard) {
        ProjetCourant& p = f->projet;
        const qint32 n = p.nbImages;
        p.imageCourante = static_cast<qint32>(hasard.bounded(n));
        p.selDebut = static_cast<qint32>(hasard.bounded(n - 1));
        p.selFin = std::min(n - 1, p.selDebut + 1 + static_cast<qint32>(hasard.bounded(3)));
        QToolButton* boutons[] = {f->boutonPhoto,
                                  f->boutonDoublerImage,
                                  f->boutonSupprimerImage,
                                  f->boutonCopierSelection,
                                  f->boutonInverserSelection,
                                  f->boutonDoublerSelection,
                                  f->boutonSupprimerSelection};
        QToolButton* bouton = boutons[hasard.bounded(n > 12 ? 7 : 4)];
        if (bouton == f->boutonSupprimerImage && n <= 12) bouton = f->boutonPhoto;
        // Never onto the selection itself, which is refused.
        if (bouton == f->boutonCopierSelection) p.imageCourante = p.selFin;
        return bouton;
    }
};

}  // namespace

TEST_F(Annulation, VingtCommandesDefaitesPuisRefaitesApresUnRedemarrage) {
    creerProjet("Histoire");
    for (int i = 0; i < 30; ++i)
        ecrireBitmap24(test::imageIdentite(i + 1), cheminImage(f->projet, i));
    ouvrirProjet("Histoire");
    ASSERT_EQ(f->projet.nbImages, 30);
    EXPECT_FALSE(f->actionAnnuler->isEnabled());

    QRandomGenerator hasard(20261208);
    std::vector<Film> films{film()};
    std::vector<std::array<qint32, 4>> avant, apres;  // the record around each command
    for (int c = 0; c < 20; ++c) {
        QToolButton* bouton = commandeAuHasard(hasard);
        avant.push_back(etat());
        bouton->click();
        apres.push_back(etat());
        films.push_back(film());
        ASSERT_NE(films.back(), films[films.size() - 2]) << "la commande " << c << " n'a rien fait";
    }
    ASSERT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();

    // Undone, each command shows the frames and the selection it started from; the count is
    // the disk's.
    for (int k = 20; k > 10; --k) {
        f->actionAnnuler->trigger();
        ASSERT_EQ(film(), films[k - 1]) << "annulation " << 21 - k;
        EXPECT_EQ(etat(), avant[k - 1]) << "annulation " << 21 - k;
        EXPECT_EQ(compterImages(f->projet), f->projet.nbImages);
    }
    redemarrer();
    EXPECT_EQ(film(), films[10]);
    for (int k = 10; k > 0; --k) {
        f->actionAnnuler->trigger();
        ASSERT_EQ(film(), films[k - 1]) << "annulation " << 21 - k;
    }
    EXPECT_FALSE(f->actionAnnuler->isEnabled());
    EXPECT_EQ(f->projet.nbImages, 30);
    for (int k = 1; k <= 20; ++k) {
        f->boutonRetablir->click();
        ASSERT_EQ(film(), films[k]) << "rétablissement " << k;
        EXPECT_EQ(etat(), apres[k - 1]) << "rétablissement " << k;
    }
    EXPECT_FALSE(f->actionRetablir->isEnabled());
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();

    // The help line says what came back; a new command drops what could be redone.
    f->projet.selDebut = 2;
    f->projet.selFin = 11;
    f->boutonSupprimerSelection->click();
    f->actionAnnuler->trigger();
    EXPECT_EQ(f->ligneAide->text(), " Suppression de 10 images annulée.");
    EXPECT_EQ(film(), films[20]);
    EXPECT_TRUE(f->actionRetablir->isEnabled());
    // From the keyboard too.
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
    QTest::keyClick(f.get(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(f->ligneAide->text(), " Suppression de 10 images rétablie.");
    QTest::keyClick(f.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(film(), films[20]);
    f->boutonDoublerImage->click();
    EXPECT_FALSE(f->actionRetablir->isEnabled());
    EXPECT_FALSE(f->boutonRetablir->isEnabled());
}

TEST_F(Annulation, UneCommandeInterrompueEstTermineeALOuverture) {
    creerProjet("Histoire");
    for (int i = 0; i < 6; ++i)
        ecrireBitmap24(test::imageIdentite(i + 1), cheminImage(f->projet, i));
    ouvrirProjet("Histoire");
    const Film avant = film();
    // The project as a kill would leave it after each change of a name, kept as projects of
    // their own.
    int etats = 0;
    observerChangements([&] {
        const QString copie = f->projet.repProjets + QStringLiteral("Etat%1").arg(++etats);
        test::copierArbre(f->projet.dossierProjet(), copie);
        test::ecrireFichier(copie + "/projet.ini",
                            QStringLiteral("[GENERAL]\ntitre=Etat %1\n").arg(etats).toUtf8());
    });
    f->projet.selDebut = 1;
    f->projet.selFin = 3;
    f->boutonSupprimerSelection->click();
    observerChangements({});
    const Film apres = film();
    ASSERT_EQ(apres.size(), 3);

    int terminees = 0;
    for (int k = 1; k <= etats; ++k) {
        ouvrirProjet(QStringLiteral("Etat %1").arg(k));
        const Film etat = film();
        EXPECT_TRUE(etat == avant || etat == apres) << "état " << k;
        if (f->ligneAide->text().contains("interrompue")) {
            ++terminees;
            EXPECT_EQ(etat, apres) << "état " << k;
            EXPECT_TRUE(f->ligneAide->text().contains("terminée")) << "état " << k;
        }
        // The history goes on from there: the deletion can be undone.
        if (etat == apres) {
            f->actionAnnuler->trigger();
            EXPECT_EQ(film(), avant) << "état " << k;
        }
    }
    EXPECT_GE(terminees, 3);
    EXPECT_TRUE(dialogues().messages().isEmpty()) << dialogues().messages().join('|').toStdString();
}
