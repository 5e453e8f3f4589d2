// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <chrono>
#include <memory>
#include <mutex>

#include "capture/AviCaptura.h"

namespace vp {

// A still scene in front of a simulated camera; it may be changed while the camera runs.
class ScenePosee {
public:
    explicit ScenePosee(QImage image) : image_(std::move(image)) {}
    void changer(QImage image) {
        const std::lock_guard verrou(mutex_);
        image_ = std::move(image);
    }
    QImage image() const {
        const std::lock_guard verrou(mutex_);
        return image_;
    }

private:
    mutable std::mutex mutex_;
    QImage image_;
};

// A simulated camera that hands over its scene, as a new frame, at every grab: what it gives is
// known to the byte. Beside the test pattern, for the tests and the benchmarks.
class PiloteImageFixe final : public PiloteCapture {
public:
    explicit PiloteImageFixe(std::shared_ptr<const ScenePosee> scene) : scene_(std::move(scene)) {}
    bool connecter() override { return true; }
    void deconnecter() override {}
    bool lireImage(ImageCamera& image) override {
        image.image = scene_->image();
        image.numero = ++numero_;
        image.instant = std::chrono::steady_clock::now();
        return true;
    }
    bool perdue() const override { return false; }
    void definirPeriode(quint32) override {}
    QVector<ControleCamera> controles() override { return {}; }
    int valeurControle(quint32) override { return 0; }
    bool definirControle(quint32, int) override { return false; }
    QVector<FormatCamera> formats() override { return {}; }
    quint32 formatCourant(QSize*) override { return 0; }
    bool appliquerFormat(quint32, QSize) override { return false; }

private:
    std::shared_ptr<const ScenePosee> scene_;
    quint64 numero_ = 0;
};

// Such a camera, the only one on the machine.
inline FournisseurPilotes webcamFixe(std::shared_ptr<const ScenePosee> scene) {
    return {[] { return QStringList{QStringLiteral("Caméra fixe")}; },
            [scene](int index) -> std::unique_ptr<PiloteCapture> {
                if (index != 0) return nullptr;
                return std::make_unique<PiloteImageFixe>(scene);
            }};
}
inline FournisseurPilotes webcamFixe(const QImage& image) {
    return webcamFixe(std::make_shared<const ScenePosee>(image));
}

// A machine without any webcam.
inline FournisseurPilotes aucuneWebcam() {
    return {[] { return QStringList{}; }, [](int) { return std::unique_ptr<PiloteCapture>(); }};
}

}  // namespace vp
