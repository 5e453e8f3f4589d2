// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vp {

// The hourglass over the whole application for the lifetime of the object; the default
// cursor comes back when it ends, on the normal path as after an error.
class CurseurOccupe {
public:
    CurseurOccupe();
    ~CurseurOccupe();
    CurseurOccupe(const CurseurOccupe&) = delete;
    CurseurOccupe& operator=(const CurseurOccupe&) = delete;

private:
    bool pose_ = false;
};

}  // namespace vp
