// SPDX-License-Identifier: GPL-3.0-or-later
#include "Enveloppe.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

#include "film/ErreurFilm.h"
#include "platform/RaisonSysteme.h"

namespace vp {

namespace {

// A sample of any PCM format on the 16-bit scale.
int16_t echantillon16(const unsigned char* o, const SonWav& s) {
    if (s.flottant) {
        double v;
        if (s.bits == 32) {
            float f;
            std::memcpy(&f, o, 4);
            v = f;
        } else {
            std::memcpy(&v, o, 8);
        }
        if (!std::isfinite(v)) return 0;
        return static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
    }
    switch (s.bits) {
        case 8:
            return static_cast<int16_t>((o[0] - 128) * 256);
        case 16:
            return static_cast<int16_t>(o[0] | (o[1] << 8));
        case 24:
            return static_cast<int16_t>(o[1] | (o[2] << 8));
        default:  // 32
            return static_cast<int16_t>(o[2] | (o[3] << 8));
    }
}

struct FermerFd {
    int fd;
    ~FermerFd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

Enveloppe calculerEnveloppe(const std::string& chemin, const std::atomic<bool>* abandon) {
    Enveloppe e;
    e.son = lireEnteteWav(chemin);
    const SonWav& s = e.son;
    const int alignement = s.alignement;
    const int octetsEchantillon = s.bits / 8;
    e.trames = static_cast<int64_t>(s.taille / static_cast<uint64_t>(alignement));
    e.tramesParTranche = std::max(1, s.frequence / Enveloppe::kTranchesParSeconde);
    const auto tranches =
        static_cast<size_t>((e.trames + e.tramesParTranche - 1) / e.tramesParTranche);
    e.bas.assign(tranches, 0);
    e.haut.assign(tranches, 0);

    const FermerFd f{::open(chemin.c_str(), O_RDONLY | O_CLOEXEC)};
    const auto illisible = [&](int erreur) {
        return ErreurFilm("Impossible de lire le fichier son « " + chemin +
                          " » : " + raisonErreurSysteme(erreur) + ".");
    };
    if (f.fd < 0) throw illisible(errno);
    ::posix_fadvise(f.fd, static_cast<off_t>(s.debut), static_cast<off_t>(s.taille),
                    POSIX_FADV_SEQUENTIAL);

    // Whole slices at a time, about 1 MB per read.
    const int64_t octetsTranche = static_cast<int64_t>(e.tramesParTranche) * alignement;
    const int64_t tranchesParLecture = std::max<int64_t>(1, (1 << 20) / octetsTranche);
    std::vector<unsigned char> tampon(static_cast<size_t>(tranchesParLecture * octetsTranche));
    int crete = 0;
    size_t tranche = 0;
    for (uint64_t lu = 0; lu < s.taille;) {
        if (abandon && abandon->load()) throw EnveloppeAbandonnee{};
        const auto voulu = static_cast<size_t>(std::min<uint64_t>(tampon.size(), s.taille - lu));
        size_t recus = 0;
        while (recus < voulu) {
            const ssize_t n = ::pread(f.fd, tampon.data() + recus, voulu - recus,
                                      static_cast<off_t>(s.debut + lu + recus));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw illisible(errno);
            if (n == 0) throw illisible(EIO);  // shorter than when its header was read
            recus += static_cast<size_t>(n);
        }
        for (size_t debut = 0; debut < voulu; debut += static_cast<size_t>(octetsTranche)) {
            const size_t fin = std::min(voulu, debut + static_cast<size_t>(octetsTranche));
            int bas = 32767, haut = -32768;
            if (!s.flottant && s.bits == 16) {
                // The sound tracks the program records: read straight, the loop vectorised.
                const size_t n = (fin - debut) / 2;
                const unsigned char* o = tampon.data() + debut;
                for (size_t i = 0; i < n; ++i) {
                    int16_t v;
                    std::memcpy(&v, o + 2 * i, 2);
                    bas = std::min<int>(bas, v);
                    haut = std::max<int>(haut, v);
                }
            } else {
                for (size_t o = debut; o < fin; o += static_cast<size_t>(octetsEchantillon)) {
                    const int v = echantillon16(tampon.data() + o, s);
                    bas = std::min(bas, v);
                    haut = std::max(haut, v);
                }
            }
            e.bas[tranche] = static_cast<int16_t>(bas);
            e.haut[tranche] = static_cast<int16_t>(haut);
            crete = std::max({crete, std::abs(bas), std::abs(haut)});
            ++tranche;
        }
        lu += voulu;
    }
    e.crete = static_cast<int16_t>(std::min(crete, 32767));
    return e;
}

}  // namespace vp
