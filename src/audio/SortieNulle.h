// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Flux.h"

namespace vp {

// Pulls its stream and drops the bytes: keeps a chain running so that a filter in it sees the
// sound.
class TNULLOut : public TACSOutput {
public:
    ~TNULLOut() override;

protected:
    bool PumpStep(bool Abort) override;
    void Done() override;
    void Prepare() override;

private:
    unsigned char tampon_[16384];
};

}  // namespace vp
