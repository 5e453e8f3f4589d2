#pragma once

#include "capture/AviCaptura.h"

namespace vp::test {

// A machine without any webcam.
inline FournisseurPilotes aucuneWebcam() {
    return {[] { return QStringList{}; }, [](int) { return std::unique_ptr<PiloteCapture>(); }};
}

}  // namespace vp::test
