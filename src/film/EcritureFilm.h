// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace vp {

// Writes the film `film`: the video stream of `video` copied as it is (same codec, frames and
// timing) and, unless `son` is empty, the PCM sound of the WAV file `son` copied as it is,
// interleaved with the pictures in an AVI file. The film is written into a temporary file in
// its folder and renamed over `film` only once complete and on disk, so that an earlier film
// survives any failure. Raises ErreurFilm with a French message.
void ecrireFilm(const std::string& video, const std::string& son, const std::string& film);

// Name of the film's temporary file (the X's made unique): it looks like the program's own
// temporary files, so that opening the project clears away what an interrupted write left.
inline constexpr char kModeleTemporaireFilm[] = ".voltiplume-film-XXXXXX.tmp";

}  // namespace vp
