#pragma once

#include <linux/videodev2.h>

#include <QMutex>
#include <atomic>
#include <thread>
#include <vector>

#include "capture/AviCaptura.h"

struct v4lconvert_data;

namespace vp {

struct WebcamV4l2 {
    QString chemin;       // /dev/videoN
    QString description;  // card name and bus
};

// The capture-capable video devices, at most 10, in device-number order.
QVector<WebcamV4l2> listerWebcamsV4l2();

// A webcam through V4L2: the stream uses memory-mapped buffers in the camera's own pixel
// format (the current one, or the one last chosen in the format dialog), and a thread of its
// own converts each frame to 24 bits with libv4lconvert.
class PiloteV4l2 final : public PiloteCapture {
public:
    explicit PiloteV4l2(QString chemin);
    ~PiloteV4l2() override;

    bool connecter() override;
    void deconnecter() override;
    bool lireImage(QImage& image, quint64& numero) override;
    bool perdue() const override { return perdue_; }
    void definirPeriode(quint32 microsecondes) override;

    QVector<ControleCamera> controles() override;
    int valeurControle(quint32 id) override;
    bool definirControle(quint32 id, int valeur) override;

    QVector<FormatCamera> formats() override;
    quint32 formatCourant(QSize* taille) override;
    bool appliquerFormat(quint32 fourcc, QSize taille) override;

private:
    struct Tampon {
        void* debut = nullptr;
        size_t longueur = 0;
    };

    bool demarrerFlux(const v4l2_format* voulu);
    void arreterFlux();
    void boucle();
    void appliquerPeriode();
    int ioctlSur(unsigned long requete, void* arg);

    QString chemin_;
    int fd_ = -1;
    v4lconvert_data* conversion_ = nullptr;
    std::vector<Tampon> tampons_;
    v4l2_format format_{};
    bool enFlux_ = false;
    quint32 periode_ = 33333;

    std::thread fil_;
    int reveil_[2] = {-1, -1};  // a pipe that wakes the thread to stop it
    std::atomic<bool> perdue_{false};

    QMutex verrou_;  // guards image_ and numero_
    QImage image_;
    quint64 numero_ = 0;
};

}  // namespace vp
