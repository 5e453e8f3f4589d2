// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogueEnregistrementSon.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
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
#include "platform/Chemins.h"
#include "platform/Curseur.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "platform/ImageEtiree.h"
#include "platform/Profil.h"
#include "sequence/Fraicheur.h"
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
            .arg(QDir::toNativeSeparators(
                     cheminLisible(cheminDepuisOctets(QByteArray::fromStdString(f->fichier)))),
                 raisonSysteme(f->erreur));
    return QString::fromUtf8(e.what());
}

const QString kAideFormeOnde = QStringLiteral(
    "Cliquez sur une image (ou flèches gauche et droite) pour la voir et l'entendre.");
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
      calculerFormeOnde(calculerEnveloppe),
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
    barreSon->setToolTip(kAideFormeOnde);
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
    abandonnerFormesOnde();
    for (CalculOnde& c : calculsOnde_)
        c.fin.wait();
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

    // The new sound track takes the old one's place through the file layer: flushed, renamed,
    // flushed again under its name, then the project's folder.
    enregistreur.Remplacer = [](const std::string& temporaire, const std::string& final) {
        remplacerParTemporaire(cheminDepuisOctets(QByteArray::fromStdString(temporaire)),
                               cheminDepuisOctets(QByteArray::fromStdString(final)));
    };
    // Raised on the recording chain's worker (or on this thread when the start fails): the
    // window is only touched from its own thread, through queued calls. By then the new sound
    // track has replaced the old one, or the old one is still there.
    enregistreur.OnDone = [this](TACSOutput*) {
        QMetaObject::invokeMethod(
            this, [this] { finEnregistrement({}, true); }, Qt::QueuedConnection);
    };
    enregistreur.OnThreadException = [this](TACSOutput*, const std::exception& e) {
        const bool auDemarrage = QThread::currentThread() == thread();
        const bool remplace = dynamic_cast<const ErreurNonConfirmee*>(&e) != nullptr;
        const QString texte =
            remplace
                ? QStringLiteral(
                      "L'enregistrement est terminé et la nouvelle bande-son a "
                      "remplacé l'ancienne, mais le disque n'a pas confirmé "
                      "qu'elle y est bien écrite : si l'ordinateur s'éteint ou "
                      "si la clé est retirée maintenant, elle peut être "
                      "perdue.\n") +
                      texteErreur(e)
                : (auDemarrage ? QStringLiteral("L'enregistrement ne peut pas commencer.\n")
                               : QStringLiteral("L'enregistrement s'est arrêté avant la fin.\n")) +
                      texteErreur(e);
        QMetaObject::invokeMethod(
            this, [this, texte, remplace] { finEnregistrement(texte, remplace); },
            Qt::QueuedConnection);
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
        // Frames changed since the video: the sound would be recorded over another film than
        // the one it is mixed with.
        const qint32 modifiees = imagesModifiees(p_, kNomVideo);
        // The frames the video misses are left out of the recording: they are not in the film.
        const int64_t manquantes = static_cast<int64_t>(p_.nbImages) - video_->nombreImages;
        if (modifiees > 0)
            avertissementVideo_ = QStringLiteral(
                                      "Le film a changé depuis la dernière vidéo (%1) : recréez-la "
                                      "pour que le son aille avec les images du film.")
                                      .arg(texteImagesModifiees(modifiees));
        else if (manquantes == 1)
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
    // The last opening's chains may still be letting go of the microphone. A recording that
    // is only writing its file has let go of it already: not waited for.
    const auto microLibre = [this] {
        return sortieSurveillance.Status() == 2 && !entreeEnregistrement.Busy;
    };
    if (!microLibre()) {
        CurseurOccupe occupe;
        const auto limite = Horloge::now() + std::chrono::milliseconds(kAttenteSurveillanceMs);
        while (!microLibre() && Horloge::now() < limite)
            QThread::msleep(2);
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
    abandonnerFormesOnde();
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
    enregistreur.FileName = octetsDuChemin(nomTemporaire(son)).toStdString();
    enregistreur.FichierFinal = octetsDuChemin(son).toStdString();
    finAttendue_ = true;
    imageIllisible_.clear();
    // Opens the microphone, then creates the file; a failure arrives as a queued end.
    enregistreur.Run();
    if (!enregistreur.EnCours()) return;
    // The pictures follow the sound's own clock: frame k is due k frame periods after the
    // first sample, always counted from it, and the due times follow the card's crystal as the
    // sound comes in (recalerSurLeSon), so that the pictures stay in step with the sound.
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
        0, std::chrono::duration_cast<std::chrono::microseconds>(maintenant - debut_).count(),
        maintenant.time_since_epoch().count());
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

void DialogueEnregistrementSon::recalerSurLeSon() {
    if (!debutConnu_) {
        // A card without a start stamp tells once its first buffer is in.
        if (const auto debut = entreeEnregistrement.InstantDebut()) {
            debut_ = *debut;
            debutConnu_ = true;
            lecteur_.recaler(debut_);
        }
    }
    // The latest tie the card gave between its sound and the steady clock: where the first
    // sample stands if the sound ran at its nominal rate from there on. A tie that would move
    // the pictures by half a second or more is not one to trust.
    const auto repere = entreeEnregistrement.DernierRepere();
    if (!repere || !debutConnu_) return;
    const auto debut =
        repere->instant - std::chrono::nanoseconds(repere->trames * 1000000000 /
                                                   std::max(1, entreeEnregistrement.SampleRate()));
    const auto ecart = debut - debut_;
    if (std::chrono::abs(ecart) >= std::chrono::milliseconds(500) ||
        std::chrono::abs(ecart) < std::chrono::microseconds(200))
        return;
    debut_ = debut;
    lecteur_.recaler(debut_);
}

void DialogueEnregistrementSon::avancerImages() {
    if (!lectureEnCours_ || !video_) return;
    recalerSurLeSon();
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
            } else if (imageIllisible_.isEmpty()) {
                // Said once: the recording goes on with the frame before on screen.
                imageIllisible_ = QStringLiteral(
                                      "L'image %1 ne peut pas être lue : l'image d'avant est "
                                      "restée à l'écran à sa place.")
                                      .arg(due);  // numbered as in the strip
                ligneEtat->setText(imageIllisible_);
            }
            derniereMontree_ = due;
            p_.posLecture = due + 1;
            const auto montree = Horloge::now();
            emit imageMontree(
                due,
                std::chrono::duration_cast<std::chrono::microseconds>(montree - echeance(due))
                    .count(),
                montree.time_since_epoch().count());
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

void DialogueEnregistrementSon::abandonnerFormesOnde() {
    for (CalculOnde& c : calculsOnde_)
        *c.abandon = true;
    // Those that have ended are forgotten; the others end soon, nobody waits for them here.
    std::erase_if(calculsOnde_, [](const CalculOnde& c) {
        return c.fin.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
}

void DialogueEnregistrementSon::chargerFormeOnde() {
    arreterSon();
    sortie_.reset();  // the new track may have another format
    sortieEssayee_ = false;
    const uint64_t generation = ++generationOnde_;
    abandonnerFormesOnde();
    const QString son = cheminSon();
    if (!fichierExiste(son)) {
        barreSon->montrerTexte(
            QStringLiteral("Pas encore de bande-son : cliquez sur ENREGISTRER."));
        return;
    }
    barreSon->montrerTexte(QStringLiteral("Lecture de la bande-son…"));
    auto abandon = std::make_shared<std::atomic<bool>>(false);
    auto fin =
        std::async(std::launch::async, [this, generation, abandon, calculer = calculerFormeOnde,
                                        chemin = octetsDuChemin(son).toStdString()] {
            std::shared_ptr<const Enveloppe> enveloppe;
            QString erreur;
            try {
                enveloppe = std::make_shared<const Enveloppe>(calculer(chemin, abandon.get()));
            } catch (const EnveloppeAbandonnee&) {
                return;
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
    calculsOnde_.push_back({std::move(abandon), std::move(fin)});
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
    barreSon->setToolTip(kAideFormeOnde);
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
    if (fin <= debut ||
        !lireMorceau(cheminSon(), static_cast<qint64>(s.debut) + debut * s.alignement,
                     (fin - debut) * s.alignement, octets) ||
        octets.isEmpty())
        return;
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

void DialogueEnregistrementSon::finEnregistrement(const QString& erreurEnregistrement,
                                                  bool sonRemplace) {
    if (enregistreur.EnCours()) return;  // a later recording already runs: this end is past
    finAttendue_ = false;
    arreterLecture();
    QString erreur = erreurEnregistrement;
    // The file there is the one from before only when the new one did not take its place.
    if (!erreur.isEmpty() && !sonRemplace && fichierExiste(cheminSon()))
        erreur += QStringLiteral("\nLa bande-son d'avant est gardée.");
    boutonEnregistrer->setEnabled(video_.has_value());
    afficherPremiereImage();
    // Told once, here, not in a box: the recording is usable. Not next to the box of a
    // recording that failed, which says otherwise.
    if (erreur.isEmpty() && entreeEnregistrement.Debordements() > 0)
        ligneEtat->setText(texteCoupures(entreeEnregistrement.Debordements(),
                                         entreeEnregistrement.SilenceInseree(),
                                         entreeEnregistrement.PerteIncertaine()));
    else if (!imageIllisible_.isEmpty())
        ligneEtat->setText(imageIllisible_);
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
    // The sound card is not held while the window is closed.
    sortie_.reset();
    sortieEssayee_ = false;
    QDialog::done(resultat);
}

bool DialogueEnregistrementSon::attendreFinEnregistrement(QWidget* parent) {
    if (enregistreur.Status() == 2) return true;
    {
        CurseurOccupe occupe;
        const auto limite = Horloge::now() + std::chrono::milliseconds(attenteFinEnregistrementMs);
        while (enregistreur.Status() != 2 && Horloge::now() < limite) {
            // The windows keep painting; the user's clicks wait.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
            QThread::msleep(5);
        }
    }
    if (enregistreur.Status() == 2) return true;
    dialogues().message(parent,
                        QStringLiteral("La bande-son qui vient d'être enregistrée s'écrit encore "
                                       "sur le disque : réessayez dans un moment."),
                        Icone::Avertissement);
    return false;
}

}  // namespace vp
