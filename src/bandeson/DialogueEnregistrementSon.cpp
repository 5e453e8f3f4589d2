#include "DialogueEnregistrementSon.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <cmath>

#include "BandeSon.h"
#include "Enveloppe.h"
#include "Melangeur.h"
#include "platform/Bitmap.h"
#include "platform/Curseur.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "platform/ImageEtiree.h"
#include "platform/Profil.h"
#include "sequence/StockImages.h"

namespace vp {

namespace {

using Horloge = std::chrono::steady_clock;

constexpr int kOctetsParSeconde = 44100 * 2 * 2;
// The longest recording whose WAV file stays within its 32-bit sizes.
constexpr int kDureeMaximale = (INT32_MAX - 44) / kOctetsParSeconde;

QPushButton* boutonTexte(const QString& texte, const char* couleur, QWidget* parent) {
    auto* b = new QPushButton(texte, parent);
    b->setFlat(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(QStringLiteral("QPushButton { color: %1; font: bold 15px \"Arial\"; }"
                                    "QPushButton:disabled { color: gray; }")
                         .arg(QLatin1String(couleur)));
    return b;
}

// The reason of a failed recording, in the user's words.
QString texteErreur(const std::exception& e) {
    if (const auto* f = dynamic_cast<const ErreurFichierAudio*>(&e))
        return QStringLiteral("Impossible d'écrire le fichier « %1 » : %2.")
            .arg(QDir::toNativeSeparators(QFile::decodeName(f->fichier.c_str())),
                 raisonSysteme(f->erreur));
    return QString::fromUtf8(e.what());
}

const QString kCleCompte = QStringLiteral("son/compteARebours");

// Waits, at most a couple of seconds, until none of `sorties` runs a stream; true when none does.
bool attendreRepos(std::initializer_list<const TACSOutput*> sorties, int delaiMs) {
    const auto auRepos = [&] {
        for (const TACSOutput* s : sorties)
            if (s->Status() != 2) return false;
        return true;
    };
    const auto limite = Horloge::now() + std::chrono::milliseconds(delaiMs);
    while (!auRepos() && Horloge::now() < limite)
        QThread::msleep(2);
    return auRepos();
}

PisteSon::Echantillons echantillonsDe(const SonWav& s) {
    using E = PisteSon::Echantillons;
    if (s.flottant) return s.bits == 64 ? E::F64 : E::F32;
    switch (s.bits) {
        case 8:
            return E::U8;
        case 24:
            return E::S24;
        case 32:
            return E::S32;
        default:
            return E::S16;
    }
}

}  // namespace

// The sound the microphone lost while the machine stalled, told calmly: silence took its
// place, so the sound track stays in step with the pictures; unless the microphone could not
// tell how much it lost.
QString texteCoupures(int coupures, int64_t octetsSilence, bool incertaine) {
    const QString combien =
        coupures == 1 ? QStringLiteral("1 coupure") : QStringLiteral("%1 coupures").arg(coupures);
    if (incertaine)
        return QStringLiteral(
                   "Son enregistré avec %1 : un peu de son manque peut-être, la suite peut être "
                   "un peu décalée.")
            .arg(combien);
    const double secondes = static_cast<double>(octetsSilence) / kOctetsParSeconde;
    const QString duree = secondes < 0.05 ? QStringLiteral("moins de 0,1 s")
                                          : QString::number(secondes, 'f', 1).replace('.', ',') +
                                                QStringLiteral(" s");
    return QStringLiteral(
               "Son enregistré avec %1 (%2 de silence) : le son reste calé sur les "
               "images.")
        .arg(combien, duree);
}

DialogueEnregistrementSon::DialogueEnregistrementSon(ProjetCourant& projet, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      lireImage(chargerImage),
      ouvrirSortieSon(ouvrirSortieAlsa),
      p_(projet),
      lecteur_([this] {
          QMetaObject::invokeMethod(
              this, [this] { avancerImages(); }, Qt::QueuedConnection);
      }) {
    setWindowTitle(QStringLiteral("Enregistrement audio"));
    setFixedSize(366, 416);

    vueImage = new ImageEtiree(this);
    vueImage->setGeometry(8, 8, 320, 240);
    compteARebours = new QLabel(vueImage);
    compteARebours->setGeometry(100, 60, 120, 120);
    compteARebours->setAlignment(Qt::AlignCenter);
    compteARebours->setStyleSheet(QStringLiteral(
        "QLabel { color: white; background-color: rgba(0, 0, 0, 120); border-radius: 60px;"
        " font: bold 88px \"Arial\"; }"));
    compteARebours->hide();
    indicateurNiveau = new QProgressBar(this);
    indicateurNiveau->setOrientation(Qt::Vertical);
    indicateurNiveau->setGeometry(336, 8, 17, 241);
    indicateurNiveau->setRange(0, 40);
    indicateurNiveau->setValue(0);
    indicateurNiveau->setTextVisible(false);
    barreSon = new BandeSon(this);
    barreSon->setGeometry(8, 256, 345, 44);
    barreSon->setToolTip(
        QStringLiteral("Cliquez sur une image (ou flèches gauche et droite) pour la voir et "
                       "l'entendre."));
    boutonEnregistrer = boutonTexte(QStringLiteral("ENREGISTRER"), "green", this);
    boutonEnregistrer->setGeometry(72, 306, 145, 41);
    boutonFermer = boutonTexte(QStringLiteral("FERMER"), "maroon", this);
    boutonFermer->setGeometry(240, 306, 113, 41);
    boutonMelangeur = new QToolButton(this);
    boutonMelangeur->setGeometry(8, 306, 41, 41);
    boutonMelangeur->setAutoRaise(true);
    boutonMelangeur->setCursor(Qt::PointingHandCursor);
    boutonMelangeur->setIcon(QIcon(QStringLiteral(":/glyphes/melangeur.png")));
    boutonMelangeur->setIconSize(QSize(37, 37));
    boutonMelangeur->setToolTip(QStringLiteral("Régler le volume du micro"));
    caseCompteARebours = new QCheckBox(QStringLiteral("Compte à rebours"), this);
    caseCompteARebours->setGeometry(76, 350, 200, 22);
    caseCompteARebours->setToolTip(
        QStringLiteral("Compter 3, 2, 1 avant que l'enregistrement commence."));
    caseCompteARebours->setChecked(reglagesProgramme().value(kCleCompte, true).toBool());
    // The keyboard stays on the waveform: its arrows choose the frame.
    for (QWidget* w : std::initializer_list<QWidget*>{boutonEnregistrer, boutonFermer,
                                                      boutonMelangeur, caseCompteARebours})
        w->setFocusPolicy(Qt::NoFocus);
    ligneEtat = new QLabel(this);
    ligneEtat->setGeometry(8, 374, 350, 38);
    ligneEtat->setWordWrap(true);
    ligneEtat->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    minuterieNiveau = new QTimer(this);
    minuterieNiveau->setInterval(100);
    minuterieImages = new QTimer(this);
    minuterieImages->setSingleShot(true);
    minuterieImages->setTimerType(Qt::PreciseTimer);
    minuterieCompte = new QTimer(this);
    minuterieCompte->setInterval(1000);
    minuterieCompte->setTimerType(Qt::PreciseTimer);

    connect(boutonEnregistrer, &QPushButton::clicked, this, [this] { enregistrer(); });
    connect(boutonFermer, &QPushButton::clicked, this, [this] { fermer(); });
    connect(boutonMelangeur, &QToolButton::clicked, this, [this] { ouvrirMelangeur(); });
    connect(caseCompteARebours, &QCheckBox::toggled, this,
            [](bool coche) { reglagesProgramme().setValue(kCleCompte, coche); });
    connect(barreSon, &BandeSon::imageDemandee, this, [this](int k) { choisirImage(k); });
    connect(minuterieNiveau, &QTimer::timeout, this, [this] { rafraichirNiveau(); });
    connect(minuterieImages, &QTimer::timeout, this, [this] { avancerImages(); });
    connect(minuterieCompte, &QTimer::timeout, this, [this] { avancerCompte(); });
    brancherChaines();
    minuterieNiveau->start();
}

DialogueEnregistrementSon::~DialogueEnregistrementSon() {
    // Nothing may call back into the window once it goes: the reader, the waveform's worker,
    // the sound card.
    lecteur_.arreter();
    if (calculOnde_.valid()) calculOnde_.wait();
    sortie_.reset();
}

QString DialogueEnregistrementSon::cheminSon() const {
    return p_.dossierProjet() + QStringLiteral("/audio.wav");
}

void DialogueEnregistrementSon::brancherChaines() {
    for (TAudioIn* entree : {&entreeSurveillance, &entreeEnregistrement}) {
        entree->InBitsPerSample = 16;
        entree->InChannels = 2;
        entree->InSampleRate = 44100;
    }
    entreeSurveillance.RecTime = 600;
    entreeEnregistrement.RecTime = 180;
    niveauSurveillance.SetInput(&entreeSurveillance);
    sortieSurveillance.SetInput(&niveauSurveillance);
    sortieSurveillance.SetSuspendWhenIdle(true);
    niveauEnregistrement.SetInput(&entreeEnregistrement);
    enregistreur.SetInput(&niveauEnregistrement);
    enregistreur.SetFileMode(foRewrite);
    enregistreur.SetWavType(wtPCM);
    enregistreur.SetBlockSize(512);
    enregistreur.SetSuspendWhenIdle(true);

    // Raised on the recording chain's worker (or on this thread when the start fails): the
    // window is only touched from its own thread, through queued calls. By then the new sound
    // track has replaced the old one, or the old one is still there.
    enregistreur.OnDone = [this](TACSOutput*) {
        QMetaObject::invokeMethod(
            this, [this] { finEnregistrement({}); }, Qt::QueuedConnection);
    };
    enregistreur.OnThreadException = [this](TACSOutput*, const std::exception& e) {
        const bool auDemarrage = QThread::currentThread() == thread();
        const QString texte =
            (auDemarrage ? QStringLiteral("L'enregistrement ne peut pas commencer.\n")
                         : QStringLiteral("L'enregistrement s'est arrêté avant la fin.\n")) +
            texteErreur(e);
        QMetaObject::invokeMethod(
            this, [this, texte] { finEnregistrement(texte); }, Qt::QueuedConnection);
    };
    sortieSurveillance.OnThreadException = [this](TACSOutput*, const std::exception& e) {
        const QString raison = texteErreur(e);
        QMetaObject::invokeMethod(
            this, [this, raison] { finSurveillance(raison); }, Qt::QueuedConnection);
    };
}

void DialogueEnregistrementSon::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) preparerOuverture();
}

void DialogueEnregistrementSon::preparerOuverture() {
    ligneEtat->clear();
    panneNiveau_.clear();
    derniereErreur_.clear();
    avertissementVideo_.clear();
    annulerCompte();
    {
        const QSignalBlocker muet(caseCompteARebours);
        caseCompteARebours->setChecked(reglagesProgramme().value(kCleCompte, true).toBool());
    }
    afficherPremiereImage();
    demarrerSurveillance();

    video_.reset();
    try {
        video_ = lireInfosVideo(p_.dossierProjet() + QStringLiteral("/video.avi"));
    } catch (const Erreur& e) {
        dialogues().message(this, e.texte(), Icone::Avertissement);
    }
    if (video_) {
        entreeEnregistrement.RecTime =
            static_cast<int>(std::min<uint64_t>(video_->dureeVideo() + 1, kDureeMaximale));
        // The frames the video misses play during the recording but are not in the film.
        const int64_t manquantes = static_cast<int64_t>(p_.nbImages) - video_->nombreImages;
        if (manquantes == 1)
            avertissementVideo_ = QStringLiteral(
                "La vidéo ne montre pas la dernière image : recréez-la pour l'entendre avec le "
                "son.");
        else if (manquantes > 1)
            avertissementVideo_ = QStringLiteral(
                                      "La vidéo ne montre pas les %1 dernières images : "
                                      "recréez-la pour les entendre avec le son.")
                                      .arg(manquantes);
        ligneEtat->setText(avertissementVideo_);
    }
    entreeEnregistrement.InSampleRate = 44100;
    entreeEnregistrement.InChannels = 2;
    entreeEnregistrement.InBitsPerSample = 16;
    // A recording stopped by "FERMER" may still be finishing: its end enables the button.
    boutonEnregistrer->setEnabled(video_.has_value() && !enregistreur.EnCours());
    chargerFormeOnde();
    barreSon->setFocus();
}

void DialogueEnregistrementSon::demarrerSurveillance() {
    if (sortieSurveillance.Status() != 2 || enregistreur.Status() != 2) {
        // The last opening's chains are still letting go of the microphone.
        CurseurOccupe occupe;
        attendreRepos({&sortieSurveillance, &enregistreur}, kAttenteSurveillanceMs);
    }
    if (sortieSurveillance.Status() != 2) {
        dialogues().message(this,
                            QStringLiteral("Le micro est encore occupé : le niveau ne "
                                           "s'affichera pas. Fermez la fenêtre et rouvrez-la."),
                            Icone::Avertissement);
        return;
    }
    sortieSurveillance.Run();  // a microphone that cannot be opened is reported by its event
}

void DialogueEnregistrementSon::libererMicro() {
    entreeSurveillance.Interrompre();
    sortieSurveillance.Stop();
    attendreRepos({&sortieSurveillance}, kAttenteSurveillanceMs);
}

bool DialogueEnregistrementSon::compteEnCours() const {
    return minuterieCompte->isActive();
}

void DialogueEnregistrementSon::enregistrer() {
    if (p_.nbImages == 0) return;
    if (!video_ || enregistreur.EnCours() || compteEnCours()) return;
    boutonEnregistrer->setEnabled(false);
    ligneEtat->clear();
    ++generationOnde_;  // a waveform still being computed is of no use now
    arreterSon();
    afficherPremiereImage();
    barreSon->montrerTemps(0, entreeEnregistrement.RecTime);
    if (!caseCompteARebours->isChecked()) {
        demarrerEnregistrement();
        return;
    }
    // 3, 2, 1 over the first frame, a second each: the pupils get ready to speak.
    resteCompte_ = kSecondesCompte;
    compteARebours->setText(QString::number(resteCompte_));
    compteARebours->show();
    minuterieCompte->start();
}

void DialogueEnregistrementSon::avancerCompte() {
    if (--resteCompte_ > 0) {
        compteARebours->setText(QString::number(resteCompte_));
        return;
    }
    minuterieCompte->stop();
    compteARebours->hide();
    demarrerEnregistrement();
}

void DialogueEnregistrementSon::annulerCompte() {
    if (!compteEnCours()) return;
    minuterieCompte->stop();
    compteARebours->hide();
    boutonEnregistrer->setEnabled(video_.has_value());
    ligneEtat->setText(avertissementVideo_);
    chargerFormeOnde();
}

void DialogueEnregistrementSon::demarrerEnregistrement() {
    p_.posLecture = 0;
    libererMicro();
    // Written beside the sound track, which it replaces only once complete.
    const QString son = cheminSon();
    enregistreur.FileName = QFile::encodeName(nomTemporaire(son)).toStdString();
    enregistreur.FichierFinal = QFile::encodeName(son).toStdString();
    finAttendue_ = true;
    // Opens the microphone, then creates the file; a failure arrives as a queued end.
    enregistreur.Run();
    if (!enregistreur.EnCours()) return;
    // The pictures follow the sound's own clock: frame k is due k frame periods after the
    // first sample, always counted from it, so that the pictures never drift from the sound.
    const auto maintenant = Horloge::now();
    const auto debut = entreeEnregistrement.InstantDebut();
    debut_ = debut.value_or(maintenant);
    debutConnu_ = debut.has_value();
    imagesJouees_ = imagesDuFilm();
    // Frame 0 is on screen already: its time has come with the first sample.
    derniereMontree_ = 0;
    p_.posLecture = 1;
    lectureEnCours_ = true;
    emit imageMontree(
        0, std::chrono::duration_cast<std::chrono::microseconds>(maintenant - debut_).count());
    ProjetCourant lieu;
    lieu.repProjets = p_.repProjets;
    lieu.nomDossier = p_.nomDossier;
    lecteur_.demarrer(
        [lire = lireImage, lieu, taille = vueImage->size()](int k) {
            try {
                return lire(cheminImage(lieu, k))
                    .scaled(taille, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            } catch (const std::exception&) {
                return QImage();  // a frame that cannot be read leaves the last one on screen
            }
        },
        1, imagesJouees_ - 1, debut_, std::chrono::microseconds(video_->microsecondesParImage));
    avancerImages();
}

DialogueEnregistrementSon::Horloge::time_point DialogueEnregistrementSon::echeance(
    int index) const {
    return debut_ + std::chrono::microseconds(static_cast<int64_t>(index) *
                                              static_cast<int64_t>(video_->microsecondesParImage));
}

void DialogueEnregistrementSon::avancerImages() {
    if (!lectureEnCours_ || !video_) return;
    if (!debutConnu_) {
        // A card without a start stamp tells once its first buffer is in.
        if (const auto debut = entreeEnregistrement.InstantDebut()) {
            debut_ = *debut;
            debutConnu_ = true;
            lecteur_.recaler(debut_);
        }
    }
    const auto maintenant = Horloge::now();
    const int64_t periode = std::max<int64_t>(1, video_->microsecondesParImage);
    const int64_t ecoule =
        std::chrono::duration_cast<std::chrono::microseconds>(maintenant - debut_).count();
    const int due =
        static_cast<int>(std::min<int64_t>(ecoule < 0 ? -1 : ecoule / periode, imagesJouees_ - 1));
    if (due > derniereMontree_) {
        // Only the frame due now is shown; one that came too late for its time never is.
        if (const auto image = lecteur_.prendre(due)) {
            if (!image->isNull()) {
                vueImage->setImage(*image);
                vueImage->repaint();
            }
            derniereMontree_ = due;
            p_.posLecture = due + 1;
            emit imageMontree(due, std::chrono::duration_cast<std::chrono::microseconds>(
                                       Horloge::now() - echeance(due))
                                       .count());
        }
    }
    if (derniereMontree_ >= imagesJouees_ - 1) {
        arreterLecture();
        return;
    }
    // The next frame's due time; a frame that comes ready meanwhile is shown as it comes.
    const auto prochaine = echeance(std::max(due, derniereMontree_) + 1);
    const auto reste =
        std::chrono::ceil<std::chrono::milliseconds>(prochaine - Horloge::now()).count();
    minuterieImages->start(static_cast<int>(std::max<int64_t>(0, reste)));
}

void DialogueEnregistrementSon::arreterLecture() {
    lectureEnCours_ = false;
    minuterieImages->stop();
    lecteur_.arreter();
}

int DialogueEnregistrementSon::imagesDuFilm() const {
    if (!video_) return p_.nbImages;
    return static_cast<int>(std::min<int64_t>(p_.nbImages, video_->nombreImages));
}

void DialogueEnregistrementSon::afficherPremiereImage() {
    QImage image;
    if (p_.nbImages > 0) {
        try {
            image = chargerImage(cheminImage(p_, 0));
        } catch (const Erreur&) {
        }
    }
    if (image.isNull()) image = QImage(QStringLiteral(":/images/vide.bmp"));
    vueImage->setImage(image);
    vueImage->repaint();
}

void DialogueEnregistrementSon::chargerFormeOnde() {
    arreterSon();
    sortie_.reset();  // the new track may have another format
    sortieEssayee_ = false;
    const uint64_t generation = ++generationOnde_;
    const QString son = cheminSon();
    if (!QFileInfo(son).isFile()) {
        barreSon->montrerTexte(
            QStringLiteral("Pas encore de bande-son : cliquez sur ENREGISTRER."));
        return;
    }
    barreSon->montrerTexte(QStringLiteral("Lecture de la bande-son…"));
    if (calculOnde_.valid()) calculOnde_.wait();
    calculOnde_ = std::async(
        std::launch::async, [this, generation, chemin = QFile::encodeName(son).toStdString()] {
            std::shared_ptr<const Enveloppe> enveloppe;
            QString erreur;
            try {
                enveloppe = std::make_shared<const Enveloppe>(calculerEnveloppe(chemin));
            } catch (const std::exception& e) {
                erreur = QString::fromUtf8(e.what());
            }
            QMetaObject::invokeMethod(
                this,
                [this, generation, enveloppe, erreur] {
                    formeOndeCalculee(generation, enveloppe, erreur);
                },
                Qt::QueuedConnection);
        });
}

void DialogueEnregistrementSon::formeOndeCalculee(uint64_t generation,
                                                  std::shared_ptr<const Enveloppe> enveloppe,
                                                  const QString& erreur) {
    if (generation != generationOnde_) return;  // a later track, or a recording, came since
    if (!enveloppe) {
        barreSon->montrerTexte(QStringLiteral("Cette bande-son ne peut pas s'afficher."));
        barreSon->setToolTip(erreur);
        return;
    }
    barreSon->setToolTip(
        QStringLiteral("Cliquez sur une image (ou flèches gauche et droite) pour la voir et "
                       "l'entendre."));
    barreSon->montrerFormeOnde(std::move(enveloppe), video_ ? imagesDuFilm() : 0,
                               video_ ? video_->microsecondesParImage / 1e6 : 0);
    barreSon->choisirImage(0);
    emit formeOndePrete();
}

void DialogueEnregistrementSon::choisirImage(int index) {
    if (enregistreur.EnCours() || compteEnCours() || !video_ || index < 0 ||
        index >= imagesDuFilm())
        return;
    barreSon->choisirImage(index);
    QImage image;
    try {
        image = chargerImage(cheminImage(p_, index));
    } catch (const Erreur&) {
        image = QImage(QStringLiteral(":/images/vide.bmp"));
    }
    vueImage->setImage(image);
    vueImage->repaint();
    jouerSonImage(index);
}

void DialogueEnregistrementSon::jouerSonImage(int index) {
    const std::shared_ptr<const Enveloppe>& e = barreSon->enveloppe();
    if (!e || !video_) return;
    const SonWav& s = e->son;
    // The frame's own sound: from its first sample to the next frame's.
    const auto trame = [&](int k) {
        return std::min<int64_t>(
            e->trames,
            static_cast<int64_t>(std::llround(static_cast<double>(k) *
                                              video_->microsecondesParImage * s.frequence / 1e6)));
    };
    const int64_t debut = trame(index), fin = trame(index + 1);
    QByteArray octets;
    QFile f(cheminSon());
    if (fin > debut && f.open(QIODevice::ReadOnly) &&
        f.seek(static_cast<qint64>(s.debut) + debut * s.alignement))
        octets = f.read((fin - debut) * s.alignement);
    if (octets.isEmpty()) return;
    arreterSon();
    if (!sortie_ && !sortieEssayee_) {
        sortieEssayee_ = true;
        extrait_ = PisteSon{};
        extrait_.echantillons = echantillonsDe(s);
        extrait_.frequence = s.frequence;
        extrait_.canaux = s.canaux;
        extrait_.octetsParTrame = s.alignement;
        std::string raison;
        sortie_ = ouvrirSortieSon(extrait_, raison);
        if (!sortie_)
            ligneEtat->setText(QStringLiteral("Le son de l'image ne peut pas être joué : %1.")
                                   .arg(QString::fromStdString(raison)));
    }
    if (!sortie_) return;
    extrait_.octets.assign(octets.begin(), octets.end());
    sortie_->jouer(0);
}

void DialogueEnregistrementSon::arreterSon() {
    if (sortie_) sortie_->arreter();
}

void DialogueEnregistrementSon::finEnregistrement(const QString& erreurEnregistrement) {
    if (enregistreur.EnCours()) return;  // a later recording already runs: this end is past
    finAttendue_ = false;
    arreterLecture();
    QString erreur = erreurEnregistrement;
    if (!erreur.isEmpty() && QFileInfo(cheminSon()).isFile())
        erreur += QStringLiteral("\nLa bande-son d'avant est gardée.");
    boutonEnregistrer->setEnabled(video_.has_value());
    afficherPremiereImage();
    // Told once, here, not in a box: the recording is usable. Not next to the box of a
    // recording that failed, which says otherwise.
    if (erreur.isEmpty() && entreeEnregistrement.Debordements() > 0)
        ligneEtat->setText(texteCoupures(entreeEnregistrement.Debordements(),
                                         entreeEnregistrement.SilenceInseree(),
                                         entreeEnregistrement.PerteIncertaine()));
    else
        ligneEtat->setText(avertissementVideo_);
    // The meter's chain failed during the recording: said now, unless the recording's own
    // message already tells the same failure of the microphone.
    const QString panneNiveau = panneNiveau_;
    panneNiveau_.clear();
    if (!erreur.isEmpty()) {
        dialogues().message(isVisible() ? this : parentWidget(), erreur, Icone::Avertissement);
        derniereErreur_ = erreur;
    }
    if (!panneNiveau.isEmpty()) finSurveillance(panneNiveau);
    if (isVisible()) {
        // The microphone goes back to the meter, and the bar shows the new sound track.
        if (sortieSurveillance.Status() == 2) demarrerSurveillance();
        chargerFormeOnde();
    }
    emit enregistrementTermine(erreur);
}

void DialogueEnregistrementSon::finSurveillance(const QString& raison) {
    if (!isVisible()) return;
    // The recording chain may have failed already, its end still on its way here.
    if (finAttendue_) {
        panneNiveau_ = raison;
        return;
    }
    if (derniereErreur_.contains(raison)) return;
    dialogues().message(this,
                        QStringLiteral("Le niveau du micro ne peut pas s'afficher.\n") + raison,
                        Icone::Avertissement);
}

void DialogueEnregistrementSon::rafraichirNiveau() {
    // During a recording the meter follows the recording chain, which holds the microphone.
    const bool enregistre = enregistreur.EnCours();
    std::array<double, TSoundIndicator::kBandes> niveaux{};
    (enregistre ? niveauEnregistrement : niveauSurveillance).ReadLevels(niveaux);
    // Rounded to the nearest, halves to even (the default rounding mode).
    const double n = std::nearbyint(niveaux[0]);
    indicateurNiveau->setValue(static_cast<int>(std::clamp(n, 0.0, 40.0)));
    if (enregistre)
        barreSon->montrerTemps(std::chrono::duration<double>(Horloge::now() - debut_).count(),
                               entreeEnregistrement.RecTime);
}

void DialogueEnregistrementSon::ouvrirMelangeur() {
    ouvrirMelangeurVolume(this);
}

void DialogueEnregistrementSon::fermer() {
    accept();
}

void DialogueEnregistrementSon::done(int resultat) {
    // A countdown ends there, nothing recorded. A recording keeps what it has recorded so far,
    // which replaces the sound track; its end comes later, as usual.
    annulerCompte();
    if (enregistreur.EnCours()) entreeEnregistrement.Interrompre();
    enregistreur.Stop();
    entreeSurveillance.Interrompre();
    sortieSurveillance.Stop();
    arreterLecture();
    arreterSon();
    QDialog::done(resultat);
}

}  // namespace vp
