#include "Unit1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include "Duplication.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"
#include "capture/Camera.h"
#include "capture/VueDirecte.h"
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
#include "video/CreerVideo.h"

namespace vp {

namespace {

QToolButton* boutonPlat(QWidget* parent, int x, int y, int cote, const QString& glyphe,
                        int cotes = 0) {
    auto* b = new QToolButton(parent);
    b->setGeometry(x, y, cote, cote);
    b->setAutoRaise(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setIcon(QIcon(QStringLiteral(":/glyphes/%1.png").arg(glyphe)));
    b->setIconSize(QSize(cotes ? cotes : cote - 4, cotes ? cotes : cote - 4));
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

QImage glyphe(const QString& nom) {
    return QImage(QStringLiteral(":/glyphes/%1.png").arg(nom));
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(kTitreApplication);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    construireControles();
    construireMenus();
    relierCommandes();
    resize(865, 603);
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::relierFiches(TFnouveau* nouveau, TFouvrir* ouvrir, TFvideo* video) {
    Fnouveau = nouveau;
    Fouvrir = ouvrir;
    Fvideo = video;
}

void TForm1::construireControles() {
    Fond = new QWidget(this);
    Fond->setObjectName(QStringLiteral("Fond"));
    setCentralWidget(Fond);
    QFont police = Fond->font();
    police.setPointSize(8);
    Fond->setFont(police);

    Panel1 = new QFrame(Fond);
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setGeometry(0, 0, 865, 35);
    SpeedButton1 = boutonPlat(Panel1, 1, 1, 33, QStringLiteral("nouveau"));
    SpeedButton2 = boutonPlat(Panel1, 33, 1, 33, QStringLiteral("ouvrir"));
    SpeedButton5 = boutonPlat(Panel1, 65, 1, 33, QStringLiteral("dupliquer_projet"));
    SpeedButton3 = boutonPlat(Panel1, 113, 1, 33, QStringLiteral("creer_video"));
    SpeedButton4 = boutonPlat(Panel1, 145, 1, 33, QStringLiteral("revoir_video"));
    SpeedButton6 = boutonPlat(Panel1, 177, 1, 33, QStringLiteral("copier_video"));
    SpeedButton7 = boutonPlat(Panel1, 225, 1, 33, QStringLiteral("enregistrer_son"));
    SpeedButton10 = boutonPlat(Panel1, 257, 1, 33, QStringLiteral("ecouter_son"));
    SpeedButton8 = boutonPlat(Panel1, 289, 1, 33, QStringLiteral("importer_son"));
    SpeedButton9 = boutonPlat(Panel1, 321, 1, 33, QStringLiteral("copier_son"));
    SpeedButton11 = boutonPlat(Panel1, 369, 1, 33, QStringLiteral("mixer"));
    SpeedButton12 = boutonPlat(Panel1, 401, 1, 33, QStringLiteral("revoir_film"));
    SpeedButton14 = boutonPlat(Panel1, 433, 1, 33, QStringLiteral("copier_film"));
    SpeedButton13 = boutonPlat(Panel1, 484, 1, 33, QStringLiteral("vdub"));
    Bevel2 = ligne(Panel1, QFrame::VLine, 104, 0, 2, 35);
    Bevel3 = ligne(Panel1, QFrame::VLine, 216, 0, 2, 35);
    Bevel4 = ligne(Panel1, QFrame::VLine, 360, 0, 2, 35);
    Bevel5 = ligne(Panel1, QFrame::VLine, 472, 0, 2, 35);

    const QString gras = QStringLiteral("font-weight: bold;");
    Label1 = etiquette(Fond, QStringLiteral("PROJETS"), 0, 36, 105, 16, Qt::AlignHCenter, gras);
    Label2 = etiquette(Fond, QStringLiteral("VIDÉO"), 104, 36, 113, 16, Qt::AlignHCenter, gras);
    Label3 = etiquette(Fond, QStringLiteral("AUDIO"), 216, 36, 145, 16, Qt::AlignHCenter, gras);
    Label4 = etiquette(Fond, QStringLiteral("FILM"), 360, 36, 113, 16, Qt::AlignHCenter, gras);
    Label5 = etiquette(Fond, QStringLiteral("VDUB"), 472, 36, 57, 16, Qt::AlignHCenter, gras);

    bphoto = boutonPlat(Fond, 8, 56, 57, QStringLiteral("photo"), 52);
    bdouble = boutonPlat(Fond, 72, 56, 57, QStringLiteral("doubler"), 52);
    bannule = boutonPlat(Fond, 136, 56, 57, QStringLiteral("supprimer"), 52);
    Bevel1 = ligne(Fond, QFrame::HLine, 8, 120, 185, 2);
    Limages = etiquette(Fond, QString(), 24, 134, 129, 19, Qt::AlignHCenter,
                        QStringLiteral("font-family: Arial; font-weight: bold; font-size: 16px;"));
    SpeedButton15 = boutonPlat(Fond, 160, 126, 33, QStringLiteral("lecture"), 28);
    aper = new ImageEtiree(Fond);
    aper->setGeometry(20, 164, 160, 120);
    bb = new ImageEtiree(Fond);
    bb->setGeometry(160, 192, 33, 33);
    bb->setImage(
        QImage(QStringLiteral(":/images/vide.bmp")).convertToFormat(QImage::Format_RGB888));
    bb->hide();
    lims = etiquette(Fond, QStringLiteral("12 i/s"), 8, 304, 49, 25, Qt::AlignRight,
                     QStringLiteral("color: blue; font-weight: bold; font-size: 16px;"));
    tbims = new QSlider(Qt::Horizontal, Fond);
    tbims->setGeometry(56, 296, 137, 33);
    tbims->setRange(1, 25);
    tbims->setValue(12);
    tbims->setPageStep(1);
    tbims->setTickInterval(10);
    tbims->setTickPosition(QSlider::TicksAbove);
    tbims->setCursor(Qt::PointingHandCursor);

    Label8 =
        etiquette(Fond, QStringLiteral("CAMERA"), 200, 56, 321, 25, Qt::AlignHCenter, kBleuGras);
    vue = new ImageEtiree(Fond);
    vue->setGeometry(200, 80, 320, 240);
    cam = new TCamera(Fond);
    cam->setGeometry(8, 120, 17, 17);
    cam->setFichierVideo(QStringLiteral("Video.avi"));
    cam->setFichierImage(QStringLiteral("Imagen.bmp"));
    cam->setFramesPreview(30);
    cam->setFramesCaptura(30);
    BMstop = new ImageEtiree(Fond, false);
    BMstop->setGeometry(0, 0, 28, 27);
    BMstop->setImage(glyphe(QStringLiteral("arret")));
    BMstop->hide();
    BMlect = new ImageEtiree(Fond, false);
    BMlect->setGeometry(0, 0, 28, 27);
    BMlect->setImage(glyphe(QStringLiteral("lecture")));
    BMlect->hide();

    Label9 =
        etiquette(Fond, QStringLiteral("DÉCALAGE"), 536, 56, 321, 25, Qt::AlignHCenter, kBleuGras);
    Melange = new ImageEtiree(Fond);
    Melange->setGeometry(536, 80, 320, 240);
    Bevel6 = ligne(Fond, QFrame::VLine, 528, 40, 2, 321);
    Label6 = etiquette(Fond, QStringLiteral("image"), 536, 336, 45, 17, Qt::AlignLeft, kBleuGras);
    Label7 = etiquette(Fond, QStringLiteral("caméra"), 792, 336, 60, 17, Qt::AlignRight, kBleuGras);
    TB = new QSlider(Qt::Horizontal, Fond);
    TB->setGeometry(584, 328, 209, 33);
    TB->setRange(0, 100);
    TB->setValue(50);
    TB->setPageStep(10);
    TB->setTickInterval(10);
    TB->setTickPosition(QSlider::TicksBothSides);

    Panel2 = new QFrame(Fond);
    Panel2->setFrameShape(QFrame::StyledPanel);
    Panel2->setGeometry(0, 336, 521, 25);
    SG = boutonPlat(Panel2, 1, 1, 23, QStringLiteral("debut_selection"), 17);
    SF = boutonPlat(Panel2, 25, 1, 23, QStringLiteral("fin_selection"), 17);
    SpeedButton17 = boutonPlat(Panel2, 49, 1, 23, QStringLiteral("annuler_selection"), 17);
    SpeedButton18 = boutonPlat(Panel2, 73, 1, 23, QStringLiteral("copier_selection"), 17);
    SpeedButton19 = boutonPlat(Panel2, 97, 1, 23, QStringLiteral("inverser_selection"), 17);
    SpeedButton20 = boutonPlat(Panel2, 121, 1, 23, QStringLiteral("doubler_selection"), 17);
    SpeedButton16 = boutonPlat(Panel2, 145, 1, 23, QStringLiteral("supprimer_selection"), 17);
    LabS = etiquette(Panel2, QStringLiteral("->"), 176, 4, 129, 17, Qt::AlignHCenter,
                     QStringLiteral("color: red; background: white; font-weight: bold;"));
    PB = new QProgressBar(Panel2);
    PB->setGeometry(312, 4, 201, 17);
    PB->setTextVisible(false);
    PB->hide();

    SB = new BandeFilm(projet, Fond);
    SB->setGeometry(8, 368, 849, 185);
    SB->relier(Limages, LabS, bb);
    aper->setImage(bb->image());

    Laide = etiquette(Fond, QString(), 0, 555, 865, 24, Qt::AlignLeft,
                      QStringLiteral("color: navy; font-weight: bold; font-size: 13px;"));
    Laide->setAttribute(Qt::WA_TranslucentBackground);

    Timer1 = new QTimer(this);
    Timer1->setTimerType(Qt::PreciseTimer);

    apercu_ = std::make_unique<Apercu>(
        projet,
        Apercu::Controles{Timer1, SpeedButton15, aper, Limages, BMlect, BMstop, tbims, lims, SB});
    vueDirecte_ =
        std::make_unique<VueDirecte>(projet, VueDirecte::Controles{cam, vue, Melange, TB, SB});

    // Help line.
    const std::pair<QWidget*, const char*> textes[] = {
        {SpeedButton1, " Créer un nouveau projet d'animation."},
        {SpeedButton2, " Ouvrir un projet d'animation."},
        {SpeedButton5, " Dupliquer le projet en cours."},
        {SpeedButton3, " Créer la vidéo du projet."},
        {SpeedButton4, " Voir la vidéo du projet."},
        {SpeedButton6, " Dupliquer la vidéo du projet."},
        {SpeedButton7, " Enregistrer la bande-son du projet."},
        {SpeedButton10, " Ré-écouter la bande son du projet."},
        {SpeedButton8, " Importer la bande-son du projet."},
        {SpeedButton9, " Dupliquer la bande-son du projet."},
        {SpeedButton11, " Mixer la vidéo et la bande-son du projet."},
        {SpeedButton12, " Visionner le film du projet."},
        {SpeedButton14, " Enregistrer une copie du film du projet."},
        {SpeedButton13, " Ouvrir le film avec VirtualDub."},
        {bphoto, " Ajouter/insérer l'image de la caméra."},
        {bdouble, " Doubler l'image sélectionnée."},
        {bannule, " Supprimer l'image sélectionnée (action irréversible)."},
        {SpeedButton15, " Aperçu de la vidéo."},
        {SB->V1, " Cliquer pour centrer l'image."},
        {SB->V2, " Cliquer pour centrer l'image."},
        {SB->V3, " Cliquer pour centrer l'image."},
        {SB->V4, " Cliquer pour centrer l'image."},
        {SB->V5, " Cliquer pour centrer l'image."},
        {SG, " Marquer le départ de la sélection."},
        {SF, " Marquer la fin de la sélection."},
        {SpeedButton16, " Supprimer la sélection (action irréversible)."},
        {SpeedButton17, " Annuler la sélection."},
        {SpeedButton18, " Copier la sélection après l'image."},
        {SpeedButton19, " Inverser la sélection."},
        {SpeedButton20, " Doubler chaque image de la sélection."},
    };
    for (const auto& [controle, texte] : textes)
        enregistrerAide(controle, Aide::Texte, QString::fromUtf8(texte));
    for (QWidget* w :
         {Fond, static_cast<QWidget*>(aper), static_cast<QWidget*>(Laide),
          static_cast<QWidget*>(cam), static_cast<QWidget*>(SB), SB->viewport(), SB->widget(),
          static_cast<QWidget*>(SB->horizontalScrollBar()), static_cast<QWidget*>(Panel2)})
        enregistrerAide(w, Aide::Effacer);
    // Every other control of the window leaves the line as it is.
    for (QWidget* w : Fond->findChildren<QWidget*>())
        if (!aides_.contains(w) && w->parentWidget() != SB && w->parentWidget() != SB->viewport() &&
            w != cam->fenetre())
            enregistrerAide(w, Aide::Laisser);
}

void TForm1::enregistrerAide(QWidget* controle, Aide effet, const QString& texte) {
    aides_.insert(controle, {effet, texte});
    controle->setMouseTracking(true);
    controle->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* objet, QEvent* evenement) {
    // The tool bar stays along the top and the help line along the bottom of the window.
    if (objet == Fond && evenement->type() == QEvent::Resize) {
        Panel1->setGeometry(0, 0, Fond->width(), 35);
        Laide->setGeometry(0, Fond->height() - 24, Fond->width(), 24);
    }
    if (evenement->type() == QEvent::MouseMove &&
        static_cast<QMouseEvent*>(evenement)->buttons() == Qt::NoButton) {
        const auto regle = aides_.constFind(objet);
        if (regle != aides_.constEnd()) {
            if (regle->effet == Aide::Texte)
                Laide->setText(regle->texte);
            else if (regle->effet == Aide::Effacer)
                Laide->clear();
            return true;  // the control under the mouse decides, not its parents
        }
    }
    return QMainWindow::eventFilter(objet, evenement);
}

void TForm1::construireMenus() {
    QMenuBar* barre = menuBar();
    auto article = [this](QMenu* menu, const QString& titre, const char* nom) {
        QAction* a = menu->addAction(titre);
        a->setObjectName(QString::fromLatin1(nom));
        return a;
    };
    QMenu* projets = barre->addMenu(QStringLiteral("Projets"));
    Nouveau1 = article(projets, QStringLiteral("Nouveau"), "Nouveau1");
    Charger1 = article(projets, QStringLiteral("Ouvrir"), "Charger1");
    Dupliquer1 = article(projets, QStringLiteral("Dupliquer"), "Dupliquer1");
    projets->addSeparator();
    Quitter1 = article(projets, QStringLiteral("Quitter"), "Quitter1");
    QMenu* video = barre->addMenu(QStringLiteral("Vidéo"));
    Ajouterimage1 =
        article(video, QStringLiteral("Ajouter/Insérer l'image de la webcam"), "Ajouterimage1");
    Dupliquerladernireimage1 = article(video, QStringLiteral("Dupliquer l'image sélectionnée"),
                                       "Dupliquerladernireimage1");
    Supprimerladernireimage1 = article(video, QStringLiteral("Supprimer l'image sélectionnée"),
                                       "Supprimerladernireimage1");
    video->addSeparator();
    Crerlavido1 = article(video, QStringLiteral("Créer la vidéo"), "Crerlavido1");
    Revoirlavido1 = article(video, QStringLiteral("Revoir la vidéo"), "Revoirlavido1");
    Copierlavido1 = article(video, QStringLiteral("Copier la vidéo"), "Copierlavido1");
    QMenu* audio = barre->addMenu(QStringLiteral("Audio"));
    Enregistrerlabandeson1 =
        article(audio, QStringLiteral("Enregistrer la bande-son"), "Enregistrerlabandeson1");
    Rcouterlabandeson1 =
        article(audio, QStringLiteral("Ré-écouter la bande-son"), "Rcouterlabandeson1");
    Importerlabandeson1 =
        article(audio, QStringLiteral("Importer la bande-son"), "Importerlabandeson1");
    Copierlabandeson1 = article(audio, QStringLiteral("Copier la bande-son"), "Copierlabandeson1");
    QMenu* film = barre->addMenu(QStringLiteral("Film"));
    Mixeraudioetvido1 = article(film, QStringLiteral("Mixer audio et vidéo"), "Mixeraudioetvido1");
    Revoirlefilm1 = article(film, QStringLiteral("Revoir le film"), "Revoirlefilm1");
    Copierlefilm1 = article(film, QStringLiteral("Copier le film"), "Copierlefilm1");
    QMenu* reglages = barre->addMenu(QStringLiteral("Réglages"));
    Dtecterlacamra1 = article(reglages, QStringLiteral("Détecter la web-cam"), "Dtecterlacamra1");
    Camra1 = article(reglages, QStringLiteral("Paramètres de la web-cam"), "Camra1");
    Formatdelimage1 = article(reglages, QStringLiteral("Format de l'image"), "Formatdelimage1");
    Actions1 = barre->addAction(QStringLiteral("Aide"));
    Actions1->setObjectName(QStringLiteral("Actions1"));
    N1 = barre->addAction(QStringLiteral("?"));
    N1->setObjectName(QStringLiteral("N1"));
}

void TForm1::relierCommandes() {
    // Every command goes through the wrapper that shows its errors in the error box.
    auto relier = [this]<typename Emetteur, typename Signal>(Emetteur* source, Signal signal,
                                                             void (TForm1::*commande)()) {
        connect(source, signal, this, [this, commande] {
            if (!occupe_) executerCommande([this, commande] { (this->*commande)(); }, this);
        });
    };
    const std::tuple<QAction*, QToolButton*, void (TForm1::*)()> carte[] = {
        {Nouveau1, SpeedButton1, &TForm1::Nouveau1Click},
        {Charger1, SpeedButton2, &TForm1::Charger1Click},
        {Dupliquer1, SpeedButton5, &TForm1::SpeedButton5Click},
        {Quitter1, nullptr, &TForm1::Quitter1Click},
        {Ajouterimage1, bphoto, &TForm1::bphotoClick},
        {Dupliquerladernireimage1, bdouble, &TForm1::bdoubleClick},
        {Supprimerladernireimage1, bannule, &TForm1::bannuleClick},
        {Crerlavido1, SpeedButton3, &TForm1::bcreerfilmClick},
        {Revoirlavido1, SpeedButton4, &TForm1::Revoirlavido1Click},
        {Copierlavido1, SpeedButton6, &TForm1::Copierlavido1Click},
        {Enregistrerlabandeson1, SpeedButton7, &TForm1::Enregistrerlabandeson1Click},
        {Rcouterlabandeson1, SpeedButton10, &TForm1::SpeedButton10Click},
        {Importerlabandeson1, SpeedButton8, &TForm1::Importerlabandeson1Click},
        {Copierlabandeson1, SpeedButton9, &TForm1::Copierlabandeson1Click},
        {Mixeraudioetvido1, SpeedButton11, &TForm1::Mixeraudioetvido1Click},
        {Revoirlefilm1, SpeedButton12, &TForm1::Revoirlefilm1Click},
        {Copierlefilm1, SpeedButton14, &TForm1::Copierlefilm1Click},
        {nullptr, SpeedButton13, &TForm1::SpeedButton13Click},
        {Dtecterlacamra1, nullptr, &TForm1::Dtecterlacamra1Click},
        {Camra1, nullptr, &TForm1::Camra1Click},
        {Formatdelimage1, nullptr, &TForm1::Formatdelimage1Click},
        {Actions1, nullptr, &TForm1::Actions1Click},
        {N1, nullptr, &TForm1::N1Click},
        {nullptr, SpeedButton15, &TForm1::bapercuClick},
        {nullptr, SG, &TForm1::SGClick},
        {nullptr, SF, &TForm1::SFClick},
        {nullptr, SpeedButton17, &TForm1::SpeedButton17Click},
        {nullptr, SpeedButton18, &TForm1::SpeedButton18Click},
        {nullptr, SpeedButton19, &TForm1::SpeedButton19Click},
        {nullptr, SpeedButton20, &TForm1::SpeedButton20Click},
        {nullptr, SpeedButton16, &TForm1::SpeedButton16Click},
    };
    for (const auto& [action, bouton, commande] : carte) {
        if (action) relier(action, &QAction::triggered, commande);
        if (bouton) relier(bouton, &QToolButton::clicked, commande);
    }
    relier(Timer1, &QTimer::timeout, &TForm1::Timer1Timer);
    relier(tbims, &QSlider::valueChanged, &TForm1::tbimsChange);
    cam->OnFrame = [this](TCamera* s, quintptr h, EnTeteVideo* e) {
        executerCommande([&] { camFrame(s, h, e); }, this);
    };
    // A camera unplugged while it runs: the live view stops, and the user is told what to do.
    cam->OnError = [this](TCamera*, quintptr, qint32, const char*) {
        dialogues().message(this, kWebcamPerdue, Icone::Avertissement);
    };
}

void TForm1::FormCreate() {
    // The documents folder gets a "voltiplume" folder, as a place for the user's projects;
    // the projects folder itself starts in the program folder.
    const QString documents = dossierDocuments();
    if (!documents.isEmpty())
        QDir().mkpath(avecSeparateur(documents) + QStringLiteral("voltiplume"));
    projet.bmpTravail1 = QImage(320, 240, QImage::Format_RGB888);
    projet.bmpTravail1.fill(Qt::white);
    projet.bmpTravail2 = QImage(320, 240, QImage::Format_RGB888);
    projet.bmpTravail2.fill(Qt::white);
    projet.repProgramme = repertoireCourant();
    projet.repProjets = projet.repProgramme;
    // Without a camera the message is shown and the window opens all the same.
    executerCommande([this] { cam->setActif(true); }, this);
}

void TForm1::FormClose() {
    cam->setActif(false);
    projet.bmpTravail1 = QImage();
    projet.bmpTravail2 = QImage();
}

void TForm1::closeEvent(QCloseEvent* e) {
    if (occupe_) {  // a copy is under way: the window stays until it ends
        e->ignore();
        return;
    }
    executerCommande([this] { FormClose(); }, this);
    e->accept();
}

void TForm1::changeEvent(QEvent* e) {
    // Each time the window becomes active, the application comes to the front.
    // (Never above the application's own modal dialog, which must stay in sight.)
    if (e->type() == QEvent::ActivationChange && isActiveWindow() &&
        !QApplication::activeModalWidget())
        raise();
    QMainWindow::changeEvent(e);
}

// --- Projects ---

void TForm1::Nouveau1Click() {
    projet.dialogueOk = false;
    dialogues().executer(*Fnouveau);
    if (!projet.dialogueOk) return;
    const QString titre = Fnouveau->Enom->text();
    const QString dossier = Fnouveau->Edossier->text();
    const QString chemin = projet.repProjets + dossier;
    if (!QDir().mkpath(chemin))
        throw Erreur(QStringLiteral("Impossible de créer le dossier « %1 »")
                         .arg(QDir::toNativeSeparators(chemin)));
    ecrireProfil(chemin + QStringLiteral("/projet.ini"), QStringLiteral("GENERAL"),
                 QStringLiteral("titre"), titre);
    // The project is taken over only once its file is written: on failure the previous one stays.
    if (apercu_->enLecture()) apercu_->arreter();
    projet.titreProjet = titre;
    projet.nomDossier = dossier;
    projet.nbImages = 0;
    setWindowTitle(kTitreApplication + QStringLiteral(" : ") + titre);
    aper->setImage(bb->image());
    projet.imageCourante = -1;
    projet.selDebut = -1;
    projet.selFin = -1;
    rafraichirBande();
}

void TForm1::Charger1Click() {
    projet.dialogueOk = false;
    dialogues().executer(*Fouvrir);
    if (!projet.dialogueOk) return;
    const int i = Fouvrir->indexChoisi();
    if (i < 0) {
        dialogues().message(this, kAucunProjetChoisi, Icone::Information);
        return;
    }
    if (apercu_->enLecture()) apercu_->arreter();
    projet.titreProjet = Fouvrir->Liste->item(i)->text();
    projet.nomDossier = Fouvrir->Listerep->item(i)->text();
    setWindowTitle(kTitreApplication + QStringLiteral(" : ") + projet.titreProjet);
    nettoyerTemporaires(projet.dossierProjet());  // left by an interrupted command
    projet.nbImages = compterImages(projet);
    aper->setImage(bb->image());
    projet.imageCourante = projet.nbImages - 1;
    projet.selDebut = -1;
    projet.selFin = -1;
    rafraichirBande();
}

void TForm1::SpeedButton5Click() {
    occupe_ = true;
    try {
        dupliquerProjet(projet, [this] { resterReactive(); });
    } catch (...) {
        occupe_ = false;
        throw;
    }
    occupe_ = false;
}

void TForm1::resterReactive() {
    const qint64 maintenant = QDateTime::currentMSecsSinceEpoch();
    if (maintenant - dernierDessinProgression_ < 30) return;
    dernierDessinProgression_ = maintenant;
    QApplication::processEvents();
}

void TForm1::Quitter1Click() {
    QApplication::quit();
}

void TForm1::Actions1Click() {
    bureau().ouvrirDocument(projet.repProgramme + QStringLiteral("aide/volti-plume.pdf"));
}

void TForm1::N1Click() {
    dialogues().message(QApplication::activeWindow(),
                        QStringLiteral("Logiciel d'animation en Stop-Motion pour la classe\n"
                                       "Conçu et écrit par l'équipe VOLTIPLUME, 2026."),
                        Icone::Aucune);
}

void TForm1::commandeAVenir() {
    dialogues().message(
        this, QStringLiteral("Cette commande n'est pas encore disponible dans cette version."),
        Icone::Information);
}

// --- Frames ---

void TForm1::bphotoClick() {
    vueDirecte_->bphotoClick(*this);
}
void TForm1::bdoubleClick() {
    dupliquerImageCourante(projet, *this);
}
void TForm1::bannuleClick() {
    supprimerImageCourante(projet, *this);
}
void TForm1::SpeedButton18Click() {
    copierSelection(projet, *this);
}
void TForm1::SpeedButton19Click() {
    inverserSelection(projet, *this);
}
void TForm1::SpeedButton20Click() {
    doublerSelection(projet, *this);
}
void TForm1::SpeedButton16Click() {
    supprimerSelection(projet, *this);
}
void TForm1::SGClick() {
    SB->SGClick();
}
void TForm1::SFClick() {
    SB->SFClick();
}
void TForm1::SpeedButton17Click() {
    SB->SpeedButton17Click();
}
void TForm1::bapercuClick() {
    apercu_->bapercuClick();
}
void TForm1::Timer1Timer() {
    apercu_->Timer1Timer();
}
void TForm1::tbimsChange() {
    apercu_->tbimsChange();
}

void TForm1::rafraichirBande() {
    SB->rafraichirBande();
}
void TForm1::afficherNombreImages() {
    SB->afficherNombreImages();
}
void TForm1::afficherSelection() {
    SB->afficherSelection();
}

void TForm1::montrerProgression(int maximum) {
    PB->setRange(0, maximum);
    PB->setValue(0);
    PB->show();
    PB->repaint();
    dernierDessinProgression_ = QDateTime::currentMSecsSinceEpoch();
}

void TForm1::avancerProgression() {
    PB->setValue(PB->value() + 1);
    // Repainted a few times a second: enough to be seen, too rarely to slow the work.
    const qint64 maintenant = QDateTime::currentMSecsSinceEpoch();
    if (maintenant - dernierDessinProgression_ >= 40) {
        PB->repaint();
        dernierDessinProgression_ = maintenant;
    }
}

void TForm1::completerProgression() {
    PB->setValue(PB->maximum());
}
void TForm1::masquerProgression() {
    PB->hide();
}

// --- Webcam ---

void TForm1::camFrame(TCamera*, quintptr, EnTeteVideo*) {
    vueDirecte_->traiterImageCamera();
}

void TForm1::Dtecterlacamra1Click() {
    cam->setActif(false);
    cam->setActif(true);
}

void TForm1::Camra1Click() {
    cam->DialogueSource();
}
void TForm1::Formatdelimage1Click() {
    cam->DialogueFormat();
}

// --- Commands of the video, sound-track and film steps ---

void TForm1::bcreerfilmClick() {
    if (!verifierProjet(projet)) return;
    if (projet.nbImages == 0) return;
    changerRepertoire(projet.repProgramme);
    projet.dialogueOk = false;
    dialogues().executer(*Fvideo);
    if (!projet.dialogueOk) return;
    projet.imagesParSeconde = lireEntier(Fvideo->Eims->text());
    projet.largeurVideo = lireEntier(Fvideo->Elargeur->text());
    projet.hauteurVideo = lireEntier(Fvideo->Ehauteur->text());
    ecrireVideo(projet, AVIRecorder1, *this);
}

namespace {

// The commands of the later steps start from the program folder, then check the project.
bool departCommande(const ProjetCourant& p) {
    changerRepertoire(p.repProgramme);
    return verifierProjet(p);
}

}  // namespace

void TForm1::Revoirlavido1Click() {
    if (departCommande(projet)) commandeAVenir();
}
void TForm1::Copierlavido1Click() {
    if (departCommande(projet)) commandeAVenir();
}
void TForm1::Enregistrerlabandeson1Click() {
    if (departCommande(projet)) commandeAVenir();
}
void TForm1::SpeedButton10Click() {
    if (departCommande(projet)) commandeAVenir();
}
void TForm1::Importerlabandeson1Click() {
    if (departCommande(projet)) commandeAVenir();
}
void TForm1::Copierlabandeson1Click() {
    if (departCommande(projet)) commandeAVenir();
}
void TForm1::Mixeraudioetvido1Click() {
    if (departCommande(projet)) commandeAVenir();
}
void TForm1::Revoirlefilm1Click() {
    if (departCommande(projet)) commandeAVenir();
}
void TForm1::Copierlefilm1Click() {
    if (departCommande(projet)) commandeAVenir();
}
void TForm1::SpeedButton13Click() {
    if (departCommande(projet)) commandeAVenir();
}

}  // namespace vp
