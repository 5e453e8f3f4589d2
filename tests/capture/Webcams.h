#pragma once

#include <atomic>
#include <chrono>

#include "capture/AviCaptura.h"

namespace vp::test {

// A machine without any webcam.
inline FournisseurPilotes aucuneWebcam() {
    return {[] { return QStringList{}; }, [](int) { return std::unique_ptr<PiloteCapture>(); }};
}

// A camera that gives the same picture, as a new frame, at every grab: what it hands over is
// known to the byte.
class CameraFixe final : public PiloteCapture {
public:
    explicit CameraFixe(QImage image) : image_(std::move(image)) {}
    bool connecter() override { return true; }
    void deconnecter() override {}
    bool lireImage(ImageCamera& image) override {
        image.image = image_;
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
    QImage image_;
    quint64 numero_ = 0;
};

// One such camera on the machine.
inline FournisseurPilotes webcamFixe(const QImage& image) {
    return {[] { return QStringList{QStringLiteral("Caméra fixe")}; },
            [image](int index) -> std::unique_ptr<PiloteCapture> {
                if (index != 0) return nullptr;
                return std::make_unique<CameraFixe>(image);
            }};
}

}  // namespace vp::test
