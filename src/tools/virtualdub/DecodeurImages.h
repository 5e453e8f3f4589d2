// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <memory>
#include <string>

namespace vp {

// The pictures of a video file, decoded with FFmpeg on demand: going forward decodes the next
// pictures, going back or far ahead seeks to the key frame before the wanted picture.
class DecodeurImages {
public:
    // Raises ErreurFilm when the file cannot be read or holds no video.
    explicit DecodeurImages(const std::string& chemin);
    ~DecodeurImages();
    DecodeurImages(const DecodeurImages&) = delete;
    DecodeurImages& operator=(const DecodeurImages&) = delete;

    int nombreImages() const { return nombreImages_; }
    double cadence() const { return cadence_; }  // pictures a second
    // Picture `n`, 0 to nombreImages() - 1 (the last one decoded when the file ends sooner).
    QImage image(int n);

private:
    struct Etat;
    bool decoderSuivante();
    void chercher(int n);

    std::unique_ptr<Etat> e_;
    int nombreImages_ = 0;
    double cadence_ = 0;
    int courante_ = -1;  // index of the last picture decoded; -1 after a seek
    QImage derniere_;
};

}  // namespace vp
