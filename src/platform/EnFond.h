// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace vp {

// Work on a disk that may answer late or never (a network share, a phone over USB), each job on
// a thread of its own so that the window never waits for it. What a job returns runs afterwards
// on the thread of `cible`, the window's. Nobody ever waits for a job's thread either: one stuck
// on a dead share stays stuck on its own, and its result is dropped if `cible` or this object
// has gone by then.
class TravauxEnFond {
public:
    using Suite = std::function<void()>;

    explicit TravauxEnFond(QObject* cible);
    ~TravauxEnFond();
    TravauxEnFond(const TravauxEnFond&) = delete;
    TravauxEnFond& operator=(const TravauxEnFond&) = delete;

    // Runs `travail` on a new thread; the function it returns runs on the window's thread.
    void lancer(std::function<Suite()> travail);
    // What a job calls, from its thread, to run `suite` on the window's thread before it ends
    // (a result among many, as it comes); dropped once this object has gone.
    std::function<void(Suite)> envoi() const;

private:
    struct Boite;
    std::shared_ptr<Boite> boite_;
};

// How much of its work a job has done, read by the window to tell a slow disk (which still
// answers) from one that does not answer any more.
using Vivacite = std::shared_ptr<std::atomic<quint64>>;
inline Vivacite nouvelleVivacite() {
    return std::make_shared<std::atomic<quint64>>(0);
}

// How long a disk may give no sign of life before the window says it does not answer.
inline constexpr std::chrono::milliseconds kDelaiReponse{2000};

// Watches, from the window's thread, the progress of one job: `silencieux` runs once the job has
// done nothing more for kDelaiReponse.
class VeilleTravail {
public:
    VeilleTravail();
    // Follows `vivacite` from now on, instead of what it followed.
    void suivre(Vivacite vivacite, std::function<void()> silencieux);
    void arreter();
    bool suit() const { return vivacite_ != nullptr; }

private:
    static constexpr std::chrono::milliseconds kPeriode{100};
    QTimer minuterie_;
    Vivacite vivacite_;
    std::function<void()> silencieux_;
    quint64 vu_ = 0;
    std::chrono::milliseconds silence_{0};
};

}  // namespace vp
