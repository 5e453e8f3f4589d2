#pragma once

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

}  // namespace vp::test
