// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <atomic>

#include "capture/AviCaptura.h"

namespace vp {

// What tests can make the simulated camera do.
struct EtatMire {
    std::atomic<bool> refuserConnexion{false};  // connecting fails
    std::atomic<bool> sansImage{false};         // the camera gives no frame
    std::atomic<bool> disparue{false};          // the camera is unplugged
    std::atomic<bool> sansControles{false};     // no settings dialog
    std::atomic<bool> sansFormats{false};       // no format dialog
    void reinitialiser() {
        refuserConnexion = sansImage = disparue = sansControles = sansFormats = false;
    }
};
EtatMire& etatMire();

// The simulated camera: a deterministic moving test pattern (colour bars and a white square
// that moves 8 pixels per frame) at 320 x 240, 640 x 480 or 1280 x 720, with a brightness and
// a contrast setting.
class PiloteMire final : public PiloteCapture {
public:
    static constexpr quint32 kLuminosite = 0x00980900;  // the V4L2 control identifiers
    static constexpr quint32 kContraste = 0x00980901;
    static constexpr quint32 kFourccRgb = 0x33424752;  // "RGB3"

    bool connecter() override;
    void deconnecter() override;
    bool lireImage(ImageCamera& image) override;
    bool perdue() const override { return etatMire().disparue; }
    void definirPeriode(quint32 microsecondes) override;

    QVector<ControleCamera> controles() override;
    int valeurControle(quint32 id) override;
    bool definirControle(quint32 id, int valeur) override;

    QVector<FormatCamera> formats() override;
    quint32 formatCourant(QSize* taille) override;
    bool appliquerFormat(quint32 fourcc, QSize taille) override;

    quint32 periode() const { return periode_; }

    // Frame `numero` of the pattern at `taille` with these settings.
    static QImage image(quint64 numero, QSize taille, int luminosite = 128, int contraste = 128);

private:
    bool connectee_ = false;
    QElapsedTimer horloge_;
    quint32 periode_ = 33333;
    QSize taille_{640, 480};
    // Settings come from the settings thread while the window reads frames.
    std::atomic<int> luminosite_{128};
    std::atomic<int> contraste_{128};
    std::atomic<quint64> versionReglages_{0};
    quint64 versionVue_ = 0;  // the settings of derniere_
    quint64 numero_ = 0;
    QImage derniere_;
};

}  // namespace vp
