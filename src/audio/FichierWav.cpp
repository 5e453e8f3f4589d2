// SPDX-License-Identifier: GPL-3.0-or-later
#include "FichierWav.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <vector>

namespace vp {

namespace {

constexpr int kIndex[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
constexpr int kPas[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

void mettre16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v & 0xFF);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void mettre32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

uint16_t lire16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t lire32brut(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Chunk names match letter by letter, a letter also matching the same letter in the other case.
bool memeIdentifiant(const unsigned char* p, const char* id) {
    for (int i = 0; i < 4; ++i) {
        const int a = p[i];
        const int b = static_cast<unsigned char>(id[i]);
        if (a != b && std::abs(a - b) != 32) return false;
    }
    return true;
}

uint8_t coder(int echantillon, int16_t& predit, uint8_t& index) {
    int pas = kPas[index];
    int diff = echantillon - predit;
    uint8_t code = 0;
    if (diff < 0) {
        code = 8;
        diff = -diff;
    }
    int delta = pas >> 3;
    if (diff >= pas) {
        code |= 4;
        diff -= pas;
        delta += pas;
    }
    pas >>= 1;
    if (diff >= pas) {
        code |= 2;
        diff -= pas;
        delta += pas;
    }
    pas >>= 1;
    if (diff >= pas) {
        code |= 1;
        delta += pas;
    }
    const int nouveau = (code & 8) ? predit - delta : predit + delta;
    predit = static_cast<int16_t>(std::clamp(nouveau, -32768, 32767));
    index = static_cast<uint8_t>(std::clamp(index + kIndex[code], 0, 88));
    return code;
}

}  // namespace

TWaveOut::TWaveOut() = default;

TWaveOut::~TWaveOut() {
    TerminerTravailleur();
}

void TWaveOut::SetWavType(TWavType Value) {
    if (Busy || (Value != wtPCM && Value != wtDVIADPCM)) return;
    wavType_ = Value;
}

namespace {

// ADPCM blocks the encoder can fill: a 4-byte header per channel (two at most) and some codes,
// the samples of one block fitting in the transfer buffer.
bool blocAdpcmPossible(int taille) {
    return taille % 4 == 0 && taille >= 12 && taille <= 4096;
}

}  // namespace

void TWaveOut::SetBlockSize(uint16_t Value) {
    if (Busy || !blocAdpcmPossible(Value)) return;
    blockSize_ = Value;
}

long TWaveOut::longueurFichier() {
    std::fflush(Stream.get());
    struct stat s {};
    return ::fstat(fileno(Stream.get()), &s) == 0 ? static_cast<long>(s.st_size) : 0;
}

void TWaveOut::ecrire(const void* octets, size_t n) {
    if (std::fwrite(octets, 1, n, Stream.get()) != n)
        throw ErreurFichierAudio("Cannot write file", nomAffiche(), errno ? errno : EIO);
}

bool TWaveOut::ecrire32(long position, uint32_t valeur) {
    unsigned char o[4];
    mettre32(o, valeur);
    std::clearerr(Stream.get());
    return std::fseek(Stream.get(), position, SEEK_SET) == 0 &&
           std::fwrite(o, 1, 4, Stream.get()) == 4;
}

uint32_t TWaveOut::lire32(long position) {
    unsigned char o[4] = {};
    std::fseek(Stream.get(), position, SEEK_SET);
    if (std::fread(o, 1, 4, Stream.get()) != 4) return 0;
    return lire32brut(o);
}

EnTeteWav lireEnTeteWav(const unsigned char* o, size_t taille) {
    EnTeteWav lu;
    const auto lus = static_cast<long>(taille);
    if (lus < 12 || !memeIdentifiant(&o[0], "RIFF") || !memeIdentifiant(&o[8], "WAVE")) return lu;
    const char* attendu = "fmt ";
    TWavType type = wtUnsupported;
    for (long pos = 12; pos + 8 <= lus;) {
        const uint32_t tailleMorceau = lire32brut(&o[static_cast<size_t>(pos + 4)]);
        if (memeIdentifiant(&o[static_cast<size_t>(pos)], attendu)) {
            const unsigned char* c = &o[static_cast<size_t>(pos + 8)];
            if (std::strcmp(attendu, "fmt ") == 0) {
                if (pos + 24 > lus) return lu;
                const uint16_t tag = lire16(c);
                if (tag != 1 && tag != 17) return lu;  // unsupported
                type = tag == 1 ? wtPCM : wtDVIADPCM;
                lu.canaux = lire16(c + 2);
                lu.frequence = static_cast<int>(lire32brut(c + 4));
                lu.alignement = lire16(c + 12);
                lu.bits = lire16(c + 14);
                attendu = type == wtDVIADPCM ? "fact" : "data";
            } else if (std::strcmp(attendu, "fact") == 0) {
                lu.positionFact = pos + 8;
                attendu = "data";
            } else {
                lu.positionTailleData = pos + 4;
                lu.debutData = pos + 8;
                lu.finData = pos + 8 + static_cast<long>(tailleMorceau);
                lu.type = type;
                return lu;
            }
        }
        pos += 8 + static_cast<long>(tailleMorceau) + static_cast<long>(tailleMorceau & 1);
    }
    return lu;
}

void TWaveOut::lireEntete() {
    std::vector<unsigned char> o(8192);
    std::fseek(Stream.get(), 0, SEEK_SET);
    lu_ = lireEnTeteWav(o.data(), std::fread(o.data(), 1, o.size(), Stream.get()));
}

void TWaveOut::ecrireEntetePcm() {
    TACSInput* i = Input();
    const int canaux = i->Channels();
    const int bits = i->BitsPerSample();
    const uint32_t frequence = static_cast<uint32_t>(i->SampleRate());
    const uint32_t data = static_cast<uint32_t>(std::max<int32_t>(0, i->Size));
    const uint16_t alignement = static_cast<uint16_t>(bits * canaux / 8);
    unsigned char h[44] = {};
    std::memcpy(h, "RIFF", 4);
    mettre32(h + 4, data + 36);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    mettre32(h + 16, 16);
    mettre16(h + 20, 1);
    mettre16(h + 22, static_cast<uint16_t>(canaux));
    mettre32(h + 24, frequence);
    mettre32(h + 28, frequence * alignement);
    mettre16(h + 32, alignement);
    mettre16(h + 34, static_cast<uint16_t>(bits));
    std::memcpy(h + 36, "data", 4);
    mettre32(h + 40, data);
    ecrire(h, sizeof h);
}

void TWaveOut::ecrireEnteteAdpcm() {
    TACSInput* i = Input();
    const int canaux = i->Channels();
    const uint32_t frequence = static_cast<uint32_t>(i->SampleRate());
    const int spb = echantillonsParBloc(blockSize_, canaux);
    const int64_t trames =
        i->Size < 0 ? 0 : static_cast<int64_t>(i->Size) / (i->BitsPerSample() / 8) / canaux;
    // Every block that holds declared samples counts: the last one, partly filled, too.
    const auto data = static_cast<uint32_t>((trames + spb - 1) / spb * blockSize_);
    unsigned char h[60] = {};
    std::memcpy(h, "RIFF", 4);
    mettre32(h + 4, data + 52);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    mettre32(h + 16, 20);
    mettre16(h + 20, 17);
    mettre16(h + 22, static_cast<uint16_t>(canaux));
    mettre32(h + 24, frequence);
    mettre32(h + 28, frequence / static_cast<uint32_t>(spb) * blockSize_);
    mettre16(h + 32, blockSize_);
    mettre16(h + 34, 4);
    mettre16(h + 36, 2);
    mettre16(h + 38, static_cast<uint16_t>(spb));
    std::memcpy(h + 40, "fact", 4);
    mettre32(h + 44, 4);
    mettre32(h + 48, static_cast<uint32_t>(trames));
    std::memcpy(h + 52, "data", 4);
    mettre32(h + 56, data);
    ecrire(h, sizeof h);
}

void TWaveOut::Prepare() {
    if (FileName.empty()) throw EACSException("File name is not assigned.");
    TACSInput* i = Input();
    // The source first: a microphone that cannot be opened leaves the previous file untouched.
    i->Init();
    try {
        fichierOuvert_ = FileName;
        finalOuvert_ = fileMode_ == foAppend ? std::string() : FichierFinal;
        temporaireCree_ = false;
        struct stat s {};
        // What the new file is to replace must be able to be replaced: said now, not once the
        // sound is recorded.
        if (!finalOuvert_.empty() && ::stat(finalOuvert_.c_str(), &s) == 0 && S_ISDIR(s.st_mode))
            throw ErreurFichierAudio("Cannot create file", finalOuvert_, EISDIR);
        const bool existe = ::stat(FileName.c_str(), &s) == 0;
        Stream.reset(std::fopen(FileName.c_str(), fileMode_ == foAppend && existe ? "r+b" : "w+b"));
        if (!Stream) throw ErreurFichierAudio("Cannot create file", nomAffiche(), errno);
        temporaireCree_ = !finalOuvert_.empty();
        // Unbuffered: a failed write is seen at once, and nothing is left in a buffer to be
        // written behind the header's back when the sizes are rewritten.
        std::setvbuf(Stream.get(), nullptr, _IONBF, 0);
        ajout_ = fileMode_ == foAppend && longueurFichier() > 0;
        if (ajout_) {
            lireEntete();
            if (lu_.type != wtPCM && lu_.type != wtDVIADPCM)
                throw EACSException("Cannot append data to this .wav file.");
            // Sound written after a chunk that follows the data would be read as part of that
            // chunk, and the chunk as sound.
            const long L = longueurFichier();
            if (lu_.finData < L && !(lu_.finData + 1 == L && (lu_.finData - lu_.debutData) % 2))
                throw EACSException(
                    "Cannot append data: the .wav file holds more after its sound.");
            wavType_ = lu_.type;
        }
        if (wavType_ == wtPCM) {
            if (ajout_) {
                if (i->SampleRate() != lu_.frequence || i->BitsPerSample() != lu_.bits ||
                    i->Channels() != lu_.canaux)
                    throw EACSException("Cannot append data in different audio format.");
            } else {
                ecrireEntetePcm();
            }
        } else {
            if (i->BitsPerSample() != 16)
                throw EACSException("Cannot encode 8 bit sound into ADPCM.");
            const int canaux = ajout_ ? lu_.canaux : i->Channels();
            const int bloc = ajout_ ? lu_.alignement : blockSize_;
            if (canaux < 1 || canaux > 2)
                throw EACSException("Cannot encode ADPCM sound with " + std::to_string(canaux) +
                                    " channels.");
            // A block's samples must fit the transfer buffer.
            if (bloc <= 4 * canaux || (bloc - 4 * canaux) * 4 + 2 * canaux > kTailleTransfert)
                throw EACSException("Cannot encode ADPCM sound in blocks of " +
                                    std::to_string(bloc) + " bytes.");
            if (ajout_) {
                if (i->SampleRate() != lu_.frequence || i->Channels() != lu_.canaux)
                    throw EACSException("Cannot append data in different audio format.");
                blockSize_ = static_cast<uint16_t>(bloc);  // the file's blocks go on
            } else {
                ecrireEnteteAdpcm();
                etats_[0] = etats_[1] = EtatAdpcm{};
            }
            canauxAdpcm_ = canaux;
        }
        // Appending starts right after the sound (over a pad byte, if any).
        if (ajout_) std::fseek(Stream.get(), std::min(lu_.finData, longueurFichier()), SEEK_SET);
    } catch (...) {
        // The file is closed and the source released, so that the next Run starts clean.
        Stream.reset();
        try {
            i->Flush();
        } catch (...) {
        }
        throw;
    }
}

bool TWaveOut::PumpStep(bool Abort) {
    if (!OutputReady) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // idle without spinning
        return true;
    }
    if (wavType_ != wtPCM) return pasAdpcm(Abort);
    int n = 0;
    int progression;
    {
        GardePrise prise(InputGuard);
        TACSInput* i = Input();
        if (!i) return false;  // unplugged: the stream ends here
        progression = progressionDe(i);
        // A source that fails ends the stream with its error.
        if (!Abort) n = i->GetData(tampon_, sizeof tampon_);
    }
    SignalerProgression(progression);
    if (Abort) return false;
    if (n > 0) ecrire(tampon_, static_cast<size_t>(n));
    return n > 0;
}

bool TWaveOut::pasAdpcm(bool Abort) {
    const int canaux = canauxAdpcm_;
    const int spb = echantillonsParBloc(blockSize_, canaux);
    const int aLire = (blockSize_ - 4 * canaux) * 4 + 2 * canaux;  // fits tampon_ (Prepare)
    int lus = 0;
    int progression;
    {
        GardePrise prise(InputGuard);
        TACSInput* i = Input();
        if (!i) return false;
        progression = progressionDe(i);
        while (!Abort && lus < aLire) {
            const int n = i->GetData(tampon_ + lus, aLire - lus);
            if (n <= 0) break;
            lus += n;
        }
    }
    SignalerProgression(progression);
    if (lus == 0) return false;
    // Samples the source did not give (the end of the stream) are silence.
    std::memset(tampon_ + lus, 0, static_cast<size_t>(aLire - lus));
    auto echantillon = [&](int trame, int c) {
        int16_t v;
        std::memcpy(&v, tampon_ + 2 * (trame * canaux + c), 2);
        return static_cast<int>(v);
    };
    std::vector<unsigned char> bloc(blockSize_, 0);
    for (int c = 0; c < canaux; ++c) {
        etats_[c].predit = static_cast<int16_t>(echantillon(0, c));
        mettre16(&bloc[static_cast<size_t>(4 * c)], static_cast<uint16_t>(etats_[c].predit));
        bloc[static_cast<size_t>(4 * c + 2)] = etats_[c].index;
    }
    size_t sortie = static_cast<size_t>(4 * canaux);
    if (canaux == 1) {
        for (int t = 1; t + 1 < spb + 1 && sortie < bloc.size(); t += 2) {
            const uint8_t bas = coder(echantillon(t, 0), etats_[0].predit, etats_[0].index);
            const uint8_t haut =
                t + 1 < spb ? coder(echantillon(t + 1, 0), etats_[0].predit, etats_[0].index) : 0;
            bloc[sortie++] = static_cast<unsigned char>(bas | (haut << 4));
        }
    } else {
        // Stereo: groups of 8 samples, 4 bytes of the left channel then 4 of the right.
        for (int t = 1; t + 8 <= spb && sortie + 8 <= bloc.size(); t += 8)
            for (int c = 0; c < 2; ++c)
                for (int k = 0; k < 8; k += 2) {
                    const uint8_t bas =
                        coder(echantillon(t + k, c), etats_[c].predit, etats_[c].index);
                    const uint8_t haut =
                        coder(echantillon(t + k + 1, c), etats_[c].predit, etats_[c].index);
                    bloc[sortie++] = static_cast<unsigned char>(bas | (haut << 4));
                }
    }
    ecrire(bloc.data(), bloc.size());
    return true;
}

void TWaveOut::Done() {
    int32_t declare = -1;
    std::exception_ptr panneSource;
    {
        GardePrise prise(InputGuard);
        if (TACSInput* i = Input()) {
            declare = i->Size.load();
            // The source first: a microphone that cannot be opened twice is free for the next
            // user while the file is finished and flushed.
            try {
                i->Flush();
            } catch (...) {
                panneSource = std::current_exception();
            }
        }
    }
    int erreur = 0;
    if (Stream) {
        // The sizes are those of the bytes really in the file, whatever the writes did.
        if (!rectifierEntete(declare)) erreur = errno ? errno : EIO;
        if (std::fclose(Stream.release()) != 0 && !erreur) erreur = errno ? errno : EIO;
    }
    if (erreur) throw ErreurFichierAudio("Cannot write file", nomAffiche(), erreur);
    if (panneSource) std::rethrow_exception(panneSource);
}

namespace {

// Remplacer's default: the same steps through plain system calls.
void remplacerFichier(const std::string& temporaire, const std::string& final) {
    const auto synchroniser = [&](const std::string& chemin, int drapeaux) {
        const int fd = ::open(chemin.c_str(), drapeaux | O_CLOEXEC);
        int erreur = fd < 0 ? errno : 0;
        if (fd >= 0) {
            if (::fsync(fd) != 0 && errno != EINVAL) erreur = errno;
            ::close(fd);
        }
        if (erreur) throw ErreurFichierAudio("Cannot write file", final, erreur);
    };
    synchroniser(temporaire, O_RDONLY);
    if (::rename(temporaire.c_str(), final.c_str()) != 0)
        throw ErreurFichierAudio("Cannot write file", final, errno);
    synchroniser(final, O_RDONLY);
    const size_t barre = final.find_last_of('/');
    synchroniser(barre == std::string::npos ? std::string(".")
                 : barre == 0               ? std::string("/")
                                            : final.substr(0, barre),
                 O_RDONLY | O_DIRECTORY);
}

}  // namespace

void TWaveOut::Valider() {
    if (!temporaireCree_) return;
    if (Remplacer)
        Remplacer(fichierOuvert_, finalOuvert_);
    else
        remplacerFichier(fichierOuvert_, finalOuvert_);
    temporaireCree_ = false;
}

void TWaveOut::Abandonner() {
    if (!temporaireCree_) return;
    temporaireCree_ = false;
    // Gone already when the replacement failed after its rename.
    ::unlink(fichierOuvert_.c_str());
}

bool TWaveOut::rectifierEntete(int32_t declare) {
    errno = 0;
    const long L = longueurFichier();
    if (wavType_ == wtPCM) {
        if (ajout_)
            return ecrire32(lu_.positionTailleData, static_cast<uint32_t>(L - lu_.debutData)) &&
                   ecrire32(4, static_cast<uint32_t>(L - 8));
        // Unknown length, or a stream that ended early: the header tells what the file holds.
        if (declare == -1 || L - 44 != declare)
            return ecrire32(40, static_cast<uint32_t>(std::max(0L, L - 44))) &&
                   ecrire32(4, static_cast<uint32_t>(std::max(0L, L - 8)));
        return true;
    }
    const int spb = echantillonsParBloc(blockSize_, canauxAdpcm_);
    if (ajout_) {
        const auto data = static_cast<uint32_t>(L - lu_.debutData);
        return ecrire32(lu_.positionTailleData, data) &&
               (lu_.positionFact < 0 ||
                ecrire32(lu_.positionFact, static_cast<uint32_t>(spb) * (data / blockSize_))) &&
               ecrire32(4, static_cast<uint32_t>(L - 8));
    }
    if (declare == -1 || L < 60 || static_cast<uint32_t>(L - 60) < lire32(56)) {
        const auto data = static_cast<uint32_t>(std::max(0L, L - 60));
        return ecrire32(56, data) &&
               ecrire32(48, (data / blockSize_) * static_cast<uint32_t>(spb)) &&
               ecrire32(4, static_cast<uint32_t>(std::max(0L, L - 8)));
    }
    return true;
}

}  // namespace vp
