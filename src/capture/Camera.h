// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <functional>

#include "AviCaptura.h"

namespace vp {

class TCamera;

using TOnFrameVideoEvent =
    std::function<void(TCamera* Sender, quintptr HndPreview, EnTeteVideo* lpVHdr)>;
using TOnWaveStreamEvent =
    std::function<void(TCamera* Sender, quintptr HndPreview, EnTeteAudio* lpWHdr)>;
using TOnStatusErrorEvent =
    std::function<void(TCamera* Sender, quintptr HndPreview, qint32 id, const char* lpsz)>;
using TOnControlEvent = std::function<void(TCamera* Sender, quintptr HndPreview, qint32 nState)>;
using TOnYieldEvent = std::function<void(TCamera* Sender, quintptr HndPreview)>;

inline const QString kPasDeWebcam = QStringLiteral("ATTENTION ! Pas de webcam détectée !");
inline const QString kPasDeConnexion = QStringLiteral("Ah merde ! Pas de connection !");
inline const QString kPasBonSource = QStringLiteral("Pas bon !");
inline const QString kPasBonFormat = QStringLiteral("Pas bon format !");

// True once a capture driver has been connected and set up.
bool cameraPrete();

// The camera last chosen in "Paramètres de la web-cam", remembered across runs by its name
// and bus (so that it is found again under another device number): its index among the
// drivers present, or 0 when it is not there.
int indexCameraRetenue();
void retenirCamera(int index);

// The webcam control: a panel that owns one capture window, connects it to the driver
// `lmageDevice`, runs its live preview and turns every preview frame into OnFrame. One per
// process: the capture window, the receiving instance and cameraPrete are module-wide.
class TCamera : public QWidget {
    Q_OBJECT
public:
    explicit TCamera(QWidget* owner);
    ~TCamera() override;

    bool Actif() const { return actif_; }
    void setActif(bool v);
    QString FichierVideo() const { return fichierVideo_; }
    void setFichierVideo(const QString& v) { fichierVideo_ = v; }
    QString FichierImage() const { return fichierImage_; }
    void setFichierImage(const QString& v) { fichierImage_ = v; }
    bool Overlay() const { return overlay_; }
    void setOverlay(bool v);
    qint32 FramesPreview() const { return framesPreview_; }
    void setFramesPreview(qint32 v) { framesPreview_ = std::max(1, v); }  // a divisor
    qint32 FramesCaptura() const { return framesCaptura_; }
    void setFramesCaptura(qint32 v);
    bool HiloAparte() const { return hiloAparte_; }
    void setHiloAparte(bool v);
    bool StrechView() const { return strechView_; }
    void setStrechView(bool v);
    bool TiempoActivado() const { return tiempoActivado_; }
    void setTiempoActivado(bool v);
    qint32 Secondes() const { return secondes_; }
    void setSecondes(qint32 v);
    qint32 lmageDevice() const { return imageDevice_; }
    void setlmageDevice(qint32 v) { imageDevice_ = v; }

    TOnFrameVideoEvent OnFrame;
    TOnFrameVideoEvent OnVideoStream;
    TOnWaveStreamEvent OnWaveStream;
    TOnStatusErrorEvent OnError;
    TOnStatusErrorEvent OnStatus;
    TOnControlEvent OnControl;
    TOnYieldEvent OnYield;

    // Grabs the current frame and saves it as a bitmap file at FichierImage; false when the
    // camera gave no frame or the file could not be written.
    bool CapturerFichier();
    // Grabs the current frame and hands it over (imageSaisie); false when there was none.
    bool CapturerPressePapiers();
    void DialogueSource();
    void DialogueFormat();

    // The frame last grabbed, as a 24-bit picture (null when none).
    QImage imageSaisie() const;
    // The capture window, null when there is none.
    FenetreCapture* fenetre() const;

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    void Activer();
    void Desactiver();
    bool OuvrirCapture();
    void FermerCapture();
    void AppliquerAffichage();
    void InstallerRappels();
    void RetirerRappels();
    // Connects driver `index` instead of the current one and remembers the choice; when it does
    // not answer, the camera in use before is connected again and false returned.
    bool changerCamera(int index);
    // Reads the capture parameters, changes them, writes them back (only when the read works).
    void modifierParametres(const std::function<void(ParametresCapture&)>& changement);

    bool actif_ = false;
    QString fichierVideo_ = QStringLiteral("Video.avi");
    QString fichierImage_ = QStringLiteral("Imagen.bmp");
    bool overlay_ = false;
    qint32 framesPreview_ = 15;
    qint32 framesCaptura_ = 15;
    bool hiloAparte_ = true;
    bool strechView_ = true;
    bool tiempoActivado_ = false;
    qint32 secondes_ = 0;
    qint32 imageDevice_ = 0;
};

}  // namespace vp
