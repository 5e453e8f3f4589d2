// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "Flux.h"

namespace vp {

enum TWavType { wtUnsupported = 0, wtPCM = 1, wtDVIADPCM = 2, wtMSADPCM = 3, wtACM = 4 };

// What the header of an existing WAV file says, as the append mode reads it.
struct EnTeteWav {
    TWavType type = wtUnsupported;  // wtPCM or wtDVIADPCM once a data chunk was found
    int canaux = 0;
    int frequence = 0;
    int alignement = 0;
    int bits = 0;
    long positionTailleData = -1;  // offset of the data chunk's size field
    long debutData = -1;           // offset of the first data byte
    long finData = -1;             // offset just past the data, as its size says
    long positionFact = -1;        // offset of the fact chunk's value (ADPCM)
};

// Reads the chunks at the start of a WAV file (`taille` bytes of it).
EnTeteWav lireEnTeteWav(const unsigned char* octets, size_t taille);

// Writes the stream it pulls into a RIFF/WAVE file: PCM, or IMA/DVI ADPCM; rewriting the file
// or appending to it.
class TWaveOut : public TACSFileOut {
public:
    TWaveOut();
    ~TWaveOut() override;

    TWavType WavType() const { return wavType_; }
    void SetWavType(TWavType Value);
    uint16_t BlockSize() const { return blockSize_; }
    void SetBlockSize(uint16_t Value);
    void SetFileMode(TFileOutputMode Value) override { fileMode_ = Value; }
    // When set (and not appending), each stream is written into FileName, a temporary file in
    // the same folder, which replaces this file only once the stream has ended well and its
    // source is released (see Remplacer). A stream that fails removes FileName and leaves this
    // file as it was, so that a kill or a power cut at any instant leaves either the old file or
    // the complete new one. Errors then name this file.
    std::string FichierFinal;
    // How the finished temporary file takes FichierFinal's place: its data flushed to disk,
    // renamed over it, the renamed file flushed (on a FAT disk its size lives in the folder
    // entry the rename wrote), then the folder. Raises when it fails. By default plain system
    // calls; a program routes it through its own file layer.
    std::function<void(const std::string& temporaire, const std::string& final)> Remplacer;

    // Samples per ADPCM block of `blockSize` bytes for `canaux` channels.
    static int echantillonsParBloc(int blockSize, int canaux) {
        return (2 / canaux) * (blockSize - 4 * canaux) + 1;
    }

protected:
    bool PumpStep(bool Abort) override;
    void Done() override;
    void Prepare() override;
    void Valider() override;
    void Abandonner() override;

private:
    struct EtatAdpcm {
        int16_t predit = 0;
        uint8_t index = 0;
    };
    static constexpr int kTailleTransfert = 16384;

    void lireEntete();
    void ecrireEntetePcm();
    void ecrireEnteteAdpcm();
    bool pasAdpcm(bool Abort);
    // Writes at the current position; raises ErreurFichierAudio when not everything was written.
    void ecrire(const void* octets, size_t n);
    bool ecrire32(long position, uint32_t valeur);
    uint32_t lire32(long position);
    long longueurFichier();
    // Rewrites the header's sizes from the file's length where they do not match it; false
    // (errno set) when that fails.
    bool rectifierEntete(int32_t declare);

    TWavType wavType_ = wtPCM;
    uint16_t blockSize_ = 512;
    bool ajout_ = false;  // this stream appends to a non-empty file
    // The file the user knows this stream by: the final one when writing beside it.
    const std::string& nomAffiche() const {
        return finalOuvert_.empty() ? fichierOuvert_ : finalOuvert_;
    }

    // The files of the stream in progress (FileName and FichierFinal may already be set for the
    // next one), and whether this stream created its temporary file.
    std::string fichierOuvert_;
    std::string finalOuvert_;
    bool temporaireCree_ = false;
    EnTeteWav lu_;
    EtatAdpcm etats_[2];
    int canauxAdpcm_ = 1;  // channels of the ADPCM stream in progress, checked by Prepare
    unsigned char tampon_[kTailleTransfert];
};

}  // namespace vp
