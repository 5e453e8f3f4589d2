#pragma once

#include <QObject>
#include <atomic>
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

}  // namespace vp
