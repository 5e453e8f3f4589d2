// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Items made in order on a thread of their own, a few ahead of the one who takes them: an
// encoder never waits for the disk or a conversion, and memory does not grow with the film.

#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace vp {

template <typename T>
class LectureEnAvance {
public:
    static constexpr size_t kAvance = 4;

    using Lanceur = std::function<std::thread(std::function<void()>)>;

    // Makes items 0 to `nombre` - 1 with `faire`, which must not throw; the thread stops after
    // an item `dernier` says ends the run (an error). `lancer` starts the thread: a caller may
    // turn a thread the system refuses into its own message.
    LectureEnAvance(
        qint32 nombre, std::function<T(qint32)> faire, std::function<bool(const T&)> dernier,
        const Lanceur& lancer = [](std::function<void()> f) { return std::thread(std::move(f)); })
        : faire_(std::move(faire)),
          dernier_(std::move(dernier)),
          fil_(lancer([this, nombre] { produire(nombre); })) {}

    ~LectureEnAvance() {
        {
            std::lock_guard verrou(mutex_);
            arret_ = true;
        }
        place_.notify_all();
        fil_.join();
    }
    LectureEnAvance(const LectureEnAvance&) = delete;
    LectureEnAvance& operator=(const LectureEnAvance&) = delete;

    // The next item. While it is not ready, `enAttendant` (when given) runs every 20 ms, the
    // lock released.
    T suivante(const std::function<void()>& enAttendant = {}) {
        std::unique_lock verrou(mutex_);
        const auto pret = [this] { return !file_.empty(); };
        if (!enAttendant) {
            pret_.wait(verrou, pret);
        } else {
            while (!pret_.wait_for(verrou, std::chrono::milliseconds(20), pret)) {
                verrou.unlock();
                enAttendant();
                verrou.lock();
            }
        }
        T item = std::move(file_.front());
        file_.pop_front();
        place_.notify_all();
        return item;
    }

private:
    void produire(qint32 nombre) {
        for (qint32 k = 0; k < nombre; ++k) {
            T item = faire_(k);
            const bool fin = dernier_(item);
            std::unique_lock verrou(mutex_);
            place_.wait(verrou, [this] { return arret_ || file_.size() < kAvance; });
            if (arret_) return;
            file_.push_back(std::move(item));
            pret_.notify_all();
            if (fin) return;
        }
    }

    std::function<T(qint32)> faire_;
    std::function<bool(const T&)> dernier_;
    std::mutex mutex_;
    std::condition_variable pret_, place_;
    std::deque<T> file_;
    bool arret_ = false;
    std::thread fil_;  // last: started once everything else exists
};

}  // namespace vp
