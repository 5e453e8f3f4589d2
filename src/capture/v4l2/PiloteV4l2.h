// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <linux/videodev2.h>

#include <QMutex>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "AppelsV4l2.h"
#include "capture/AviCaptura.h"

struct v4lconvert_data;

namespace vp {

struct WebcamV4l2 {
    QString chemin;       // /dev/videoN
    QString description;  // card name and bus: the same camera keeps it when renumbered
};

// The video capture devices (single- or multi-planar), at most 10, in device-number order.
QVector<WebcamV4l2> listerWebcamsV4l2();

// True for the pixel formats libv4lconvert turns into 24-bit RGB.
bool convertibleEnRvb(quint32 fourcc);

// A webcam through V4L2. The camera sends the format libv4lconvert finds best for 24-bit RGB
// at the wanted size (or the one chosen in the format dialog); the stream uses memory-mapped
// buffers, and a thread of its own converts each frame that arrived whole. Multi-planar devices are
// spoken to in the single-planar form, translated at the device's door.
class PiloteV4l2 final : public PiloteCapture {
public:
    explicit PiloteV4l2(QString chemin);
    ~PiloteV4l2() override;

    bool connecter() override;
    void deconnecter() override;
    bool lireImage(ImageCamera& image) override;
    bool perdue() const override { return perdue_; }
    void definirPeriode(quint32 microsecondes) override;

    QVector<ControleCamera> controles() override;
    int valeurControle(quint32 id) override;
    bool definirControle(quint32 id, int valeur) override;

    QVector<FormatCamera> formats() override;
    quint32 formatCourant(QSize* taille) override;
    bool appliquerFormat(quint32 fourcc, QSize taille) override;

    // Frames skipped because the camera flagged them, sent them torn, or they did not decode.
    quint64 imagesAbimees() const { return abimees_; }

    // One frame in the camera's current format turned into `cible` (whose memory is reused
    // when nothing else holds it); false when it does not decode. The stream thread's work,
    // callable alone to measure it while the camera sends nothing.
    bool convertir(const unsigned char* donnees, size_t taille, QImage& cible);

    // An ioctl on the device, retried when a signal interrupts it; ENODEV marks the camera
    // lost. Single-planar requests reach a multi-planar device translated.
    int ioctlPeripherique(unsigned long requete, void* argument);

private:
    struct DetruireConversion {
        void operator()(v4lconvert_data* c) const;
    };

    bool lancer(const v4l2_format* choisi);
    bool negocier(const v4l2_format* choisi);
    bool ecrireFormat(v4l2_format& format);
    // Buffers, STREAMON and the thread; 0, or the errno of what failed (all released then).
    int demarrerFlux();
    void arreterFlux();
    void boucle();
    // One dequeued buffer: converted and published when sound.
    void traiterTampon(const v4l2_buffer& tampon);
    void appliquerPeriode();
    int ioctlMultiplan(unsigned long requete, void* argument);

    AppelsV4l2& appels_;
    QString chemin_;
    Descripteur fd_;
    Descripteur reveil_;  // an eventfd that wakes the thread to stop it
    std::unique_ptr<v4lconvert_data, DetruireConversion> conversion_;
    bool multiplan_ = false;
    std::vector<Projection> tampons_;
    v4l2_format format_{};  // the camera's, in the single-planar form
    bool tamponsDemandes_ = false;
    bool enFlux_ = false;
    quint32 periode_ = 33333;
    std::vector<unsigned char> brouillon_;  // rows of a width whose RGB rows QImage pads
    QImage reserve_;                        // the frame before last, reused once nobody holds it

    std::thread fil_;
    std::atomic<bool> perdue_{false};
    std::atomic<quint64> abimees_{0};

    QMutex verrou_;  // guards image_
    ImageCamera image_;
    quint64 numero_ = 0;  // counts on across restarts
};

}  // namespace vp
