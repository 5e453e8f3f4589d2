// SPDX-License-Identifier: GPL-3.0-or-later
#include "SurveillanceDossiers.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "Chemins.h"

namespace vp {

SurveillanceDossiers::SurveillanceDossiers(QObject* parent) : QObject(parent) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return;  // nothing followed: the folders are listed again when shown
    signal_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(signal_.get(), &QSocketNotifier::activated, this, [this] { lire(); });
}

SurveillanceDossiers::~SurveillanceDossiers() {
    signal_.reset();
    if (fd_ >= 0) ::close(fd_);
}

void SurveillanceDossiers::ajouter(const QStringList& chemins) {
    if (fd_ < 0) return;
    constexpr uint32_t kEvenements = IN_ONLYDIR | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                     IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
    for (const QString& c : chemins) {
        if (parChemin_.contains(c)) continue;
        const int n = ::inotify_add_watch(fd_, octetsDuChemin(c).constData(), kEvenements);
        if (n < 0) continue;
        parChemin_.insert(c, n);
        parNumero_.insert(n, c);
    }
}

void SurveillanceDossiers::retirer(const QStringList& chemins) {
    for (const QString& c : chemins) {
        const auto i = parChemin_.constFind(c);
        if (i == parChemin_.constEnd()) continue;
        const int n = i.value();
        parNumero_.remove(n, c);
        parChemin_.erase(i);
        if (!parNumero_.contains(n)) ::inotify_rm_watch(fd_, n);
    }
}

void SurveillanceDossiers::lire() {
    alignas(inotify_event) char tampon[16384];
    QStringList modifies;
    for (;;) {
        const ssize_t n = ::read(fd_, tampon, sizeof tampon);
        if (n <= 0) break;  // EAGAIN: all read
        for (ssize_t i = 0; i < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(tampon + i);
            i += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            const QStringList chemins = parNumero_.values(e->wd);
            for (const QString& c : chemins)
                if (!modifies.contains(c)) modifies << c;
            if (e->mask & IN_IGNORED) {  // the folder went: the kernel dropped its watch
                for (const QString& c : chemins)
                    parChemin_.remove(c);
                parNumero_.remove(e->wd);
            }
        }
    }
    for (const QString& c : modifies)
        emit dossierModifie(c);
}

}  // namespace vp
