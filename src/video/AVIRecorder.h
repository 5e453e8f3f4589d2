// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "FichierAvi.h"

namespace vp {

// acCompressOptions: the options already in CompressOptions (a video made again as before).
enum TAVICompressor { acDefault, acShowDialog, acDivX, acCompressOptions };

// The largest video picture: beyond it codecs give up, and one frame alone would take a good
// part of a school computer's memory.
inline constexpr int32_t kCoteVideoMax = 4096;
inline const QString kTailleVideoImpossible = QStringLiteral(
    "Cette taille de vidéo n'est pas possible : la largeur et la hauteur doivent être d'au plus "
    "4096 pixels.");
inline const QString kMemoireVideo =
    QStringLiteral("Il n'y a pas assez de mémoire pour une vidéo de cette taille.");
inline const QString kVideoInachevee = QStringLiteral(
    "La vidéo n'a pas pu être terminée : le disque est peut-être plein ou retiré. Le fichier "
    "inachevé a été effacé.");
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
    // The codec options: read by acCompressOptions; after OpenRecording, those it used.
    AVICOMPRESSOPTIONS CompressOptions;
    // False: an existing file is replaced without the question.
    bool ConfirmOverwrite = true;
    TAVISizeRestriction SizeRestriction() const { return restriction_; }
    void SetSizeRestriction(TAVISizeRestriction v);
    TAVIRecorderPostProcessEvent OnPostProcessEvent;

    int32_t RestrictSize(int32_t v) const;

    // True once recording; false when no file name was given or overwriting was refused. A
    // picture wider or higher than kCoteVideoMax is refused before anything is written.
    bool OpenRecording();
    void WriteFrame(const QImage& bitmap);
    // Finishing the file (the encoder's last frames, the index, the headers) is checked: when
    // it fails the file is deleted and kVideoInachevee raised.
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
