// SPDX-License-Identifier: GPL-3.0-or-later
#include "LecteurImages.h"

#include <algorithm>

namespace vp {

LecteurImages::LecteurImages(std::function<void()> pret) : pret_(std::move(pret)) {}

LecteurImages::~LecteurImages() {
    arreter();
}

void LecteurImages::demarrer(Lire lire, int premiere, int derniere, Horloge::time_point debut,
                             std::chrono::microseconds periode) {
    arreter();
    debutNs_ = debut.time_since_epoch().count();
    periode_ = std::max(periode, std::chrono::microseconds(1));
    {
        std::lock_guard verrou(mutex_);
        arret_ = false;
        prets_.clear();
    }
    if (premiere <= derniere)
        fil_ = std::thread([this, lire = std::move(lire), premiere, derniere] {
            boucle(lire, premiere, derniere);
        });
}

void LecteurImages::recaler(Horloge::time_point debut) {
    {
        // Under the lock: a reader about to wait sees the new start, or is woken by it.
        std::lock_guard verrou(mutex_);
        debutNs_ = debut.time_since_epoch().count();
        ++recalages_;
    }
    reveil_.notify_all();
}

void LecteurImages::arreter() {
    {
        std::lock_guard verrou(mutex_);
        arret_ = true;
    }
    reveil_.notify_all();
    if (fil_.joinable()) fil_.join();
    std::lock_guard verrou(mutex_);
    prets_.clear();
}

std::optional<QImage> LecteurImages::prendre(int index) {
    std::lock_guard verrou(mutex_);
    while (!prets_.empty() && prets_.front().first < index)
        prets_.pop_front();
    if (prets_.empty() || prets_.front().first != index) return std::nullopt;
    QImage image = std::move(prets_.front().second);
    prets_.pop_front();
    return image;
}

LecteurImages::Horloge::time_point LecteurImages::echeance(int index) const {
    return Horloge::time_point(std::chrono::nanoseconds(debutNs_.load())) + index * periode_;
}

int LecteurImages::indexDu(Horloge::time_point instant) const {
    const auto depuis = instant - Horloge::time_point(std::chrono::nanoseconds(debutNs_.load()));
    if (depuis < Horloge::duration::zero()) return -1;
    return static_cast<int>(depuis / periode_);
}

void LecteurImages::boucle(Lire lire, int premiere, int derniere) {
    // How long one frame takes to read, as last measured.
    Horloge::duration duree{0};
    for (int suivante = premiere; suivante <= derniere;) {
        const auto maintenant = Horloge::now();
        // The frame that will be due once it is read, a quarter of a frame to spare: never one
        // whose time will have passed.
        int cible = std::max(suivante, indexDu(maintenant + duree + periode_ / 4));
        cible = std::min(cible, derniere);
        {
            std::unique_lock verrou(mutex_);
            if (arret_) return;
            if (cible > indexDu(maintenant) + kAvance) {
                // Far enough ahead: wait until the frame before it comes due, or until the due
                // times move.
                const uint64_t recalages = recalages_;
                reveil_.wait_until(verrou, echeance(cible - kAvance),
                                   [&] { return arret_ || recalages_ != recalages; });
                continue;
            }
        }
        const auto avant = Horloge::now();
        QImage image = lire(cible);
        const auto mesure = Horloge::now() - avant;
        duree = duree == Horloge::duration::zero() ? mesure : (duree + mesure) / 2;
        {
            std::lock_guard verrou(mutex_);
            if (arret_) return;
            prets_.emplace_back(cible, std::move(image));
        }
        pret_();
        suivante = cible + 1;
    }
}

}  // namespace vp
