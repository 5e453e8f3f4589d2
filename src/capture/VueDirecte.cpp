#include "VueDirecte.h"

#include <QApplication>
#include <QSlider>

#include "Camera.h"
#include "Oignon.h"
#include "platform/Bitmap.h"
#include "platform/Curseur.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"

namespace vp {

VueDirecte::VueDirecte(ProjetCourant& projet, const Controles& controles)
    : p_(projet), c_(controles) {
    for (QImage& i : camera_)
        i = QImage(320, 240, QImage::Format_RGB888);
    for (QImage& i : melange_) {
        i = QImage(320, 240, QImage::Format_RGB888);
        i.fill(Qt::black);
    }
    c_.vueOignon->setImage(melange_[0]);
}

void VueDirecte::traiterImageCamera() {
    if (!c_.camera->CapturerPressePapiers()) return;  // a frame that cannot be read is skipped
    const QImage cadre = c_.camera->imageSaisie();
    if (cadre.isNull()) return;
    tour_ ^= 1;
    // The camera picture is stretched once and shown as it is in "CAMERA".
    QImage& camera = camera_[tour_];
    etirerRapide(cadre, camera);
    p_.bmpTravail2 = camera;
    c_.vueCamera->setImage(camera);
    if (p_.nbImages > 0 && c_.bandeFilm->version() != versionReference_) {
        p_.bmpTravail1 = c_.bandeFilm->referenceOignon();
        versionReference_ = c_.bandeFilm->version();
    }
    if (p_.bmpTravail1.size() != camera.size() || p_.bmpTravail1.format() != QImage::Format_RGB888)
        p_.bmpTravail1 =
            p_.bmpTravail1.scaled(camera.size()).convertToFormat(QImage::Format_RGB888);
    QImage& melange = melange_[tour_];
    melanger(p_.bmpTravail1, camera, c_.glissiereOignon->value(), melange);
    c_.vueOignon->setImage(melange);
}

void VueDirecte::prendrePhoto(VueSequence& vue) {
    if (!verifierProjet(p_)) return;
    if (!cameraPrete()) return;
    CurseurOccupe curseur;
    // The frame is taken first: without one, nothing on disk changes.
    if (!c_.camera->CapturerPressePapiers() || c_.camera->imageSaisie().isNull()) {
        dialogues().message(QApplication::activeWindow(), kPasDImage, Icone::Avertissement);
        return;
    }
    const QImage image = c_.camera->imageSaisie();
    c_.camera->setFichierImage(cheminImage(p_, p_.imageCourante + 1));
    const qint32 avant = p_.nbImages;
    try {
        insererImage(p_, vue, [&](const QString& chemin) { ecrireBitmap24(image, chemin); });
    } catch (const Erreur& e) {
        if (p_.nbImages != avant) throw;  // in the film already: only the disk's flush failed
        throw Erreur(QStringLiteral("La photo n'a pas été enregistrée. ") + e.texte());
    }
}

}  // namespace vp
