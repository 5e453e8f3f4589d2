// SPDX-License-Identifier: GPL-3.0-or-later
#include "AVIRecorder.h"

#include <unistd.h>

#include <QDir>
#include <QPainter>
#include <cstring>

#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"

namespace vp {

TAVIRecorder::~TAVIRecorder() {
    if (enregistre_) {
        try {
            CloseRecording(true);  // an unfinished file is deleted
        } catch (...) {
        }
    }
}

int32_t TAVIRecorder::RestrictSize(int32_t v) const {
    switch (restriction_) {
        case srNoRestriction:
            return v;
        case srForceBlock2x2:
            return (v / 2) * 2;
        case srForceBlock4x4:
            return (v / 4) * 4;
        case srForceBlock8x8:
            return (v / 8) * 8;
    }
    return v;
}

void TAVIRecorder::SetWidth(int32_t v) {
    if (enregistre_ || v <= 0 || v == width_) return;
    width_ = RestrictSize(v);
}

void TAVIRecorder::SetHeight(int32_t v) {
    if (enregistre_ || v <= 0 || v == height_) return;
    height_ = RestrictSize(v);
}

void TAVIRecorder::SetSizeRestriction(TAVISizeRestriction v) {
    if (v == restriction_) return;
    restriction_ = v;
    height_ = RestrictSize(height_);
    width_ = RestrictSize(width_);
}

void TAVIRecorder::lireDib(const QImage& image, uint8_t* sortie) {
    const int l = image.width();
    const int h = image.height();
    const ptrdiff_t pas = ((static_cast<ptrdiff_t>(l) * 24 + 31) / 32) * 4;
    const bool mots =
        image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
    const QImage source = mots || image.format() == QImage::Format_BGR888
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    const bool quatre = source.format() != QImage::Format_BGR888;
    for (int y = 0; y < h; ++y) {
        uint8_t* ligne = sortie + static_cast<ptrdiff_t>(pas) * (h - 1 - y);
        const uchar* s = source.constScanLine(y);
        if (quatre) {
            // 0xAARRGGBB words hold blue, green, red, alpha in memory: the alpha byte goes.
            for (int x = 0; x < l; ++x)
                std::memcpy(ligne + 3 * x, s + 4 * x, 3);
        } else {
            std::memcpy(ligne, s, static_cast<size_t>(l) * 3);
        }
        std::memset(ligne + static_cast<ptrdiff_t>(l) * 3, 0,
                    static_cast<size_t>(pas - static_cast<ptrdiff_t>(l) * 3));
    }
}

bool TAVIRecorder::OpenRecording() {
    fichierDeTravail_ = Filename;
    if (fichierDeTravail_.isEmpty())
        fichierDeTravail_ = dialogues().enregistrerFichier(
            nullptr, QStringLiteral("AVI Files (*.avi)|*.avi"), QStringLiteral(".avi"));
    if (fichierDeTravail_.isEmpty()) return false;
    if (width_ > kCoteVideoMax || height_ > kCoteVideoMax) throw Erreur(kTailleVideoImpossible);
    if (fichierExiste(fichierDeTravail_)) {
        if (ConfirmOverwrite && !dialogues().question(nullptr,
                                                      QStringLiteral("Overwrite file %1?")
                                                          .arg(QDir::toNativeSeparators(
                                                              cheminLisible(fichierDeTravail_))),
                                                      Icone::Question))
            return false;
        ::unlink(octetsDuChemin(fichierDeTravail_).constData());
    }
    // From here on, an error closes the recording and deletes what was made.
    image_ = QImage();
    indexImage_ = 0;
    enregistre_ = true;
    try {
        // The picture and the frame blocks first, so that a picture memory cannot hold is
        // refused before the file exists. Sizes in 64 bits: no product can wrap.
        const int64_t pas = ((static_cast<int64_t>(width_) * 24 + 31) / 32) * 4;
        image_ = QImage(width_, height_, QImage::Format_BGR888);  // a bitmap's own byte order
        if (image_.isNull() && width_ > 0 && height_ > 0) throw Erreur(kMemoireVideo);
        image_.fill(Qt::white);
        enTete_ = BITMAPINFOHEADER{};
        enTete_.biWidth = width_;
        enTete_.biHeight = height_;
        enTete_.biSizeImage = static_cast<uint32_t>(pas * height_);
        try {
            tampon_.assign(enTete_.biSizeImage, 0);
        } catch (const std::bad_alloc&) {
            throw Erreur(kMemoireVideo);
        }
        aEnTete_ = true;
        if (FichierAvi::AVIFileOpen(fichier_, fichierDeTravail_) != AVIERR_OK)
            throw Erreur(QStringLiteral("Cannot create AVI file. Disk full or file in use?"));
        lireDib(image_, tampon_.data());

        AVISTREAMINFO info;
        info.fccType = streamtypeVIDEO;
        info.dwScale = 1;
        info.dwRate = FPS;
        info.dwSuggestedBufferSize = enTete_.biSizeImage;
        info.rcFrame = RECT{0, 0, width_, height_};
        if (fichier_->AVIFileCreateStream(flux_, info) != AVIERR_OK)
            throw Erreur(QStringLiteral("Cannot create AVI stream."));
        lireDib(image_, tampon_.data());

        AVICOMPRESSOPTIONS options;
        if (Compressor == acCompressOptions) options = CompressOptions;
        options.fccType = streamtypeVIDEO;
        switch (Compressor) {
            case acCompressOptions:
                break;
            case acShowDialog:
                AVISaveOptions(options);  // cancelled: the options go on as they stand
                break;
            case acDivX:
                options.fccHandler = mmioFOURCC('d', 'i', 'v', 'x');
                break;
            case acDefault:
                options.fccHandler = mmioFOURCC('M', 'S', 'V', 'C');
                options.dwQuality = 7500;
                options.dwFlags = 0;
                break;
        }
        const int32_t r = flux_->AVIMakeCompressedStream(options);
        if (r != AVIERR_OK)
            throw Erreur(QStringLiteral("Cannot make compressed stream. ") +
                         (r == AVIERR_NOCOMPRESSOR ? QStringLiteral("No such compressor found")
                                                   : QString()));
        if (flux_->AVIStreamSetFormat(0, enTete_) != AVIERR_OK)
            throw Erreur(QStringLiteral("AVIStreamSetFormat Error"));
        CompressOptions = options;
    } catch (...) {
        try {
            CloseRecording(true);
        } catch (...) {
        }
        throw;
    }
    return true;
}

void TAVIRecorder::WriteFrame(const QImage& bitmap) {
    if (!enregistre_)
        throw Erreur(QStringLiteral("Cannot add frame to AVI. AVI file not created."));
    if (bitmap.size() == image_.size() && bitmap.format() == image_.format()) {
        image_ = bitmap;  // the same size: the picture is the frame, without a copy
    } else {
        QPainter p(&image_);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, bitmap);
    }
    if (OnPostProcessEvent) OnPostProcessEvent(this, image_);
    lireDib(image_, tampon_.data());
    if (flux_->AVIStreamWrite(indexImage_, 1, tampon_.data(),
                              static_cast<int32_t>(enTete_.biSizeImage),
                              AVIIF_KEYFRAME) != AVIERR_OK)
        throw Erreur(QStringLiteral("Add Frame Error"));
    ++indexImage_;
}

void TAVIRecorder::CloseRecording(bool deleteFile) {
    if (!enregistre_) throw Erreur(QStringLiteral("Cannot close AVI file. AVI file not created."));
    image_ = QImage();
    if (aEnTete_) {
        tampon_.clear();
        tampon_.shrink_to_fit();
        aEnTete_ = false;
    }
    flux_ = nullptr;
    // The layer completes the file's headers and index here.
    const int32_t fin = fichier_ ? fichier_->terminer() : AVIERR_OK;
    fichier_.reset();
    if (deleteFile || fin != AVIERR_OK) ::unlink(octetsDuChemin(fichierDeTravail_).constData());
    enregistre_ = false;
    if (!deleteFile && fin != AVIERR_OK) throw Erreur(kVideoInachevee);
}

}  // namespace vp
