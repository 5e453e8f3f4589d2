// SPDX-License-Identifier: GPL-3.0-or-later
#include "AviCaptura.h"

#include <QDateTime>
#include <QPainter>
#include <algorithm>

#include "DialoguesPilote.h"
#include "mire/PiloteMire.h"
#include "platform/Bitmap.h"
#include "platform/Dialogues.h"
#include "v4l2/PiloteV4l2.h"

namespace vp {

namespace {

FournisseurPilotes& fournisseur() {
    static FournisseurPilotes f = fournisseurSelonEnvironnement();
    return f;
}

constexpr int kMaxPilotes = 10;

}  // namespace

QString texteFourcc(quint32 fourcc) {
    QString t;
    for (int i = 0; i < 4; ++i)
        t += QLatin1Char(static_cast<char>((fourcc >> (8 * i)) & 0xFF));
    return t.trimmed();
}

void installerFournisseurPilotes(FournisseurPilotes f) {
    fournisseur() = std::move(f);
}

FournisseurPilotes fournisseurSelonEnvironnement() {
    if (qgetenv("VOLTIPLUME_CAMERA") == "mire") {
        return {[] { return QStringList{QStringLiteral("Mire VOLTIPLUME (caméra simulée)")}; },
                [](int index) -> std::unique_ptr<PiloteCapture> {
                    if (index != 0) return nullptr;
                    return std::make_unique<PiloteMire>();
                }};
    }
    return fournisseurWebcams();
}

FournisseurPilotes fournisseurWebcams() {
    return {[] {
                QStringList noms;
                for (const WebcamV4l2& w : listerWebcamsV4l2())
                    noms << w.description;
                return noms;
            },
            [](int index) -> std::unique_ptr<PiloteCapture> {
                const QVector<WebcamV4l2> webcams = listerWebcamsV4l2();
                if (index < 0 || index >= webcams.size()) return nullptr;
                return std::make_unique<PiloteV4l2>(webcams[index].chemin);
            }};
}

bool descriptionPilote(int index, QString* nom, QString* version) {
    if (index < 0 || index >= kMaxPilotes) return false;
    const QStringList noms = listerPilotes();
    if (index >= noms.size()) return false;
    if (nom) *nom = noms[index];
    if (version) version->clear();
    return true;
}

QStringList listerPilotes() {
    if (!fournisseur().lister) return {};
    return fournisseur().lister().mid(0, kMaxPilotes);
}

ReglagesCamera::ReglagesCamera(PiloteCapture& pilote) : pilote_(pilote) {
    fil_ = std::thread([this] { boucle(); });
}

ReglagesCamera::~ReglagesCamera() {
    {
        const std::lock_guard v(verrou_);
        arret_ = true;
    }
    reveil_.notify_all();
    fil_.join();
}

void ReglagesCamera::lire() {
    {
        const std::lock_guard v(verrou_);
        lectureDemandee_ = true;
    }
    reveil_.notify_all();
}

void ReglagesCamera::demander(quint32 id, int valeur) {
    valeurs_.insert(id, valeur);
    {
        const std::lock_guard v(verrou_);
        const auto deja = std::find_if(enAttente_.begin(), enAttente_.end(),
                                       [id](const auto& a) { return a.first == id; });
        if (deja != enAttente_.end())
            deja->second = valeur;
        else
            enAttente_.append({id, valeur});
    }
    reveil_.notify_all();
}

bool ReglagesCamera::attendPour(quint32 id) const {
    const std::lock_guard v(verrou_);
    return std::any_of(enAttente_.begin(), enAttente_.end(),
                       [id](const auto& a) { return a.first == id; });
}

void ReglagesCamera::boucle() {
    using Horloge = std::chrono::steady_clock;
    std::unique_lock v(verrou_);
    for (;;) {
        reveil_.wait(v, [this] { return arret_ || lectureDemandee_ || !enAttente_.isEmpty(); });
        if (arret_) return;
        if (lectureDemandee_) {
            lectureDemandee_ = false;
            v.unlock();
            const QVector<ControleCamera> controles = pilote_.controles();
            QHash<quint32, int> valeurs;
            for (const ControleCamera& c : controles)
                valeurs.insert(c.id, pilote_.valeurControle(c.id));
            v.lock();
            // Handed over on the window's thread; dropped if this object goes first.
            QMetaObject::invokeMethod(
                this,
                [this, controles, valeurs] {
                    controles_ = controles;
                    for (auto i = valeurs.begin(); i != valeurs.end(); ++i)
                        if (!attendPour(i.key())) valeurs_.insert(i.key(), i.value());
                    connus_ = true;
                    emit lus();
                },
                Qt::QueuedConnection);
            continue;
        }
        if (Horloge::now() < prochaineEcriture_) {
            // The last write was less than kIntervalle ago: the values asked meanwhile wait,
            // and only the last of each is sent.
            reveil_.wait_until(v, prochaineEcriture_, [this] { return arret_; });
            continue;
        }
        const auto [id, valeur] = enAttente_.takeFirst();
        prochaineEcriture_ = Horloge::now() + kIntervalle;
        v.unlock();
        const int prise = pilote_.definirControle(id, valeur) ? valeur : pilote_.valeurControle(id);
        v.lock();
        QMetaObject::invokeMethod(
            this,
            [this, id = id, prise] {
                if (attendPour(id)) return;  // a newer value is on its way
                valeurs_.insert(id, prise);
                emit applique(id, prise);
            },
            Qt::QueuedConnection);
    }
}

FenetreCapture::FenetreCapture(QWidget* parent) : QWidget(parent) {
    // The mouse belongs to the control the window covers.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    minuterie_.setTimerType(Qt::PreciseTimer);
    connect(&minuterie_, &QTimer::timeout, this, [this] { tic(); });
}

FenetreCapture::~FenetreCapture() {
    deconnecterPilote();
}

bool FenetreCapture::definirRappelErreur(RappelTexte r) {
    return rappelErreur_ = std::move(r), true;
}
bool FenetreCapture::definirRappelEtat(RappelTexte r) {
    return rappelEtat_ = std::move(r), true;
}
bool FenetreCapture::definirRappelCession(RappelCession r) {
    return rappelCession_ = std::move(r), true;
}
bool FenetreCapture::definirRappelImage(RappelImage r) {
    return rappelImage_ = std::move(r), true;
}
bool FenetreCapture::definirRappelFluxVideo(RappelImage r) {
    return rappelFluxVideo_ = std::move(r), true;
}
bool FenetreCapture::definirRappelFluxAudio(RappelAudio r) {
    return rappelFluxAudio_ = std::move(r), true;
}
bool FenetreCapture::definirRappelControle(RappelEtat r) {
    return rappelControle_ = std::move(r), true;
}

bool FenetreCapture::connecterPilote(int index) {
    deconnecterPilote();
    if (index < 0 || index >= kMaxPilotes || !fournisseur().creer) return false;
    std::unique_ptr<PiloteCapture> pilote = fournisseur().creer(index);
    if (!pilote || !pilote->connecter()) return false;
    pilote_ = std::move(pilote);
    index_ = index;
    // Read now, in the background: the settings dialog opens on them at once.
    reglages_ = std::make_unique<ReglagesCamera>(*pilote_);
    reglages_->lire();
    pilote_->definirPeriode(parametres_.dwRequestMicroSecPerFrame);
    aUneImage_ = false;
    mettreAJourMinuterie();
    return true;
}

bool FenetreCapture::deconnecterPilote() {
    if (!pilote_) return false;
    minuterie_.stop();
    reglages_.reset();
    pilote_->deconnecter();
    pilote_.reset();
    index_ = -1;
    affichee_ = QImage();
    update();
    return true;
}

bool FenetreCapture::lireCapacites(CapacitesPilote& capacites) {
    if (!pilote_) return false;
    // Settings not read yet may still come: the dialog then opens and waits for them. It also
    // chooses among the cameras: another one when this one is lost.
    QString autre;
    capacites.fHasDlgVideoSource = !reglages_->connus() || !reglages_->controles().isEmpty() ||
                                   descriptionPilote(pilote_->perdue() ? 0 : 1, &autre, nullptr);
    capacites.fHasDlgVideoFormat = !pilote_->formats().isEmpty();
    capacites.fCaptureInitialized = true;
    return true;
}

bool FenetreCapture::lireParametres(ParametresCapture& parametres) {
    if (!pilote_) return false;
    parametres = parametres_;
    return true;
}

bool FenetreCapture::ecrireParametres(const ParametresCapture& parametres) {
    if (!pilote_) return false;
    parametres_ = parametres;
    pilote_->definirPeriode(parametres_.dwRequestMicroSecPerFrame);
    return true;
}

bool FenetreCapture::definirApercu(bool actif) {
    apercu_ = actif;
    if (actif) superposition_ = false;  // starting the preview ends the overlay
    if (actif) debut_ = QDateTime::currentMSecsSinceEpoch();
    mettreAJourMinuterie();
    return pilote_ != nullptr;
}

bool FenetreCapture::definirSuperposition(bool actif) {
    superposition_ = actif;
    if (actif) apercu_ = false;  // and the overlay ends the preview
    mettreAJourMinuterie();
    return pilote_ != nullptr;
}

bool FenetreCapture::definirCadenceApercu(int millisecondes) {
    cadence_ = std::max(1, millisecondes);
    mettreAJourMinuterie();
    return pilote_ != nullptr;
}

bool FenetreCapture::definirEchelle(bool actif) {
    echelle_ = actif;
    update();
    return pilote_ != nullptr;
}

void FenetreCapture::mettreAJourMinuterie() {
    if (!pilote_ || (!apercu_ && !superposition_)) {
        minuterie_.stop();
        return;
    }
    // The overlay shows the camera at its own pace; the preview at the asked interval.
    minuterie_.start(apercu_ ? cadence_ : 33);
}

void FenetreCapture::tic() {
    if (!pilote_) return;
    if (pilote_->perdue()) {
        // The camera has gone: the window stops previewing and says why.
        minuterie_.stop();
        apercu_ = superposition_ = false;
        if (rappelErreur_) rappelErreur_(this, 1, "La web-cam ne répond plus.");
        return;
    }
    ImageCamera image;
    if (!pilote_->lireImage(image)) return;
    if (aUneImage_ && image.numero == dernierNumero_) return;  // no new frame since the last tick
    aUneImage_ = true;
    dernierNumero_ = image.numero;
    affichee_ = image.image;
    update();
    if (apercu_ && rappelImage_) {
        EnTeteVideo entete;
        entete.image = image.image;
        entete.lpData = entete.image.constBits();
        entete.dwBufferLength = static_cast<quint32>(entete.image.sizeInBytes());
        entete.dwBytesUsed = entete.dwBufferLength;
        entete.dwTimeCaptured = static_cast<quint32>(QDateTime::currentMSecsSinceEpoch() - debut_);
        rappelImage_(this, &entete);
    }
}

bool FenetreCapture::saisirImageSansArret() {
    if (!pilote_ || pilote_->perdue()) return false;
    ImageCamera image;
    if (!pilote_->lireImage(image) || image.image.isNull() ||
        std::chrono::steady_clock::now() - image.instant > kAgeMaxImage)
        return false;
    saisie_ = image.image;
    return true;
}

bool FenetreCapture::enregistrerDib(const QString& chemin) {
    if (saisie_.isNull()) return false;
    try {
        ecrireBitmap24(saisie_, chemin);
    } catch (...) {
        return false;
    }
    return true;
}

bool FenetreCapture::copierImage() {
    return !saisie_.isNull();
}

bool FenetreCapture::dialogueSource(const QStringList& cameras,
                                    const std::function<bool(int)>& changerCamera) {
    if (!pilote_) return false;
    DialogueParametresWebcam dialogue(*this, cameras, changerCamera, window());
    dialogues().executer(dialogue);
    return true;
}

bool FenetreCapture::dialogueFormat() {
    if (!pilote_) return false;
    DialogueFormatImage dialogue(*pilote_, window());
    dialogues().executer(dialogue);
    return true;
}

void FenetreCapture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (affichee_.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    if (echelle_)
        p.drawImage(rect(), affichee_);
    else
        p.drawImage(0, 0, affichee_);
}

}  // namespace vp
