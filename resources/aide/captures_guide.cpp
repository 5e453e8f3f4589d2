// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the pictures of the guide at build time: the whole program runs on the offscreen
// platform with the simulated camera and microphone, in the home of a made-up teacher,
// /home/claire.martin, whose projects are in Documents/voltiplume as on a classroom computer.
// That home is a folder of the build (DOSSIER_MAISON), put over /home in a mount namespace of
// this process alone; where the system refuses the namespace, the home stays in the build
// folder. It makes a film from start to end, through the same commands a class uses, and grabs
// each window and box as it appears into a PNG file named for its step. Every text the pictures
// show (labels, fields, lists, file dialogs) is written into DOSSIER_IMAGES/textes.txt, one line
// each after the picture's name, so that the paths they show can be checked.
//
// usage: captures_guide DOSSIER_IMAGES DOSSIER_PROGRAMME DOSSIER_MAISON

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include "FenetreEditeur.h"
#include "app/DialogueDossierProjets.h"
#include "app/DialogueNouveauProjet.h"
#include "app/DialogueOuvrirProjet.h"
#include "app/DialogueReglagesVideo.h"
#include "app/FenetrePrincipale.h"
#include "app/MesureProjets.h"
#include "app/Programme.h"
#include "audio/alsa/EntreeAlsa.h"
#include "audio/simule/MicroSimule.h"
#include "bandeson/DialogueEnregistrementSon.h"
#include "capture/Camera.h"
#include "capture/FenetrePleinEcran.h"
#include "film/CommandesFilm.h"
#include "platform/Application.h"
#include "platform/BoitesQt.h"
#include "platform/Bureau.h"
#include "platform/ErreurApplication.h"
#include "platform/FichiersSurs.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"
#include "video/DialogueCompression.h"

namespace {

using namespace vp;

QString g_dossierImages;
QStringList g_images;  // the pictures written, in order

// Lets the program work (camera frames, timers, queued events) for `ms` milliseconds.
void attendre(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

bool attendreQue(const std::function<bool()>& condition, int ms) {
    QElapsedTimer t;
    t.start();
    while (!condition() && t.elapsed() < ms)
        attendre(10);
    return condition();
}

// The texts of the items of `vue` under `parent`, and under its open branches.
void noterModele(const QAbstractItemView& vue, const QModelIndex& parent, QStringList& textes,
                 int profondeur = 0) {
    const QAbstractItemModel* modele = vue.model();
    if (!modele || profondeur > 20) return;
    const auto* arbre = qobject_cast<const QTreeView*>(&vue);
    for (int ligne = 0; ligne < modele->rowCount(parent); ++ligne) {
        const QModelIndex i = modele->index(ligne, 0, parent);
        textes << i.data(Qt::DisplayRole).toString() << i.data(Qt::ToolTipRole).toString();
        if (arbre && arbre->isExpanded(i)) noterModele(vue, i, textes, profondeur + 1);
    }
}

// Every text that the picture of `w` shows, after its name, into textes.txt.
void noterTextes(QWidget& w, const QString& nom) {
    QStringList textes{w.windowTitle()};
    for (QWidget* c : w.findChildren<QWidget*>()) {
        if (!c->isVisibleTo(&w)) continue;
        textes << c->toolTip();
        if (auto* l = qobject_cast<QLabel*>(c))
            textes << l->text();
        else if (auto* e = qobject_cast<QLineEdit*>(c))
            textes << e->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(c))
            textes << b->text();
        else if (auto* t = qobject_cast<QTextEdit*>(c))
            textes << t->toPlainText();
        else if (auto* liste = qobject_cast<QComboBox*>(c))
            for (int i = 0; i < liste->count(); ++i)
                textes << liste->itemText(i);
        else if (auto* v = qobject_cast<QAbstractItemView*>(c))
            noterModele(*v, v->rootIndex(), textes);
    }
    if (auto* d = qobject_cast<QFileDialog*>(&w))
        textes << d->directory().absolutePath() << d->selectedFiles();
    QFile f(g_dossierImages + QStringLiteral("/textes.txt"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) return;
    for (const QString& t : textes)
        if (!t.trimmed().isEmpty())
            f.write((nom + QLatin1Char('\t') +
                     QString(t).replace(QLatin1Char('\n'), QLatin1Char(' ')) + QLatin1Char('\n'))
                        .toUtf8());
}

void capturer(QWidget& w, const QString& nom) {
    w.show();
    attendre(60);
    const QString fichier = g_dossierImages + QLatin1Char('/') + nom + QStringLiteral(".png");
    noterTextes(w, nom);
    if (w.grab().save(fichier))
        g_images << nom;
    else
        std::fprintf(stderr, "captures_guide : impossible d'écrire %s\n", qPrintable(fichier));
}

// The made-up teacher.
constexpr char kMaison[] = "/home/claire.martin";

bool ecrireFichierSysteme(const char* chemin, const QByteArray& texte) {
    QFile f(QString::fromLatin1(chemin));
    return f.open(QIODevice::WriteOnly) && f.write(texte) == texte.size();
}

// Puts the folder `dossierMaisons` over /home for this process alone, so that the teacher's
// home is kMaison; the folders the run needs that lay under the real /home (`gardes`) stay where
// they were. Needs a process without threads yet. False when the system refuses (the process then
// sees the same files as before).
bool emmenager(const QString& dossierMaisons, const QStringList& gardes) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid == 0) {
        if (::unshare(CLONE_NEWNS) != 0) return false;
    } else {
        // An ordinary user: a user namespace of its own, where it is itself, lets it mount.
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            !ecrireFichierSysteme("/proc/self/setgroups", "deny") ||
            !ecrireFichierSysteme("/proc/self/uid_map",
                                  QByteArray::number(uid) + ' ' + QByteArray::number(uid) + " 1") ||
            !ecrireFichierSysteme("/proc/self/gid_map",
                                  QByteArray::number(gid) + ' ' + QByteArray::number(gid) + " 1"))
            return false;
    }
    // Nothing mounted here reaches the rest of the system.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    const int ancienne = ::open("/home", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (ancienne < 0) return false;
    bool ok = ::mount(QFile::encodeName(dossierMaisons).constData(), "/home", nullptr, MS_BIND,
                      nullptr) == 0;
    for (const QString& garde : gardes) {
        if (!ok || !garde.startsWith(QStringLiteral("/home/"))) continue;
        // Seen again through the real /home, still open.
        const QByteArray source =
            "/proc/self/fd/" + QByteArray::number(ancienne) + QFile::encodeName(garde.mid(5));
        ok = QDir().mkpath(garde) &&
             ::mount(source.constData(), QFile::encodeName(garde).constData(), nullptr, MS_BIND,
                     nullptr) == 0;
    }
    ::close(ancienne);
    // Half put: back to the files as they were, for the home in the build folder.
    if (!ok) ::umount2("/home", MNT_DETACH);
    return ok;
}

// Moves the mouse over a control, so that the help line of the main window describes it.
void survoler(QWidget* w) {
    QMouseEvent e(QEvent::MouseMove, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// The program's dialogs, shown without blocking: each modal dialog is handed to the next step
// of the script, which fills it, takes its picture and closes it; the next message box is
// pictured under the name set beforehand.
class DialoguesGuide final : public IDialogues {
public:
    std::deque<std::function<int(QDialog&)>> etapes;
    QString nomProchaineBoite;
    QString fichierAEnregistrer;  // the answer of the next save dialog

    void message(QWidget* parent, const QString& texte, Icone icone) override {
        std::fprintf(stderr, "message : %s\n", qPrintable(texte));
        if (nomProchaineBoite.isEmpty()) return;
        const auto boite = boiteMessage(parent ? parent : fenetreDesBoites(), texte, icone);
        capturer(*boite, std::exchange(nomProchaineBoite, QString()));
        boite->close();
    }
    bool question(QWidget*, const QString& texte, Icone) override {
        std::fprintf(stderr, "question : %s\n", qPrintable(texte));
        return false;
    }
    // The box is pictured under the name set beforehand; the answer is the one set there too.
    int reponseChoix = -1;
    int choix(QWidget* parent, const QString& texte, const QStringList& boutons,
              Icone icone) override {
        std::fprintf(stderr, "choix : %s\n", qPrintable(texte));
        if (!nomProchaineBoite.isEmpty()) {
            const auto boite =
                boiteChoix(parent ? parent : fenetreDesBoites(), texte, boutons, icone);
            capturer(*boite, std::exchange(nomProchaineBoite, QString()));
            boite->close();
        }
        const int r = std::exchange(reponseChoix, -1);
        return r >= 0 ? r : static_cast<int>(boutons.size()) - 1;
    }
    QString ouvrirFichier(QWidget*, const QString&) override { return {}; }
    QString enregistrerFichier(QWidget* parent, const QString& filtre,
                               const QString& extension) override {
        const auto d = dialogueEnregistrer(parent, filtre, extension);
        const QFileInfo cible(std::exchange(fichierAEnregistrer, QString()));
        d->setDirectory(cible.absolutePath());
        d->selectFile(cible.fileName());
        d->show();
        attendre(400);  // the folder's contents are read in the background
        if (!nomProchaineBoite.isEmpty()) capturer(*d, std::exchange(nomProchaineBoite, QString()));
        d->close();
        return cible.fileName().isEmpty() ? QString() : cible.absoluteFilePath();
    }
    QString choisirDossier(QWidget*, const QString&) override { return {}; }
    int executer(QDialog& dialogue) override {
        if (etapes.empty()) {
            std::fprintf(stderr, "dialogue inattendu : %s\n", qPrintable(dialogue.windowTitle()));
            return QDialog::Rejected;
        }
        const auto etape = std::move(etapes.front());
        etapes.pop_front();
        dialogue.show();
        attendre(100);
        const int resultat = etape(dialogue);
        dialogue.hide();
        return resultat;
    }
};

// The desktop opens nothing (no player is started at build time), but the editor's batch runner
// really runs: the film is mixed by the program folder's vdub.
class BureauGuide final : public IBureau {
public:
    void ouvrirDocument(const QString& chemin) override {
        std::fprintf(stderr, "document ouvert : %s\n", qPrintable(chemin));
    }
    bool lancer(const QString&, const QStringList&) override { return false; }
    FinProgramme lancerEtAttendre(const QString& programme, const QStringList& arguments,
                                  const std::function<void()>& pendantAttente) override {
        return systeme_->lancerEtAttendre(programme, arguments, pendantAttente);
    }

private:
    std::unique_ptr<IBureau> systeme_ = bureauSysteme();
};

// A sound card that plays nothing: the editor's window shows its sound track as it would on a
// classroom computer.
class SortieMuette final : public SortieSon {
public:
    void jouer(int64_t debut) override { position_ = debut; }
    void arreter() override {}
    int64_t position() override { return position_; }

private:
    int64_t position_ = 0;
};

template <typename D>
std::function<int(QDialog&)> etape(std::function<int(D&)> script) {
    return [script](QDialog& d) { return script(dynamic_cast<D&>(d)); };
}

void montrerImage(FenetrePrincipale& f, int index) {
    f.projet.imageCourante = index;
    f.rafraichirBande();
}

int realiserLeFilm(FenetrePrincipale& f, DialoguesGuide& d, const QString& travail) {
    const QString titre = QStringLiteral("Le voyage de la fusée");
    attendre(400);  // the camera's first pictures
    capturer(f, QStringLiteral("demarrage"));

    d.nomProchaineBoite = QStringLiteral("sans-projet");
    f.actionCreerVideo->trigger();

    // A new project; on the way, the projects-folder dialog of its folder button.
    d.etapes.push_back(etape<DialogueNouveauProjet>([&](DialogueNouveauProjet& n) {
        n.champTitre->setText(titre);
        capturer(n, QStringLiteral("nouveau-projet"));
        d.etapes.push_back(etape<DialogueDossierProjets>([](DialogueDossierProjets& r) {
            attendre(300);
            capturer(r, QStringLiteral("dossier-projets"));
            r.reject();
            return static_cast<int>(QDialog::Rejected);
        }));
        n.choisirDossierProjets();
        n.boutonValider->click();
        return n.result();
    }));
    f.actionNouveau->trigger();
    if (f.projet.titreProjet != titre) return 1;

    // The camera settings.
    d.etapes.push_back(etape<QDialog>([](QDialog& r) {
        attendre(200);
        capturer(r, QStringLiteral("parametres-webcam"));
        r.reject();
        return r.result();
    }));
    f.actionParametresWebcam->trigger();
    d.etapes.push_back(etape<QDialog>([](QDialog& r) {
        capturer(r, QStringLiteral("format-image"));
        r.reject();
        return r.result();
    }));
    f.actionFormatImage->trigger();

    // The Vidéo menu, with its keys.
    QMenu* menuVideo = f.menuBar()->actions().at(1)->menu();
    menuVideo->popup(f.mapToGlobal(QPoint(60, 20)));
    attendre(100);
    capturer(*menuVideo, QStringLiteral("menu-video"));
    menuVideo->hide();

    // Thirty pictures of the moving test pattern: a film of two seconds and a half.
    constexpr int kPhotos = 30;
    for (int i = 0; i < kPhotos; ++i) {
        attendre(70);
        f.actionPhoto->trigger();
    }
    if (f.projet.nbImages != kPhotos) return 1;
    attendre(300);
    survoler(f.boutonPhoto);
    capturer(f, QStringLiteral("prise-de-vue"));

    // In full screen, with three onion-skin layers and the thirds: two more pictures.
    f.actionsCouches[2]->trigger();
    f.actionsReperes[1]->trigger();
    f.actionPleinEcran->trigger();
    if (!f.fenetrePleinEcran->isVisible()) return 1;
    for (int i = 0; i < 2; ++i) {
        attendre(150);
        f.actionPhoto->trigger();
    }
    attendre(300);
    capturer(*f.fenetrePleinEcran, QStringLiteral("plein-ecran"));
    f.fenetrePleinEcran->close();
    f.actionsCouches[0]->trigger();
    f.actionsReperes[0]->trigger();
    if (f.projet.nbImages != kPhotos + 2) return 1;
    // Undone, as a pupil would: the film is the thirty pictures again.
    f.actionAnnuler->trigger();
    f.actionAnnuler->trigger();
    if (f.projet.nbImages != kPhotos) return 1;

    // A selection of frames 4 to 7, the help line on the reverse button.
    montrerImage(f, 4);
    f.boutonMarquerDebut->click();
    montrerImage(f, 7);
    f.boutonMarquerFin->click();
    montrerImage(f, 6);
    survoler(f.boutonInverserSelection);
    capturer(f, QStringLiteral("selection"));
    f.boutonAnnulerSelection->click();

    // The preview, from the first frame.
    montrerImage(f, 0);
    survoler(f.boutonApercu);
    f.boutonApercu->click();
    attendre(300);
    capturer(f, QStringLiteral("apercu"));
    f.boutonApercu->click();  // stops it
    montrerImage(f, kPhotos - 1);

    // The video.
    d.etapes.push_back(etape<DialogueReglagesVideo>([](DialogueReglagesVideo& r) {
        r.champImagesParSeconde->setText(QStringLiteral("12"));
        capturer(r, QStringLiteral("reglages-video"));
        r.boutonValider->click();
        return r.result();
    }));
    d.etapes.push_back(etape<DialogueCompression>([](DialogueCompression& c) {
        capturer(c, QStringLiteral("compression"));
        c.boutonOk->click();
        return c.result();
    }));
    f.actionCreerVideo->trigger();
    const QString dossierProjet = f.projet.dossierProjet() + QLatin1Char('/');
    if (!QFile::exists(dossierProjet + QStringLiteral("video.avi"))) return 1;

    // The sound track, recorded while the frames play: the countdown, the time during the
    // recording, then the waveform with a frame chosen on it. The microphone speaks.
    reglagesMicroSimule().signal = ReglagesMicroSimule::Signal::Parole;
    reglagesMicroSimule().amplitude = 16000;
    d.etapes.push_back(etape<DialogueEnregistrementSon>([](DialogueEnregistrementSon& s) {
        bool fini = false, onde = false;
        // Connections that end with this step: the window is opened again later, when these
        // flags are gone.
        QObject abonnements;
        QObject::connect(&s, &DialogueEnregistrementSon::enregistrementTermine, &abonnements,
                         [&fini] { fini = true; });
        QObject::connect(&s, &DialogueEnregistrementSon::formeOndePrete, &abonnements,
                         [&onde] { onde = true; });
        s.ouvrirSortieSon = [](const PisteSon&, std::string&) {
            return std::make_unique<SortieMuette>();
        };
        attendre(300);
        s.boutonEnregistrer->click();
        attendre(300);
        capturer(s, QStringLiteral("compte-a-rebours"));
        attendreQue([&] { return !s.compteEnCours(); }, 5000);
        attendre(1350);  // in the middle of a syllable
        capturer(s, QStringLiteral("enregistrement-son"));
        attendreQue([&] { return fini && onde; }, 20000);
        s.choisirImage(5);
        capturer(s, QStringLiteral("forme-onde"));
        s.boutonFermer->click();
        return s.result();
    }));
    f.actionEnregistrerSon->trigger();
    if (!QFile::exists(dossierProjet + QStringLiteral("audio.wav"))) return 1;

    // Mixing, then the editor's window on the film.
    f.actionMixer->trigger();
    if (!QFile::exists(dossierProjet + QStringLiteral("film.avi"))) return 1;
    {
        FenetreEditeur editeur(
            {QFile::encodeName(dossierProjet + QStringLiteral("video.avi")).toStdString(),
             QFile::encodeName(dossierProjet + QStringLiteral("audio.wav")).toStdString(),
             QFile::encodeName(dossierProjet + QStringLiteral("film.avi")).toStdString(), false},
            [](const PisteSon&, std::string&) { return std::make_unique<SortieMuette>(); });
        editeur.allerA(6);
        capturer(editeur, QStringLiteral("editeur"));
    }

    // One more picture after the mixing: the film asks before it is shown, and « Refaire » makes
    // the video and the film again.
    f.actionPhoto->trigger();
    if (f.projet.nbImages != kPhotos + 1) return 1;
    const QString film = dossierProjet + QStringLiteral("film.avi");
    const QDateTime mixe = QFileInfo(film).lastModified();
    attendre(20);
    d.nomProchaineBoite = QStringLiteral("film-change");
    d.reponseChoix = 0;
    f.actionRevoirFilm->trigger();
    if (!d.nomProchaineBoite.isEmpty() || QFileInfo(film).lastModified() <= mixe) return 1;

    // The copy for the parents, on a USB stick.
    QDir().mkpath(travail + QStringLiteral("/CLE_USB"));
    const QString copie = travail + QStringLiteral("/CLE_USB/") + titre + QStringLiteral(".avi");
    d.fichierAEnregistrer = copie;
    d.nomProchaineBoite = QStringLiteral("copier-film");
    f.actionCopierFilm->trigger();
    if (!QFile::exists(copie)) return 1;

    // The film exported for phones and the school's web site: the window while it is written.
    const QString exporte = travail + QStringLiteral("/CLE_USB/") + titre + QStringLiteral(".mp4");
    d.fichierAEnregistrer = exporte;
    bool exportVu = false;
    QTimer pendantExport;
    QObject::connect(&pendantExport, &QTimer::timeout, [&] {
        if (exportVu || !f.barreProgression->isVisible()) return;
        exportVu = true;
        capturer(f, QStringLiteral("export-film"));
    });
    pendantExport.start(5);
    f.actionExporterFilm->trigger();
    pendantExport.stop();
    if (!QFile::exists(exporte) || !exportVu) return 1;

    // A copy of the project, then the Open project dialog listing both.
    d.nomProchaineBoite = QStringLiteral("duplication");
    f.actionDupliquerProjet->trigger();
    d.etapes.push_back(etape<DialogueOuvrirProjet>([&](DialogueOuvrirProjet& o) {
        const auto trouves = o.listeTitres->findItems(titre, Qt::MatchExactly);
        if (!trouves.isEmpty()) o.listeTitres->setCurrentItem(trouves.first());
        // Each row's size and frame count, written as its tip when measured.
        attendreQue(
            [&] {
                for (int i = 0; i < o.listeTitres->count(); ++i)
                    if (o.listeTitres->item(i)->toolTip().isEmpty()) return false;
                return true;
            },
            10000);
        capturer(o, QStringLiteral("ouvrir-projet"));
        o.boutonOuvrir->click();
        return o.result();
    }));
    f.actionOuvrir->trigger();
    return 0;
}

int quandCaNeMarchePas(FenetrePrincipale& f, DialoguesGuide& d) {
    // No camera answers: the program is asked for a camera that is not there.
    d.nomProchaineBoite = QStringLiteral("pas-de-webcam");
    executerCommande(
        [&] {
            f.camera->setActif(false);
            f.camera->setlmageDevice(5);
            f.camera->setActif(true);
        },
        &f);
    d.nomProchaineBoite.clear();
    executerCommande(
        [&] {
            f.camera->setActif(false);
            f.camera->setlmageDevice(0);
            f.camera->setActif(true);
        },
        &f);

    // No microphone: the sound card of the recording window is one that is not plugged in.
    installerPiloteEntree(std::make_unique<PiloteAlsa>("pcm.default { type hw card 9 device 0 }",
                                                       std::make_shared<AppelsPcm>()));
    d.nomProchaineBoite = QStringLiteral("pas-de-micro");
    d.etapes.push_back(etape<DialogueEnregistrementSon>([&](DialogueEnregistrementSon& s) {
        attendreQue([&] { return d.nomProchaineBoite.isEmpty(); }, 3000);
        s.boutonFermer->click();
        return s.result();
    }));
    f.actionEnregistrerSon->trigger();

    // No video player on the computer, nor the program's own viewer.
    d.nomProchaineBoite = QStringLiteral("pas-de-lecteur");
    ouvrirSansProgramme(f.projet.dossierProjet() + QStringLiteral("/video.avi"));

    // A disk that fills up: the help line says how many pictures are left, in red.
    QFileInfo derniere(cheminImage(f.projet, f.projet.nbImages - 1));
    simulerEspaceLibre([taille = derniere.size()](const QString&) { return 150 * taille; });
    f.actionPhoto->trigger();
    survoler(f.fond);
    capturer(f, QStringLiteral("disque-presque-plein"));
    simulerEspaceLibre({});

    // A damaged frame.
    {
        QFile image(f.projet.dossierProjet() + QStringLiteral("/image_00003.bmp"));
        if (!image.open(QIODevice::WriteOnly)) return 1;
        image.write("BM\x10\x00 une image abimee");
    }
    d.nomProchaineBoite = QStringLiteral("image-abimee");
    executerCommande([&] { montrerImage(f, 3); }, &f);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr,
                     "usage : captures_guide DOSSIER_IMAGES DOSSIER_PROGRAMME DOSSIER_MAISON\n");
        return 2;
    }
    // The teacher's home, made afresh: the program's start-up makes its documents folder there,
    // and its settings stay there. First of all, while the process has no thread.
    const QString images = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString programmeDonne = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    const QString maisons = QDir(QString::fromLocal8Bit(argv[3])).absolutePath();
    QDir(maisons).removeRecursively();
    if (!QDir().mkpath(maisons + QString::fromLatin1(kMaison).mid(5)) || !QDir().mkpath(images))
        return 1;
    QString maison = QString::fromLatin1(kMaison);
    if (!emmenager(maisons, {images, programmeDonne})) {
        std::fprintf(stderr,
                     "captures_guide : pas d'espace de noms de montage, la maison reste "
                     "dans le dossier de compilation\n");
        maison = maisons + maison.mid(5);
    }
    const QString projets = maison + QStringLiteral("/Documents/voltiplume");
    if (!QDir().mkpath(projets)) return 1;
    qputenv("HOME", QFile::encodeName(maison));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(maison + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(maison + QStringLiteral("/.local/share")));
    qputenv("VOLTIPLUME_CAMERA", "mire");
    qputenv("VOLTIPLUME_MICRO", "simule");

    ApplicationVoltiplume application(argc, argv);
    // Should a step wait for ever, the build stops with a message instead of hanging.
    QTimer::singleShot(180000, [] {
        std::fprintf(stderr, "captures_guide : trop long, abandon\n");
        std::_Exit(1);
    });
    QApplication::setApplicationName(kTitreApplication);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QTranslator traduction;
    if (traduction.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&traduction);

    g_dossierImages = images;
    QFile::remove(g_dossierImages + QStringLiteral("/textes.txt"));
    const QString programme = programmeDonne + '/';
    auto* dialogues = new DialoguesGuide;
    installerDialogues(std::unique_ptr<IDialogues>(dialogues));
    installerBureau(std::make_unique<BureauGuide>());

    // Projects go into the documents folder "voltiplume", as when started from the launcher.
    QDir::setCurrent(projets);
    int statut = 0;
    {
        const std::unique_ptr<FenetrePrincipale> f = creerFenetres();
        f->projet.repProgramme = programme;
        definirVisionneuse(QString());
        f->show();
        statut = realiserLeFilm(*f, *dialogues, maison);
        if (statut == 0) statut = quandCaNeMarchePas(*f, *dialogues);
        f->close();
    }
    std::fprintf(stderr, "%lld images : %s\n", static_cast<long long>(g_images.size()),
                 qPrintable(g_images.join(QLatin1Char(' '))));
    if (statut != 0) std::fprintf(stderr, "captures_guide : le film n'a pas pu être fait\n");
    return statut;
}
