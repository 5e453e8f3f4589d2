// SPDX-License-Identifier: GPL-3.0-or-later
#include "FauxV4l2.h"

#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "capture/AviCaptura.h"

namespace vp::test {

namespace {

constexpr off_t kPas = 1 << 20;  // offset between two buffers' mappings

bool compresse(quint32 fourcc) {
    return fourcc == V4L2_PIX_FMT_MJPEG || fourcc == V4L2_PIX_FMT_JPEG ||
           fourcc == V4L2_PIX_FMT_H264 || fourcc == V4L2_PIX_FMT_PAC207;
}

bool requeteReglage(unsigned long requete) {
    return requete == VIDIOC_QUERYCTRL || requete == VIDIOC_QUERYMENU || requete == VIDIOC_G_CTRL ||
           requete == VIDIOC_S_CTRL;
}

void copierTexte(__u8* cible, size_t taille, const QString& texte) {
    const QByteArray o = texte.toUtf8();
    std::memset(cible, 0, taille);
    std::memcpy(cible, o.constData(), std::min<size_t>(static_cast<size_t>(o.size()), taille - 1));
}

int echec(int erreur) {
    errno = erreur;
    return -1;
}

QByteArray enYuyv(const QImage& image) {
    const QImage rvb = image.convertToFormat(QImage::Format_RGB888);
    QByteArray o(rvb.width() * rvb.height() * 2, Qt::Uninitialized);
    auto* d = reinterpret_cast<uchar*>(o.data());
    for (int y = 0; y < rvb.height(); ++y) {
        const uchar* s = rvb.constScanLine(y);
        for (int x = 0; x < rvb.width(); x += 2, s += 6, d += 4) {
            const auto luma = [](const uchar* p) {
                return static_cast<uchar>(std::clamp(
                    static_cast<int>(0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2] + 0.5), 0, 255));
            };
            const double r = (s[0] + s[3]) / 2.0, g = (s[1] + s[4]) / 2.0, b = (s[2] + s[5]) / 2.0;
            d[0] = luma(s);
            d[1] = static_cast<uchar>(
                std::clamp(static_cast<int>(-0.169 * r - 0.331 * g + 0.5 * b + 128.5), 0, 255));
            d[2] = luma(s + 3);
            d[3] = static_cast<uchar>(
                std::clamp(static_cast<int>(0.5 * r - 0.419 * g - 0.081 * b + 128.5), 0, 255));
        }
    }
    return o;
}

// A PAC207 frame as its rows come from the camera: each row a 2-byte header, here the one of a
// row sent as it is (0x0FF0), then its pixels in a Bayer pattern (blue-green, green-red). The
// camera squeezes most rows into fewer bytes, so its frames are shorter than the largest size
// it announces.
QByteArray enPac207(const QImage& image) {
    const QImage rvb = image.convertToFormat(QImage::Format_RGB888);
    QByteArray o;
    o.reserve((rvb.width() + 2) * rvb.height());
    for (int y = 0; y < rvb.height(); ++y) {
        o.append('\x0F').append('\xF0');
        const uchar* s = rvb.constScanLine(y);
        for (int x = 0; x < rvb.width(); ++x, s += 3) {
            const int canal = y % 2 == 0 ? (x % 2 == 0 ? 2 : 1) : (x % 2 == 0 ? 1 : 0);
            o.append(static_cast<char>(s[canal]));
        }
    }
    return o;
}

QByteArray enJpeg(const QImage& image) {
    QByteArray o;
    QBuffer tampon(&o);
    tampon.open(QIODevice::WriteOnly);
    image.save(&tampon, "JPG", 90);
    return o;
}

}  // namespace

CameraFausse cameraOrdinaire() {
    CameraFausse c;
    c.formats = {{V4L2_PIX_FMT_YUYV, {{640, 480}, {320, 240}}},
                 {V4L2_PIX_FMT_MJPEG, {{1280, 720}, {640, 480}}}};
    return c;
}

QImage FauxV4l2::image(QSize taille, QRgb teinte) {
    QImage i(taille, QImage::Format_RGB888);
    i.fill(teinte);
    const int bande = taille.width() / 8;
    for (int y = 0; y < taille.height(); ++y) {
        uchar* l = i.scanLine(y);
        std::memset(l, 255, static_cast<size_t>(bande) * 3);
        std::memset(l + static_cast<ptrdiff_t>(taille.width() - bande) * 3, 0,
                    static_cast<size_t>(bande) * 3);
    }
    return i;
}

FauxV4l2::FauxV4l2(std::vector<CameraFausse> cameras) {
    for (CameraFausse& s : cameras) {
        auto c = std::make_unique<Camera>();
        c->script = std::move(s);
        preparerImages(*c);
        cameras_.push_back(std::move(c));
    }
}

FauxV4l2::~FauxV4l2() {
    std::vector<int> restants;
    {
        std::lock_guard verrou(mutex_);
        for (const auto& [fd, camera] : ouverts_)
            restants.push_back(fd);
    }
    for (int fd : restants)
        close(fd);
}

void FauxV4l2::regler(int camera, const std::function<void(CameraFausse&)>& changement) {
    std::lock_guard verrou(mutex_);
    Camera& c = *cameras_.at(static_cast<size_t>(camera));
    const bool branchee = c.script.branchee;
    changement(c.script);
    if (branchee && !c.script.branchee && c.proprietaire >= 0) {
        const uint64_t beaucoup = 1ull << 40;  // poll keeps waking up the owner
        [[maybe_unused]] const ssize_t n = ::write(c.proprietaire, &beaucoup, sizeof beaucoup);
    }
    if (!branchee && c.script.branchee) c.produites = 0;  // plugged in again
}

CameraFausse FauxV4l2::etat(int camera) {
    std::lock_guard verrou(mutex_);
    return cameras_.at(static_cast<size_t>(camera))->script;
}

int FauxV4l2::descripteursOuverts() {
    std::lock_guard verrou(mutex_);
    return static_cast<int>(ouverts_.size());
}

int FauxV4l2::projectionsActives() {
    std::lock_guard verrou(mutex_);
    int n = 0;
    for (const auto& c : cameras_)
        for (const auto& t : c->tampons)
            n += t->projections;
    for (const auto& t : orphelins_)
        n += t->projections;
    return n;
}

quint64 FauxV4l2::imagesProduites(int camera) {
    std::lock_guard verrou(mutex_);
    return cameras_.at(static_cast<size_t>(camera))->produites;
}

int FauxV4l2::streamons(int camera) {
    std::lock_guard verrou(mutex_);
    return cameras_.at(static_cast<size_t>(camera))->streamons;
}

int FauxV4l2::ouvertures() {
    std::lock_guard verrou(mutex_);
    return ouvertures_;
}

std::vector<EcritureReglage> FauxV4l2::ecrituresReglages(int camera) {
    std::lock_guard verrou(mutex_);
    return cameras_.at(static_cast<size_t>(camera))->ecritures;
}

int FauxV4l2::requetesReglages(int camera) {
    std::lock_guard verrou(mutex_);
    return cameras_.at(static_cast<size_t>(camera))->requetesReglages;
}

FauxV4l2::Camera* FauxV4l2::cameraDe(int fd) {
    const auto i = ouverts_.find(fd);
    return i == ouverts_.end() ? nullptr : cameras_[static_cast<size_t>(i->second)].get();
}

QByteArray FauxV4l2::trame(quint32 fourcc, const QImage& image) {
    switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
            return enYuyv(image);
        case V4L2_PIX_FMT_MJPEG:
        case V4L2_PIX_FMT_JPEG:
            return enJpeg(image);
        case V4L2_PIX_FMT_PAC207:
            return enPac207(image);
        default:  // a format nothing here decodes: bytes without meaning
            return QByteArray(image.width() * image.height(), '\x55');
    }
}

void FauxV4l2::preparerImages(Camera& c) {
    const CameraFausse& s = c.script;
    QImage rouge(s.taille, QImage::Format_RGB888);
    rouge.fill(kRougeAbime);
    c.bonne = trame(s.fourcc, image(s.taille, s.teinte));
    c.abimee = trame(s.fourcc, rouge);
}

bool FauxV4l2::typeValide(const Camera& c, quint32 type) const {
    return type ==
           (c.script.multiplan ? V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE : V4L2_BUF_TYPE_VIDEO_CAPTURE);
}

void FauxV4l2::remplirFormat(const Camera& c, v4l2_format& f) const {
    const CameraFausse& s = c.script;
    const auto l = static_cast<quint32>(s.taille.width());
    const auto h = static_cast<quint32>(s.taille.height());
    // PAC207 as gspca gives it: one byte per pixel of its Bayer rows.
    const quint32 ligne = s.fourcc == V4L2_PIX_FMT_PAC207 ? l : compresse(s.fourcc) ? 0 : l * 2;
    const quint32 taille = l * h * 2;
    if (s.multiplan) {
        f.fmt.pix_mp = {};
        f.fmt.pix_mp.width = l;
        f.fmt.pix_mp.height = h;
        f.fmt.pix_mp.pixelformat = s.fourcc;
        f.fmt.pix_mp.field = V4L2_FIELD_NONE;
        f.fmt.pix_mp.num_planes = 1;
        f.fmt.pix_mp.plane_fmt[0].bytesperline = ligne;
        f.fmt.pix_mp.plane_fmt[0].sizeimage = taille;
    } else {
        f.fmt.pix = {};
        f.fmt.pix.width = l;
        f.fmt.pix.height = h;
        f.fmt.pix.pixelformat = s.fourcc;
        f.fmt.pix.field = V4L2_FIELD_NONE;
        f.fmt.pix.bytesperline = ligne;
        f.fmt.pix.sizeimage = taille;
    }
}

QStringList FauxV4l2::peripheriques() {
    std::lock_guard verrou(mutex_);
    QStringList chemins;
    for (const auto& c : cameras_)
        if (c->script.branchee) chemins << c->script.chemin;
    return chemins;
}

int FauxV4l2::open(const char* chemin, int) {
    std::lock_guard verrou(mutex_);
    for (size_t i = 0; i < cameras_.size(); ++i) {
        if (cameras_[i]->script.chemin != QString::fromUtf8(chemin) ||
            !cameras_[i]->script.branchee)
            continue;
        // A real descriptor, so that poll waits on it: readable while frames wait.
        const int fd = ::eventfd(0, EFD_SEMAPHORE | EFD_NONBLOCK | EFD_CLOEXEC);
        if (fd < 0) return -1;
        ouverts_[fd] = static_cast<int>(i);
        ++ouvertures_;
        return fd;
    }
    return echec(ENOENT);
}

int FauxV4l2::close(int fd) {
    {
        std::unique_lock verrou(mutex_);
        Camera* c = cameraDe(fd);
        if (!c) return echec(EBADF);
        if (c->proprietaire == fd) {
            arreterFlux(verrou, *c);
            for (auto& t : c->tampons)
                if (t->projections > 0) orphelins_.push_back(t);
            c->tampons.clear();
            c->proprietaire = -1;
        }
        ouverts_.erase(fd);
    }
    return ::close(fd);
}

void* FauxV4l2::mmap(size_t longueur, int fd, off_t decalage) {
    std::lock_guard verrou(mutex_);
    Camera* c = cameraDe(fd);
    const auto index = static_cast<size_t>(decalage / kPas);
    if (!c || c->proprietaire != fd || decalage % kPas != 0 || index >= c->tampons.size() ||
        longueur > c->tampons[index]->memoire.size()) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    ++c->tampons[index]->projections;
    return c->tampons[index]->memoire.data();
}

int FauxV4l2::munmap(void* adresse, size_t) {
    std::lock_guard verrou(mutex_);
    for (const auto& c : cameras_)
        for (const auto& t : c->tampons)
            if (t->memoire.data() == adresse && t->projections > 0) {
                --t->projections;
                return 0;
            }
    for (auto i = orphelins_.begin(); i != orphelins_.end(); ++i)
        if ((*i)->memoire.data() == adresse && (*i)->projections > 0) {
            if (--(*i)->projections == 0) orphelins_.erase(i);
            return 0;
        }
    return echec(EINVAL);
}

int FauxV4l2::poll(pollfd* attentes, nfds_t nombre, int delaiMs) {
    {
        std::lock_guard verrou(mutex_);
        for (nfds_t i = 0; i < nombre; ++i) {
            const Camera* c = cameraDe(attentes[i].fd);
            if (c && c->script.eintrToutesLes > 0 && ++appelsPoll_ % c->script.eintrToutesLes == 0)
                return echec(EINTR);
        }
    }
    int r = ::poll(attentes, nombre, delaiMs);
    if (r < 0) return r;
    std::lock_guard verrou(mutex_);
    r = 0;
    for (nfds_t i = 0; i < nombre; ++i) {
        const Camera* c = cameraDe(attentes[i].fd);
        if (c && !c->script.branchee) attentes[i].revents |= POLLERR | POLLHUP;
        if (attentes[i].revents) ++r;
    }
    return r;
}

int FauxV4l2::ioctl(int fd, unsigned long requete, void* argument) {
    std::unique_lock verrou(mutex_);
    Camera* c = cameraDe(fd);
    if (!c) return echec(EBADF);
    if (c->script.eintrToutesLes > 0 && ++appelsIoctl_ % c->script.eintrToutesLes == 0)
        return echec(EINTR);
    if (!c->script.branchee) return echec(ENODEV);
    if (requeteReglage(requete) && c->script.delaiReglagesMs > 0) {
        // A slow camera: the request waits on the USB bus, the stream meanwhile goes on.
        const auto delai = std::chrono::milliseconds(c->script.delaiReglagesMs);
        verrou.unlock();
        std::this_thread::sleep_for(delai);
        verrou.lock();
        c = cameraDe(fd);
        if (!c) return echec(EBADF);
        if (!c->script.branchee) return echec(ENODEV);
    }
    if (requeteReglage(requete)) ++c->requetesReglages;
    return ioctlVerrouille(verrou, *c, fd, requete, argument);
}

int FauxV4l2::ioctlVerrouille(std::unique_lock<std::mutex>& verrou, Camera& c, int fd,
                              unsigned long requete, void* argument) {
    CameraFausse& s = c.script;
    switch (requete) {
        case VIDIOC_QUERYCAP: {
            auto* cap = static_cast<v4l2_capability*>(argument);
            *cap = {};
            copierTexte(cap->driver, sizeof cap->driver, s.pilote);
            copierTexte(cap->card, sizeof cap->card, s.carte);
            copierTexte(cap->bus_info, sizeof cap->bus_info, s.bus);
            cap->device_caps =
                (s.multiplan ? V4L2_CAP_VIDEO_CAPTURE_MPLANE : V4L2_CAP_VIDEO_CAPTURE) |
                V4L2_CAP_STREAMING;
            cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS;
            return 0;
        }
        case VIDIOC_ENUM_FMT: {
            auto* d = static_cast<v4l2_fmtdesc*>(argument);
            if (!typeValide(c, d->type) || d->index >= static_cast<quint32>(s.formats.size()))
                return echec(EINVAL);
            const quint32 fourcc = s.formats[static_cast<int>(d->index)].fourcc;
            d->pixelformat = fourcc;
            d->flags = compresse(fourcc) ? V4L2_FMT_FLAG_COMPRESSED : 0;
            copierTexte(d->description, sizeof d->description, texteFourcc(fourcc));
            return 0;
        }
        case VIDIOC_ENUM_FRAMESIZES: {
            auto* t = static_cast<v4l2_frmsizeenum*>(argument);
            for (const FormatFaux& f : s.formats)
                if (f.fourcc == t->pixel_format &&
                    t->index < static_cast<quint32>(f.tailles.size())) {
                    t->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                    t->discrete.width =
                        static_cast<quint32>(f.tailles[static_cast<int>(t->index)].width());
                    t->discrete.height =
                        static_cast<quint32>(f.tailles[static_cast<int>(t->index)].height());
                    return 0;
                }
            return echec(EINVAL);
        }
        case VIDIOC_G_FMT: {
            auto* f = static_cast<v4l2_format*>(argument);
            if (!typeValide(c, f->type)) return echec(EINVAL);
            remplirFormat(c, *f);
            return 0;
        }
        case VIDIOC_TRY_FMT:
        case VIDIOC_S_FMT: {
            auto* f = static_cast<v4l2_format*>(argument);
            if (!typeValide(c, f->type) || s.formats.isEmpty()) return echec(EINVAL);
            const quint32 demande =
                s.multiplan ? f->fmt.pix_mp.pixelformat : f->fmt.pix.pixelformat;
            const QSize taille(
                static_cast<int>(s.multiplan ? f->fmt.pix_mp.width : f->fmt.pix.width),
                static_cast<int>(s.multiplan ? f->fmt.pix_mp.height : f->fmt.pix.height));
            // Like a driver: an unknown format becomes the first, a size the nearest offered.
            const FormatFaux* format = &s.formats.front();
            for (const FormatFaux& candidat : s.formats)
                if (candidat.fourcc == demande) format = &candidat;
            QSize proche = format->tailles.front();
            const auto ecart = [&](QSize t) {
                const qint64 dl = t.width() - taille.width(), dh = t.height() - taille.height();
                return dl * dl + dh * dh;
            };
            for (const QSize& t : format->tailles)
                if (ecart(t) < ecart(proche)) proche = t;
            Camera essai;
            essai.script.multiplan = s.multiplan;
            essai.script.fourcc = format->fourcc;
            essai.script.taille = proche;
            if (requete == VIDIOC_S_FMT) {
                if (c.enFlux || !c.tampons.empty()) return echec(EBUSY);
                if (s.sFmtEchecsAVenir > 0) {
                    --s.sFmtEchecsAVenir;
                    return echec(EIO);
                }
                if (s.formatsRefuses.contains(format->fourcc)) return echec(EIO);
                s.fourcc = format->fourcc;
                s.taille = proche;
                preparerImages(c);
            }
            remplirFormat(essai, *f);
            return 0;
        }
        case VIDIOC_G_PARM:
        case VIDIOC_S_PARM: {
            auto* p = static_cast<v4l2_streamparm*>(argument);
            if (!typeValide(c, p->type)) return echec(EINVAL);
            auto& t = p->parm.capture.timeperframe;
            if (requete == VIDIOC_S_PARM && t.numerator > 0 && t.denominator > 0)
                c.periodeUs = static_cast<quint32>(
                    std::max<quint64>(1000, 1000000ull * t.numerator / t.denominator));
            p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
            t.numerator = c.periodeUs;
            t.denominator = 1000000;
            return 0;
        }
        case VIDIOC_REQBUFS: {
            auto* d = static_cast<v4l2_requestbuffers*>(argument);
            if (!typeValide(c, d->type) || d->memory != V4L2_MEMORY_MMAP) return echec(EINVAL);
            if (c.enFlux) return echec(EBUSY);
            for (const auto& t : c.tampons)
                if (t->projections > 0) return echec(EBUSY);  // still mapped
            c.tampons.clear();
            c.entrants.clear();
            c.sortants.clear();
            c.proprietaire = -1;
            if (d->count == 0) return 0;
            d->count = std::clamp<quint32>(d->count, 2, 8);
            v4l2_format f{};
            f.type = d->type;
            remplirFormat(c, f);
            const quint32 taille =
                s.multiplan ? f.fmt.pix_mp.plane_fmt[0].sizeimage : f.fmt.pix.sizeimage;
            for (quint32 i = 0; i < d->count; ++i) {
                auto t = std::make_shared<Tampon>();
                t->memoire.assign(std::max<quint32>(taille, static_cast<quint32>(c.bonne.size())),
                                  0);
                c.tampons.push_back(std::move(t));
            }
            c.proprietaire = fd;
            return 0;
        }
        case VIDIOC_QUERYBUF:
        case VIDIOC_QBUF:
        case VIDIOC_DQBUF: {
            auto* b = static_cast<v4l2_buffer*>(argument);
            if (!typeValide(c, b->type) || b->memory != V4L2_MEMORY_MMAP || c.proprietaire != fd ||
                (s.multiplan && (b->length < 1 || !b->m.planes)))
                return echec(EINVAL);
            if (requete == VIDIOC_DQBUF) {
                if (s.eagainToutesLes > 0 && ++appelsDqbuf_ % s.eagainToutesLes == 0)
                    return echec(EAGAIN);
                if (s.eioAVenir > 0) {
                    --s.eioAVenir;
                    return echec(EIO);
                }
                if (c.sortants.empty()) return echec(EAGAIN);
                uint64_t un = 0;
                [[maybe_unused]] const ssize_t n = ::read(fd, &un, sizeof un);
                b->index = static_cast<quint32>(c.sortants.front());
                c.sortants.pop_front();
            }
            if (b->index >= c.tampons.size()) return echec(EINVAL);
            Tampon& t = *c.tampons[b->index];
            if (requete == VIDIOC_QBUF) {
                if (t.enFile) return echec(EINVAL);
                t.enFile = true;
                c.entrants.push_back(static_cast<int>(b->index));
            }
            b->flags = t.drapeaux;
            b->sequence = t.sequence;
            b->field = V4L2_FIELD_NONE;
            const auto longueur = static_cast<quint32>(t.memoire.size());
            const auto decalage = static_cast<quint32>(b->index * kPas);
            if (s.multiplan) {
                b->m.planes[0].length = longueur;
                b->m.planes[0].m.mem_offset = decalage;
                b->m.planes[0].bytesused = t.octets;
                b->m.planes[0].data_offset = 0;
            } else {
                b->length = longueur;
                b->m.offset = decalage;
                b->bytesused = t.octets;
            }
            return 0;
        }
        case VIDIOC_STREAMON: {
            if (!typeValide(c, static_cast<quint32>(*static_cast<int*>(argument))) ||
                c.proprietaire != fd || c.tampons.empty())
                return echec(EINVAL);
            if (s.streamonEnospc.contains(s.fourcc)) return echec(ENOSPC);
            if (c.enFlux) return 0;
            c.enFlux = true;
            ++c.streamons;
            c.producteur = std::thread([this, camera = &c] { produire(camera); });
            return 0;
        }
        case VIDIOC_STREAMOFF: {
            if (!typeValide(c, static_cast<quint32>(*static_cast<int*>(argument))))
                return echec(EINVAL);
            arreterFlux(verrou, c);
            uint64_t un = 0;
            while (::read(fd, &un, sizeof un) > 0) {
            }
            return 0;
        }
        case VIDIOC_QUERYCTRL: {
            auto* q = static_cast<v4l2_queryctrl*>(argument);
            const quint32 id = q->id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
            const bool suivant = q->id & V4L2_CTRL_FLAG_NEXT_CTRL;
            if (suivant ? id >= V4L2_CID_BRIGHTNESS : id != V4L2_CID_BRIGHTNESS)
                return echec(EINVAL);
            *q = {};
            q->id = V4L2_CID_BRIGHTNESS;
            q->type = V4L2_CTRL_TYPE_INTEGER;
            copierTexte(q->name, sizeof q->name, QStringLiteral("Brightness"));
            q->maximum = 255;
            q->step = 1;
            q->default_value = 128;
            return 0;
        }
        case VIDIOC_G_CTRL:
        case VIDIOC_S_CTRL: {
            auto* r = static_cast<v4l2_control*>(argument);
            if (r->id != V4L2_CID_BRIGHTNESS) return echec(EINVAL);
            if (requete == VIDIOC_S_CTRL) {
                c.luminosite = std::clamp(r->value, 0, 255);
                c.ecritures.push_back({r->value, std::chrono::steady_clock::now()});
            }
            r->value = c.luminosite;
            return 0;
        }
        default:
            return echec(ENOTTY);
    }
}

void FauxV4l2::arreterFlux(std::unique_lock<std::mutex>& verrou, Camera& c) {
    if (c.producteur.joinable()) {
        c.arret = true;
        reveil_.notify_all();
        std::thread producteur = std::move(c.producteur);
        verrou.unlock();
        producteur.join();
        verrou.lock();
        c.arret = false;
    }
    c.enFlux = false;
    c.entrants.clear();
    c.sortants.clear();
    for (const auto& t : c.tampons)
        t->enFile = false;
}

void FauxV4l2::produire(Camera* c) {
    using namespace std::chrono;
    std::unique_lock verrou(mutex_);
    auto prochaine = steady_clock::now();
    while (!c->arret) {
        const auto maintenant = steady_clock::now();
        prochaine = std::max(prochaine + microseconds(c->periodeUs), maintenant);
        reveil_.wait_until(verrou, prochaine, [c] { return c->arret; });
        const CameraFausse& s = c->script;
        if (c->arret) break;
        if (!s.branchee || s.gelee || c->entrants.empty()) continue;  // no buffer: frame dropped
        const quint64 n = ++c->produites;
        if (s.imagesAvantDebranchement >= 0 &&
            n > static_cast<quint64>(s.imagesAvantDebranchement)) {
            c->script.branchee = false;
            const uint64_t beaucoup = 1ull << 40;
            [[maybe_unused]] const ssize_t e = ::write(c->proprietaire, &beaucoup, sizeof beaucoup);
            continue;
        }
        const int i = c->entrants.front();
        c->entrants.pop_front();
        Tampon& t = *c->tampons[static_cast<size_t>(i)];
        const bool abimee =
            s.abimeeToutesLes > 0 && n % static_cast<quint64>(s.abimeeToutesLes) == 0;
        const bool tronquee = !abimee && s.tronqueeToutesLes > 0 &&
                              n % static_cast<quint64>(s.tronqueeToutesLes) == 0;
        const QByteArray& octets = abimee || tronquee ? c->abimee : c->bonne;
        const size_t taille = std::min(static_cast<size_t>(octets.size()), t.memoire.size());
        std::memcpy(t.memoire.data(), octets.constData(), taille);
        t.octets = static_cast<quint32>(tronquee ? taille / 2 : taille);
        if (s.jpegRembourre && !tronquee) {
            std::memset(t.memoire.data() + taille, 0, t.memoire.size() - taille);
            t.octets = static_cast<quint32>(t.memoire.size());
        }
        t.drapeaux = abimee ? V4L2_BUF_FLAG_ERROR : 0;
        t.sequence = static_cast<quint32>(n);
        t.enFile = false;
        c->sortants.push_back(i);
        const uint64_t un = 1;
        [[maybe_unused]] const ssize_t e = ::write(c->proprietaire, &un, sizeof un);
    }
}

FauxV4l2Installe::FauxV4l2Installe(std::vector<CameraFausse> cameras) {
    auto faux = std::make_unique<FauxV4l2>(std::move(cameras));
    faux_ = faux.get();
    anciens_ = installerAppelsV4l2(std::move(faux));
    installerFournisseurPilotes(fournisseurWebcams());
}

FauxV4l2Installe::~FauxV4l2Installe() {
    installerFournisseurPilotes(fournisseurSelonEnvironnement());
    installerAppelsV4l2(std::move(anciens_));
}

}  // namespace vp::test
