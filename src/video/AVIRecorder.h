#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "FichierAvi.h"

namespace vp {

enum TAVICompressor { acDefault, acShowDialog, acDivX };
enum TAVISizeRestriction { srNoRestriction, srForceBlock2x2, srForceBlock4x4, srForceBlock8x8 };

class TAVIRecorder;
using TAVIRecorderPostProcessEvent = std::function<void(TAVIRecorder* Sender, QImage& frame)>;

// Writes a silent AVI video one picture after another. Each picture is placed at the top-left
// corner of a picture of Width x Height; the video runs at FPS frames a second.
class TAVIRecorder {
public:
    TAVIRecorder() = default;
    ~TAVIRecorder();
    TAVIRecorder(const TAVIRecorder&) = delete;
    TAVIRecorder& operator=(const TAVIRecorder&) = delete;

    uint8_t FPS = 25;
    int32_t Width() const { return width_; }
    void SetWidth(int32_t v);
    int32_t Height() const { return height_; }
    void SetHeight(int32_t v);
    QString Filename;
    TAVICompressor Compressor = acDefault;
    TAVISizeRestriction SizeRestriction() const { return restriction_; }
    void SetSizeRestriction(TAVISizeRestriction v);
    TAVIRecorderPostProcessEvent OnPostProcessEvent;

    int32_t RestrictSize(int32_t v) const;

    // True once recording; false when no file name was given or overwriting was refused.
    bool OpenRecording();
    void WriteFrame(const QImage& bitmap);
    void CloseRecording(bool deleteFile);

    bool enregistre() const { return enregistre_; }
    // The frame layout handed to the AVI layer (valid while recording).
    const BITMAPINFOHEADER& enTete() const { return enTete_; }
    // Picture rows read as a device-independent bitmap: bottom-up, blue-green-red, padded.
    static void lireDib(const QImage& image, uint8_t* sortie);

private:
    int32_t width_ = 320;
    int32_t height_ = 200;
    TAVISizeRestriction restriction_ = srForceBlock8x8;

    bool enregistre_ = false;
    QString fichierDeTravail_;
    std::unique_ptr<FichierAvi> fichier_;
    FluxAvi* flux_ = nullptr;
    QImage image_;
    BITMAPINFOHEADER enTete_;
    std::vector<uint8_t> tampon_;
    bool aEnTete_ = false;
    int32_t indexImage_ = 0;
};

}  // namespace vp
