// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The AVI file layer: creates an AVI file with one video stream, compresses the frames it is
// given (bottom-up 24-bit device-independent bitmaps) with a codec of the linked libavcodec,
// and completes the file's headers and index when it is released. Over FFmpeg's libavformat,
// libavcodec, libavutil and libswscale; FFmpeg's AVI muxer writes the standard layout (main
// header with microseconds per frame at byte 32 and total frames at byte 48).

#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <memory>

namespace vp {

constexpr uint32_t mmioFOURCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
           (static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(d)) << 24);
}

inline constexpr uint32_t streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
inline constexpr uint32_t AVIIF_KEYFRAME = 0x10;
inline constexpr uint32_t AVICOMPRESSF_DATARATE = 0x02;
inline constexpr uint32_t AVICOMPRESSF_KEYFRAMES = 0x04;
inline constexpr uint32_t AVICOMPRESSF_VALID = 0x08;
inline constexpr uint32_t ICQUALITY_DEFAULT = 0xFFFFFFFF;
inline constexpr int32_t AVIERR_OK = 0;
inline constexpr int32_t AVIERR_NOCOMPRESSOR = static_cast<int32_t>(0x80044071);
inline constexpr int32_t AVIERR_FILEOPEN = static_cast<int32_t>(0x80044074);
inline constexpr int32_t AVIERR_BADFORMAT = static_cast<int32_t>(0x80044066);
inline constexpr int32_t AVIERR_FILEWRITE = static_cast<int32_t>(0x80044073);
inline constexpr int32_t AVIERR_ERROR = static_cast<int32_t>(0x800440C7);

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 24;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RECT {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct AVISTREAMINFO {
    uint32_t fccType = 0;
    uint32_t fccHandler = 0;
    uint32_t dwFlags = 0;
    uint32_t dwCaps = 0;
    uint16_t wPriority = 0;
    uint16_t wLanguage = 0;
    uint32_t dwScale = 0;
    uint32_t dwRate = 0;
    uint32_t dwStart = 0;
    uint32_t dwLength = 0;
    uint32_t dwInitialFrames = 0;
    uint32_t dwSuggestedBufferSize = 0;
    uint32_t dwQuality = 0;
    uint32_t dwSampleSize = 0;
    RECT rcFrame;
    uint32_t dwEditCount = 0;
    uint32_t dwFormatChangeCount = 0;
    char szName[64] = {};
};

struct AVICOMPRESSOPTIONS {
    uint32_t fccType = 0;
    uint32_t fccHandler = 0;
    uint32_t dwKeyFrameEvery = 0;
    uint32_t dwQuality = 0;
    uint32_t dwBytesPerSecond = 0;
    uint32_t dwFlags = 0;
    void* lpFormat = nullptr;
    uint32_t cbFormat = 0;
    void* lpParms = nullptr;
    uint32_t cbParms = 0;
    uint32_t dwInterleaveEvery = 0;
};

// A codec the layer can write with.
struct CodecAvi {
    uint32_t fcc;     // what the compression options name it by
    QString nom;      // as the compression dialog shows it
    bool qualite;     // takes a quality
    bool imagesCles;  // takes a key frame interval
    bool debit;       // takes a data rate
};
// The codecs present in the linked libavcodec, in the order the dialog offers them.
QVector<CodecAvi> codecsDisponibles();

class FluxAvi;

// An AVI file being written.
class FichierAvi {
public:
    ~FichierAvi();  // release: completes the file and closes it (terminer, unchecked)

    // Completes the file (the encoder's last frames, trailer, index, headers) and closes it:
    // AVIERR_OK, or AVIERR_FILEWRITE when any of it could not be written. Once only.
    int32_t terminer();

    // Creates `nom` for writing; AVIERR_OK, or AVIERR_FILEOPEN with nothing made.
    static int32_t AVIFileOpen(std::unique_ptr<FichierAvi>& fichier, const QString& nom);
    // The video stream of the file (one per file here).
    int32_t AVIFileCreateStream(FluxAvi*& flux, const AVISTREAMINFO& info);

    struct Etat;

private:
    FichierAvi();
    std::unique_ptr<Etat> e_;
    std::unique_ptr<FluxAvi> flux_;
};

// The video stream, raw until it is made a compressed stream.
class FluxAvi {
public:
    // Chooses the codec from the options: AVIERR_NOCOMPRESSOR when no codec of that name is
    // present, another error when the codec refuses the settings.
    int32_t AVIMakeCompressedStream(const AVICOMPRESSOPTIONS& options);
    // The format of the frames that will be written: 24-bit bottom-up BGR at the stream's size.
    int32_t AVIStreamSetFormat(int32_t position, const BITMAPINFOHEADER& format);
    int32_t AVIStreamWrite(int32_t debut, int32_t echantillons, const void* donnees, int32_t taille,
                           uint32_t drapeaux);

private:
    friend class FichierAvi;
    explicit FluxAvi(FichierAvi::Etat& e) : e_(e) {}
    FichierAvi::Etat& e_;
};

// The compression dialog: lets the user choose the codec and its settings, filling `options`.
// False when cancelled, the options then left as they stand.
bool AVISaveOptions(AVICOMPRESSOPTIONS& options);

}  // namespace vp
