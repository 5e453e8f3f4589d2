// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace vp {

// Reads the frames of a recording ahead of their due time, on a thread of its own, so that the
// window only has to draw them. Frame k is due at `debut` + k periods. A reader slower than the
// frame rate (a USB stick, an old school computer) never falls behind: it always reads the frame
// that will be due when the reading is done, skipping those it could not read in time. It keeps
// at most a few frames ahead.
class LecteurImages {
public:
    using Horloge = std::chrono::steady_clock;
    // Reads frame `index`, ready to draw; a null picture when it cannot be read.
    using Lire = std::function<QImage(int index)>;
    // Frames read ahead of the one due now, at most.
    static constexpr int kAvance = 2;

    // `pret` runs on the reader's thread each time a frame is ready.
    explicit LecteurImages(std::function<void()> pret);
    ~LecteurImages();
    LecteurImages(const LecteurImages&) = delete;
    LecteurImages& operator=(const LecteurImages&) = delete;

    // Reads frames `premiere` to `derniere` (stopping what it was reading before).
    void demarrer(Lire lire, int premiere, int derniere, Horloge::time_point debut,
                  std::chrono::microseconds periode);
    // The start instant is known better: the due times follow.
    void recaler(Horloge::time_point debut);
    void arreter();

    // The ready frame `index`, if it is there; the ready frames before it are dropped (their
    // time has passed).
    std::optional<QImage> prendre(int index);

private:
    void boucle(Lire lire, int premiere, int derniere);
    // The frame due at `instant`: -1 before the start.
    int indexDu(Horloge::time_point instant) const;
    Horloge::time_point echeance(int index) const;

    const std::function<void()> pret_;
    std::atomic<int64_t> debutNs_{0};
    std::chrono::microseconds periode_{1};
    std::mutex mutex_;
    std::condition_variable reveil_;
    bool arret_ = false;
    uint64_t recalages_ = 0;  // counts the calls to recaler
    std::deque<std::pair<int, QImage>> prets_;
    std::thread fil_;
};

}  // namespace vp
