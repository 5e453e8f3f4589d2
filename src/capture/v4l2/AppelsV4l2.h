// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The system calls of the webcam backend, behind one small interface: the program uses the
// kernel's, tests put a scripted device in their place. Every call of the backend that reaches
// a video device goes through here, libv4lconvert's included.

#include <poll.h>
#include <sys/types.h>

#include <QStringList>
#include <memory>

namespace vp {

class AppelsV4l2 {
public:
    virtual ~AppelsV4l2() = default;

    // The video device nodes present (/dev/video0, /dev/video1…).
    virtual QStringList peripheriques() = 0;
    virtual int open(const char* chemin, int drapeaux) = 0;
    virtual int close(int fd) = 0;
    virtual int ioctl(int fd, unsigned long requete, void* argument) = 0;
    // A shared read-write mapping of a device buffer; MAP_FAILED when it cannot be made.
    virtual void* mmap(size_t longueur, int fd, off_t decalage) = 0;
    virtual int munmap(void* adresse, size_t longueur) = 0;
    virtual int poll(pollfd* attentes, nfds_t nombre, int delaiMs) = 0;
};

// The calls in use (the kernel's unless a test installed others).
AppelsV4l2& appelsV4l2();
// Installs `appels` and returns those it replaces. Only while no webcam is connected.
std::unique_ptr<AppelsV4l2> installerAppelsV4l2(std::unique_ptr<AppelsV4l2> appels);

// A descriptor that closes itself through the calls that opened it (the kernel's directly
// when `appels` is null).
class Descripteur {
public:
    Descripteur() = default;
    Descripteur(AppelsV4l2* appels, int fd) : appels_(appels), fd_(fd) {}
    Descripteur(Descripteur&& autre) noexcept { *this = std::move(autre); }
    Descripteur& operator=(Descripteur&& autre) noexcept;
    Descripteur(const Descripteur&) = delete;
    Descripteur& operator=(const Descripteur&) = delete;
    ~Descripteur() { fermer(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void fermer();

private:
    AppelsV4l2* appels_ = nullptr;
    int fd_ = -1;
};

// A device buffer mapped into memory, unmapped when it goes.
class Projection {
public:
    Projection() = default;
    Projection(AppelsV4l2* appels, void* debut, size_t longueur)
        : appels_(appels), debut_(debut), longueur_(longueur) {}
    Projection(Projection&& autre) noexcept { *this = std::move(autre); }
    Projection& operator=(Projection&& autre) noexcept;
    Projection(const Projection&) = delete;
    Projection& operator=(const Projection&) = delete;
    ~Projection() { liberer(); }

    unsigned char* debut() const { return static_cast<unsigned char*>(debut_); }
    size_t longueur() const { return longueur_; }
    void liberer();

private:
    AppelsV4l2* appels_ = nullptr;
    void* debut_ = nullptr;
    size_t longueur_ = 0;
};

}  // namespace vp
