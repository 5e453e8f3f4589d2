// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A scripted V4L2 device in place of the kernel's: the webcam backend's system calls reach it
// through the backend's seam. Each camera speaks the buffer protocol (formats, sizes, mapped
// buffers, queues, STREAMON/OFF, poll) and fills its buffers on a thread of its own at the
// asked frame period, with real YUYV, JPEG or PAC207 frames (the compressed format of many old
// webcams, whose frames vary in size). Faults are scripted per camera.

#include <linux/videodev2.h>

#include <QImage>
#include <QSet>
#include <QSize>
#include <QString>
#include <QVector>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/v4l2/AppelsV4l2.h"
#include "commun/Attente.h"

namespace vp::test {

struct FormatFaux {
    quint32 fourcc;
    QVector<QSize> tailles;
};

// One camera and what it is scripted to do.
struct CameraFausse {
    QString chemin = QStringLiteral("/dev/video0");
    QString carte = QStringLiteral("Webcam USB");
    QString bus = QStringLiteral("usb-0000:00:14.0-1");
    QString pilote = QStringLiteral("uvcvideo");
    bool multiplan = false;  // speaks only the multi-planar form
    QVector<FormatFaux> formats;
    quint32 fourcc = V4L2_PIX_FMT_YUYV;  // what it is set to (another program may have left it)
    QSize taille{640, 480};
    QRgb teinte =
        qRgb(40, 170, 70);  // its pictures: this colour, white on the left, black on the right

    bool branchee = true;
    int imagesAvantDebranchement = -1;  // unplugged after so many frames
    int abimeeToutesLes = 0;            // every nth frame: red, flagged V4L2_BUF_FLAG_ERROR
    int tronqueeToutesLes = 0;          // every nth frame: red and cut short, without a flag
    int eagainToutesLes = 0;            // every nth DQBUF answers EAGAIN after poll said ready
    int eintrToutesLes = 0;             // every nth ioctl and poll is interrupted
    int eioAVenir = 0;                  // the next DQBUFs answer EIO
    QSet<quint32> streamonEnospc;       // STREAMON has no USB room for these formats
    QSet<quint32> formatsRefuses;       // S_FMT fails for these
    int sFmtEchecsAVenir = 0;           // the next S_FMTs fail, whatever they ask
    bool gelee = false;                 // streams without ever giving a frame
    bool jpegRembourre = false;         // JPEG frames fill the whole buffer, padded after their end
    int delaiReglagesMs = 0;            // each request on its settings takes that long to answer
};

// A value the camera was asked to take for one of its settings, and when.
struct EcritureReglage {
    int valeur;
    std::chrono::steady_clock::time_point instant;
};

inline constexpr QRgb kRougeAbime = 0xFFFF0000;  // the colour of every broken frame

class FauxV4l2 final : public AppelsV4l2 {
public:
    explicit FauxV4l2(std::vector<CameraFausse> cameras);
    ~FauxV4l2() override;

    // Changes a camera's script while it runs.
    void regler(int camera, const std::function<void(CameraFausse&)>& changement);
    CameraFausse etat(int camera);
    // What is still open: the backend must leave nothing behind.
    int descripteursOuverts();
    int projectionsActives();
    quint64 imagesProduites(int camera);
    int streamons(int camera);
    // How many times a device was opened, all cameras together.
    int ouvertures();
    // The settings requests that reached the camera: its brightness written (in order), and
    // the requests of any kind answered.
    std::vector<EcritureReglage> ecrituresReglages(int camera);
    int requetesReglages(int camera);

    // The picture a camera of this colour sends at this size.
    static QImage image(QSize taille, QRgb teinte);
    // A picture as the bytes of a YUYV, JPEG or PAC207 frame.
    static QByteArray trame(quint32 fourcc, const QImage& image);

    QStringList peripheriques() override;
    int open(const char* chemin, int drapeaux) override;
    int close(int fd) override;
    int ioctl(int fd, unsigned long requete, void* argument) override;
    void* mmap(size_t longueur, int fd, off_t decalage) override;
    int munmap(void* adresse, size_t longueur) override;
    int poll(pollfd* attentes, nfds_t nombre, int delaiMs) override;

private:
    struct Tampon {
        std::vector<unsigned char> memoire;
        quint32 octets = 0;
        quint32 drapeaux = 0;
        quint32 sequence = 0;
        int projections = 0;
        bool enFile = false;
    };
    struct Camera {
        CameraFausse script;
        std::vector<std::shared_ptr<Tampon>> tampons;
        int proprietaire = -1;  // the descriptor that asked for the buffers
        std::deque<int> entrants, sortants;
        bool enFlux = false;
        bool arret = false;
        std::thread producteur;
        quint64 produites = 0;
        int streamons = 0;
        quint32 periodeUs = 33333;
        int luminosite = 128;
        std::vector<EcritureReglage> ecritures;
        int requetesReglages = 0;
        QByteArray bonne, abimee;  // the frame's bytes in the current format and size
    };

    int ioctlVerrouille(std::unique_lock<std::mutex>& verrou, Camera& c, int fd,
                        unsigned long requete, void* argument);
    void produire(Camera* c);
    void arreterFlux(std::unique_lock<std::mutex>& verrou, Camera& c);
    void preparerImages(Camera& c);
    void remplirFormat(const Camera& c, v4l2_format& f) const;
    bool typeValide(const Camera& c, quint32 type) const;
    Camera* cameraDe(int fd);

    std::mutex mutex_;
    std::condition_variable reveil_;
    std::vector<std::unique_ptr<Camera>> cameras_;
    std::map<int, int> ouverts_;                      // descriptor -> camera
    std::vector<std::shared_ptr<Tampon>> orphelins_;  // buffers still mapped after a close
    int appelsIoctl_ = 0, appelsPoll_ = 0, appelsDqbuf_ = 0, ouvertures_ = 0;
};

// Installs a fake device and the V4L2 driver provider for its lifetime, then puts the
// kernel's calls and the environment's provider back.
class FauxV4l2Installe {
public:
    explicit FauxV4l2Installe(std::vector<CameraFausse> cameras);
    ~FauxV4l2Installe();
    FauxV4l2& operator*() { return *faux_; }
    FauxV4l2* operator->() { return faux_; }

private:
    FauxV4l2* faux_;
    std::unique_ptr<AppelsV4l2> anciens_;
};

// A camera that offers YUYV 640 x 480 and 320 x 240 and Motion JPEG 1280 x 720 and 640 x 480.
CameraFausse cameraOrdinaire();

}  // namespace vp::test
