// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Videos, sound tracks and films for the tests of the film subsystem.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

namespace vp::test {

// Makes "video.avi" in `dossier` with the video command, as a user would: `images` pictures of
// 160 x 120, each of its own colour, at `cadence` pictures a second, with the codec `fcc`.
// Needs the scripted dialogs (Scenario). Returns the video's path.
QString creerVideoDeTest(const QString& dossier, uint32_t fcc, int images = 24, int cadence = 12);

// Writes a WAV file of `echantillons`, interleaved samples of `bits` bits, integers (8 bits
// unsigned, others signed) or IEEE floats, in the plain 44-byte layout.
void ecrireWavPcm(const QString& fichier, int frequence, int canaux, int bits, bool flottant,
                  const QByteArray& echantillons);
// The sample of one channel at one sample frame, from -1 to 1.
using Signal = std::function<double(int trame, int canal)>;
// Writes a PCM WAV file of `secondes` seconds with samples of `bits` bits (8, 16 or 24) of
// `signal`, or a varying pattern without one; returns its sound bytes.
QByteArray ecrireWav(const QString& fichier, double secondes, int frequence = 44100, int canaux = 2,
                     int bits = 16, const Signal& signal = {});

// A media file as FFmpeg reads it back, packet by packet.
struct FluxLu {
    QString codec;
    std::vector<QByteArray> paquets;
    double cadence = 0;  // pictures a second (video)
    int frequence = 0;   // samples a second (sound)
    int canaux = 0;
    QByteArray octets() const;  // the packets end to end
};
struct MediaLu {
    bool ouvert = false;
    int nombreFlux = 0;
    FluxLu video, son;
};
MediaLu lireMedia(const QString& fichier);

// Runs the built batch runner with `arguments` and waits for it. `sansDroits`: as a user who
// may not write into read-only folders, even when the tests run as root.
struct FinVdub {
    int code = -1;
    QString erreurs;
};
FinVdub executerVdub(const QStringList& arguments, bool sansDroits = false);

// Puts the built editor programs into `repProgramme` + "virtualdub/", as the program expects.
void installerEditeur(const QString& repProgramme);

}  // namespace vp::test
