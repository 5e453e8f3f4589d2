// SPDX-License-Identifier: GPL-3.0-or-later
#include "Camera.h"

#include "platform/Erreur.h"
#include "platform/Profil.h"

namespace vp {

namespace {

// Module-wide, as the capture window delivers every callback to one control.
FenetreCapture* g_fenetre = nullptr;
TCamera* g_receveur = nullptr;
bool g_cameraPrete = false;

quintptr poignee(FenetreCapture* f) {
    return reinterpret_cast<quintptr>(f);
}

}  // namespace

bool cameraPrete() {
    return g_cameraPrete;
}

namespace {

const QString kCleCamera = QStringLiteral("webcam/camera");

}  // namespace

int indexCameraRetenue() {
    const QString retenue = reglagesProgramme().value(kCleCamera).toString();
    if (retenue.isEmpty()) return 0;
    return std::max(0, static_cast<int>(listerPilotes().indexOf(retenue)));
}

void retenirCamera(int index) {
    QString nom;
    if (descriptionPilote(index, &nom, nullptr)) reglagesProgramme().setValue(kCleCamera, nom);
}

TCamera::TCamera(QWidget* owner) : QWidget(owner) {
    resize(260, 180);
    setAutoFillBackground(true);
    g_receveur = this;
}

TCamera::~TCamera() {
    if (actif_) Desactiver();
    if (g_receveur == this) g_receveur = nullptr;
}

FenetreCapture* TCamera::fenetre() const {
    return g_fenetre && g_fenetre->parent() == this ? g_fenetre : nullptr;
}

void TCamera::setActif(bool v) {
    actif_ = v;
    if (v)
        Activer();
    else
        Desactiver();
}

void TCamera::setOverlay(bool v) {
    overlay_ = v;
    AppliquerAffichage();
}

void TCamera::modifierParametres(const std::function<void(ParametresCapture&)>& changement) {
    if (!fenetre()) return;
    ParametresCapture p;
    if (!g_fenetre->lireParametres(p)) return;
    changement(p);
    g_fenetre->ecrireParametres(p);
}

void TCamera::setFramesCaptura(qint32 v) {
    framesCaptura_ = std::max(1, v);  // a divisor
    modifierParametres([this](ParametresCapture& p) {
        p.dwRequestMicroSecPerFrame = static_cast<quint32>(1000000 / framesCaptura_);
    });
}

void TCamera::setHiloAparte(bool v) {
    hiloAparte_ = v;
    modifierParametres([v](ParametresCapture& p) { p.fYield = v; });
}

void TCamera::setStrechView(bool v) {
    strechView_ = v;
    if (fenetre()) g_fenetre->definirEchelle(v);
}

void TCamera::setTiempoActivado(bool v) {
    tiempoActivado_ = v;
    modifierParametres([v](ParametresCapture& p) { p.fLimitEnabled = v; });
}

void TCamera::setSecondes(qint32 v) {
    secondes_ = v;
    modifierParametres(
        [v](ParametresCapture& p) { p.wTimeLimit = static_cast<quint32>(v) & 0xFFFF; });
}

bool TCamera::OuvrirCapture() {
    FermerCapture();
    g_fenetre = new FenetreCapture(this);
    g_fenetre->setGeometry(0, 0, width(), height());
    g_fenetre->show();
    // Connecting the driver.
    g_cameraPrete = false;
    if (!g_fenetre->connecterPilote(imageDevice_)) throw Erreur(kPasDeWebcam);
    bool connecte = true;
    ParametresCapture p;
    if (g_fenetre->lireParametres(p)) {
        p.vKeyAbort = 27;
        p.fAbortLeftMouse = false;
        p.fAbortRightMouse = false;
        p.fMCIControl = false;
        connecte = g_fenetre->ecrireParametres(p);
    }
    if (!connecte) {
        FermerCapture();
        return false;
    }
    g_cameraPrete = true;
    return true;
}

void TCamera::FermerCapture() {
    if (!g_fenetre) return;
    g_fenetre->definirRappelEtat(nullptr);
    g_fenetre->deconnecterPilote();
    delete g_fenetre;
    g_fenetre = nullptr;
}

void TCamera::Activer() {
    if (!OuvrirCapture()) throw Erreur(kPasDeConnexion);
    setStrechView(strechView_);
    setFramesCaptura(framesCaptura_);
    setHiloAparte(hiloAparte_);
    setTiempoActivado(tiempoActivado_);
    setSecondes(secondes_);
    AppliquerAffichage();
}

void TCamera::Desactiver() {
    if (!overlay_) RetirerRappels();
    FermerCapture();
    actif_ = false;
}

void TCamera::AppliquerAffichage() {
    if (!fenetre()) return;
    if (overlay_) {
        g_fenetre->definirSuperposition(true);
        RetirerRappels();
    } else {
        InstallerRappels();
        g_fenetre->definirCadenceApercu(1000 / framesPreview_);
        g_fenetre->definirApercu(true);
    }
}

void TCamera::InstallerRappels() {
    if (!g_fenetre) return;
    g_fenetre->definirRappelCession([](FenetreCapture* f) {
        if (g_receveur && g_receveur->OnYield) g_receveur->OnYield(g_receveur, poignee(f));
    });
    g_fenetre->definirRappelFluxVideo([](FenetreCapture* f, EnTeteVideo* h) {
        if (g_receveur && g_receveur->OnVideoStream)
            g_receveur->OnVideoStream(g_receveur, poignee(f), h);
    });
    g_fenetre->definirRappelImage([](FenetreCapture* f, EnTeteVideo* h) {
        if (g_receveur && g_receveur->OnFrame) g_receveur->OnFrame(g_receveur, poignee(f), h);
    });
    g_fenetre->definirRappelErreur([](FenetreCapture* f, int id, const char* texte) {
        if (g_receveur && g_receveur->OnError)
            g_receveur->OnError(g_receveur, poignee(f), id, texte);
    });
    g_fenetre->definirRappelEtat([](FenetreCapture* f, int id, const char* texte) {
        if (g_receveur && g_receveur->OnStatus)
            g_receveur->OnStatus(g_receveur, poignee(f), id, texte);
    });
    g_fenetre->definirRappelFluxAudio([](FenetreCapture* f, EnTeteAudio* h) {
        if (g_receveur && g_receveur->OnWaveStream)
            g_receveur->OnWaveStream(g_receveur, poignee(f), h);
    });
    g_fenetre->definirRappelControle([](FenetreCapture* f, int etat) {
        if (g_receveur && g_receveur->OnControl)
            g_receveur->OnControl(g_receveur, poignee(f), etat);
        return true;  // the capture may go on
    });
}

void TCamera::RetirerRappels() {
    if (!g_fenetre) return;
    g_fenetre->definirRappelImage(nullptr);
    g_fenetre->definirRappelCession(nullptr);
    g_fenetre->definirRappelFluxVideo(nullptr);
    g_fenetre->definirRappelErreur(nullptr);
    g_fenetre->definirRappelEtat(nullptr);
    g_fenetre->definirRappelFluxAudio(nullptr);
    g_fenetre->definirRappelControle(nullptr);
}

bool TCamera::CapturerFichier() {
    if (!fenetre()) return false;
    if (!g_fenetre->saisirImageSansArret()) return false;
    return g_fenetre->enregistrerDib(fichierImage_);
}

bool TCamera::CapturerPressePapiers() {
    if (!fenetre()) return false;
    if (!g_fenetre->saisirImageSansArret()) return false;
    return g_fenetre->copierImage();
}

QImage TCamera::imageSaisie() const {
    return fenetre() ? g_fenetre->imageSaisie() : QImage();
}

void TCamera::DialogueSource() {
    if (!fenetre()) return;
    // Listed once: each look at a camera opens its device.
    const QStringList cameras = listerPilotes();
    CapacitesPilote c{};
    g_fenetre->lireCapacites(c);
    // The dialog also chooses among the cameras.
    if (!c.fHasDlgVideoSource && cameras.size() < 2) throw Erreur(kPasBonSource);
    g_fenetre->dialogueSource(cameras, [this](int index) { return changerCamera(index); });
}

bool TCamera::changerCamera(int index) {
    if (!fenetre()) return false;
    const int avant = g_fenetre->indexPilote();
    g_cameraPrete = false;
    if (g_fenetre->connecterPilote(index)) {
        imageDevice_ = index;
        g_cameraPrete = true;
        retenirCamera(index);
        AppliquerAffichage();  // the live view had stopped if the camera before was lost
        return true;
    }
    g_cameraPrete = avant >= 0 && g_fenetre->connecterPilote(avant);
    if (g_cameraPrete) AppliquerAffichage();
    // Nor the one in use before: no camera is left, which the main window tells as for an
    // unplugged one (the live view stops, and what to do next).
    if (!g_cameraPrete && OnError)
        OnError(this, poignee(g_fenetre), 1, "La web-cam ne répond plus.");
    return false;
}

void TCamera::DialogueFormat() {
    if (!fenetre()) return;
    CapacitesPilote c{};
    g_fenetre->lireCapacites(c);
    if (!c.fHasDlgVideoFormat) throw Erreur(kPasBonFormat);
    g_fenetre->dialogueFormat();
}

void TCamera::resizeEvent(QResizeEvent*) {
    if (fenetre()) g_fenetre->setGeometry(0, 0, width(), height());
}

}  // namespace vp
