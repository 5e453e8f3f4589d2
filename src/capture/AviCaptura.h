// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The capture-driver layer: a capture window connected to one camera driver, with the
// operations the webcam control sends it (connect, preview, grab, save, dialogs) and the
// callbacks it makes. Drivers are backends: real webcams (v4l2/) or the test pattern (mire/).

#include <QHash>
#include <QImage>
#include <QPair>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <QWidget>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vp {

// One setting of the camera, shown in "Paramètres de la web-cam".
struct ControleCamera {
    enum class Genre { Entier, Booleen, Menu, Bouton };
    quint32 id = 0;
    QString nom;
    Genre genre = Genre::Entier;
    int minimum = 0;
    int maximum = 0;
    int pas = 1;
    int defaut = 0;
    QVector<QPair<int, QString>> choix;  // the entries of a menu
};

// One pixel format of the camera with the picture sizes it offers.
struct FormatCamera {
    quint32 fourcc = 0;
    QString description;
    QVector<QSize> tailles;
};

QString texteFourcc(quint32 fourcc);

// A frame as a driver hands it over.
struct ImageCamera {
    QImage image;                                   // 24 bits per pixel
    quint64 numero = 0;                             // one more for every frame
    std::chrono::steady_clock::time_point instant;  // when it was captured
};

// A camera driver. Frames arrive on a thread of the driver's own; `lireImage` hands the
// newest one to the user-interface thread.
class PiloteCapture {
public:
    virtual ~PiloteCapture() = default;

    // Opens the camera and starts its stream; false when it cannot.
    virtual bool connecter() = 0;
    virtual void deconnecter() = 0;
    // The newest frame; false when none came since the stream (re)started.
    virtual bool lireImage(ImageCamera& image) = 0;
    // True once the camera has gone (unplugged): no frame will come any more.
    virtual bool perdue() const = 0;
    // Frame period asked of the camera.
    virtual void definirPeriode(quint32 microsecondes) = 0;

    // The settings: asked on a thread of their own (ReglagesCamera) while frames are read.
    virtual QVector<ControleCamera> controles() = 0;
    virtual int valeurControle(quint32 id) = 0;
    virtual bool definirControle(quint32 id, int valeur) = 0;

    virtual QVector<FormatCamera> formats() = 0;
    virtual quint32 formatCourant(QSize* taille) = 0;
    // Restarts the stream with that format and size; false when the camera refuses it.
    virtual bool appliquerFormat(quint32 fourcc, QSize taille) = 0;
};

// The drivers present: descriptions by index (at most 10) and a way to make the driver of an
// index. Chosen at start-up: the test pattern when VOLTIPLUME_CAMERA=mire, else the webcams;
// tests may install their own.
struct FournisseurPilotes {
    std::function<QStringList()> lister;
    std::function<std::unique_ptr<PiloteCapture>(int index)> creer;
};
void installerFournisseurPilotes(FournisseurPilotes fournisseur);
FournisseurPilotes fournisseurSelonEnvironnement();
// The V4L2 webcams, whatever the environment says.
FournisseurPilotes fournisseurWebcams();
// Name and version of driver `index`; false when there is no such driver.
bool descriptionPilote(int index, QString* nom, QString* version);
// The descriptions of all the drivers present, asked of the system once.
QStringList listerPilotes();

// The settings of a camera, read and written on a thread of the capture side's own: some
// cameras take seconds to answer a settings request, and the window never waits for them. A
// setting asked again and again (a slider being dragged) reaches the camera with its last value,
// at most every kIntervalle.
class ReglagesCamera : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kIntervalle{100};

    explicit ReglagesCamera(PiloteCapture& pilote);
    // Waits for the request under way (the driver goes next); those not sent yet are dropped.
    ~ReglagesCamera() override;

    // Reads the settings and their values again; `lus` follows on the window's thread.
    void lire();
    // Known once read.
    bool connus() const { return connus_; }
    const QVector<ControleCamera>& controles() const { return controles_; }
    // As last read, set or asked.
    int valeur(quint32 id) const { return valeurs_.value(id); }
    // Asks that setting `id` take `valeur`; `applique` follows with the value the camera took,
    // unless another value was asked for it meanwhile.
    void demander(quint32 id, int valeur);

signals:
    void lus();
    void applique(quint32 id, int valeur);

private:
    void boucle();
    bool attendPour(quint32 id) const;

    PiloteCapture& pilote_;
    mutable std::mutex verrou_;
    std::condition_variable reveil_;
    bool arret_ = false;
    bool lectureDemandee_ = false;
    QVector<QPair<quint32, int>> enAttente_;  // one value per setting, the last asked
    std::chrono::steady_clock::time_point prochaineEcriture_{};
    // The window's side.
    bool connus_ = false;
    QVector<ControleCamera> controles_;
    QHash<quint32, int> valeurs_;
    std::thread fil_;  // last: started once the rest exists
};

// The capture parameters record, as the capture window reports and accepts them.
struct ParametresCapture {
    quint32 dwRequestMicroSecPerFrame = 66667;
    bool fMakeUserHitOKToCapture = false;
    quint32 wPercentDropForError = 10;
    bool fYield = false;
    quint32 dwIndexSize = 0;
    quint32 wChunkGranularity = 0;
    bool fUsingDOSMemory = false;
    quint32 wNumVideoRequested = 5;
    bool fCaptureAudio = false;
    quint32 wNumAudioRequested = 0;
    quint32 vKeyAbort = 0x1B;
    bool fAbortLeftMouse = true;
    bool fAbortRightMouse = true;
    bool fLimitEnabled = false;
    quint32 wTimeLimit = 0;
    bool fMCIControl = false;
    bool fStepMCIDevice = false;
    quint32 dwMCIStartTime = 0;
    quint32 dwMCIStopTime = 0;
    bool fStepCaptureAt2x = false;
    quint32 wStepCaptureAverageFrames = 5;
    quint32 dwAudioBufferSize = 0;
    bool fDisableWriteCache = false;
};

struct CapacitesPilote {
    quint32 wDeviceIndex = 0;
    bool fHasOverlay = false;
    bool fHasDlgVideoSource = false;
    bool fHasDlgVideoFormat = false;
    bool fHasDlgVideoDisplay = false;
    bool fCaptureInitialized = false;
    bool fDriverSuppliesPalettes = false;
};

// The frame header given to the frame callbacks.
struct EnTeteVideo {
    const uchar* lpData = nullptr;
    quint32 dwBufferLength = 0;
    quint32 dwBytesUsed = 0;
    quint32 dwTimeCaptured = 0;  // milliseconds since the preview started
    QImage image;                // the same frame as a 24-bit picture
};

// The wave buffer header of a streaming capture (no operation here starts one).
struct EnTeteAudio {
    const char* lpData = nullptr;
    quint32 dwBufferLength = 0;
    quint32 dwBytesRecorded = 0;
};

// The capture window: a child window that shows the camera and talks to its driver.
class FenetreCapture : public QWidget {
    Q_OBJECT
public:
    explicit FenetreCapture(QWidget* parent);
    ~FenetreCapture() override;

    using RappelImage = std::function<void(FenetreCapture*, EnTeteVideo*)>;
    using RappelAudio = std::function<void(FenetreCapture*, EnTeteAudio*)>;
    using RappelTexte = std::function<void(FenetreCapture*, int id, const char* texte)>;
    using RappelEtat = std::function<bool(FenetreCapture*, int etat)>;
    using RappelCession = std::function<void(FenetreCapture*)>;

    // Every operation returns true on success, like the capture messages.
    bool definirRappelErreur(RappelTexte rappel);
    bool definirRappelEtat(RappelTexte rappel);
    bool definirRappelCession(RappelCession rappel);
    bool definirRappelImage(RappelImage rappel);
    bool definirRappelFluxVideo(RappelImage rappel);
    bool definirRappelFluxAudio(RappelAudio rappel);
    bool definirRappelControle(RappelEtat rappel);

    bool connecterPilote(int index);
    bool deconnecterPilote();
    bool lireCapacites(CapacitesPilote& capacites);
    bool lireParametres(ParametresCapture& parametres);
    bool ecrireParametres(const ParametresCapture& parametres);

    bool definirApercu(bool actif);
    bool definirSuperposition(bool actif);
    bool definirCadenceApercu(int millisecondes);
    bool definirEchelle(bool actif);

    // Grabs the newest frame, the preview going on; false when the camera gives none, or
    // none less than kAgeMaxImage old: a photo never shows a moment long gone.
    bool saisirImageSansArret();
    static constexpr std::chrono::milliseconds kAgeMaxImage{1000};
    // The frame last grabbed (null when none).
    const QImage& imageSaisie() const { return saisie_; }
    // Writes the frame last grabbed as a 24-bit bitmap file, atomically.
    bool enregistrerDib(const QString& chemin);
    // Makes the frame last grabbed the one handed over (stands in for the clipboard copy).
    bool copierImage();

    // `cameras` are the descriptions of the drivers present; `changerCamera` connects another
    // one for the dialog's camera list.
    bool dialogueSource(const QStringList& cameras,
                        const std::function<bool(int index)>& changerCamera);
    bool dialogueFormat();

    PiloteCapture* pilote() const { return pilote_.get(); }
    // The settings of the driver connected (null without one).
    ReglagesCamera* reglages() const { return reglages_.get(); }
    int indexPilote() const { return index_; }
    bool apercuActif() const { return apercu_; }
    bool superpositionActive() const { return superposition_; }
    int cadenceApercu() const { return cadence_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void tic();
    void mettreAJourMinuterie();

    std::unique_ptr<PiloteCapture> pilote_;
    std::unique_ptr<ReglagesCamera> reglages_;  // goes before its driver
    int index_ = -1;
    ParametresCapture parametres_;
    QTimer minuterie_;
    bool apercu_ = false;
    bool superposition_ = false;
    bool echelle_ = false;
    int cadence_ = 66;
    quint64 dernierNumero_ = 0;
    bool aUneImage_ = false;
    QImage affichee_;
    QImage saisie_;
    qint64 debut_ = 0;

    RappelTexte rappelErreur_, rappelEtat_;
    RappelCession rappelCession_;
    RappelImage rappelImage_, rappelFluxVideo_;
    RappelAudio rappelFluxAudio_;
    RappelEtat rappelControle_;
};

}  // namespace vp
