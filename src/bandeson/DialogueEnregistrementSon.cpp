#include "DialogueEnregistrementSon.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <cmath>

#include "Melangeur.h"
#include "platform/Bitmap.h"
#include "platform/Curseur.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "platform/ImageEtiree.h"
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
      p_(projet) {
    setWindowTitle(QStringLiteral("Enregistrement audio"));
    setFixedSize(366, 340);

    vueImage = new ImageEtiree(this);
    vueImage->setGeometry(8, 8, 320, 240);
    indicateurNiveau = new QProgressBar(this);
    indicateurNiveau->setOrientation(Qt::Vertical);
    indicateurNiveau->setGeometry(336, 8, 17, 241);
    indicateurNiveau->setRange(0, 40);
    indicateurNiveau->setValue(0);
    indicateurNiveau->setTextVisible(false);
    boutonEnregistrer = boutonTexte(QStringLiteral("ENREGISTRER"), "green", this);
    boutonEnregistrer->setGeometry(72, 256, 145, 41);
    boutonFermer = boutonTexte(QStringLiteral("FERMER"), "maroon", this);
    boutonFermer->setGeometry(240, 256, 113, 41);
    boutonMelangeur = new QToolButton(this);
    boutonMelangeur->setGeometry(8, 256, 41, 41);
    boutonMelangeur->setAutoRaise(true);
    boutonMelangeur->setCursor(Qt::PointingHandCursor);
    boutonMelangeur->setIcon(QIcon(QStringLiteral(":/glyphes/melangeur.png")));
    boutonMelangeur->setIconSize(QSize(37, 37));
    boutonMelangeur->setToolTip(QStringLiteral("Régler le volume du micro"));
    ligneEtat = new QLabel(this);
    ligneEtat->setGeometry(8, 300, 350, 38);
    ligneEtat->setWordWrap(true);
    ligneEtat->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    minuterieNiveau = new QTimer(this);
    minuterieNiveau->setInterval(100);
    minuterieImages = new QTimer(this);
    minuterieImages->setSingleShot(true);
    minuterieImages->setTimerType(Qt::PreciseTimer);

    connect(boutonEnregistrer, &QPushButton::clicked, this, [this] { enregistrer(); });
    connect(boutonFermer, &QPushButton::clicked, this, [this] { fermer(); });
    connect(boutonMelangeur, &QToolButton::clicked, this, [this] { ouvrirMelangeur(); });
    connect(minuterieNiveau, &QTimer::timeout, this, [this] { rafraichirNiveau(); });
    connect(minuterieImages, &QTimer::timeout, this, [this] { montrerImageSuivante(); });
    brancherChaines();
    minuterieNiveau->start();
}

DialogueEnregistrementSon::~DialogueEnregistrementSon() = default;

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
    // window is only touched from its own thread, through queued calls.
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
    afficherPremiereImage();
    demarrerSurveillance();

    video_.reset();
    try {
        video_ = lireInfosVideo(p_.dossierProjet() + QStringLiteral("/video.avi"));
    } catch (const Erreur& e) {
        dialogues().message(this, e.texte(), Icone::Avertissement);
    }
    if (video_)
        entreeEnregistrement.RecTime =
            static_cast<int>(std::min<uint64_t>(video_->dureeVideo() + 1, kDureeMaximale));
    entreeEnregistrement.InSampleRate = 44100;
    entreeEnregistrement.InChannels = 2;
    entreeEnregistrement.InBitsPerSample = 16;
    enregistreur.FileName =
        QFile::encodeName(p_.dossierProjet() + QStringLiteral("/audio.wav")).toStdString();
    // A recording stopped by "FERMER" may still be finishing: its end enables the button.
    boutonEnregistrer->setEnabled(video_.has_value() && !enregistreur.EnCours());
}

void DialogueEnregistrementSon::demarrerSurveillance() {
    if (sortieSurveillance.Status() != 2) {
        // The last opening's chain is still letting go of the microphone.
        CurseurOccupe occupe;
        const auto limite = Horloge::now() + std::chrono::milliseconds(kAttenteSurveillanceMs);
        while (sortieSurveillance.Status() != 2 && Horloge::now() < limite)
            QThread::msleep(5);
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

void DialogueEnregistrementSon::enregistrer() {
    if (p_.nbImages == 0) return;
    if (!video_ || enregistreur.EnCours()) return;
    p_.posLecture = 0;
    boutonEnregistrer->setEnabled(false);
    ligneEtat->clear();
    finAttendue_ = true;
    // Opens the microphone, then creates the file; a failure arrives as a queued end.
    enregistreur.Run();
    if (!enregistreur.EnCours()) return;
    // The pictures and the sound start together: frame k is due (k + 1) frame periods after
    // this instant, always counted from it, so that the pictures never drift from the sound.
    debut_ = Horloge::now();
    programmerImageSuivante();
    preparerImage(0);
}

void DialogueEnregistrementSon::programmerImageSuivante() {
    const auto echeance =
        debut_ + std::chrono::microseconds(static_cast<int64_t>(p_.posLecture + 1) *
                                           static_cast<int64_t>(video_->microsecondesParImage));
    const auto reste =
        std::chrono::ceil<std::chrono::milliseconds>(echeance - Horloge::now()).count();
    minuterieImages->start(static_cast<int>(std::max<int64_t>(0, reste)));
}

void DialogueEnregistrementSon::preparerImage(int index) {
    indexPrete_ = index;
    imagePrete_ = QImage();
    try {
        imagePrete_ =
            chargerImage(cheminImage(p_, index))
                .scaled(vueImage->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } catch (const Erreur&) {
    }
}

void DialogueEnregistrementSon::montrerImageSuivante() {
    const int k = p_.posLecture;
    if (!video_ || k < 0 || k >= p_.nbImages) return;
    if (indexPrete_ != k) preparerImage(k);
    // A frame that cannot be read leaves the last picture on screen: the recording goes on.
    if (!imagePrete_.isNull()) {
        vueImage->setImage(imagePrete_);
        vueImage->repaint();
    }
    const auto echeance =
        debut_ + std::chrono::microseconds(static_cast<int64_t>(k + 1) *
                                           static_cast<int64_t>(video_->microsecondesParImage));
    const auto retard =
        std::chrono::duration_cast<std::chrono::microseconds>(Horloge::now() - echeance);
    p_.posLecture = k + 1;
    if (p_.posLecture < p_.nbImages) {
        programmerImageSuivante();
        // The next frame is read and scaled now, in the time to spare: at its due time it
        // only has to be drawn.
        preparerImage(p_.posLecture);
    }
    emit imageMontree(k, retard.count());
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

void DialogueEnregistrementSon::finEnregistrement(const QString& erreurEnregistrement) {
    if (enregistreur.EnCours()) return;  // a later recording already runs: this end is past
    finAttendue_ = false;
    QString erreur = erreurEnregistrement;
    // The sound track just written stays through a power cut.
    const QString son = p_.dossierProjet() + QStringLiteral("/audio.wav");
    if (erreur.isEmpty() && QFile::exists(son)) {
        try {
            synchroniserFichier(son);
        } catch (const Erreur& e) {
            erreur = e.texte();
        }
    }
    minuterieImages->stop();
    boutonEnregistrer->setEnabled(video_.has_value());
    afficherPremiereImage();
    // Told once, here, not in a box: the recording is usable. Not next to the box of a
    // recording that failed, which says otherwise.
    if (erreur.isEmpty() && entreeEnregistrement.Debordements() > 0)
        ligneEtat->setText(texteCoupures(entreeEnregistrement.Debordements(),
                                         entreeEnregistrement.SilenceInseree(),
                                         entreeEnregistrement.PerteIncertaine()));
    // The meter's chain failed during the recording: said now, unless the recording's own
    // message already tells the same failure of the microphone.
    const QString panneNiveau = panneNiveau_;
    panneNiveau_.clear();
    if (!erreur.isEmpty()) {
        dialogues().message(isVisible() ? this : parentWidget(), erreur, Icone::Avertissement);
        derniereErreur_ = erreur;
    }
    if (!panneNiveau.isEmpty()) finSurveillance(panneNiveau);
    emit enregistrementTermine(erreur);
}

void DialogueEnregistrementSon::finSurveillance(const QString& raison) {
    if (!isVisible()) return;
    // The recording chain may have failed already, its end still on its way here.
    if (finAttendue_) {
        panneNiveau_ = raison;
        return;
    }
    if (derniereErreur_.endsWith(raison)) return;
    dialogues().message(this,
                        QStringLiteral("Le niveau du micro ne peut pas s'afficher.\n") + raison,
                        Icone::Avertissement);
}

void DialogueEnregistrementSon::rafraichirNiveau() {
    std::array<double, TSoundIndicator::kBandes> niveaux{};
    niveauSurveillance.ReadLevels(niveaux);
    // Rounded to the nearest, halves to even (the default rounding mode).
    const double n = std::nearbyint(niveaux[0]);
    indicateurNiveau->setValue(static_cast<int>(std::clamp(n, 0.0, 40.0)));
}

void DialogueEnregistrementSon::ouvrirMelangeur() {
    ouvrirMelangeurVolume(this);
}

void DialogueEnregistrementSon::fermer() {
    accept();
}

void DialogueEnregistrementSon::done(int resultat) {
    // The recording keeps what it has recorded so far; its end comes later, as usual.
    enregistreur.Stop();
    sortieSurveillance.Stop();
    minuterieImages->stop();
    QDialog::done(resultat);
}

}  // namespace vp
