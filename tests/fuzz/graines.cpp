// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed corpora of the fuzz targets with the program's own writers: frames as the
// camera stores them, project files as the project commands write them, sound tracks as the
// WAV writer makes them, videos as the video command makes them and films as the editor
// mixes them, mixing scripts and the command line that runs the editor on one.
//
//   graines_fuzz <corpus folder>

#include <QDir>
#include <QFile>
#include <QImage>
#include <chrono>
#include <cstdio>
#include <thread>

#include "audio/FichierWav.h"
#include "film/EcritureFilm.h"
#include "film/ScriptVcf.h"
#include "platform/Bitmap.h"
#include "platform/Bureau.h"
#include "platform/FichiersSurs.h"
#include "platform/Profil.h"
#include "sequence/Journal.h"
#include "video/AVIRecorder.h"

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

// A short video of test patterns with the codec the recorder is given; false when the codec
// is missing from the linked FFmpeg.
bool ecrireVideo(const QString& chemin, vp::TAVICompressor codec, int images) {
    vp::TAVIRecorder enregistreur;
    enregistreur.Filename = chemin;
    enregistreur.Compressor = codec;
    enregistreur.FPS = 12;
    enregistreur.SetWidth(16);
    enregistreur.SetHeight(16);
    try {
        if (!enregistreur.OpenRecording()) return false;
        for (int k = 0; k < images; ++k)
            enregistreur.WriteFrame(
                mire(16 + k, 16).copy(k, 0, 16, 16).convertToFormat(QImage::Format_BGR888));
        enregistreur.CloseRecording(false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s : %s\n", qPrintable(chemin), e.what());
        return false;
    }
    return true;
}

QByteArray debut(const QString& chemin, qsizetype octets) {
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.read(octets) : QByteArray();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const QDir racine(QString::fromLocal8Bit(argv[1]));
    for (const char* cible :
         {"fuzz_image", "fuzz_profil", "fuzz_wav", "fuzz_entete_avi", "fuzz_script",
          "fuzz_ligne_commande", "fuzz_avi_film", "fuzz_journal"})
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

    // Videos as "Créer la vidéo" writes them, and a film with its sound track.
    const QString films = racine.filePath("fuzz_avi_film/");
    ecrireVideo(films + "msvc.avi", vp::acDefault, 3);
    ecrireVideo(films + "divx.avi", vp::acDivX, 3);
    ecrireSon(films + "son.wav", 1, 22050, vp::wtPCM);
    try {
        vp::ecrireFilm(QFile::encodeName(films + "msvc.avi").toStdString(),
                       QFile::encodeName(films + "son.wav").toStdString(),
                       QFile::encodeName(films + "film.avi").toStdString());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "film : %s\n", e.what());
    }
    QFile::remove(films + "son.wav");

    // The recording window reads the head of the video: the whole video, and its 60 bytes.
    const QString entetes = racine.filePath("fuzz_entete_avi/");
    QFile::copy(films + "msvc.avi", entetes + "video.avi");
    vp::ecrireAtomique(entetes + "entete.avi", debut(films + "msvc.avi", 60));

    const QString scripts = racine.filePath("fuzz_script/");
    const auto script = [](const char* video, const char* son, const char* film) {
        return QByteArray::fromStdString(vp::ecrireScriptVcf({video, son, film}));
    };
    vp::ecrireAtomique(scripts + "dub.vcf", script("/home/élève/Films/Le château/video.avi",
                                                   "/home/élève/Films/Le château/son.wav",
                                                   "/home/élève/Films/Le château/film.avi"));
    vp::ecrireAtomique(scripts + "revoir.vcf", script("video.avi", "", ""));
    vp::ecrireAtomique(scripts + "guillemets.vcf",
                       script(R"(C:\Films\"Nuit"\video.avi)", "", R"(C:\Films\film.avi)"));

    // The line that runs the editor on its script; and, cut at null bytes, a program and its
    // arguments as the round trip of the command-line target takes them.
    const QString lignes = racine.filePath("fuzz_ligne_commande/");
    const QString programme = QStringLiteral("/opt/voltiplume/virtualdub/vdub");
    vp::ecrireAtomique(lignes + "vdub.txt",
                       (QLatin1Char('"') + programme + QStringLiteral("\" /s ") +
                        vp::citerArgument(QStringLiteral("/home/élève/Le \"château\"\\dub.vcf")))
                           .toUtf8());
    vp::ecrireAtomique(lignes + "arguments.bin",
                       (programme + QChar(u'\0') + QStringLiteral("/s") + QChar(u'\0') +
                        QStringLiteral(R"(C:\a b\"c"\)") + QChar(u'\0'))
                           .toUtf8());

    // Project journals: steps done and undone, one run under way.
    const QString journaux = racine.filePath("fuzz_journal/");
    vp::Journal journal;
    vp::ecrireAtomique(journaux + "vide", vp::ecrireJournal(journal));
    const auto etape = [](qint64 id, vp::TypeCommande type, qint32 position, qint32 debut,
                          qint32 fin, vp::EtatFilm avant, vp::EtatFilm apres, bool faite) {
        vp::Etape e;
        e.id = id;
        e.type = type;
        e.position = position;
        e.debut = debut;
        e.fin = fin;
        e.octets = 921654;
        e.avant = avant;
        e.apres = apres;
        e.faite = faite;
        return e;
    };
    journal.etapes = {
        etape(1, vp::TypeCommande::Photo, 3, -1, -1, {4, 3, -1, -1}, {5, 4, -1, -1}, true),
        etape(2, vp::TypeCommande::SuppressionSelection, -1, 1, 2, {5, 4, 1, 2}, {3, 0, -1, -1},
              true),
        etape(3, vp::TypeCommande::InversionSelection, -1, 0, 2, {3, 0, 0, 2}, {3, 0, 0, 2}, true),
        etape(4, vp::TypeCommande::DuplicationSelection, -1, 0, 1, {3, 0, 0, 1}, {5, 0, 0, 3},
              false),
        etape(5, vp::TypeCommande::CopieSelection, 2, 0, 1, {5, 0, 0, 3}, {7, 0, 3, 4}, false),
    };
    journal.suivant = 6;
    journal.execution = 12;
    journal.enCours = vp::Journal::Operation{11, 4, true};
    vp::ecrireAtomique(journaux + "journal", vp::ecrireJournal(journal));
    return 0;
}
