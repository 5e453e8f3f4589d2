#pragma once

#include <sys/resource.h>
#include <QImage>
#include <QString>

namespace vp::test {

// A video file as FFmpeg reads it back.
struct Video {
    bool ouverte = false;
    QString codec;   // FFmpeg's decoder name
    QString fourcc;  // the stream's four-character code
    int largeur = 0;
    int hauteur = 0;
    double cadence = 0;  // frames a second
    int images = 0;      // frames decoded
    QImage premiere;     // the first frame, in colour
    QImage derniere;     // the last frame
};
Video lireVideo(const QString& fichier);

// The bytes of a file (empty when it cannot be read).
QByteArray lireFichier(const QString& fichier);

// For its lifetime no file of this process can grow beyond `octets` (RLIMIT_FSIZE): writes
// past it fail with EFBIG, as on a full disk.
class LimiteTailleFichiers {
public:
    explicit LimiteTailleFichiers(qint64 octets);
    ~LimiteTailleFichiers();
    LimiteTailleFichiers(const LimiteTailleFichiers&) = delete;
    LimiteTailleFichiers& operator=(const LimiteTailleFichiers&) = delete;

private:
    rlimit avant_{};
    void (*signalAvant_)(int) = nullptr;
};

}  // namespace vp::test
