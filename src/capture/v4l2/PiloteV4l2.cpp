#include "PiloteV4l2.h"

#include <fcntl.h>
#include <libv4lconvert.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

namespace vp {

namespace {

// The format chosen in the format dialog for each device, for the rest of the run.
QHash<QString, v4l2_format>& formatsChoisis() {
    static QHash<QString, v4l2_format> choisis;
    return choisis;
}

int ioctlReessaye(int fd, unsigned long requete, void* arg) {
    int r;
    do {
        r = ::ioctl(fd, requete, arg);
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

QVector<WebcamV4l2> listerWebcamsV4l2() {
    QVector<std::pair<int, WebcamV4l2>> trouvees;
    const QStringList noeuds =
        QDir(QStringLiteral("/dev")).entryList({QStringLiteral("video*")}, QDir::System);
    for (const QString& nom : noeuds) {
        bool ok = false;
        const int numero = nom.mid(5).toInt(&ok);
        if (!ok) continue;
        const QString chemin = QStringLiteral("/dev/") + nom;
        const int fd =
            ::open(QFile::encodeName(chemin).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        v4l2_capability cap{};
        if (ioctlReessaye(fd, VIDIOC_QUERYCAP, &cap) == 0) {
            const quint32 caps =
                (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
            if ((caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING))
                trouvees.append(
                    {numero,
                     {chemin, texteC(cap.card, sizeof cap.card) + QStringLiteral(" (") +
                                  texteC(cap.bus_info, sizeof cap.bus_info) + QLatin1Char(')')}});
        }
        ::close(fd);
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

PiloteV4l2::PiloteV4l2(QString chemin) : chemin_(std::move(chemin)) {}

PiloteV4l2::~PiloteV4l2() {
    deconnecter();
}

int PiloteV4l2::ioctlSur(unsigned long requete, void* arg) {
    if (fd_ < 0) {
        errno = EBADF;
        return -1;
    }
    const int r = ioctlReessaye(fd_, requete, arg);
    if (r < 0 && errno == ENODEV) perdue_ = true;
    return r;
}

bool PiloteV4l2::connecter() {
    deconnecter();
    fd_ = ::open(QFile::encodeName(chemin_).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return false;
    perdue_ = false;
    conversion_ = v4lconvert_create(fd_);
    if (!conversion_ || ::pipe2(reveil_, O_CLOEXEC | O_NONBLOCK) != 0) {
        deconnecter();
        return false;
    }
    const auto choisi = formatsChoisis().constFind(chemin_);
    if (!demarrerFlux(choisi == formatsChoisis().constEnd() ? nullptr : &choisi.value())) {
        deconnecter();
        return false;
    }
    return true;
}

void PiloteV4l2::deconnecter() {
    arreterFlux();
    if (conversion_) v4lconvert_destroy(conversion_);
    conversion_ = nullptr;
    for (int& r : reveil_) {
        if (r >= 0) ::close(r);
        r = -1;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool PiloteV4l2::demarrerFlux(const v4l2_format* voulu) {
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (voulu) {
        f = *voulu;
        if (ioctlSur(VIDIOC_S_FMT, &f) != 0) return false;
    } else if (ioctlSur(VIDIOC_G_FMT, &f) != 0) {
        return false;
    }
    format_ = f;
    appliquerPeriode();

    v4l2_requestbuffers demande{};
    demande.count = 4;
    demande.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    demande.memory = V4L2_MEMORY_MMAP;
    if (ioctlSur(VIDIOC_REQBUFS, &demande) != 0 || demande.count < 2) return false;
    for (quint32 i = 0; i < demande.count; ++i) {
        v4l2_buffer b{};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        b.index = i;
        if (ioctlSur(VIDIOC_QUERYBUF, &b) != 0) return false;
        void* debut =
            ::mmap(nullptr, b.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, b.m.offset);
        if (debut == MAP_FAILED) return false;
        tampons_.push_back({debut, b.length});
        if (ioctlSur(VIDIOC_QBUF, &b) != 0) return false;
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (ioctlSur(VIDIOC_STREAMON, &type) != 0) return false;
    enFlux_ = true;
    fil_ = std::thread([this] { boucle(); });
    return true;
}

void PiloteV4l2::arreterFlux() {
    if (fil_.joinable()) {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(reveil_[1], &c, 1);
        fil_.join();
        char vide[16];
        while (::read(reveil_[0], vide, sizeof vide) > 0) {
        }
    }
    if (enFlux_) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        ioctlSur(VIDIOC_STREAMOFF, &type);
        enFlux_ = false;
    }
    for (const Tampon& t : tampons_)
        ::munmap(t.debut, t.longueur);
    if (!tampons_.empty() && fd_ >= 0) {
        v4l2_requestbuffers liberation{};
        liberation.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        liberation.memory = V4L2_MEMORY_MMAP;
        ioctlSur(VIDIOC_REQBUFS, &liberation);
    }
    tampons_.clear();
}

void PiloteV4l2::boucle() {
    v4l2_format cible = format_;
    cible.fmt.pix.pixelformat = V4L2_PIX_FMT_RGB24;
    cible.fmt.pix.field = V4L2_FIELD_NONE;
    const int largeur = static_cast<int>(format_.fmt.pix.width);
    const int hauteur = static_cast<int>(format_.fmt.pix.height);
    cible.fmt.pix.bytesperline = static_cast<quint32>(largeur) * 3;
    cible.fmt.pix.sizeimage = cible.fmt.pix.bytesperline * static_cast<quint32>(hauteur);
    std::vector<uchar> rvb(cible.fmt.pix.sizeimage);

    while (true) {
        pollfd attente[2] = {{fd_, POLLIN, 0}, {reveil_[0], POLLIN, 0}};
        const int r = ::poll(attente, 2, 1000);
        if (r < 0) {
            if (errno == EINTR) continue;
            perdue_ = true;
            return;
        }
        if (attente[1].revents) return;  // asked to stop
        if (r == 0) continue;            // a camera may pause; wait on
        if (attente[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            perdue_ = true;  // unplugged
            return;
        }
        v4l2_buffer b{};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        if (ioctlReessaye(fd_, VIDIOC_DQBUF, &b) != 0) {
            if (errno == EAGAIN) continue;
            perdue_ = true;
            return;
        }
        const int n = v4lconvert_convert(
            conversion_, &format_, &cible, static_cast<uchar*>(tampons_[b.index].debut),
            static_cast<int>(b.bytesused), rvb.data(), static_cast<int>(rvb.size()));
        if (n > 0) {  // a frame that cannot be decoded is skipped
            QImage image(largeur, hauteur, QImage::Format_RGB888);
            for (int y = 0; y < hauteur; ++y)
                std::memcpy(image.scanLine(y), rvb.data() + static_cast<size_t>(y) * largeur * 3,
                            static_cast<size_t>(largeur) * 3);
            QMutexLocker verrou(&verrou_);
            image_ = std::move(image);
            ++numero_;
        }
        if (ioctlReessaye(fd_, VIDIOC_QBUF, &b) != 0) {
            perdue_ = true;
            return;
        }
    }
}

bool PiloteV4l2::lireImage(QImage& image, quint64& numero) {
    QMutexLocker verrou(&verrou_);
    if (image_.isNull()) return false;
    image = image_;
    numero = numero_;
    return true;
}

void PiloteV4l2::definirPeriode(quint32 microsecondes) {
    periode_ = std::max<quint32>(1, microsecondes);
    if (fd_ >= 0) appliquerPeriode();
}

void PiloteV4l2::appliquerPeriode() {
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (ioctlSur(VIDIOC_G_PARM, &parm) != 0 ||
        !(parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME))
        return;
    const quint32 d = std::gcd(periode_, 1000000u);
    parm.parm.capture.timeperframe.numerator = periode_ / d;
    parm.parm.capture.timeperframe.denominator = 1000000u / d;
    ioctlSur(VIDIOC_S_PARM, &parm);  // a camera that keeps its own rate is not an error
}

QVector<ControleCamera> PiloteV4l2::controles() {
    QVector<ControleCamera> liste;
    v4l2_queryctrl q{};
    q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (ioctlSur(VIDIOC_QUERYCTRL, &q) == 0) {
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
                    if (ioctlSur(VIDIOC_QUERYMENU, &m) != 0) continue;
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
    return ioctlSur(VIDIOC_G_CTRL, &c) == 0 ? c.value : 0;
}

bool PiloteV4l2::definirControle(quint32 id, int valeur) {
    v4l2_control c{};
    c.id = id;
    c.value = valeur;
    return ioctlSur(VIDIOC_S_CTRL, &c) == 0;
}

QVector<FormatCamera> PiloteV4l2::formats() {
    static const QSize kCourantes[] = {{160, 120}, {320, 240},  {352, 288},  {640, 480},
                                       {800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};
    QVector<FormatCamera> liste;
    for (quint32 i = 0;; ++i) {
        v4l2_fmtdesc d{};
        d.index = i;
        d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (ioctlSur(VIDIOC_ENUM_FMT, &d) != 0) break;
        FormatCamera f;
        f.fourcc = d.pixelformat;
        f.description = texteC(d.description, sizeof d.description);
        for (quint32 j = 0;; ++j) {
            v4l2_frmsizeenum t{};
            t.index = j;
            t.pixel_format = d.pixelformat;
            if (ioctlSur(VIDIOC_ENUM_FRAMESIZES, &t) != 0) break;
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
        if (f.tailles.isEmpty()) {
            f.tailles.append(QSize(static_cast<int>(format_.fmt.pix.width),
                                   static_cast<int>(format_.fmt.pix.height)));
        }
        liste.append(f);
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
    const v4l2_format ancien = format_;
    v4l2_format voulu{};
    voulu.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    voulu.fmt.pix.pixelformat = fourcc;
    voulu.fmt.pix.width = static_cast<quint32>(taille.width());
    voulu.fmt.pix.height = static_cast<quint32>(taille.height());
    voulu.fmt.pix.field = V4L2_FIELD_ANY;
    arreterFlux();
    if (demarrerFlux(&voulu)) {
        formatsChoisis().insert(chemin_, format_);
        return true;
    }
    arreterFlux();
    demarrerFlux(&ancien);  // back to what worked
    return false;
}

}  // namespace vp
