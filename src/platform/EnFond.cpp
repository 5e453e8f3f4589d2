// SPDX-License-Identifier: GPL-3.0-or-later
#include "EnFond.h"

#include <QMetaObject>
#include <mutex>
#include <thread>

namespace vp {

struct TravauxEnFond::Boite {
    std::mutex verrou;
    QObject* cible;  // null once the results are no longer wanted
};

TravauxEnFond::TravauxEnFond(QObject* cible) : boite_(std::make_shared<Boite>()) {
    boite_->cible = cible;
}

TravauxEnFond::~TravauxEnFond() {
    const std::lock_guard verrou(boite_->verrou);
    boite_->cible = nullptr;
}

void TravauxEnFond::lancer(std::function<Suite()> travail) {
    std::thread([envoyer = envoi(), travail = std::move(travail)] { envoyer(travail()); }).detach();
}

std::function<void(TravauxEnFond::Suite)> TravauxEnFond::envoi() const {
    return [boite = boite_](Suite suite) {
        const std::lock_guard verrou(boite->verrou);
        // Posted while the target is known to live; an event for an object deleted later is
        // dropped with it.
        if (boite->cible && suite)
            QMetaObject::invokeMethod(boite->cible, std::move(suite), Qt::QueuedConnection);
    };
}

VeilleTravail::VeilleTravail() {
    minuterie_.setInterval(kPeriode);
    QObject::connect(&minuterie_, &QTimer::timeout, [this] {
        const quint64 fait = *vivacite_;
        silence_ = fait == vu_ ? silence_ + kPeriode : std::chrono::milliseconds(0);
        vu_ = fait;
        if (silence_ < kDelaiReponse) return;
        minuterie_.stop();
        if (silencieux_) silencieux_();
    });
}

void VeilleTravail::suivre(Vivacite vivacite, std::function<void()> silencieux) {
    vivacite_ = std::move(vivacite);
    silencieux_ = std::move(silencieux);
    vu_ = *vivacite_;
    silence_ = std::chrono::milliseconds(0);
    minuterie_.start();
}

void VeilleTravail::arreter() {
    minuterie_.stop();
    vivacite_.reset();
    silencieux_ = nullptr;
}

}  // namespace vp
