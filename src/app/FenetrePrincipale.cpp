// SPDX-License-Identifier: GPL-3.0-or-later
#include "FenetrePrincipale.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QShowEvent>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUndoGroup>

#include "DialogueNouveauProjet.h"
#include "DialogueOuvrirProjet.h"
#include "DialogueReglagesVideo.h"
#include "Duplication.h"
#include "bandeson/CommandesBandeSon.h"
#include "bandeson/DialogueEnregistrementSon.h"
#include "capture/Camera.h"
#include "capture/FenetrePleinEcran.h"
#include "capture/Oignon.h"
#include "capture/VueDirecte.h"
#include "export/CommandeExport.h"
#include "film/CommandesFilm.h"
#include "platform/Bitmap.h"
#include "platform/Bureau.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/ErreurApplication.h"
#include "platform/FichiersSurs.h"
#include "platform/ImageEtiree.h"
#include "platform/Profil.h"
#include "sequence/Apercu.h"
#include "sequence/BandeFilm.h"
#include "sequence/Edition.h"
#include "sequence/Fraicheur.h"
#include "sequence/Historique.h"
#include "sequence/PlacePhotos.h"
#include "video/CreerVideo.h"

namespace vp {

namespace {

// The progress bar's place on the selection bar, after the undo and redo buttons.
const QRect kPlaceBarreProgression(366, 4, 147, 17);

QToolButton* boutonPlat(QWidget* parent, int x, int y, int cote, const QString& glyphe,
                        int coteIcone = 0) {
    auto* b = new QToolButton(parent);
    b->setGeometry(x, y, cote, cote);
    b->setAutoRaise(true);
    // The keyboard belongs to the picture: a button left with the focus after a dialog closes
    // would take Space and Enter for itself.
    b->setFocusPolicy(Qt::NoFocus);
    b->setCursor(Qt::PointingHandCursor);
    b->setIcon(QIcon(QStringLiteral(":/glyphes/%1.png").arg(glyphe)));
    b->setIconSize(QSize(coteIcone ? coteIcone : cote - 4, coteIcone ? coteIcone : cote - 4));
    b->setObjectName(glyphe);
    return b;
}

QFrame* ligne(QWidget* parent, QFrame::Shape forme, int x, int y, int l, int h) {
    auto* f = new QFrame(parent);
    f->setFrameShape(forme);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(x, y, l, h);
    return f;
}

QLabel* etiquette(QWidget* parent, const QString& texte, int x, int y, int l, int h,
                  Qt::Alignment alignement, const QString& style) {
    auto* e = new QLabel(texte, parent);
    e->setGeometry(x, y, l, h);
    e->setAlignment(alignement | Qt::AlignVCenter);
    e->setStyleSheet(style);
    return e;
}

const QString kBleuGras = QStringLiteral("color: blue; font-weight: bold;");
const QString kStyleAide = QStringLiteral("color: navy; font-weight: bold; font-size: 13px;");
const QString kStyleAlerte = QStringLiteral("color: red; font-weight: bold; font-size: 13px;");

QImage glyphe(const QString& nom) {
    return QImage(QStringLiteral(":/glyphes/%1.png").arg(nom));
}

// The shooting settings the program remembers between runs, beside the remembered camera.
const QString kCleCouches = QStringLiteral("prise_de_vue/couches_oignon");
const QString kCleReperes = QStringLiteral("prise_de_vue/reperes");
const QString kCleEnBoucle = QStringLiteral("apercu/en_boucle");
const QString kCleFinSurCamera = QStringLiteral("apercu/fin_sur_camera");
const QString kCleImagesAvantCamera = QStringLiteral("apercu/images_avant_camera");
// In the order of the Repères menu.
const std::array<std::pair<Reperes, const char*>, 4> kNomsReperes = {{
    {Reperes::Aucun, "aucun"},
    {Reperes::Tiers, "tiers"},
    {Reperes::Croix, "croix"},
    {Reperes::Cadre169, "cadre_16_9"},
}};

}  // namespace

FenetrePrincipale::FenetrePrincipale(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(kTitreApplication);
    groupeAnnulation = new QUndoGroup(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    construireControles();
    construireMenus();
    relierCommandes();
    // The buttons follow the menu items.
    boutonAnnuler->setEnabled(false);
    boutonRetablir->setEnabled(false);
    connect(actionAnnuler, &QAction::enabledChanged, boutonAnnuler, &QWidget::setEnabled);
    connect(actionRetablir, &QAction::enabledChanged, boutonRetablir, &QWidget::setEnabled);
    chargerReglagesPriseDeVue();
    resize(865, 603);
    preparerDemarrage();
}

FenetrePrincipale::~FenetrePrincipale() = default;

void FenetrePrincipale::centrerSurLEcran() {
    const QScreen* ecran = screen();
    if (!ecran) return;
    // Centred in the free area of the screen; on a small screen its top-left corner stays in
    // sight, with the title bar.
    const QRect libre = ecran->availableGeometry();
    const QRect centre =
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frameGeometry().size(), libre);
    move(std::max(centre.left(), libre.left()), std::max(centre.top(), libre.top()));
}

void FenetrePrincipale::relierDialogues(DialogueNouveauProjet* nouveau,
                                        DialogueOuvrirProjet* ouvrir,
                                        DialogueReglagesVideo* video) {
    dialogueNouveau = nouveau;
    dialogueOuvrir = ouvrir;
    dialogueVideo = video;
}

void FenetrePrincipale::construireControles() {
    fond = new QWidget(this);
    fond->setObjectName(QStringLiteral("fond"));
    setCentralWidget(fond);
    QFont police = fond->font();
    police.setPointSize(8);
    fond->setFont(police);

    barreOutils = new QFrame(fond);
    barreOutils->setFrameShape(QFrame::StyledPanel);
    barreOutils->setGeometry(0, 0, 865, 35);
    boutonNouveau = boutonPlat(barreOutils, 1, 1, 33, QStringLiteral("nouveau"));
    boutonOuvrir = boutonPlat(barreOutils, 33, 1, 33, QStringLiteral("ouvrir"));
    boutonDupliquerProjet = boutonPlat(barreOutils, 65, 1, 33, QStringLiteral("dupliquer_projet"));
    boutonCreerVideo = boutonPlat(barreOutils, 113, 1, 33, QStringLiteral("creer_video"));
    boutonRevoirVideo = boutonPlat(barreOutils, 145, 1, 33, QStringLiteral("revoir_video"));
    boutonCopierVideo = boutonPlat(barreOutils, 177, 1, 33, QStringLiteral("copier_video"));
    boutonEnregistrerSon = boutonPlat(barreOutils, 225, 1, 33, QStringLiteral("enregistrer_son"));
    boutonEcouterSon = boutonPlat(barreOutils, 257, 1, 33, QStringLiteral("ecouter_son"));
    boutonImporterSon = boutonPlat(barreOutils, 289, 1, 33, QStringLiteral("importer_son"));
    boutonCopierSon = boutonPlat(barreOutils, 321, 1, 33, QStringLiteral("copier_son"));
    boutonMixer = boutonPlat(barreOutils, 369, 1, 33, QStringLiteral("mixer"));
    boutonRevoirFilm = boutonPlat(barreOutils, 401, 1, 33, QStringLiteral("revoir_film"));
    boutonCopierFilm = boutonPlat(barreOutils, 433, 1, 33, QStringLiteral("copier_film"));
    boutonEditeur = boutonPlat(barreOutils, 484, 1, 33, QStringLiteral("vdub"));
    ligne(barreOutils, QFrame::VLine, 104, 0, 2, 35);
    ligne(barreOutils, QFrame::VLine, 216, 0, 2, 35);
    ligne(barreOutils, QFrame::VLine, 360, 0, 2, 35);
    ligne(barreOutils, QFrame::VLine, 472, 0, 2, 35);

    const QString gras = QStringLiteral("font-weight: bold;");
    etiquette(fond, QStringLiteral("PROJETS"), 0, 36, 105, 16, Qt::AlignHCenter, gras);
    etiquette(fond, QStringLiteral("VIDÉO"), 104, 36, 113, 16, Qt::AlignHCenter, gras);
    etiquette(fond, QStringLiteral("AUDIO"), 216, 36, 145, 16, Qt::AlignHCenter, gras);
    etiquette(fond, QStringLiteral("FILM"), 360, 36, 113, 16, Qt::AlignHCenter, gras);
    etiquette(fond, QStringLiteral("VDUB"), 472, 36, 57, 16, Qt::AlignHCenter, gras);

    boutonPhoto = boutonPlat(fond, 8, 56, 57, QStringLiteral("photo"), 52);
    boutonDoublerImage = boutonPlat(fond, 72, 56, 57, QStringLiteral("doubler"), 52);
    boutonSupprimerImage = boutonPlat(fond, 136, 56, 57, QStringLiteral("supprimer"), 52);
    ligne(fond, QFrame::HLine, 8, 120, 185, 2);
    compteurImages =
        etiquette(fond, QString(), 24, 134, 129, 19, Qt::AlignHCenter,
                  QStringLiteral("font-family: Arial; font-weight: bold; font-size: 16px;"));
    boutonApercu = boutonPlat(fond, 160, 126, 33, QStringLiteral("lecture"), 28);
    // Beside it, how the preview plays: in a loop, and ending on the camera.
    boutonEnBoucle = boutonPlat(fond, 181, 166, 19, QStringLiteral("en_boucle"), 15);
    boutonEnBoucle->setCheckable(true);
    boutonFinSurCamera = boutonPlat(fond, 181, 188, 19, QStringLiteral("fin_camera"), 15);
    boutonFinSurCamera->setCheckable(true);
    vueApercu = new ImageEtiree(fond);
    vueApercu->setGeometry(20, 164, 160, 120);
    imageVide = new ImageEtiree(fond);
    imageVide->setGeometry(160, 192, 33, 33);
    imageVide->setImage(
        QImage(QStringLiteral(":/images/vide.bmp")).convertToFormat(QImage::Format_RGB888));
    imageVide->hide();
    etiquetteCadence =
        etiquette(fond, QStringLiteral("12 i/s"), 8, 304, 49, 25, Qt::AlignRight,
                  QStringLiteral("color: blue; font-weight: bold; font-size: 16px;"));
    glissiereCadence = new QSlider(Qt::Horizontal, fond);
    glissiereCadence->setGeometry(56, 296, 137, 33);
    glissiereCadence->setRange(1, 25);
    glissiereCadence->setValue(12);
    glissiereCadence->setPageStep(1);
    glissiereCadence->setTickInterval(10);
    glissiereCadence->setTickPosition(QSlider::TicksAbove);
    glissiereCadence->setCursor(Qt::PointingHandCursor);
    etiquette(fond, QStringLiteral("CAMERA"), 200, 56, 321, 25, Qt::AlignHCenter, kBleuGras);
    vueCamera = new ImageEtiree(fond);
    vueCamera->setGeometry(200, 80, 320, 240);
    boutonPleinEcran = boutonPlat(fond, 497, 57, 23, QStringLiteral("plein_ecran"), 19);
    camera = new TCamera(fond);
    camera->setGeometry(8, 120, 17, 17);
    camera->setFichierVideo(QStringLiteral("Video.avi"));
    camera->setFichierImage(QStringLiteral("Imagen.bmp"));
    camera->setFramesPreview(30);
    camera->setFramesCaptura(30);
    glypheArret = new ImageEtiree(fond, false);
    glypheArret->setGeometry(0, 0, 28, 27);
    glypheArret->setImage(glyphe(QStringLiteral("arret")));
    glypheArret->hide();
    glypheLecture = new ImageEtiree(fond, false);
    glypheLecture->setGeometry(0, 0, 28, 27);
    glypheLecture->setImage(glyphe(QStringLiteral("lecture")));
    glypheLecture->hide();
    etiquette(fond, QStringLiteral("DÉCALAGE"), 536, 56, 321, 25, Qt::AlignHCenter, kBleuGras);
    vueOignon = new ImageEtiree(fond);
    vueOignon->setGeometry(536, 80, 320, 240);
    ligne(fond, QFrame::VLine, 528, 40, 2, 321);
    etiquette(fond, QStringLiteral("image"), 536, 336, 45, 17, Qt::AlignLeft, kBleuGras);
    etiquette(fond, QStringLiteral("caméra"), 792, 336, 60, 17, Qt::AlignRight, kBleuGras);
    glissiereOignon = new QSlider(Qt::Horizontal, fond);
    glissiereOignon->setGeometry(584, 328, 209, 33);
    glissiereOignon->setRange(0, 100);
    glissiereOignon->setValue(50);
    glissiereOignon->setPageStep(10);
    glissiereOignon->setTickInterval(10);
    glissiereOignon->setTickPosition(QSlider::TicksBothSides);

    barreSelection = new QFrame(fond);
    barreSelection->setFrameShape(QFrame::StyledPanel);
    barreSelection->setGeometry(0, 336, 521, 25);
    boutonMarquerDebut =
        boutonPlat(barreSelection, 1, 1, 23, QStringLiteral("debut_selection"), 17);
    boutonMarquerFin = boutonPlat(barreSelection, 25, 1, 23, QStringLiteral("fin_selection"), 17);
    boutonAnnulerSelection =
        boutonPlat(barreSelection, 49, 1, 23, QStringLiteral("annuler_selection"), 17);
    boutonCopierSelection =
        boutonPlat(barreSelection, 73, 1, 23, QStringLiteral("copier_selection"), 17);
    boutonInverserSelection =
        boutonPlat(barreSelection, 97, 1, 23, QStringLiteral("inverser_selection"), 17);
    boutonDoublerSelection =
        boutonPlat(barreSelection, 121, 1, 23, QStringLiteral("doubler_selection"), 17);
    boutonSupprimerSelection =
        boutonPlat(barreSelection, 145, 1, 23, QStringLiteral("supprimer_selection"), 17);
    etiquetteSelection =
        etiquette(barreSelection, QStringLiteral("->"), 176, 4, 129, 17, Qt::AlignHCenter,
                  QStringLiteral("color: red; background: white; font-weight: bold;"));
    boutonAnnuler = boutonPlat(barreSelection, 312, 1, 23, QStringLiteral("annuler"), 17);
    boutonRetablir = boutonPlat(barreSelection, 336, 1, 23, QStringLiteral("retablir"), 17);
    barreProgression = new QProgressBar(barreSelection);
    barreProgression->setGeometry(kPlaceBarreProgression);
    barreProgression->setTextVisible(false);
    barreProgression->hide();
    // The export can be stopped: a button takes the end of the bar's place, and Échap, the
    // desktop's key for "stop", does the same while it shows.
    boutonArreterExport = new QToolButton(barreSelection);
    boutonArreterExport->setText(QStringLiteral("Arrêter"));
    boutonArreterExport->setObjectName(QStringLiteral("arreter_export"));
    boutonArreterExport->setGeometry(453, 2, 64, 21);
    boutonArreterExport->setFocusPolicy(Qt::NoFocus);
    boutonArreterExport->setShortcut(QKeySequence(Qt::Key_Escape));
    boutonArreterExport->hide();

    bandeFilm = new BandeFilm(projet, fond);
    bandeFilm->setGeometry(8, 368, 849, 185);
    bandeFilm->relier(compteurImages, etiquetteSelection, imageVide);
    vueApercu->setImage(imageVide->image());

    ligneAide = etiquette(fond, QString(), 0, 555, 865, 24, Qt::AlignLeft, kStyleAide);
    ligneAide->setAttribute(Qt::WA_TranslucentBackground);

    minuterieApercu = new QTimer(this);
    minuterieApercu->setTimerType(Qt::PreciseTimer);

    apercu_ = std::make_unique<Apercu>(
        projet,
        Apercu::Controles{minuterieApercu, boutonApercu, vueApercu, compteurImages, glypheLecture,
                          glypheArret, glissiereCadence, etiquetteCadence, bandeFilm});
    vueDirecte_ = std::make_unique<VueDirecte>(
        projet, VueDirecte::Controles{camera, vueCamera, vueOignon, glissiereOignon, bandeFilm});
    fenetrePleinEcran = new FenetrePleinEcran(this);
    vueDirecte_->definirPleinEcran(fenetrePleinEcran);
    // The full-screen window and the preview follow the strip, even when a frame of it cannot be
    // read.
    bandeFilm->apresRafraichissement = [this] {
        if (fenetrePleinEcran->isVisible()) mettreAJourPleinEcran();
        apercu_->suivreFilm();
    };
    apercu_->imageJouee = [this](const QImage& image) {
        if (!fenetrePleinEcran->isVisible()) return;
        fenetrePleinEcran->montrerLecture(image);
        fenetrePleinEcran->definirCompteur(compteurImages->text());
    };

    // Help line.
    const std::pair<QWidget*, const char*> textes[] = {
        {boutonNouveau, " Créer un nouveau projet d'animation."},
        {boutonOuvrir, " Ouvrir un projet d'animation."},
        {boutonDupliquerProjet, " Dupliquer le projet en cours."},
        {boutonCreerVideo, " Créer la vidéo du projet."},
        {boutonRevoirVideo, " Voir la vidéo du projet."},
        {boutonCopierVideo, " Dupliquer la vidéo du projet."},
        {boutonEnregistrerSon, " Enregistrer la bande-son du projet."},
        {boutonEcouterSon, " Ré-écouter la bande son du projet."},
        {boutonImporterSon, " Importer la bande-son du projet."},
        {boutonCopierSon, " Dupliquer la bande-son du projet."},
        {boutonMixer, " Mixer la vidéo et la bande-son du projet."},
        {boutonRevoirFilm, " Visionner le film du projet."},
        {boutonCopierFilm, " Enregistrer une copie du film du projet."},
        {boutonEditeur, " Ouvrir le film avec VirtualDub."},
        {boutonPhoto, " Ajouter/insérer l'image de la caméra."},
        {boutonDoublerImage, " Doubler l'image sélectionnée."},
        {boutonSupprimerImage, " Supprimer l'image sélectionnée."},
        {boutonApercu, " Aperçu de la vidéo."},
        {boutonEnBoucle, " En boucle : l'aperçu recommence au début, jusqu'à ce qu'on l'arrête."},
        {boutonFinSurCamera, ""},  // says how many frames: see decrireFinSurCamera()
        {boutonPleinEcran, " Prise de vue plein écran (F11) : la caméra en grand, pour la classe."},
        {bandeFilm->vignettes[0], " Cliquer pour centrer l'image."},
        {bandeFilm->vignettes[1], " Cliquer pour centrer l'image."},
        {bandeFilm->vignettes[2], " Cliquer pour centrer l'image."},
        {bandeFilm->vignettes[3], " Cliquer pour centrer l'image."},
        {bandeFilm->vignettes[4], " Cliquer pour centrer l'image."},
        {boutonMarquerDebut, " Marquer le départ de la sélection."},
        {boutonMarquerFin, " Marquer la fin de la sélection."},
        {boutonSupprimerSelection, " Supprimer la sélection."},
        {boutonAnnuler, " Annuler la dernière commande sur les images (Ctrl+Z)."},
        {boutonRetablir, " Rétablir la commande annulée (Ctrl+Y)."},
        {boutonAnnulerSelection, " Annuler la sélection."},
        {boutonCopierSelection, " Copier la sélection après l'image."},
        {boutonInverserSelection, " Inverser la sélection."},
        {boutonDoublerSelection, " Doubler chaque image de la sélection."},
        {boutonArreterExport, " Arrêter l'export du film (touche Échap) : rien n'est écrit."},
    };
    for (const auto& [controle, texte] : textes)
        enregistrerAide(controle, Aide::Texte, QString::fromUtf8(texte));
    for (QWidget* w :
         {fond, static_cast<QWidget*>(vueApercu), static_cast<QWidget*>(ligneAide),
          static_cast<QWidget*>(camera), static_cast<QWidget*>(bandeFilm), bandeFilm->viewport(),
          bandeFilm->widget(), static_cast<QWidget*>(bandeFilm->horizontalScrollBar()),
          static_cast<QWidget*>(barreSelection)})
        enregistrerAide(w, Aide::Effacer);
    // Every other control of the window leaves the line as it is.
    for (QWidget* w : fond->findChildren<QWidget*>())
        if (!aides_.contains(w) && w->parentWidget() != bandeFilm &&
            w->parentWidget() != bandeFilm->viewport() && w != camera->fenetre())
            enregistrerAide(w, Aide::Laisser);
}

void FenetrePrincipale::enregistrerAide(QWidget* controle, Aide effet, const QString& texte) {
    aides_.insert(controle, {effet, texte});
    controle->setMouseTracking(true);
    controle->installEventFilter(this);
}

bool FenetrePrincipale::eventFilter(QObject* objet, QEvent* evenement) {
    // The tool bar stays along the top and the help line along the bottom of the window.
    if (objet == fond && evenement->type() == QEvent::Resize) {
        barreOutils->setGeometry(0, 0, fond->width(), 35);
        ligneAide->setGeometry(0, fond->height() - 24, fond->width(), 24);
    }
    if (evenement->type() == QEvent::MouseMove &&
        static_cast<QMouseEvent*>(evenement)->buttons() == Qt::NoButton) {
        const auto regle = aides_.constFind(objet);
        if (regle != aides_.constEnd()) {
            // While the disk runs short, the line says so wherever it would be empty, and
            // over the picture button.
            const bool alerte =
                !alertePlace_.isEmpty() && (regle->effet == Aide::Effacer || objet == boutonPhoto);
            if (alerte)
                montrerAide(alertePlace_, true);
            else if (regle->effet == Aide::Texte)
                montrerAide(regle->texte);
            else if (regle->effet == Aide::Effacer)
                montrerAide(QString());
            return true;  // the control under the mouse decides, not its parents
        }
    }
    return QMainWindow::eventFilter(objet, evenement);
}

void FenetrePrincipale::montrerAide(const QString& texte, bool alerte) {
    if (alerte != aideEnRouge_) {
        ligneAide->setStyleSheet(alerte ? kStyleAlerte : kStyleAide);
        aideEnRouge_ = alerte;
    }
    ligneAide->setText(texte);
}

void FenetrePrincipale::signalerPlace(bool remplacer, bool message) {
    if (projet.titreProjet.isEmpty()) return;
    qint64 octets = -1;
    // The picture just taken is the current frame; at the opening, the last one is.
    if (projet.nbImages > 0)
        octets = identiteFichier(
                     cheminImage(projet, std::clamp(projet.imageCourante, 0, projet.nbImages - 1)))
                     .taille;
    else if (!camera->imageSaisie().isNull())
        octets = tailleBitmap24(camera->imageSaisie().size());
    const qint64 photos = octets > 0 ? photosPossibles(projet, octets) : -1;
    const bool avait = !alertePlace_.isEmpty();
    alertePlace_ = photos >= 0 && photos < kPhotosAlerte
                       ? QLatin1Char(' ') + textePlaceRestante(photos)
                       : QString();
    fenetrePleinEcran->definirAlerte(alertePlace_.trimmed());
    if (!alertePlace_.isEmpty() && (remplacer || ligneAide->text().isEmpty() || aideEnRouge_))
        montrerAide(alertePlace_, true);
    else if (alertePlace_.isEmpty() && avait && aideEnRouge_)
        montrerAide(QString());
    if (message && photos >= 0 && photos <= kPhotosMessage && !messagePlaceMontre_) {
        messagePlaceMontre_ = true;
        dialogues().message(
            fenetreDesCommandes(),
            QStringLiteral("Le disque du projet est presque plein. %1\nLibérez de la place (en "
                           "copiant d'anciens projets sur un autre disque, par exemple), ou "
                           "continuez le film dans un projet rangé sur un autre disque.")
                .arg(textePlaceRestante(photos)),
            Icone::Avertissement);
    }
}

void FenetrePrincipale::construireMenus() {
    QMenuBar* barre = menuBar();
    auto article = [this](QMenu* menu, const QString& titre, const char* nom) {
        QAction* a = menu->addAction(titre);
        a->setObjectName(QString::fromLatin1(nom));
        return a;
    };
    QMenu* projets = barre->addMenu(QStringLiteral("Projets"));
    actionNouveau = article(projets, QStringLiteral("Nouveau"), "actionNouveau");
    actionOuvrir = article(projets, QStringLiteral("Ouvrir"), "actionOuvrir");
    actionDupliquerProjet = article(projets, QStringLiteral("Dupliquer"), "actionDupliquerProjet");
    projets->addSeparator();
    actionQuitter = article(projets, QStringLiteral("Quitter"), "actionQuitter");
    QMenu* video = barre->addMenu(QStringLiteral("Vidéo"));
    // The history's own actions, each with the step it would undo or redo in its text; the
    // window runs them itself (annuler(), retablir()), which can fail and say why.
    const auto annulation = [&](QAction* a, const QString& seul, const char* nom) {
        a->setObjectName(QString::fromLatin1(nom));
        disconnect(a, &QAction::triggered, groupeAnnulation, nullptr);
        const auto texte = [a, seul](const QString& etape) {
            if (etape.isEmpty()) a->setText(seul);
        };
        connect(groupeAnnulation,
                a == actionAnnuler ? &QUndoGroup::undoTextChanged : &QUndoGroup::redoTextChanged, a,
                texte);
        texte(QString());
        video->addAction(a);
    };
    actionAnnuler = groupeAnnulation->createUndoAction(this, QStringLiteral("Annuler :"));
    annulation(actionAnnuler, QStringLiteral("Annuler"), "actionAnnuler");
    actionAnnuler->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    actionRetablir = groupeAnnulation->createRedoAction(this, QStringLiteral("Rétablir :"));
    annulation(actionRetablir, QStringLiteral("Rétablir"), "actionRetablir");
    actionRetablir->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    video->addSeparator();
    actionPhoto =
        article(video, QStringLiteral("Ajouter/Insérer l'image de la webcam"), "actionPhoto");
    // The pupil behind the stand shoots from the keyboard or a wireless presenter (which sends
    // Page Down), only while this window has the focus; a key held down takes one picture.
    actionPhoto->setShortcuts({QKeySequence(Qt::Key_Space), QKeySequence(Qt::Key_Return),
                               QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_PageDown)});
    actionPhoto->setAutoRepeat(false);
    actionDoublerImage =
        article(video, QStringLiteral("Dupliquer l'image sélectionnée"), "actionDoublerImage");
    actionSupprimerImage =
        article(video, QStringLiteral("Supprimer l'image sélectionnée"), "actionSupprimerImage");
    video->addSeparator();
    actionCreerVideo = article(video, QStringLiteral("Créer la vidéo"), "actionCreerVideo");
    actionRevoirVideo = article(video, QStringLiteral("Revoir la vidéo"), "actionRevoirVideo");
    actionCopierVideo = article(video, QStringLiteral("Copier la vidéo"), "actionCopierVideo");
    video->addSeparator();
    actionPleinEcran =
        article(video, QStringLiteral("Prise de vue plein écran"), "actionPleinEcran");
    actionPleinEcran->setShortcut(QKeySequence(Qt::Key_F11));
    actionPleinEcran->setAutoRepeat(false);  // F11 held down would open and close it in turn
    QMenu* audio = barre->addMenu(QStringLiteral("Audio"));
    actionEnregistrerSon =
        article(audio, QStringLiteral("Enregistrer la bande-son"), "actionEnregistrerSon");
    actionEcouterSon =
        article(audio, QStringLiteral("Ré-écouter la bande-son"), "actionEcouterSon");
    actionImporterSon =
        article(audio, QStringLiteral("Importer la bande-son"), "actionImporterSon");
    actionCopierSon = article(audio, QStringLiteral("Copier la bande-son"), "actionCopierSon");
    QMenu* film = barre->addMenu(QStringLiteral("Film"));
    actionMixer = article(film, QStringLiteral("Mixer audio et vidéo"), "actionMixer");
    actionRevoirFilm = article(film, QStringLiteral("Revoir le film"), "actionRevoirFilm");
    actionCopierFilm = article(film, QStringLiteral("Copier le film"), "actionCopierFilm");
    film->addSeparator();
    actionExporterFilm = article(film, QStringLiteral("Exporter le film…"), "actionExporterFilm");
    QMenu* reglages = barre->addMenu(QStringLiteral("Réglages"));
    actionDetecterWebcam =
        article(reglages, QStringLiteral("Détecter la web-cam"), "actionDetecterWebcam");
    actionParametresWebcam =
        article(reglages, QStringLiteral("Paramètres de la web-cam"), "actionParametresWebcam");
    actionFormatImage = article(reglages, QStringLiteral("Format de l'image"), "actionFormatImage");
    reglages->addSeparator();
    menuPelureOignon = reglages->addMenu(QStringLiteral("Pelure d'oignon"));
    auto* groupeCouches = new QActionGroup(this);
    for (int n = 1; n <= kCouchesMax; ++n) {
        // What is counted: the frames before the current one, which is always there.
        QAction* a =
            article(menuPelureOignon,
                    n == 1   ? QStringLiteral("Image en cours seule")
                    : n == 2 ? QStringLiteral("Image en cours et 1 précédente")
                             : QStringLiteral("Image en cours et %1 précédentes").arg(n - 1),
                    "actionCouches");
        a->setObjectName(QStringLiteral("actionCouches%1").arg(n));
        a->setCheckable(true);
        groupeCouches->addAction(a);
        actionsCouches[static_cast<size_t>(n - 1)] = a;
    }
    menuReperes = reglages->addMenu(QStringLiteral("Repères"));
    auto* groupeReperes = new QActionGroup(this);
    actionsReperes = {article(menuReperes, QStringLiteral("Aucun"), "actionReperesAucun"),
                      article(menuReperes, QStringLiteral("Tiers"), "actionReperesTiers"),
                      article(menuReperes, QStringLiteral("Croix au centre"), "actionReperesCroix"),
                      article(menuReperes, QStringLiteral("Cadre 16:9"), "actionReperesCadre169")};
    for (QAction* a : actionsReperes) {
        a->setCheckable(true);
        groupeReperes->addAction(a);
    }
    actionImagesAvantCamera = article(
        reglages, QStringLiteral("Fin sur la caméra : nombre d'images"), "actionImagesAvantCamera");
    actionAide = barre->addAction(QStringLiteral("Aide"));
    actionAide->setObjectName(QStringLiteral("actionAide"));
    actionAPropos = barre->addAction(QStringLiteral("?"));
    actionAPropos->setObjectName(QStringLiteral("actionAPropos"));
}

void FenetrePrincipale::relierCommandes() {
    // Every command goes through the wrapper that shows its errors in the error box.
    auto relier = [this]<typename Emetteur, typename Signal>(
                      Emetteur* source, Signal signal, void (FenetrePrincipale::*commande)()) {
        connect(source, signal, this, [this, commande] {
            if (!occupe_)
                executerCommande([this, commande] { (this->*commande)(); }, fenetreDesCommandes());
        });
    };
    const std::tuple<QAction*, QToolButton*, void (FenetrePrincipale::*)()> carte[] = {
        {actionNouveau, boutonNouveau, &FenetrePrincipale::nouveauProjet},
        {actionOuvrir, boutonOuvrir, &FenetrePrincipale::ouvrirProjet},
        {actionDupliquerProjet, boutonDupliquerProjet, &FenetrePrincipale::dupliquerProjetCourant},
        {actionQuitter, nullptr, &FenetrePrincipale::quitter},
        {actionAnnuler, boutonAnnuler, &FenetrePrincipale::annuler},
        {actionRetablir, boutonRetablir, &FenetrePrincipale::retablir},
        {actionPhoto, boutonPhoto, &FenetrePrincipale::prendrePhoto},
        {actionPleinEcran, boutonPleinEcran, &FenetrePrincipale::basculerPleinEcran},
        {actionDoublerImage, boutonDoublerImage, &FenetrePrincipale::doublerImage},
        {actionSupprimerImage, boutonSupprimerImage, &FenetrePrincipale::supprimerImage},
        {actionCreerVideo, boutonCreerVideo, &FenetrePrincipale::creerVideo},
        {actionRevoirVideo, boutonRevoirVideo, &FenetrePrincipale::revoirVideo},
        {actionCopierVideo, boutonCopierVideo, &FenetrePrincipale::copierVideo},
        {actionEnregistrerSon, boutonEnregistrerSon, &FenetrePrincipale::enregistrerBandeSon},
        {actionEcouterSon, boutonEcouterSon, &FenetrePrincipale::ecouterBandeSon},
        {actionImporterSon, boutonImporterSon, &FenetrePrincipale::importerBandeSon},
        {actionCopierSon, boutonCopierSon, &FenetrePrincipale::copierBandeSon},
        {actionMixer, boutonMixer, &FenetrePrincipale::mixerFilm},
        {actionRevoirFilm, boutonRevoirFilm, &FenetrePrincipale::revoirFilm},
        {actionCopierFilm, boutonCopierFilm, &FenetrePrincipale::copierFilm},
        {actionExporterFilm, nullptr, &FenetrePrincipale::exporterFilm},
        {nullptr, boutonEditeur, &FenetrePrincipale::ouvrirEditeur},
        {actionDetecterWebcam, nullptr, &FenetrePrincipale::detecterWebcam},
        {actionParametresWebcam, nullptr, &FenetrePrincipale::parametresWebcam},
        {actionFormatImage, nullptr, &FenetrePrincipale::formatImage},
        {actionImagesAvantCamera, nullptr, &FenetrePrincipale::choisirImagesAvantCamera},
        {actionAide, nullptr, &FenetrePrincipale::ouvrirAide},
        {actionAPropos, nullptr, &FenetrePrincipale::aPropos},
        {nullptr, boutonApercu, &FenetrePrincipale::basculerApercu},
        {nullptr, boutonMarquerDebut, &FenetrePrincipale::marquerDebutSelection},
        {nullptr, boutonMarquerFin, &FenetrePrincipale::marquerFinSelection},
        {nullptr, boutonAnnulerSelection, &FenetrePrincipale::annulerSelection},
        {nullptr, boutonCopierSelection, &FenetrePrincipale::copierSelection},
        {nullptr, boutonInverserSelection, &FenetrePrincipale::inverserSelection},
        {nullptr, boutonDoublerSelection, &FenetrePrincipale::doublerSelection},
        {nullptr, boutonSupprimerSelection, &FenetrePrincipale::supprimerSelection},
    };
    for (const auto& [action, bouton, commande] : carte) {
        if (action) relier(action, &QAction::triggered, commande);
        if (bouton) relier(bouton, &QToolButton::clicked, commande);
    }
    // The one control a long command leaves working.
    connect(boutonArreterExport, &QToolButton::clicked, this, [this] { exportArrete_ = true; });
    relier(minuterieApercu, &QTimer::timeout, &FenetrePrincipale::avancerApercu);
    // The two buttons of the preview's mode show the mode, even when a long command under way
    // refuses the click they have already taken.
    for (QToolButton* bouton : {boutonEnBoucle, boutonFinSurCamera})
        connect(bouton, &QToolButton::clicked, this, [this] {
            if (!occupe_) executerCommande([this] { changerModeApercu(); }, fenetreDesCommandes());
            boutonEnBoucle->setChecked(apercu_->mode().enBoucle);
            boutonFinSurCamera->setChecked(apercu_->mode().finSurCamera);
        });
    for (int n = 1; n <= kCouchesMax; ++n)
        connect(actionsCouches[static_cast<size_t>(n - 1)], &QAction::triggered, this,
                [this, n] { executerCommande([&] { choisirCouches(n); }, fenetreDesCommandes()); });
    for (const auto& [reperes, nom] : kNomsReperes)
        connect(actionsReperes[static_cast<size_t>(reperes)], &QAction::triggered, this,
                [this, r = reperes] {
                    executerCommande([&] { choisirReperes(r); }, fenetreDesCommandes());
                });
    // In full screen: the picture and full-screen keys of this window, P for the preview.
    fenetrePleinEcran->addAction(actionPhoto);
    fenetrePleinEcran->addAction(actionPleinEcran);
    relier(fenetrePleinEcran->actionLecture, &QAction::triggered,
           &FenetrePrincipale::basculerApercu);
    connect(fenetrePleinEcran, &FenetrePleinEcran::fermee, this, [this] {
        vueDirecte_->libererPleinEcran();
        activateWindow();
        raise();
    });
    relier(glissiereCadence, &QSlider::valueChanged, &FenetrePrincipale::changerCadenceApercu);
    camera->OnFrame = [this](TCamera* s, quintptr h, EnTeteVideo* e) {
        executerCommande([&] { traiterImageCamera(s, h, e); }, this);
    };
    // A camera unplugged while it runs: the live view stops, and the user is told what to do.
    // In full screen the message is shown over the picture, and Échap still goes back; in the
    // main window, in a box.
    camera->OnError = [this](TCamera*, quintptr, qint32, const char*) {
        webcamPerdue_ = true;
        if (fenetrePleinEcran->isVisible())
            fenetrePleinEcran->montrerMessage(kWebcamPerduePleinEcran);
        if (!fenetrePleinEcran->devant())
            dialogues().message(this, kWebcamPerdue, Icone::Avertissement);
    };
}

void FenetrePrincipale::preparerDemarrage() {
    // The documents folder gets a "voltiplume" folder, the place for the user's projects.
    const QString documents = dossierDocuments();
    if (!documents.isEmpty())
        QDir().mkpath(avecSeparateur(documents) + QStringLiteral("voltiplume"));
    projet.bmpTravail1 = QImage(320, 240, QImage::Format_RGB888);
    projet.bmpTravail1.fill(Qt::white);
    projet.bmpTravail2 = QImage(320, 240, QImage::Format_RGB888);
    projet.bmpTravail2.fill(Qt::white);
    // The program's own files (the guide, the editor programs) sit beside its executable; new
    // projects go into the folder it was started in (the launcher starts it in the documents
    // folder "voltiplume"). Both are the same folder when it is started from its own folder.
    projet.repProgramme = avecSeparateur(QCoreApplication::applicationDirPath());
    projet.repProjets = repertoireCourant();
    // Videos the desktop has no player for open in the editor's window.
    definirVisionneuse(programmeEditeur(projet));
    // Without a camera the message is shown and the window opens all the same.
    camera->setlmageDevice(indexCameraRetenue());
    executerCommande([this] { camera->setActif(true); }, this);
}

void FenetrePrincipale::libererAvantFermeture() {
    fenetrePleinEcran->hide();
    camera->setActif(false);
    projet.bmpTravail1 = QImage();
    projet.bmpTravail2 = QImage();
}

void FenetrePrincipale::closeEvent(QCloseEvent* e) {
    if (occupe_) {  // a copy is under way: the window stays until it ends
        e->ignore();
        return;
    }
    executerCommande([this] { libererAvantFermeture(); }, this);
    e->accept();
}

void FenetrePrincipale::showEvent(QShowEvent* e) {
    // Centred when it first opens, at the size its menu bar and controls have then given it.
    if (!e->spontaneous() && !centree_) {
        centrerSurLEcran();
        centree_ = true;
    }
    QMainWindow::showEvent(e);
}

void FenetrePrincipale::changeEvent(QEvent* e) {
    // The user has come back here (Alt+Tab, a click): the full-screen window left open behind
    // no longer takes the camera's frames, the commands' boxes open over this window.
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        fenetrePleinEcran->passerDerriere();
    // Each time the window becomes active, the application comes to the front.
    // (Never above the application's own modal dialog, which must stay in sight.)
    if (e->type() == QEvent::ActivationChange && isActiveWindow() &&
        !QApplication::activeModalWidget())
        raise();
    QMainWindow::changeEvent(e);
}

// --- Projects ---

void FenetrePrincipale::nouveauProjet() {
    projet.dialogueOk = false;
    dialogues().executer(*dialogueNouveau);
    if (!projet.dialogueOk) return;
    const QString titre = dialogueNouveau->champTitre->text();
    const QString dossier = dialogueNouveau->champDossier->text();
    const QString chemin = projet.repProjets + dossier;
    if (!dossierExiste(chemin)) creerDossier(chemin);
    ecrireProfil(chemin + QStringLiteral("/projet.ini"), QStringLiteral("GENERAL"),
                 QStringLiteral("titre"), titre);
    synchroniserDossier(projet.repProjets);  // the new project's folder in the projects folder
    // The project is taken over only once its file is written: on failure the previous one stays.
    if (apercu_->enLecture() || apercu_->surLaCamera()) apercu_->arreter();
    projet.titreProjet = titre;
    projet.nomDossier = dossier;
    projet.historique.reset();
    projet.nbImages = 0;
    setWindowTitle(kTitreApplication + QStringLiteral(" : ") + titre);
    vueApercu->setImage(imageVide->image());
    projet.imageCourante = -1;
    projet.selDebut = -1;
    projet.selFin = -1;
    montrerAide(QString());  // what was said of the previous project
    signalerPlace(false, true);
    rafraichirBande();
}

void FenetrePrincipale::ouvrirProjet() {
    projet.dialogueOk = false;
    dialogues().executer(*dialogueOuvrir);
    if (!projet.dialogueOk) return;
    const int i = dialogueOuvrir->indexChoisi();
    if (i < 0) {
        dialogues().message(this, kAucunProjetChoisi, Icone::Information);
        return;
    }
    // Opening a project removes its leftover temporary files: a recording still being put in
    // place of "audio.wav" is one of them until it is renamed.
    if (!bandeSonPrete()) return;
    if (apercu_->enLecture() || apercu_->surLaCamera()) apercu_->arreter();
    projet.titreProjet = dialogueOuvrir->listeTitres->item(i)->text();
    projet.nomDossier = dialogueOuvrir->listeDossiers->item(i)->text();
    setWindowTitle(kTitreApplication + QStringLiteral(" : ") + projet.titreProjet);
    ouvrirHistorique();
    vueApercu->setImage(imageVide->image());
    projet.imageCourante = projet.nbImages - 1;
    projet.selDebut = -1;
    projet.selFin = -1;
    signalerPlace(false, true);
    rafraichirBande();
}

void FenetrePrincipale::ouvrirHistorique() {
    // A command a kill or a power cut stopped is finished (or undone) before the film is shown.
    projet.historique = std::make_shared<Historique>(projet.dossierProjet());
    Historique::Reprise reprise;
    try {
        reprise = projet.historique->ouvrir();
    } catch (const std::exception& e) {
        reprise.genre = Historique::Reprise::Impossible;
        reprise.raison = QString::fromUtf8(e.what());
    }
    projet.nbImages = compterImages(projet);
    const QString commande =
        reprise.annulation
            ? QStringLiteral(" L'annulation de « %1 » avait été interrompue").arg(reprise.commande)
            : QStringLiteral(" La commande « %1 » avait été interrompue").arg(reprise.commande);
    montrerAide(QString());
    switch (reprise.genre) {
        case Historique::Reprise::Aucune:
            break;
        case Historique::Reprise::Terminee:
            montrerAide(commande + QStringLiteral(" : elle a été terminée."));
            break;
        case Historique::Reprise::Annulee:
            montrerAide(commande + (reprise.annulation
                                        ? QStringLiteral(" : elle n'a pas eu lieu.")
                                        : QStringLiteral(" : elle a été défaite (« Rétablir » "
                                                         "la refait).")));
            break;
        case Historique::Reprise::Illisible:
            montrerAide(
                QStringLiteral(" L'historique des annulations de ce projet était "
                               "abîmé : il repart de zéro."));
            break;
        case Historique::Reprise::Occupe:
            dialogues().message(this, kProjetOccupe, Icone::Avertissement);
            break;
        case Historique::Reprise::Impossible:
            dialogues().message(
                this,
                QStringLiteral("La dernière commande sur les images de ce projet avait été "
                               "interrompue, et elle n'a pas pu être reprise : %1\nLes images "
                               "sont montrées telles que le disque les garde.")
                    .arg(reprise.raison),
                Icone::Avertissement);
            break;
    }
}

bool FenetrePrincipale::bandeSonPrete() {
    return !fenetreSon || fenetreSon->attendreFinEnregistrement(fenetreDesCommandes());
}

void FenetrePrincipale::dupliquerProjetCourant() {
    if (!bandeSonPrete()) return;
    travailLong([this] { vp::dupliquerProjet(projet, [this] { resterReactive(); }); });
}

void FenetrePrincipale::travailLong(const std::function<void()>& travail) {
    occupe_ = true;
    try {
        travail();
    } catch (...) {
        occupe_ = false;
        throw;
    }
    occupe_ = false;
}

void FenetrePrincipale::resterReactive() {
    const qint64 maintenant = QDateTime::currentMSecsSinceEpoch();
    if (maintenant - dernierDessinProgression_ < 30) return;
    dernierDessinProgression_ = maintenant;
    QApplication::processEvents();
}

void FenetrePrincipale::quitter() {
    QApplication::quit();
}

void FenetrePrincipale::ouvrirAide() {
    bureau().ouvrirDocument(projet.repProgramme + QStringLiteral("aide/volti-plume.pdf"));
}

void FenetrePrincipale::aPropos() {
    dialogues().message(QApplication::activeWindow(),
                        QStringLiteral("Logiciel d'animation en Stop-Motion pour la classe\n"
                                       "Conçu et écrit par l'équipe VOLTIPLUME, 2026."),
                        Icone::Aucune);
}

void FenetrePrincipale::commandeAVenir() {
    dialogues().message(
        this, QStringLiteral("Cette commande n'est pas encore disponible dans cette version."),
        Icone::Information);
}

// --- Frames ---

void FenetrePrincipale::annuler() {
    const QString texte = annulerCommande(projet, *this);
    if (!texte.isEmpty()) montrerAide(QLatin1Char(' ') + texte);
}
void FenetrePrincipale::retablir() {
    const QString texte = retablirCommande(projet, *this);
    if (!texte.isEmpty()) montrerAide(QLatin1Char(' ') + texte);
}

void FenetrePrincipale::mettreAJourHistorique() {
    QUndoStack* pile =
        projet.historique && !projet.titreProjet.isEmpty() ? &projet.historique->pile() : nullptr;
    if (pile && !groupeAnnulation->stacks().contains(pile)) groupeAnnulation->addStack(pile);
    groupeAnnulation->setActiveStack(pile);
}

void FenetrePrincipale::prendrePhoto() {
    // The room left, after each picture; a picture refused says why in its own box.
    try {
        vueDirecte_->prendrePhoto(*this);
    } catch (...) {
        signalerPlace(true, false);
        throw;
    }
    signalerPlace(true, true);
}
void FenetrePrincipale::doublerImage() {
    vp::dupliquerImageCourante(projet, *this);
}
void FenetrePrincipale::supprimerImage() {
    vp::supprimerImageCourante(projet, *this);
}
void FenetrePrincipale::copierSelection() {
    vp::copierSelection(projet, *this);
}
void FenetrePrincipale::inverserSelection() {
    vp::inverserSelection(projet, *this);
}
void FenetrePrincipale::doublerSelection() {
    vp::doublerSelection(projet, *this);
}
void FenetrePrincipale::supprimerSelection() {
    vp::supprimerSelection(projet, *this);
}
void FenetrePrincipale::marquerDebutSelection() {
    bandeFilm->marquerDebutSelection();
}
void FenetrePrincipale::marquerFinSelection() {
    bandeFilm->marquerFinSelection();
}
void FenetrePrincipale::annulerSelection() {
    bandeFilm->annulerSelection();
}
void FenetrePrincipale::basculerApercu() {
    apercu_->basculerApercu();
}
void FenetrePrincipale::avancerApercu() {
    apercu_->avancerApercu();
}
void FenetrePrincipale::changerCadenceApercu() {
    apercu_->changerCadenceApercu();
}

void FenetrePrincipale::rafraichirBande() {
    mettreAJourHistorique();
    bandeFilm->rafraichirBande();
}
void FenetrePrincipale::afficherNombreImages() {
    bandeFilm->afficherNombreImages();
}
void FenetrePrincipale::afficherSelection() {
    bandeFilm->afficherSelection();
}

void FenetrePrincipale::montrerProgression(int maximum) {
    barreProgression->setRange(0, maximum);
    barreProgression->setValue(0);
    barreProgression->show();
    barreProgression->repaint();
    dernierDessinProgression_ = QDateTime::currentMSecsSinceEpoch();
}

void FenetrePrincipale::avancerProgression() {
    barreProgression->setValue(barreProgression->value() + 1);
    // Repainted a few times a second: enough to be seen, too rarely to slow the work.
    const qint64 maintenant = QDateTime::currentMSecsSinceEpoch();
    if (maintenant - dernierDessinProgression_ >= 40) {
        barreProgression->repaint();
        dernierDessinProgression_ = maintenant;
    }
}

void FenetrePrincipale::completerProgression() {
    barreProgression->setValue(barreProgression->maximum());
}
void FenetrePrincipale::masquerProgression() {
    barreProgression->hide();
}

// --- Webcam ---

void FenetrePrincipale::traiterImageCamera(TCamera*, quintptr, EnTeteVideo*) {
    // Frames again, from whichever camera: it answers.
    if (webcamPerdue_ || !fenetrePleinEcran->message().isEmpty()) {
        webcamPerdue_ = false;
        fenetrePleinEcran->montrerMessage(QString());
    }
    // The camera's turn of a play shows it live and as it is, here and in full screen: the next
    // position, to be seen against the frames just played. Once the play has stopped, the full
    // screen is for shooting again: the onion skin comes back.
    vueDirecte_->definirCameraSeule(apercu_->surLaCamera() && apercu_->enLecture());
    vueDirecte_->traiterImageCamera();
    if (apercu_->surLaCamera() && !fenetrePleinEcran->devant())
        vueApercu->setImage(vueCamera->image());
}

void FenetrePrincipale::detecterWebcam() {
    camera->setActif(false);
    camera->setlmageDevice(indexCameraRetenue());  // its number may have changed
    camera->setActif(true);
    webcamPerdue_ = false;
}

QWidget* FenetrePrincipale::fenetreDesCommandes() {
    return fenetrePleinEcran->devant() ? static_cast<QWidget*>(fenetrePleinEcran) : this;
}

void FenetrePrincipale::basculerPleinEcran() {
    if (fenetrePleinEcran->devant()) {
        fenetrePleinEcran->close();
        return;
    }
    // Closed, or left behind this window or minimised: brought (back) over the whole screen.
    fenetrePleinEcran->montrerMessage(!cameraPrete()  ? kPasDeWebcam
                                      : webcamPerdue_ ? kWebcamPerduePleinEcran
                                                      : QString());
    fenetrePleinEcran->montrerLecture(QImage());
    // On the screen of the main window.
    if (const QScreen* ecran = screen()) fenetrePleinEcran->setGeometry(ecran->geometry());
    fenetrePleinEcran->showFullScreen();
    fenetrePleinEcran->raise();
    fenetrePleinEcran->activateWindow();
    mettreAJourPleinEcran();
}

void FenetrePrincipale::mettreAJourPleinEcran() {
    fenetrePleinEcran->suivreFilm(projet, *bandeFilm, imageVide->image());
    fenetrePleinEcran->definirCompteur(compteurImages->text());
}

void FenetrePrincipale::chargerReglagesPriseDeVue() {
    const QSettings reglages = reglagesProgramme();
    // A value out of range (a file edited by hand) gives the default.
    bool lu = false;
    int couches = reglages.value(kCleCouches).toInt(&lu);
    if (!lu || couches < 1 || couches > kCouchesMax) couches = 1;
    vueDirecte_->definirCouches(couches);
    actionsCouches[static_cast<size_t>(couches - 1)]->setChecked(true);

    const QString nomReperes = reglages.value(kCleReperes).toString();
    Reperes reperes = Reperes::Aucun;
    for (const auto& [r, nom] : kNomsReperes)
        if (nomReperes == QLatin1String(nom)) reperes = r;
    vueDirecte_->definirReperes(reperes);
    actionsReperes[static_cast<size_t>(reperes)]->setChecked(true);

    Apercu::Mode mode;
    mode.enBoucle = reglages.value(kCleEnBoucle, false).toBool();
    mode.finSurCamera = reglages.value(kCleFinSurCamera, false).toBool();
    mode.imagesAvantCamera = reglages.value(kCleImagesAvantCamera).toInt(&lu);
    if (!lu || mode.imagesAvantCamera < Apercu::kImagesAvantCameraMin ||
        mode.imagesAvantCamera > Apercu::kImagesAvantCameraMax)
        mode.imagesAvantCamera = Apercu::kImagesAvantCameraDefaut;
    apercu_->definirMode(mode);
    boutonEnBoucle->setChecked(mode.enBoucle);
    boutonFinSurCamera->setChecked(mode.finSurCamera);
    decrireFinSurCamera();
}

void FenetrePrincipale::decrireFinSurCamera() {
    const int n = apercu_->mode().imagesAvantCamera;
    aides_[boutonFinSurCamera].texte =
        n == 1 ? QStringLiteral(
                     " Fin sur la caméra : l'aperçu joue l'image en cours, puis montre la "
                     "caméra.")
               : QStringLiteral(
                     " Fin sur la caméra : l'aperçu joue les %1 images qui finissent à l'image "
                     "en cours, puis montre la caméra.")
                     .arg(n);
}

void FenetrePrincipale::choisirCouches(int nombre) {
    vueDirecte_->definirCouches(nombre);
    actionsCouches[static_cast<size_t>(vueDirecte_->couches() - 1)]->setChecked(true);
    reglagesProgramme().setValue(kCleCouches, vueDirecte_->couches());
}

void FenetrePrincipale::choisirReperes(Reperes reperes) {
    vueDirecte_->definirReperes(reperes);
    actionsReperes[static_cast<size_t>(reperes)]->setChecked(true);
    reglagesProgramme().setValue(kCleReperes,
                                 QLatin1String(kNomsReperes[static_cast<size_t>(reperes)].second));
}

void FenetrePrincipale::changerModeApercu() {
    Apercu::Mode mode = apercu_->mode();
    mode.enBoucle = boutonEnBoucle->isChecked();
    mode.finSurCamera = boutonFinSurCamera->isChecked();
    apercu_->definirMode(mode);
    QSettings reglages = reglagesProgramme();
    reglages.setValue(kCleEnBoucle, mode.enBoucle);
    reglages.setValue(kCleFinSurCamera, mode.finSurCamera);
}

void FenetrePrincipale::choisirImagesAvantCamera() {
    QInputDialog dialogue(fenetreDesCommandes());
    dialogue.setWindowTitle(kTitreApplication);
    dialogue.setInputMode(QInputDialog::IntInput);
    dialogue.setLabelText(
        QStringLiteral("Nombre d'images que l'aperçu joue avant de revenir à la caméra (%1 à %2) :")
            .arg(Apercu::kImagesAvantCameraMin)
            .arg(Apercu::kImagesAvantCameraMax));
    dialogue.setIntRange(Apercu::kImagesAvantCameraMin, Apercu::kImagesAvantCameraMax);
    dialogue.setIntValue(apercu_->mode().imagesAvantCamera);
    dialogue.setOkButtonText(QStringLiteral("OK"));
    dialogue.setCancelButtonText(QStringLiteral("Annuler"));
    if (dialogues().executer(dialogue) != QDialog::Accepted) return;
    Apercu::Mode mode = apercu_->mode();
    mode.imagesAvantCamera = dialogue.intValue();
    apercu_->definirMode(mode);
    reglagesProgramme().setValue(kCleImagesAvantCamera, apercu_->mode().imagesAvantCamera);
    decrireFinSurCamera();
}

void FenetrePrincipale::parametresWebcam() {
    camera->DialogueSource();
}
void FenetrePrincipale::formatImage() {
    camera->DialogueFormat();
}

// --- Commands of the video, sound-track and film steps ---

void FenetrePrincipale::creerVideo() {
    if (!verifierProjet(projet)) return;
    if (projet.nbImages == 0) return;
    changerRepertoire(projet.repProgramme);
    projet.dialogueOk = false;
    dialogues().executer(*dialogueVideo);
    if (!projet.dialogueOk) return;
    projet.imagesParSeconde = lireEntier(dialogueVideo->champImagesParSeconde->text());
    projet.largeurVideo = lireEntier(dialogueVideo->champLargeur->text());
    projet.hauteurVideo = lireEntier(dialogueVideo->champHauteur->text());
    reglagesVideoChoisis_ = true;
    occupe_ = true;  // closing the window or another command would pull the frames away
    const auto libre = qScopeGuard([this] { occupe_ = false; });
    ecrireVideo(projet, enregistreurVideo, *this);
}

namespace {

// The commands of the later steps start from the program folder, then check the project.
bool departCommande(const ProjetCourant& p) {
    changerRepertoire(p.repProgramme);
    return verifierProjet(p);
}

bool existe(const ProjetCourant& p, const QString& nom) {
    return fichierExiste(p.dossierProjet() + QLatin1Char('/') + nom);
}

}  // namespace

bool FenetrePrincipale::verifierAJour(const QString& nom) {
    // A missing file is the command's own warning.
    if (!existe(projet, nom)) return true;
    const qint32 modifiees = imagesModifiees(projet, nom);
    // A film whose frames are the film's own but whose sound track was recorded again since:
    // only the mixing is made again.
    const bool sonSeul = modifiees == 0 && nom == kNomFilm && bandeSonChangee(projet);
    if (modifiees == 0 && !sonSeul) return true;
    const int reponse = dialogues().choix(
        fenetreDesCommandes(),
        sonSeul ? QStringLiteral("La bande-son a changé depuis le dernier mixage. Refaire le film "
                                 "maintenant ?")
                : QStringLiteral("Le film a changé depuis la dernière vidéo (%1). Refaire la "
                                 "vidéo maintenant ?")
                      .arg(texteImagesModifiees(modifiees)),
        {QStringLiteral("Refaire"), QStringLiteral("Continuer quand même"),
         QStringLiteral("Annuler")},
        Icone::Question);
    if (reponse == 1) return true;
    if (reponse != 0) return false;
    bool fait = false;
    travailLong([&] {
        fait = sonSeul ? vp::mixerFilm(
                             projet, this, [this] { resterReactive(); }, false)
                       : refaire(nom);
    });
    return fait;
}

bool FenetrePrincipale::refaire(const QString& nom) {
    const std::optional<ReleveFilm> releve = lireReleve(projet, nom);
    if (!releve) return false;
    if (projet.nbImages == 0) {
        dialogues().message(fenetreDesCommandes(),
                            QStringLiteral("Le film n'a plus aucune image : la vidéo ne peut "
                                           "pas être refaite."),
                            Icone::Avertissement);
        return false;
    }
    const bool film = nom == kNomFilm;
    // For the film, the video is made again only when it is out of date itself, with its own
    // settings when it has them.
    if (!film || imagesModifiees(projet, kNomVideo) > 0) {
        const std::optional<ReleveFilm> video = film ? lireReleve(projet, kNomVideo) : releve;
        refaireVideo(projet, enregistreurVideo, *this, (video ? video : releve)->reglages);
        if (!existe(projet, kNomVideo)) return false;
    }
    if (!film) return true;
    return vp::mixerFilm(
        projet, this, [this] { resterReactive(); }, false);
}

void FenetrePrincipale::revoirVideo() {
    if (departCommande(projet) && verifierAJour(kNomVideo)) vp::revoirVideo(projet, this);
}
void FenetrePrincipale::copierVideo() {
    if (departCommande(projet) && verifierAJour(kNomVideo)) vp::copierVideo(projet, this);
}
void FenetrePrincipale::enregistrerBandeSon() {
    if (!departCommande(projet)) return;
    // The recording window plays the frames with the same playback position.
    if (apercu_->enLecture() || apercu_->surLaCamera()) apercu_->arreter();
    vp::enregistrerBandeSon(projet, *fenetreSon, this);
}
void FenetrePrincipale::ecouterBandeSon() {
    if (departCommande(projet) && bandeSonPrete()) vp::ecouterBandeSon(projet, this);
}
void FenetrePrincipale::importerBandeSon() {
    if (departCommande(projet) && bandeSonPrete()) vp::importerBandeSon(projet, this);
}
void FenetrePrincipale::copierBandeSon() {
    if (departCommande(projet) && bandeSonPrete()) vp::copierBandeSon(projet, this);
}
void FenetrePrincipale::mixerFilm() {
    if (!departCommande(projet) || !bandeSonPrete()) return;
    // Asked only when the mixing can be made: without the sound track it says so first.
    if (existe(projet, kNomSon) && !verifierAJour(kNomVideo)) return;
    travailLong([this] { vp::mixerFilm(projet, this, [this] { resterReactive(); }); });
}
void FenetrePrincipale::revoirFilm() {
    if (departCommande(projet) && verifierAJour(kNomFilm)) vp::revoirFilm(projet, this);
}
void FenetrePrincipale::copierFilm() {
    if (departCommande(projet) && verifierAJour(kNomFilm)) vp::copierFilm(projet, this);
}
void FenetrePrincipale::exporterFilm() {
    if (!departCommande(projet) || !bandeSonPrete()) return;
    // Only settings confirmed in « Réglages vidéo » count, not what was typed there and given
    // up. Before any, the record's rate, and the size of the first frame rather than the
    // record's size of a first run.
    const ProjetCourant neuf;
    const bool tailleChoisie = reglagesVideoChoisis_ || projet.largeurVideo != neuf.largeurVideo ||
                               projet.hauteurVideo != neuf.hauteurVideo;
    const ReglagesExport reglages{projet.imagesParSeconde, tailleChoisie ? projet.largeurVideo : 0,
                                  tailleChoisie ? projet.hauteurVideo : 0};
    exportArrete_ = false;
    const FenetreExport fenetre{this, this,
                                [this](bool montrer) {
                                    // The bar gives the end of its place to the button.
                                    QRect place = kPlaceBarreProgression;
                                    if (montrer) place.setRight(boutonArreterExport->x() - 5);
                                    barreProgression->setGeometry(place);
                                    boutonArreterExport->setVisible(montrer);
                                },
                                [this] { return exportArrete_; }};
    QString fichier;
    travailLong([&] { fichier = vp::exporterFilm(projet, reglages, fenetre); });
    if (fichier.isEmpty()) return;
    // Said where the user looks, without a box to close: the folder shortened in its middle
    // when the line is too short, the file's name whole.
    const QFileInfo exporte(cheminLisible(fichier));
    const QString debut = QStringLiteral(" L'export est terminé : « %1 », dans le dossier « ")
                              .arg(exporte.fileName());
    const QString fin = QStringLiteral(" ».");
    const QFontMetrics mesure(ligneAide->font());
    const int place = ligneAide->width() - mesure.horizontalAdvance(debut + fin) - 8;
    ligneAide->setText(debut +
                       mesure.elidedText(QDir::toNativeSeparators(exporte.absolutePath()),
                                         Qt::ElideMiddle, std::max(place, 40)) +
                       fin);
}

void FenetrePrincipale::ouvrirEditeur() {
    if (!departCommande(projet)) return;
    travailLong([this] { vp::ouvrirEditeur(projet, this, [this] { resterReactive(); }); });
}

}  // namespace vp
