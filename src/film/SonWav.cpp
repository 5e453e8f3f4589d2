// SPDX-License-Identifier: GPL-3.0-or-later
#include "SonWav.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "ErreurFilm.h"
#include "platform/RaisonSysteme.h"

namespace vp {

namespace {

uint32_t lire32(const unsigned char* o) {
    return o[0] | (o[1] << 8) | (o[2] << 16) | (static_cast<uint32_t>(o[3]) << 24);
}
uint16_t lire16(const unsigned char* o) {
    return static_cast<uint16_t>(o[0] | (o[1] << 8));
}

constexpr uint16_t kPcm = 1;
constexpr uint16_t kFlottant = 3;
constexpr uint16_t kExtensible = 0xFFFE;
// The tail shared by the sub-format identifiers of the extensible format.
constexpr unsigned char kFinIdentifiant[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                               0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

SonWav lireEnteteWav(const std::string& chemin) {
    const std::string nom = "Le fichier son « " + chemin + " »";
    std::ifstream f(chemin, std::ios::binary);
    struct stat etat {};
    if (!f || ::stat(chemin.c_str(), &etat) != 0)
        throw ErreurFilm("Impossible de lire le fichier son « " + chemin +
                         " » : " + raisonErreurSysteme(errno) + ".");
    const auto longueur = static_cast<uint64_t>(etat.st_size);
    const auto illisible = [&](const std::string& raison) {
        return ErreurFilm(nom + " " + raison + ".");
    };
    unsigned char entete[12];
    if (!f.read(reinterpret_cast<char*>(entete), 12) || std::memcmp(entete, "RIFF", 4) != 0 ||
        std::memcmp(entete + 8, "WAVE", 4) != 0)
        throw illisible("n'est pas un fichier WAV");

    SonWav son;
    bool formatLu = false;
    uint64_t position = 12;
    for (;;) {
        unsigned char bloc[8];
        f.seekg(static_cast<std::streamoff>(position));
        if (!f.read(reinterpret_cast<char*>(bloc), 8))
            throw illisible(formatLu ? "ne contient pas de son (bloc « data » absent)"
                                     : "n'a pas de format (bloc « fmt » absent)");
        const uint32_t taille = lire32(bloc + 4);
        position += 8;
        if (std::memcmp(bloc, "fmt ", 4) == 0) {
            unsigned char fmt[40] = {};
            if (taille < 16 ||
                !f.read(reinterpret_cast<char*>(fmt), std::min<uint32_t>(taille, 40)))
                throw illisible("a un format illisible");
            uint16_t type = lire16(fmt);
            son.canaux = lire16(fmt + 2);
            son.frequence = static_cast<int>(lire32(fmt + 4));
            son.alignement = lire16(fmt + 12);
            son.bits = lire16(fmt + 14);
            if (type == kExtensible) {
                if (taille < 40) throw illisible("a un format illisible");
                son.masqueCanaux = lire32(fmt + 20);
                if (std::memcmp(fmt + 26, kFinIdentifiant, sizeof kFinIdentifiant) == 0)
                    type = lire16(fmt + 24);
            }
            if (type != kPcm && type != kFlottant)
                throw illisible("n'est pas en PCM (format " + std::to_string(type) +
                                ") : seul le son non compressé peut être mixé");
            son.flottant = type == kFlottant;
            const bool bitsValables = son.flottant ? (son.bits == 32 || son.bits == 64)
                                                   : (son.bits == 8 || son.bits == 16 ||
                                                      son.bits == 24 || son.bits == 32);
            if (son.canaux < 1 || son.frequence < 1 || !bitsValables ||
                son.alignement != son.canaux * son.bits / 8)
                throw illisible("a un en-tête incohérent");
            formatLu = true;
        } else if (std::memcmp(bloc, "data", 4) == 0) {
            if (!formatLu) throw illisible("n'a pas de format avant son son");
            const uint64_t present = longueur - position;
            // A size left at its maximum by a writer that never finished means "up to the end".
            const uint64_t annonce = taille == 0xFFFFFFFFu ? present : taille;
            if (annonce > present)
                throw ErreurFilm(nom + " est tronqué : son en-tête annonce " +
                                 std::to_string(annonce) + " octets de son, il n'en contient que " +
                                 std::to_string(present) + ".");
            son.debut = position;
            son.taille = annonce - annonce % static_cast<uint64_t>(son.alignement);
            if (son.taille == 0) throw illisible("ne contient aucun son");
            return son;
        }
        position += taille + (taille & 1);  // chunks are padded to an even size
    }
}

LectureWav::LectureWav(const std::string& chemin, const SonWav& son)
    : chemin_(chemin), son_(son), fichier_(std::fopen(chemin.c_str(), "rb")) {
    if (!fichier_ || ::fseeko(fichier_.get(), static_cast<off_t>(son.debut), SEEK_SET) != 0)
        echec(errno);
}

int64_t LectureWav::lire(void* destination, int64_t trames) {
    const uint64_t n = std::min(static_cast<uint64_t>(std::max<int64_t>(trames, 0)) *
                                    static_cast<uint64_t>(son_.alignement),
                                son_.taille - lus_);
    if (std::fread(destination, 1, n, fichier_.get()) != n)
        echec(std::ferror(fichier_.get()) ? EIO : 0);
    lus_ += n;
    return static_cast<int64_t>(n / static_cast<uint64_t>(son_.alignement));
}

void LectureWav::echec(int erreur) {
    throw ErreurFilm("Impossible de lire le fichier son « " + chemin_ + " » : " +
                     (erreur ? raisonErreurSysteme(erreur) : "il est plus court que prévu") + ".");
}

}  // namespace vp
