// SPDX-License-Identifier: GPL-3.0-or-later
// The program under faults and bad input: errors that reach the event loop, damaged frames, a
// read-only folder, a full disk, a project folder that disappears; the window's place and its
// keyboard. Each fault ends with a French message, nothing lost on disk and a usable window.

#include <QDirIterator>
#include <QGuiApplication>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <functional>
#include <vector>

#include "Fixture.h"
#include "app/DialogueReglagesVideo.h"
#include "app/Duplication.h"
#include "platform/Bitmap.h"
#include "platform/Erreur.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"
#include "video/DialogueCompression.h"

using namespace vp;

namespace {

class Robustesse : public test::Programme {
protected:
    // A project of `n` pictures from the simulated camera, with frames 0 to 1 selected and
    // the last frame current.
    void projetAvecPhotos(int n) {
        creerProjet("Film");
        for (int i = 0; i < n; ++i)
            f->boutonPhoto->click();
        ASSERT_EQ(f->projet.nbImages, n);
        dialogues().affichages.clear();
    }
    void selectionner() {
        f->projet.imageCourante = f->projet.nbImages - 1;
        f->projet.selDebut = 0;
        f->projet.selFin = 1;
    }
    // The commands that write into the project folder, as the user reaches them.
    std::vector<std::pair<const char*, std::function<void()>>> commandesQuiEcrivent() {
        return {
            {"photo", [this] { f->boutonPhoto->click(); }},
            {"doubler", [this] { f->boutonDoublerImage->click(); }},
            {"supprimer", [this] { f->boutonSupprimerImage->click(); }},
            {"copier la sélection", [this] { f->boutonCopierSelection->click(); }},
            {"inverser la sélection", [this] { f->boutonInverserSelection->click(); }},
            {"doubler la sélection", [this] { f->boutonDoublerSelection->click(); }},
            {"supprimer la sélection", [this] { f->boutonSupprimerSelection->click(); }},
            {"annuler", [this] { f->actionAnnuler->trigger(); }},
            {"dupliquer le projet", [this] { f->actionDupliquerProjet->trigger(); }},
            {"créer la vidéo", [this] { creerVideoMjpeg(); }},
            // As an animated GIF: three pictures of the test pattern make an MP4 file smaller than
            // the full disk's limit below.
            {"exporter le film",
             [this] {
                 dialogues().fichiers = {f->projet.repProjets + "film.gif"};
                 f->actionExporterFilm->trigger();
                 dialogues().fichiers.clear();
             }},
        };
    }
    void fenetreRendue(const char* commande) {
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << commande;
        EXPECT_FALSE(f->barreProgression->isVisible()) << commande;
    }
    // Runs a command that must fail: its one message, the count of frames kept, the window
    // usable.
    QString echec(const char* nom, const std::function<void()>& commande) {
        const qint32 nb = f->projet.nbImages;
        selectionner();
        dialogues().affichages.clear();
        commande();
        EXPECT_EQ(f->projet.nbImages, nb) << nom;
        fenetreRendue(nom);
        const QStringList messages = dialogues().messages();
        EXPECT_EQ(messages.size(), 1) << nom;
        return messages.value(0);
    }
};

// Permissions given back at the end, whatever the test found.
struct LectureSeule {
    QStringList dossiers;
    explicit LectureSeule(const QStringList& d) : dossiers(d) {
        for (const QString& x : dossiers)
            QFile::setPermissions(x, QFile::ReadOwner | QFile::ExeOwner);
    }
    ~LectureSeule() {
        for (const QString& x : dossiers)
            QFile::setPermissions(x, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

}  // namespace

TEST_F(Robustesse, UneErreurQuiAtteintLaBoucleDEvenementsEstMontree) {
    // A handler that raises outside the command wrapper: the program shows the error and goes
    // on instead of ending.
    struct Fautif : QObject {
        bool event(QEvent*) override { throw Erreur("Panne du gestionnaire"); }
    } fautif;
    QEvent e(QEvent::User);
    EXPECT_NO_THROW(QCoreApplication::sendEvent(&fautif, &e));
    QTimer minuterie;
    minuterie.setSingleShot(true);
    QObject::connect(&minuterie, &QTimer::timeout, [] { throw Erreur("Minuterie en panne !"); });
    minuterie.start(0);
    test::attendreEvenements(50);
    EXPECT_EQ(dialogues().messages(),
              (QStringList{"Panne du gestionnaire.", "Minuterie en panne !"}));
    EXPECT_EQ(dialogues().affichages.back().icone, Icone::Arret);
}

TEST_F(Robustesse, ImageAbimeeDansLaBandeEtLApercu) {
    projetAvecPhotos(6);
    // A damaged frame: its pixel data is shorter than its header says.
    QFile image(cheminImage(f->projet, 2));
    ASSERT_TRUE(image.open(QIODevice::ReadWrite));
    image.resize(image.size() / 2);
    image.close();
    const QString abimee = "image_00002.bmp », le fichier est abîmé.";
    // A click on a thumbnail brings it in sight.
    QMouseEvent appui(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent relache(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f->bandeFilm->vignettes[0], &appui);
    QCoreApplication::sendEvent(f->bandeFilm->vignettes[0], &relache);
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].endsWith(abimee))
        << dialogues().messages()[0].toStdString();
    EXPECT_EQ(f->projet.imageCourante, 3);
    EXPECT_EQ(f->bandeFilm->barreDefilement->value(), 3);
    // The preview stops on it, said once.
    dialogues().affichages.clear();
    f->bandeFilm->barreDefilement->setValue(0);
    f->boutonApercu->click();
    for (int i = 0; i < 200 && f->minuterieApercu->isActive(); ++i)
        test::attendreEvenements(20);
    EXPECT_FALSE(f->minuterieApercu->isActive());
    EXPECT_EQ(dialogues().messages().size(), 2);  // the strip at frame 0, then the preview
    // The damaged frame can be deleted, and the film goes on.
    dialogues().affichages.clear();
    f->bandeFilm->barreDefilement->setValue(2);
    f->boutonSupprimerImage->click();
    EXPECT_EQ(f->projet.nbImages, 5);
    EXPECT_EQ(dialogues().messages().size(), 1);  // only the strip's, before the deletion
    fenetreRendue("supprimer");
}

TEST_F(Robustesse, FenetreCentreeSurLEcranEtDialoguesSurElle) {
    const QRect libre = f->screen()->availableGeometry();
    const QRect g = f->frameGeometry();
    if (g.width() <= libre.width()) {
        EXPECT_LE(std::abs(g.center().x() - libre.center().x()), 1);
    }
    if (g.height() <= libre.height()) {
        EXPECT_LE(std::abs(g.center().y() - libre.center().y()), 1);
    }
    EXPECT_GE(f->frameGeometry().left(), libre.left());
    EXPECT_GE(f->frameGeometry().top(), libre.top());
    // A box without an owner centres on the main window.
    EXPECT_EQ(fenetreDesBoites(), f.get());
    f->dialogueNouveau->show();
    QCoreApplication::processEvents();
    const QPoint ecart = f->dialogueNouveau->geometry().center() - f->geometry().center();
    EXPECT_LE(ecart.manhattanLength(), 40) << ecart.x() << " " << ecart.y();
    f->dialogueNouveau->hide();
}

TEST_F(Robustesse, NouveauProjetCommenceParLeTitreEtLesBoutonsDeDossierHorsTabulation) {
    DialogueNouveauProjet* d = f->dialogueNouveau;
    d->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(d->focusWidget(), d->champTitre);
    QList<QWidget*> ordre;
    QWidget* w = d->champTitre;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(d)) ordre << w;
        w = w->nextInFocusChain();
    } while (w != d->champTitre);
    EXPECT_EQ(ordre, (QList<QWidget*>{d->champTitre, d->champDossier, d->champDossierProjets,
                                      d->boutonValider, d->boutonAnnuler}));
    d->hide();
    EXPECT_FALSE(f->dialogueOuvrir->boutonDossier->focusPolicy() & Qt::TabFocus);
}

TEST_F(Robustesse, NomDeDossierTropLongRefuse) {
    // 130 letters, 260 bytes: more than a folder name may hold.
    const QString titre(130, QChar(u'ç'));
    dialogues().quandModal<DialogueNouveauProjet>([&](DialogueNouveauProjet& d) {
        d.champTitre->setText(titre);
        d.boutonValider->click();
    });
    f->actionNouveau->trigger();
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].contains("trop long"));
    EXPECT_TRUE(f->projet.titreProjet.isEmpty());
    EXPECT_TRUE(QDir(f->projet.repProjets).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    // 255 bytes still make a folder.
    creerProjet(QString(255, 'a'));
    EXPECT_EQ(f->projet.nomDossier.size(), 255);
    EXPECT_TRUE(QFile::exists(f->projet.dossierProjet() + "/projet.ini"));
}

TEST_F(Robustesse, DossierEnLectureSeule) {
    projetAvecPhotos(4);
    const QString projets = f->projet.repProjets;
    const auto avant = test::contenuDossier(projets);
    {
        LectureSeule lectureSeule({f->projet.dossierProjet(), projets});
        test::DroitsOrdinaires droits;
        for (const auto& [nom, commande] : commandesQuiEcrivent()) {
            const QString message = echec(nom, commande);
            EXPECT_TRUE(message.contains("accès refusé")) << nom << " : " << message.toStdString();
            EXPECT_EQ(test::contenuDossier(projets), avant) << nom;
        }
    }
    ouvrirProjet("Film");
    EXPECT_EQ(f->projet.nbImages, 4);
}

TEST_F(Robustesse, DisquePlein) {
    projetAvecPhotos(3);
    const QString projets = f->projet.repProjets;
    const auto avant = test::contenuDossier(projets);
    const auto commandes = commandesQuiEcrivent();
    for (const char* nom : {"photo", "doubler", "copier la sélection", "dupliquer le projet",
                            "créer la vidéo", "exporter le film"}) {
        const auto commande = std::find_if(commandes.begin(), commandes.end(), [&](const auto& c) {
            return c.first == std::string(nom);
        });
        const QString message = echec(nom, [&] {
            test::DisquePlein plein(8 * 1024);  // a frame or a video takes more
            commande->second();
        });
        ASSERT_FALSE(dialogues().affichages.empty()) << nom;
        EXPECT_EQ(dialogues().affichages.back().icone, Icone::Arret) << nom;
        // Nothing half made: no torn frame, no hole, no copy, no part of a video.
        EXPECT_EQ(test::contenuDossier(projets), avant) << nom << " : " << message.toStdString();
    }
    ouvrirProjet("Film");
    EXPECT_EQ(f->projet.nbImages, 3);
}

TEST_F(Robustesse, DossierDuProjetDisparu) {
    projetAvecPhotos(3);
    const QString dossier = f->projet.dossierProjet();
    ASSERT_TRUE(QDir().rename(dossier, dossier + "_ailleurs"));
    for (const auto& [nom, commande] : commandesQuiEcrivent())
        EXPECT_TRUE(echec(nom, commande).contains("est introuvable")) << nom;
    // The strip says which frame it cannot read.
    dialogues().affichages.clear();
    f->bandeFilm->barreDefilement->setValue(0);
    ASSERT_EQ(dialogues().messages().size(), 1);
    EXPECT_TRUE(dialogues().messages()[0].contains("introuvable"));
    // Put back, the project goes on where it was.
    ASSERT_TRUE(QDir().rename(dossier + "_ailleurs", dossier));
    f->boutonDoublerImage->click();
    EXPECT_EQ(f->projet.nbImages, 4);
    // The project file and four frames, besides the history.
    EXPECT_EQ(test::contenuDossier(dossier).keys().filter(QRegularExpression("^[^.]")).size(), 5);
}
