// SPDX-License-Identifier: GPL-3.0-or-later
#include "PiloteV4l2.h"

#include <fcntl.h>
#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QFile>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <numeric>

namespace vp {

namespace {

// Consecutive failed dequeues (EIO, or an error the device reports through poll) that a camera
// is allowed before it counts as lost: USB cameras have passing faults.
constexpr int kEssaisAvantPerte = 5;
constexpr quint32 kCapture = V4L2_BUF_TYPE_VIDEO_CAPTURE;
constexpr quint32 kCaptureMultiplan = V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE;

// The format chosen in the format dialog for each device, for the rest of the run.
QHash<QString, v4l2_format>& formatsChoisis() {
    static QHash<QString, v4l2_format> choisis;
    return choisis;
}

bool jpeg(quint32 fourcc) {
    return fourcc == V4L2_PIX_FMT_MJPEG || fourcc == V4L2_PIX_FMT_JPEG;
}

// The formats whose frames vary in size (compressed): the size the driver gives for them is only
// the largest a frame may take. Those of the others are all that size.
bool tailleVariable(quint32 fourcc) {
    switch (fourcc) {
        case V4L2_PIX_FMT_MJPEG:
        case V4L2_PIX_FMT_JPEG:
        case V4L2_PIX_FMT_PJPG:
        case V4L2_PIX_FMT_JPGL:
        case V4L2_PIX_FMT_CPIA1:
        case V4L2_PIX_FMT_SPCA561:
        case V4L2_PIX_FMT_SN9C10X:
        case V4L2_PIX_FMT_SN9C2028:
        case V4L2_PIX_FMT_PAC207:
        case V4L2_PIX_FMT_MR97310A:
        case V4L2_PIX_FMT_JL2005BCD:
        case V4L2_PIX_FMT_SQ905C:
        case V4L2_PIX_FMT_SE401:
            return true;
        default:
            return false;
    }
}

// Where the JPEG image at `d` ends (just past its end marker), 0 when it does not end within the
// n bytes. A frame cut short on the USB bus decodes without an error (grey below the cut), so it
// is recognised by its missing end; what some cameras put after the end (padding, the rest of an
// older frame) is no part of it. The image is followed segment by segment: a marker inside a
// thumbnail or in the data of a segment is not taken for its end.
size_t finJpeg(const unsigned char* d, size_t n) {
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return 0;
    size_t i = 2;
    while (i + 2 <= n) {
        if (d[i] != 0xFF) return 0;
        const unsigned char marqueur = d[i + 1];
        if (marqueur == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (marqueur == 0xD9) return i + 2;
        if (marqueur == 0x01 || (marqueur >= 0xD0 && marqueur <= 0xD7)) {  // no length
            i += 2;
            continue;
        }
        if (i + 4 > n) return 0;
        const size_t longueur = (size_t{d[i + 2]} << 8) | d[i + 3];
        if (longueur < 2) return 0;
        i += 2 + longueur;
        if (marqueur != 0xDA) continue;
        // The coded data of a scan: 0xFF is followed by 0x00 (a data byte) or a restart marker.
        for (;;) {
            if (i >= n) return 0;
            const void* ff = std::memchr(d + i, 0xFF, n - i);
            if (!ff) return 0;
            i = static_cast<size_t>(static_cast<const unsigned char*>(ff) - d);
            if (i + 1 >= n) return 0;
            const unsigned char suivant = d[i + 1];
            if (suivant == 0x00 || (suivant >= 0xD0 && suivant <= 0xD7)) {
                i += 2;
            } else if (suivant == 0xFF) {
                ++i;
            } else {
                break;
            }
        }
    }
    return 0;
}

int ioctlConversion(void* pilote, int, unsigned long requete, void* argument) {
    return static_cast<PiloteV4l2*>(pilote)->ioctlPeripherique(requete, argument);
}
void* initConversion(int) {
    return nullptr;
}
void fermerConversion(void*) {}
ssize_t lireConversion(void*, int, void*, size_t) {
    errno = EINVAL;
    return -1;
}
ssize_t ecrireConversion(void*, int, const void*, size_t) {
    errno = EINVAL;
    return -1;
}
// libv4lconvert reaches the device through the same door as the backend.
const libv4l_dev_ops kAppelsConversion = {
    initConversion, fermerConversion, ioctlConversion, lireConversion, ecrireConversion, nullptr,
    nullptr,        nullptr,          nullptr,         nullptr,        nullptr,          nullptr};

int ioctlReessaye(AppelsV4l2& appels, int fd, unsigned long requete, void* argument) {
    int r;
    do {
        r = appels.ioctl(fd, requete, argument);
    } while (r < 0 && errno == EINTR);
    return r;
}

QString texteC(const __u8* t, size_t taille) {
    return QString::fromUtf8(
        reinterpret_cast<const char*>(t),
        static_cast<qsizetype>(strnlen(reinterpret_cast<const char*>(t), taille)));
}

QString nomFrancais(quint32 id, const QString& nomPilote) {
    switch (id) {
        case V4L2_CID_BRIGHTNESS:
            return QStringLiteral("Luminosité");
        case V4L2_CID_CONTRAST:
            return QStringLiteral("Contraste");
        case V4L2_CID_SATURATION:
            return QStringLiteral("Saturation");
        case V4L2_CID_HUE:
            return QStringLiteral("Teinte");
        case V4L2_CID_AUTO_WHITE_BALANCE:
            return QStringLiteral("Balance des blancs automatique");
        case V4L2_CID_WHITE_BALANCE_TEMPERATURE:
            return QStringLiteral("Température de couleur");
        case V4L2_CID_GAMMA:
            return QStringLiteral("Gamma");
        case V4L2_CID_GAIN:
            return QStringLiteral("Gain");
        case V4L2_CID_POWER_LINE_FREQUENCY:
            return QStringLiteral("Fréquence du secteur");
        case V4L2_CID_SHARPNESS:
            return QStringLiteral("Netteté");
        case V4L2_CID_BACKLIGHT_COMPENSATION:
            return QStringLiteral("Compensation du contre-jour");
        case V4L2_CID_EXPOSURE_AUTO:
            return QStringLiteral("Exposition automatique");
        case V4L2_CID_EXPOSURE_ABSOLUTE:
            return QStringLiteral("Exposition");
        case V4L2_CID_EXPOSURE_AUTO_PRIORITY:
            return QStringLiteral("Cadence réduite si l'exposition le demande");
        case V4L2_CID_FOCUS_AUTO:
            return QStringLiteral("Mise au point automatique");
        case V4L2_CID_FOCUS_ABSOLUTE:
            return QStringLiteral("Mise au point");
        case V4L2_CID_ZOOM_ABSOLUTE:
            return QStringLiteral("Zoom");
        case V4L2_CID_PAN_ABSOLUTE:
            return QStringLiteral("Panoramique");
        case V4L2_CID_TILT_ABSOLUTE:
            return QStringLiteral("Inclinaison");
        case V4L2_CID_HFLIP:
            return QStringLiteral("Miroir horizontal");
        case V4L2_CID_VFLIP:
            return QStringLiteral("Miroir vertical");
        default:
            return nomPilote;
    }
}

QString choixFrancais(quint32 id, int index, const QString& nomPilote) {
    if (id == V4L2_CID_POWER_LINE_FREQUENCY) {
        static const char* const k[] = {"Désactivée", "50 Hz", "60 Hz", "Automatique"};
        if (index >= 0 && index < 4) return QString::fromUtf8(k[index]);
    }
    if (id == V4L2_CID_EXPOSURE_AUTO) {
        static const char* const k[] = {"Automatique", "Manuelle", "Priorité à l'obturateur",
                                        "Priorité à l'ouverture"};
        if (index >= 0 && index < 4) return QString::fromUtf8(k[index]);
    }
    return nomPilote;
}

}  // namespace

bool convertibleEnRvb(quint32 fourcc) {
    // The source formats libv4lconvert decodes.
    static const quint32 kFormats[] = {
        V4L2_PIX_FMT_RGB24,        V4L2_PIX_FMT_BGR24,      V4L2_PIX_FMT_YUV420,
        V4L2_PIX_FMT_YVU420,       V4L2_PIX_FMT_RGB565,     V4L2_PIX_FMT_BGR32,
        V4L2_PIX_FMT_RGB32,        V4L2_PIX_FMT_XBGR32,     V4L2_PIX_FMT_XRGB32,
        V4L2_PIX_FMT_ABGR32,       V4L2_PIX_FMT_ARGB32,     V4L2_PIX_FMT_YUYV,
        V4L2_PIX_FMT_YVYU,         V4L2_PIX_FMT_UYVY,       V4L2_PIX_FMT_NV16,
        V4L2_PIX_FMT_NV61,         V4L2_PIX_FMT_SPCA501,    V4L2_PIX_FMT_SPCA505,
        V4L2_PIX_FMT_SPCA508,      V4L2_PIX_FMT_CIT_YYVYUY, V4L2_PIX_FMT_KONICA420,
        V4L2_PIX_FMT_SN9C20X_I420, V4L2_PIX_FMT_M420,       V4L2_PIX_FMT_HM12,
        V4L2_PIX_FMT_NV12,         V4L2_PIX_FMT_CPIA1,      V4L2_PIX_FMT_MJPEG,
        V4L2_PIX_FMT_JPEG,         V4L2_PIX_FMT_PJPG,       V4L2_PIX_FMT_JPGL,
        V4L2_PIX_FMT_SBGGR8,       V4L2_PIX_FMT_SGBRG8,     V4L2_PIX_FMT_SGRBG8,
        V4L2_PIX_FMT_SRGGB8,       V4L2_PIX_FMT_STV0680,    V4L2_PIX_FMT_SBGGR10P,
        V4L2_PIX_FMT_SGBRG10P,     V4L2_PIX_FMT_SGRBG10P,   V4L2_PIX_FMT_SRGGB10P,
        V4L2_PIX_FMT_SBGGR10,      V4L2_PIX_FMT_SGBRG10,    V4L2_PIX_FMT_SGRBG10,
        V4L2_PIX_FMT_SRGGB10,      V4L2_PIX_FMT_SBGGR16,    V4L2_PIX_FMT_SGBRG16,
        V4L2_PIX_FMT_SGRBG16,      V4L2_PIX_FMT_SRGGB16,    V4L2_PIX_FMT_SPCA561,
        V4L2_PIX_FMT_SN9C10X,      V4L2_PIX_FMT_SN9C2028,   V4L2_PIX_FMT_PAC207,
        V4L2_PIX_FMT_MR97310A,     V4L2_PIX_FMT_JL2005BCD,  V4L2_PIX_FMT_SQ905C,
        V4L2_PIX_FMT_SE401,        V4L2_PIX_FMT_GREY,       V4L2_PIX_FMT_Y4,
        V4L2_PIX_FMT_Y6,           V4L2_PIX_FMT_Y10BPACK,   V4L2_PIX_FMT_Y16,
        V4L2_PIX_FMT_Y16_BE,       V4L2_PIX_FMT_HSV32,      V4L2_PIX_FMT_HSV24,
    };
    return std::find(std::begin(kFormats), std::end(kFormats), fourcc) != std::end(kFormats);
}

QVector<WebcamV4l2> listerWebcamsV4l2() {
    AppelsV4l2& appels = appelsV4l2();
    QVector<std::pair<int, WebcamV4l2>> trouvees;
    for (const QString& chemin : appels.peripheriques()) {
        bool ok = false;
        const int numero = chemin.mid(chemin.lastIndexOf(QStringLiteral("video")) + 5).toInt(&ok);
        if (!ok) continue;
        const Descripteur fd(&appels, appels.open(QFile::encodeName(chemin).constData(),
                                                  O_RDWR | O_NONBLOCK | O_CLOEXEC));
        if (!fd) continue;
        v4l2_capability cap{};
        if (ioctlReessaye(appels, fd.get(), VIDIOC_QUERYCAP, &cap) != 0) continue;
        const quint32 caps =
            (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
        if (!(caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) ||
            !(caps & V4L2_CAP_STREAMING))
            continue;  // a metadata node, an output…
        trouvees.append(
            {numero,
             {chemin, texteC(cap.card, sizeof cap.card) + QStringLiteral(" (") +
                          texteC(cap.bus_info, sizeof cap.bus_info) + QLatin1Char(')')}});
    }
    std::sort(trouvees.begin(), trouvees.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QVector<WebcamV4l2> webcams;
    for (const auto& t : trouvees) {
        if (webcams.size() == 10) break;
        webcams.append(t.second);
    }
    return webcams;
}

void PiloteV4l2::DetruireConversion::operator()(v4lconvert_data* c) const {
    v4lconvert_destroy(c);
}

PiloteV4l2::PiloteV4l2(QString chemin) : appels_(appelsV4l2()), chemin_(std::move(chemin)) {}

PiloteV4l2::~PiloteV4l2() {
    deconnecter();
}

int PiloteV4l2::ioctlPeripherique(unsigned long requete, void* argument) {
    if (!fd_) {
        errno = EBADF;
        return -1;
    }
    int r;
    do {
        r = multiplan_ ? ioctlMultiplan(requete, argument)
                       : appels_.ioctl(fd_.get(), requete, argument);
    } while (r < 0 && errno == EINTR);
    if (r < 0 && errno == ENODEV) perdue_ = true;
    return r;
}

int PiloteV4l2::ioctlMultiplan(unsigned long requete, void* argument) {
    const int fd = fd_.get();
    // Requests whose only difference is the buffer type they name.
    const auto autreType = [&](auto* s) {
        if (s->type != kCapture) return appels_.ioctl(fd, requete, s);
        s->type = kCaptureMultiplan;
        const int r = appels_.ioctl(fd, requete, s);
        s->type = kCapture;
        return r;
    };
    switch (requete) {
        case VIDIOC_ENUM_FMT:
            return autreType(static_cast<v4l2_fmtdesc*>(argument));
        case VIDIOC_REQBUFS:
            return autreType(static_cast<v4l2_requestbuffers*>(argument));
        case VIDIOC_G_PARM:
        case VIDIOC_S_PARM:
            return autreType(static_cast<v4l2_streamparm*>(argument));
        case VIDIOC_G_FMT:
        case VIDIOC_S_FMT:
        case VIDIOC_TRY_FMT: {
            auto* f = static_cast<v4l2_format*>(argument);
            if (f->type != kCapture) break;
            v4l2_pix_format& p = f->fmt.pix;
            v4l2_format m{};
            m.type = kCaptureMultiplan;
            m.fmt.pix_mp.width = p.width;
            m.fmt.pix_mp.height = p.height;
            m.fmt.pix_mp.pixelformat = p.pixelformat;
            m.fmt.pix_mp.field = p.field;
            m.fmt.pix_mp.colorspace = p.colorspace;
            m.fmt.pix_mp.num_planes = 1;
            m.fmt.pix_mp.plane_fmt[0].bytesperline = p.bytesperline;
            m.fmt.pix_mp.plane_fmt[0].sizeimage = p.sizeimage;
            if (appels_.ioctl(fd, requete, &m) != 0) return -1;
            if (m.fmt.pix_mp.num_planes != 1) {  // planes in separate buffers: not for us
                errno = EINVAL;
                return -1;
            }
            p.width = m.fmt.pix_mp.width;
            p.height = m.fmt.pix_mp.height;
            p.pixelformat = m.fmt.pix_mp.pixelformat;
            p.field = m.fmt.pix_mp.field;
            p.colorspace = m.fmt.pix_mp.colorspace;
            p.bytesperline = m.fmt.pix_mp.plane_fmt[0].bytesperline;
            p.sizeimage = m.fmt.pix_mp.plane_fmt[0].sizeimage;
            return 0;
        }
        case VIDIOC_QUERYBUF:
        case VIDIOC_QBUF:
        case VIDIOC_DQBUF: {
            auto* b = static_cast<v4l2_buffer*>(argument);
            if (b->type != kCapture) break;
            v4l2_plane plan{};
            v4l2_buffer m = *b;
            m.type = kCaptureMultiplan;
            m.length = 1;
            m.m.planes = &plan;
            if (appels_.ioctl(fd, requete, &m) != 0) return -1;
            *b = m;
            b->type = kCapture;
            b->m.offset = plan.m.mem_offset;
            b->length = plan.length;
            b->bytesused = plan.bytesused;
            return 0;
        }
        case VIDIOC_STREAMON:
        case VIDIOC_STREAMOFF: {
            if (*static_cast<int*>(argument) != static_cast<int>(kCapture)) break;
            int type = kCaptureMultiplan;
            return appels_.ioctl(fd, requete, &type);
        }
        default:
            break;
    }
    return appels_.ioctl(fd, requete, argument);
}

bool PiloteV4l2::connecter() {
    deconnecter();
    perdue_ = false;
    fd_ = Descripteur(&appels_, appels_.open(QFile::encodeName(chemin_).constData(),
                                             O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd_) return false;
    v4l2_capability cap{};
    if (ioctlPeripherique(VIDIOC_QUERYCAP, &cap) != 0) {
        deconnecter();
        return false;
    }
    const quint32 caps =
        (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    multiplan_ = !(caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_VIDEO_CAPTURE_MPLANE);
    reveil_ = Descripteur(nullptr, ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!(caps & V4L2_CAP_STREAMING) ||
        !(caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) || !reveil_) {
        deconnecter();
        return false;
    }
    conversion_.reset(v4lconvert_create_with_dev_ops(fd_.get(), this, &kAppelsConversion));
    const auto choisi = formatsChoisis().constFind(chemin_);
    if (!conversion_ ||
        !lancer(choisi == formatsChoisis().constEnd() ? nullptr : &choisi.value())) {
        deconnecter();
        return false;
    }
    return true;
}

void PiloteV4l2::deconnecter() {
    arreterFlux();
    conversion_.reset();
    reveil_.fermer();
    fd_.fermer();
    multiplan_ = false;
}

bool PiloteV4l2::lancer(const v4l2_format* choisi) {
    if (!negocier(choisi)) return false;
    int erreur = demarrerFlux();
    if (erreur == ENOSPC && !jpeg(format_.fmt.pix.pixelformat)) {
        // The USB bus has no room left for this stream uncompressed (another camera, a hub):
        // Motion JPEG at the same size needs a fraction of it.
        for (const FormatCamera& f : formats()) {
            if (!jpeg(f.fourcc)) continue;
            v4l2_format compresse = format_;
            compresse.fmt.pix.pixelformat = f.fourcc;
            compresse.fmt.pix.bytesperline = 0;
            compresse.fmt.pix.sizeimage = 0;
            if (ecrireFormat(compresse) && compresse.fmt.pix.pixelformat == f.fourcc) {
                format_ = compresse;
                erreur = demarrerFlux();
            }
            break;
        }
    }
    return erreur == 0;
}

bool PiloteV4l2::ecrireFormat(v4l2_format& format) {
    format.type = kCapture;
    return ioctlPeripherique(VIDIOC_S_FMT, &format) == 0;
}

bool PiloteV4l2::negocier(const v4l2_format* choisi) {
    if (choisi) {
        v4l2_format f = *choisi;
        if (ecrireFormat(f) && convertibleEnRvb(f.fmt.pix.pixelformat)) {
            format_ = f;
            return true;
        }
        // A choice the camera no longer takes: what it offers best instead.
    }
    // 24-bit RGB at the size the camera is set to; libv4lconvert picks the source format that
    // converts best, which also takes a camera another program left in H.264 out of it.
    v4l2_format voulu{};
    voulu.type = kCapture;
    if (ioctlPeripherique(VIDIOC_G_FMT, &voulu) != 0) return false;
    voulu.fmt.pix.pixelformat = V4L2_PIX_FMT_RGB24;
    voulu.fmt.pix.field = V4L2_FIELD_ANY;
    v4l2_format source{};
    if (v4lconvert_try_format(conversion_.get(), &voulu, &source) != 0 ||
        !convertibleEnRvb(source.fmt.pix.pixelformat))
        return false;
    if (!ecrireFormat(source) || !convertibleEnRvb(source.fmt.pix.pixelformat)) return false;
    format_ = source;
    return true;
}

int PiloteV4l2::demarrerFlux() {
    const auto echec = [this] {
        const int erreur = errno ? errno : EIO;
        arreterFlux();
        return erreur;
    };
    appliquerPeriode();
    v4l2_requestbuffers demande{};
    demande.count = 4;
    demande.type = kCapture;
    demande.memory = V4L2_MEMORY_MMAP;
    if (ioctlPeripherique(VIDIOC_REQBUFS, &demande) != 0) return echec();
    tamponsDemandes_ = true;
    if (demande.count < 2) {
        errno = ENOMEM;
        return echec();
    }
    for (quint32 i = 0; i < demande.count; ++i) {
        v4l2_buffer b{};
        b.type = kCapture;
        b.memory = V4L2_MEMORY_MMAP;
        b.index = i;
        if (ioctlPeripherique(VIDIOC_QUERYBUF, &b) != 0) return echec();
        void* debut = appels_.mmap(b.length, fd_.get(), b.m.offset);
        if (debut == MAP_FAILED) return echec();
        tampons_.emplace_back(&appels_, debut, b.length);
        if (ioctlPeripherique(VIDIOC_QBUF, &b) != 0) return echec();
    }
    int type = kCapture;
    if (ioctlPeripherique(VIDIOC_STREAMON, &type) != 0) return echec();
    enFlux_ = true;
    try {
        fil_ = std::thread([this] { boucle(); });
    } catch (const std::system_error& e) {
        errno = e.code().value();
        return echec();
    }
    return 0;
}

void PiloteV4l2::arreterFlux() {
    if (fil_.joinable()) {
        const uint64_t un = 1;
        [[maybe_unused]] const ssize_t n = ::write(reveil_.get(), &un, sizeof un);
        fil_.join();
        uint64_t vide = 0;
        [[maybe_unused]] const ssize_t m = ::read(reveil_.get(), &vide, sizeof vide);
    }
    if (enFlux_) {
        int type = kCapture;
        ioctlPeripherique(VIDIOC_STREAMOFF, &type);
        enFlux_ = false;
    }
    tampons_.clear();  // unmapped before the buffers are freed, or the driver refuses
    if (tamponsDemandes_) {
        v4l2_requestbuffers liberation{};
        liberation.type = kCapture;
        liberation.memory = V4L2_MEMORY_MMAP;
        ioctlPeripherique(VIDIOC_REQBUFS, &liberation);
        tamponsDemandes_ = false;
    }
    // A restarted stream starts without a frame: nothing taken before can pass for a new one.
    QMutexLocker verrou(&verrou_);
    image_.image = QImage();
}

void PiloteV4l2::boucle() {
    int echecs = 0;
    while (true) {
        pollfd attentes[2] = {{fd_.get(), POLLIN, 0}, {reveil_.get(), POLLIN, 0}};
        const int r = appels_.poll(attentes, 2, 1000);
        if (r < 0) {
            if (errno == EINTR) continue;
            perdue_ = true;
            return;
        }
        if (attentes[1].revents) return;  // asked to stop
        if (r == 0) continue;             // a camera may pause; wait on
        v4l2_buffer b{};
        b.type = kCapture;
        b.memory = V4L2_MEMORY_MMAP;
        if (ioctlPeripherique(VIDIOC_DQBUF, &b) != 0) {
            const int erreur = errno;
            const bool signale = attentes[0].revents & (POLLERR | POLLHUP | POLLNVAL);
            if (erreur == EAGAIN && !signale) continue;
            if ((erreur == EIO || erreur == EAGAIN) && ++echecs <= kEssaisAvantPerte) {
                // A passing fault: another try a moment later.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            perdue_ = true;
            return;
        }
        echecs = 0;
        traiterTampon(b);
        if (ioctlPeripherique(VIDIOC_QBUF, &b) != 0) {
            perdue_ = true;
            return;
        }
    }
}

void PiloteV4l2::traiterTampon(const v4l2_buffer& b) {
    if (b.index >= tampons_.size() || (b.flags & V4L2_BUF_FLAG_ERROR)) {
        ++abimees_;
        return;
    }
    const Projection& tampon = tampons_[b.index];
    size_t taille =
        b.bytesused ? std::min<size_t>(b.bytesused, tampon.longueur()) : tampon.longueur();
    const quint32 fourcc = format_.fmt.pix.pixelformat;
    bool entier = true;
    if (jpeg(fourcc)) {
        taille = finJpeg(tampon.debut(), taille);
        entier = taille > 0;
    } else if (!tailleVariable(fourcc)) {
        entier = taille >= format_.fmt.pix.sizeimage;
    }
    // A compressed frame of another kind is judged by the driver's error flag (above) and by
    // its conversion, which fails on a frame cut short.
    QImage cible = std::move(reserve_);
    if (!entier || !convertir(tampon.debut(), taille, cible)) {
        ++abimees_;
        reserve_ = std::move(cible);
        return;
    }
    {
        QMutexLocker verrou(&verrou_);
        std::swap(image_.image, cible);
        image_.numero = ++numero_;
        image_.instant = std::chrono::steady_clock::now();
    }
    reserve_ = std::move(cible);
}

bool PiloteV4l2::convertir(const unsigned char* donnees, size_t taille, QImage& cible) {
    const int largeur = static_cast<int>(format_.fmt.pix.width);
    const int hauteur = static_cast<int>(format_.fmt.pix.height);
    const size_t ligne = static_cast<size_t>(largeur) * 3;
    const size_t octets = ligne * static_cast<size_t>(hauteur);
    if (largeur <= 0 || hauteur <= 0 || octets > static_cast<size_t>(INT_MAX)) return false;
    // A frame nobody holds any more is written over; one still shown is left alone.
    if (cible.size() != QSize(largeur, hauteur) || cible.format() != QImage::Format_RGB888 ||
        !cible.isDetached())
        cible = QImage(largeur, hauteur, QImage::Format_RGB888);
    if (cible.isNull()) return false;  // out of memory
    v4l2_format source = format_;
    // libv4lconvert reads the Bayer rows these decode to with the source's row length: a driver
    // that leaves it at 0 would send it reading outside its buffers.
    if (tailleVariable(source.fmt.pix.pixelformat) && !jpeg(source.fmt.pix.pixelformat) &&
        source.fmt.pix.bytesperline < source.fmt.pix.width)
        source.fmt.pix.bytesperline = source.fmt.pix.width;
    v4l2_format rvb = format_;
    rvb.fmt.pix.pixelformat = V4L2_PIX_FMT_RGB24;
    rvb.fmt.pix.field = V4L2_FIELD_NONE;
    rvb.fmt.pix.bytesperline = static_cast<quint32>(ligne);
    rvb.fmt.pix.sizeimage = static_cast<quint32>(octets);
    const bool direct = static_cast<size_t>(cible.bytesPerLine()) == ligne;
    if (!direct) brouillon_.resize(octets);
    unsigned char* sortie = direct ? cible.bits() : brouillon_.data();
    const int n =
        v4lconvert_convert(conversion_.get(), &source, &rvb, const_cast<unsigned char*>(donnees),
                           static_cast<int>(taille), sortie, static_cast<int>(octets));
    if (n < static_cast<int>(octets)) return false;
    if (!direct)
        for (int y = 0; y < hauteur; ++y)
            std::memcpy(cible.scanLine(y), brouillon_.data() + ligne * static_cast<size_t>(y),
                        ligne);
    return true;
}

bool PiloteV4l2::lireImage(ImageCamera& image) {
    QMutexLocker verrou(&verrou_);
    if (image_.image.isNull()) return false;
    image = image_;
    return true;
}

void PiloteV4l2::definirPeriode(quint32 microsecondes) {
    periode_ = std::max<quint32>(1, microsecondes);
    if (fd_) appliquerPeriode();  // a camera that cannot change it while streaming keeps its own
}

void PiloteV4l2::appliquerPeriode() {
    if (conversion_)
        v4lconvert_set_fps(conversion_.get(),
                           static_cast<int>(std::max<quint32>(1, 1000000u / periode_)));
    v4l2_streamparm parm{};
    parm.type = kCapture;
    if (ioctlPeripherique(VIDIOC_G_PARM, &parm) != 0 ||
        !(parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME))
        return;
    const quint32 d = std::gcd(periode_, 1000000u);
    parm.parm.capture.timeperframe.numerator = periode_ / d;
    parm.parm.capture.timeperframe.denominator = 1000000u / d;
    ioctlPeripherique(VIDIOC_S_PARM, &parm);  // a camera that keeps its own rate is not an error
}

QVector<ControleCamera> PiloteV4l2::controles() {
    QVector<ControleCamera> liste;
    v4l2_queryctrl q{};
    q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (ioctlPeripherique(VIDIOC_QUERYCTRL, &q) == 0) {
        const quint32 id = q.id;
        q.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
        if (q.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY)) continue;
        ControleCamera c;
        c.id = id;
        c.nom = nomFrancais(id, texteC(q.name, sizeof q.name));
        c.minimum = q.minimum;
        c.maximum = q.maximum;
        c.pas = std::max(1, q.step);
        c.defaut = q.default_value;
        switch (q.type) {
            case V4L2_CTRL_TYPE_INTEGER:
                c.genre = ControleCamera::Genre::Entier;
                break;
            case V4L2_CTRL_TYPE_BOOLEAN:
                c.genre = ControleCamera::Genre::Booleen;
                break;
            case V4L2_CTRL_TYPE_BUTTON:
                c.genre = ControleCamera::Genre::Bouton;
                break;
            case V4L2_CTRL_TYPE_MENU:
            case V4L2_CTRL_TYPE_INTEGER_MENU:
                c.genre = ControleCamera::Genre::Menu;
                for (int i = q.minimum; i <= q.maximum; ++i) {
                    v4l2_querymenu m{};
                    m.id = id;
                    m.index = static_cast<quint32>(i);
                    if (ioctlPeripherique(VIDIOC_QUERYMENU, &m) != 0) continue;
                    const QString nom = q.type == V4L2_CTRL_TYPE_MENU
                                            ? texteC(m.name, sizeof m.name)
                                            : QString::number(m.value);
                    c.choix.append({i, choixFrancais(id, i, nom)});
                }
                break;
            default:
                continue;  // kinds of setting the dialog cannot show
        }
        liste.append(c);
    }
    return liste;
}

int PiloteV4l2::valeurControle(quint32 id) {
    v4l2_control c{};
    c.id = id;
    return ioctlPeripherique(VIDIOC_G_CTRL, &c) == 0 ? c.value : 0;
}

bool PiloteV4l2::definirControle(quint32 id, int valeur) {
    v4l2_control c{};
    c.id = id;
    c.value = valeur;
    return ioctlPeripherique(VIDIOC_S_CTRL, &c) == 0;
}

QVector<FormatCamera> PiloteV4l2::formats() {
    static const QSize kCourantes[] = {{160, 120}, {320, 240},  {352, 288},  {640, 480},
                                       {800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};
    QVector<FormatCamera> liste;
    for (quint32 i = 0;; ++i) {
        v4l2_fmtdesc d{};
        d.index = i;
        d.type = kCapture;
        if (ioctlPeripherique(VIDIOC_ENUM_FMT, &d) != 0) break;
        if (!convertibleEnRvb(d.pixelformat)) continue;  // H.264 and the like: nothing to show
        FormatCamera f;
        f.fourcc = d.pixelformat;
        f.description = texteC(d.description, sizeof d.description);
        for (quint32 j = 0;; ++j) {
            v4l2_frmsizeenum t{};
            t.index = j;
            t.pixel_format = d.pixelformat;
            if (ioctlPeripherique(VIDIOC_ENUM_FRAMESIZES, &t) != 0) break;
            if (t.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                f.tailles.append(
                    QSize(static_cast<int>(t.discrete.width), static_cast<int>(t.discrete.height)));
                continue;
            }
            const auto& s = t.stepwise;
            for (const QSize& c : kCourantes) {
                const auto l = static_cast<quint32>(c.width());
                const auto h = static_cast<quint32>(c.height());
                if (l >= s.min_width && l <= s.max_width && h >= s.min_height &&
                    h <= s.max_height && (l - s.min_width) % std::max(1u, s.step_width) == 0 &&
                    (h - s.min_height) % std::max(1u, s.step_height) == 0)
                    f.tailles.append(c);
            }
            break;
        }
        if (f.tailles.isEmpty() && d.pixelformat == format_.fmt.pix.pixelformat)
            f.tailles.append(QSize(static_cast<int>(format_.fmt.pix.width),
                                   static_cast<int>(format_.fmt.pix.height)));
        if (!f.tailles.isEmpty()) liste.append(f);
    }
    return liste;
}

quint32 PiloteV4l2::formatCourant(QSize* taille) {
    if (taille)
        *taille = QSize(static_cast<int>(format_.fmt.pix.width),
                        static_cast<int>(format_.fmt.pix.height));
    return format_.fmt.pix.pixelformat;
}

bool PiloteV4l2::appliquerFormat(quint32 fourcc, QSize taille) {
    if (!fd_ || !convertibleEnRvb(fourcc)) return false;
    const v4l2_format ancien = format_;
    arreterFlux();
    v4l2_format voulu{};
    voulu.fmt.pix.pixelformat = fourcc;
    voulu.fmt.pix.width = static_cast<quint32>(taille.width());
    voulu.fmt.pix.height = static_cast<quint32>(taille.height());
    voulu.fmt.pix.field = V4L2_FIELD_ANY;
    if (ecrireFormat(voulu) && voulu.fmt.pix.pixelformat == fourcc) {
        format_ = voulu;
        if (demarrerFlux() == 0) {
            formatsChoisis().insert(chemin_, format_);
            return true;
        }
    }
    // Back to what worked; a camera that takes neither has stopped answering.
    v4l2_format retour = ancien;
    if (ecrireFormat(retour)) {
        format_ = retour;
        if (demarrerFlux() == 0) return false;
    }
    format_ = ancien;
    perdue_ = true;
    return false;
}

}  // namespace vp
