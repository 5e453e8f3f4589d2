// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <vector>

namespace vp::test {

// A video file as FFmpeg reads it back.
struct Video {
    bool ouverte = false;
    QString codec;   // FFmpeg's decoder name
    QString fourcc;  // the stream's four-character code
    QString profil;  // the profile as FFmpeg names it ("High"), when the codec has profiles
    int niveau = 0;  // the level, times ten for H.264 (40 for 4.0)
    QString pixels;  // the pixel format ("yuv420p")
    int largeur = 0;
    int hauteur = 0;
    double cadence = 0;  // frames a second
    int images = 0;      // frames decoded
    double duree = 0;    // seconds from the start of the first picture to the end of the last
    std::vector<double> durees;  // each picture's time on screen, in seconds
    QImage premiere;             // the first frame, in colour
    QImage derniere;             // the last frame
    std::vector<QImage> toutes;  // every frame, when asked for
    // The sound stream, decoded.
    struct Son {
        QString codec;
        int frequence = 0;
        int canaux = 0;
        std::vector<float> gauche;  // the first channel's samples, from -1 to 1
        double duree() const { return frequence ? double(gauche.size()) / frequence : 0; }
    } son;
};
Video lireVideo(const QString& fichier, bool toutesLesImages = false);

// The pictures FFmpeg reads from an animated GIF when it follows the file's loop setting, up
// to `plafond`: a GIF that loops gives more than its own pictures.
int imagesEnBoucle(const QString& gif, int plafond);

// The bytes of a file (empty when it cannot be read).
QByteArray lireFichier(const QString& fichier);

}  // namespace vp::test
