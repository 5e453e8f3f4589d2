// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppelsV4l2.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QDir>
#include <utility>

namespace vp {

namespace {

class AppelsNoyau final : public AppelsV4l2 {
public:
    QStringList peripheriques() override {
        QStringList chemins;
        for (const QString& nom :
             QDir(QStringLiteral("/dev")).entryList({QStringLiteral("video*")}, QDir::System))
            chemins << QStringLiteral("/dev/") + nom;
        return chemins;
    }
    int open(const char* chemin, int drapeaux) override { return ::open(chemin, drapeaux); }
    int close(int fd) override { return ::close(fd); }
    int ioctl(int fd, unsigned long requete, void* argument) override {
        return ::ioctl(fd, requete, argument);
    }
    void* mmap(size_t longueur, int fd, off_t decalage) override {
        return ::mmap(nullptr, longueur, PROT_READ | PROT_WRITE, MAP_SHARED, fd, decalage);
    }
    int munmap(void* adresse, size_t longueur) override { return ::munmap(adresse, longueur); }
    int poll(pollfd* attentes, nfds_t nombre, int delaiMs) override {
        return ::poll(attentes, nombre, delaiMs);
    }
};

std::unique_ptr<AppelsV4l2>& appelsInstalles() {
    static std::unique_ptr<AppelsV4l2> appels = std::make_unique<AppelsNoyau>();
    return appels;
}

}  // namespace

AppelsV4l2& appelsV4l2() {
    return *appelsInstalles();
}

std::unique_ptr<AppelsV4l2> installerAppelsV4l2(std::unique_ptr<AppelsV4l2> appels) {
    std::swap(appelsInstalles(), appels);
    return appels;
}

Descripteur& Descripteur::operator=(Descripteur&& autre) noexcept {
    if (this != &autre) {
        fermer();
        appels_ = std::exchange(autre.appels_, nullptr);
        fd_ = std::exchange(autre.fd_, -1);
    }
    return *this;
}

void Descripteur::fermer() {
    if (fd_ < 0) return;
    if (appels_)
        appels_->close(fd_);
    else
        ::close(fd_);
    fd_ = -1;
}

Projection& Projection::operator=(Projection&& autre) noexcept {
    if (this != &autre) {
        liberer();
        appels_ = std::exchange(autre.appels_, nullptr);
        debut_ = std::exchange(autre.debut_, nullptr);
        longueur_ = std::exchange(autre.longueur_, 0);
    }
    return *this;
}

void Projection::liberer() {
    if (debut_ && appels_) appels_->munmap(debut_, longueur_);
    debut_ = nullptr;
    longueur_ = 0;
}

}  // namespace vp
