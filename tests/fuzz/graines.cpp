// Writes the seed corpora of the fuzz targets with the program's own writers: frames as the
// camera stores them, project files as the project commands write them, sound tracks as the
// WAV writer makes them.
//
//   graines_fuzz <corpus folder>

#include <QDir>
#include <QFile>
#include <QImage>
#include <chrono>
#include <cstdio>
#include <thread>

#include "audio/FichierWav.h"
#include "platform/Bitmap.h"
#include "platform/FichiersSurs.h"
#include "platform/Profil.h"

namespace {

QImage mire(int largeur, int hauteur) {
    QImage i(largeur, hauteur, QImage::Format_RGB888);
    for (int y = 0; y < hauteur; ++y)
        for (int x = 0; x < largeur; ++x)
            i.setPixel(x, y, qRgb(x * 40, y * 50, (x + y) * 30));
    return i;
}

// A short sound in the format given.
class Son final : public vp::TACSInput {
public:
    int canaux, frequence;
    Son(int c, int f) : canaux(c), frequence(f) {}
    int BitsPerSample() override { return 16; }
    int Channels() override { return canaux; }
    int SampleRate() override { return frequence; }
    void Init() override {
        Busy = true;
        Size = 2048 * canaux;
        livres_ = 0;
    }
    void Flush() override { Busy = false; }
    int GetData(void* tampon, int taille) override {
        const int n = std::min(taille, Size.load() - livres_);
        for (int i = 0; i < n; ++i)
            static_cast<unsigned char*>(tampon)[i] = static_cast<unsigned char>(livres_ + i);
        livres_ += n;
        return n;
    }

private:
    int livres_ = 0;
};

void ecrireSon(const QString& chemin, int canaux, int frequence, vp::TWavType type) {
    Son son(canaux, frequence);
    vp::TWaveOut sortie;
    sortie.SetWavType(type);
    sortie.SetBlockSize(256);
    sortie.SetInput(&son);
    sortie.FileName = QFile::encodeName(chemin).toStdString();
    sortie.Run();
    while (sortie.EnCours())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    sortie.SetInput(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const QDir racine(QString::fromLocal8Bit(argv[1]));
    for (const char* cible : {"fuzz_image", "fuzz_profil", "fuzz_wav"})
        racine.mkpath(QLatin1String(cible));
    const QString images = racine.filePath("fuzz_image/");
    vp::ecrireBitmap24(mire(1, 1), images + "un_pixel.bmp");
    vp::ecrireBitmap24(mire(3, 2), images + "lignes_completees.bmp");
    vp::ecrireBitmap24(mire(16, 12), images + "image_00000.bmp");
    mire(8, 6).save(images + "deposee.png");
    mire(8, 6).convertToFormat(QImage::Format_Indexed8).save(images + "palette.bmp");

    const QString profils = racine.filePath("fuzz_profil/");
    vp::ecrireProfil(profils + "projet.ini", "GENERAL", "titre", "Le Château de l'île");
    vp::ecrireProfil(profils + "deux_sections.ini", "AUTRE", "cle", "valeur");
    vp::ecrireProfil(profils + "deux_sections.ini", "GENERAL", "titre", "\"École\"");
    vp::ecrireAtomique(profils + "windows.ini", "[general]\r\nTitre = Mon film\x92s\r\n");

    const QString sons = racine.filePath("fuzz_wav/");
    ecrireSon(sons + "stereo.wav", 2, 44100, vp::wtPCM);
    ecrireSon(sons + "mono.wav", 1, 22050, vp::wtPCM);
    ecrireSon(sons + "adpcm.wav", 2, 44100, vp::wtDVIADPCM);
    return 0;
}
