// SPDX-License-Identifier: GPL-3.0-or-later
// A school day in one run: the live view fed by the simulated camera as fast as it can go, a
// picture taken every 100 frames into one project, and the video made every 20,000 frames.
// It prints how much the resident memory grew between the end of the first 1,000 frames and
// the end of the day, and how many live-view frames are handled per second of processor time
// (the pictures and the videos left out of that time).
//
//   bench_journee [number of live-view frames, 100000 by default]

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSlider>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "FilmBanc.h"
#include "Rapport.h"
#include "ReponsesCodec.h"
#include "capture/AviCaptura.h"
#include "capture/Camera.h"
#include "capture/VueDirecte.h"
#include "platform/Bureau.h"
#include "platform/Dialogues.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"
#include "video/AVIRecorder.h"
#include "video/CreerVideo.h"
#include "video/DialogueCompression.h"

namespace {

constexpr long kImagesParDefaut = 100000;
constexpr long kImagesParPhoto = 100;
constexpr long kImagesParVideo = 20000;
constexpr long kDebut = 1000;  // the memory grows freely while the first frames settle in

// Resident memory in MB; `partagee` gets the part that maps files (libraries' code, fonts).
double residentMo(double* partagee = nullptr) {
    long pages = 0, residentes = 0, partagees = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld %ld", &pages, &residentes, &partagees) != 3) residentes = 0;
        std::fclose(f);
    }
    const double mo = static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
    if (partagee) *partagee = static_cast<double>(partagees) * mo;
    return static_cast<double>(residentes) * mo;
}

double tempsProcesseur() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VOLTIPLUME_CAMERA", "mire");
    QApplication application(argc, argv);
    const long images = argc > 1 ? std::max(std::atol(argv[1]), kDebut) : kImagesParDefaut;
    vp::installerDialogues(std::make_unique<vp::bench::ReponsesCodec>());
    vp::installerBureau(std::make_unique<vp::bench::BureauMuet>());
    vp::installerFournisseurPilotes(vp::fournisseurSelonEnvironnement());

    QTemporaryDir dossier;
    vp::ProjetCourant p;
    p.repProjets = dossier.path() + "/";
    p.nomDossier = QStringLiteral("journee");
    p.titreProjet = QStringLiteral("Journée");
    QDir().mkpath(p.dossierProjet());
    p.imagesParSeconde = 12;
    p.largeurVideo = 320;
    p.hauteurVideo = 240;
    p.bmpTravail1 = QImage(320, 240, QImage::Format_RGB888);  // the blank frame of an empty film
    p.bmpTravail1.fill(Qt::white);

    QWidget fenetre;
    vp::BandeFilm bande(p, &fenetre);
    vp::bench::VueBande vue(bande);
    vp::TCamera camera(&fenetre);
    camera.setActif(true);
    vp::ImageEtiree vueCamera(&fenetre), vueOignon(&fenetre);
    vueCamera.resize(320, 240);
    vueOignon.resize(320, 240);
    QSlider glissiere(&fenetre);
    glissiere.setRange(0, 100);
    glissiere.setValue(50);
    vp::VueDirecte direct(p, {&camera, &vueCamera, &vueOignon, &glissiere, &bande});
    QElapsedTimer attente;
    attente.start();
    while (!camera.CapturerPressePapiers()) {
        if (attente.elapsed() > 5000) {
            std::fprintf(stderr, "la caméra simulée ne donne aucune image\n");
            return 1;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    QElapsedTimer duree;
    duree.start();
    double processeurDirect = 0;
    double residentDebut = 0;
    // The first video loads the encoder once (its code and tables): what grows after it would
    // be a leak.
    double residentPremiereVideo = 0;
    int photos = 0, videos = 0;
    for (long fait = 0; fait < images;) {
        const double avant = tempsProcesseur();
        const long bloc = std::min(kImagesParPhoto, images - fait);
        for (long k = 0; k < bloc; ++k)
            direct.traiterImageCamera();
        processeurDirect += tempsProcesseur() - avant;
        fait += bloc;
        QCoreApplication::processEvents();
        if (fait == kDebut) {
            double partagee = 0;
            residentDebut = residentMo(&partagee);
            std::printf("après %ld images : %.1f Mo résidents, dont %.1f Mo de fichiers projetés\n",
                        fait, residentDebut, partagee);
        }
        if (bloc == kImagesParPhoto) {
            direct.prendrePhoto(vue);
            ++photos;
        }
        if (fait % kImagesParVideo == 0) {
            vp::TAVIRecorder enregistreur;
            vp::ecrireVideo(p, enregistreur, vue);
            if (QFile::exists(p.dossierProjet() + "/video.avi")) ++videos;
            double partagee = 0;
            const double resident = residentMo(&partagee);
            if (residentPremiereVideo == 0) residentPremiereVideo = resident;
            std::printf(
                "après %ld images et la vidéo de %d photos : %.1f Mo résidents, dont %.1f "
                "Mo de fichiers projetés\n",
                fait, p.nbImages, resident, partagee);
        }
    }
    const double residentFin = residentMo();
    camera.setActif(false);
    if (p.nbImages != photos || vp::compterImages(p) != photos) {
        std::fprintf(stderr, "%d photos prises, %d dans le film\n", photos, p.nbImages);
        return 1;
    }
    std::printf("%ld images de la vue directe, %d photos, %d vidéos en %.1f s\n", images, photos,
                videos, static_cast<double>(duree.elapsed()) / 1000.0);
    vp::bench::afficherMesure("croissance memoire", residentFin - residentDebut, "Mo");
    if (residentPremiereVideo > 0)
        vp::bench::afficherMesure("croissance memoire apres la premiere video",
                                  residentFin - residentPremiereVideo, "Mo");
    vp::bench::afficherMesure("images par seconde", static_cast<double>(images) / processeurDirect,
                              "images/s");
    return 0;
}
