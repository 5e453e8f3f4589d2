// SPDX-License-Identifier: GPL-3.0-or-later
#include "InfosVideo.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <cerrno>
#include <cstring>

#include "platform/Chemins.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"

namespace vp {

namespace {

uint32_t mot32(const unsigned char* o) {
    return static_cast<uint32_t>(o[0]) | (static_cast<uint32_t>(o[1]) << 8) |
           (static_cast<uint32_t>(o[2]) << 16) | (static_cast<uint32_t>(o[3]) << 24);
}

}  // namespace

InfosVideo lireInfosVideo(const QString& chemin) {
    const QString nom = QDir::toNativeSeparators(cheminLisible(chemin));
    const QString recreer = QStringLiteral(" : recréez la vidéo.");
    const int fd = ::open(octetsDuChemin(chemin).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Erreur(QStringLiteral("Impossible de lire la vidéo « %1 » : %2")
                         .arg(nom, raisonSysteme(errno)));
    unsigned char o[60];
    size_t lus = 0;
    int erreur = 0;
    while (lus < sizeof o) {
        const ssize_t n = ::read(fd, o + lus, sizeof o - lus);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) erreur = errno;
        if (n <= 0) break;
        lus += static_cast<size_t>(n);
    }
    ::close(fd);
    if (erreur)
        throw Erreur(QStringLiteral("Impossible de lire la vidéo « %1 » : %2")
                         .arg(nom, raisonSysteme(erreur)));
    if (lus < sizeof o || std::memcmp(o, "RIFF", 4) != 0 || std::memcmp(o + 8, "AVI ", 4) != 0)
        throw Erreur(QStringLiteral("La vidéo « %1 » est incomplète ou abîmée").arg(nom) + recreer);
    InfosVideo v;
    v.microsecondesParImage = mot32(o + 32);
    v.nombreImages = mot32(o + 48);
    if (v.microsecondesParImage == 0)
        throw Erreur(QStringLiteral("La vidéo « %1 » n'indique pas sa cadence").arg(nom) + recreer);
    // The frame count is written last: a video whose making was cut off still says 0.
    if (v.nombreImages == 0)
        throw Erreur(
            QStringLiteral("La vidéo « %1 » est inachevée (sa fabrication a été interrompue)")
                .arg(nom) +
            recreer);
    return v;
}

}  // namespace vp
