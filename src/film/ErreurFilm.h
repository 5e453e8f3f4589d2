// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace vp {

// A failure of the film library, with its French message (UTF-8) for the user.
class ErreurFilm : public std::runtime_error {
public:
    explicit ErreurFilm(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vp
