#include "VueDirecte.h"

#include <QApplication>
#include <QPainter>
#include <QSlider>

#include "Camera.h"
#include "FenetrePleinEcran.h"
#include "Oignon.h"
#include "platform/Bitmap.h"
#include "platform/Curseur.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/ImageEtiree.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"

namespace vp {

CalqueReperes::CalqueReperes(QWidget* vue) : QWidget(vue) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(vue->rect());
    hide();
}

void CalqueReperes::definir(Reperes reperes) {
    reperes_ = reperes;
    if (parentWidget()) setGeometry(parentWidget()->rect());
    setVisible(reperes != Reperes::Aucun);
    update();
}

void CalqueReperes::paintEvent(QPaintEvent*) {
    QPainter p(this);
    dessinerReperes(p, reperes_, QRectF(rect()), 1);
}

VueDirecte::VueDirecte(ProjetCourant& projet, const Controles& controles)
    : p_(projet), c_(controles) {
    for (QImage& i : camera_)
        i = QImage(320, 240, QImage::Format_RGB888);
    for (QImage& i : melange_) {
        i = QImage(320, 240, QImage::Format_RGB888);
        i.fill(Qt::black);
    }
    fond_ = QImage(320, 240, QImage::Format_RGB888);
    c_.vueOignon->setImage(melange_[0]);
    calques_ = {new CalqueReperes(c_.vueCamera), new CalqueReperes(c_.vueOignon)};
}

void VueDirecte::definirCouches(int nombre) {
    couches_ = std::clamp(nombre, 1, kCouchesMax);
}

void VueDirecte::definirReperes(Reperes reperes) {
    reperes_ = reperes;
    for (CalqueReperes* c : calques_)
        c->definir(reperes);
    if (pleinEcran_) pleinEcran_->definirReperes(reperes);
}

void VueDirecte::definirPleinEcran(FenetrePleinEcran* fenetre) {
    pleinEcran_ = fenetre;
    if (pleinEcran_) pleinEcran_->definirReperes(reperes_);
}

void VueDirecte::suivreImageCourante() {
    if (p_.nbImages > 0 && c_.bandeFilm->version() != versionReference_) {
        p_.bmpTravail1 = c_.bandeFilm->referenceOignon();
        versionReference_ = c_.bandeFilm->version();
    }
    if (p_.bmpTravail1.size() != QSize(320, 240) ||
        p_.bmpTravail1.format() != QImage::Format_RGB888)
        p_.bmpTravail1 = p_.bmpTravail1.scaled(320, 240).convertToFormat(QImage::Format_RGB888);
    // The older frames of the layers, read once each time the current frame changes.
    const int voulues = p_.nbImages > 0 ? std::min(couches_ - 1, p_.imageCourante) : 0;
    if (versionReference_ == versionAnciennes_ && voulues == nombreAnciennesVoulues_) return;
    anciennes_.clear();
    anciennes320_.clear();
    for (int k = 1; k <= voulues; ++k) {
        QImage image;
        try {
            image = chargerImage(cheminImage(p_, p_.imageCourante - k));
        } catch (...) {
            break;  // a damaged frame ends the layers there; the strip says what is wrong
        }
        anciennes320_.push_back(
            image.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                .convertToFormat(QImage::Format_RGB888));
        anciennes_.push_back(std::move(image));
    }
    versionAnciennes_ = versionReference_;
    nombreAnciennesVoulues_ = voulues;
    ++generationAnciennes_;  // the views' frame parts are made again
}

void VueDirecte::traiterImageCamera() {
    if (!c_.camera->CapturerPressePapiers()) return;  // a frame that cannot be read is skipped
    const QImage cadre = c_.camera->imageSaisie();
    if (cadre.isNull()) return;
    tour_ ^= 1;
    suivreImageCourante();
    if (pleinEcran_ && pleinEcran_->isVisible()) {
        // The main window is under it: only the full-screen view is made.
        if (!pleinEcran_->enLecture()) afficherPleinEcran(cadre);
        return;
    }
    // The camera picture is stretched once and shown as it is in "CAMERA".
    QImage& camera = camera_[tour_];
    etirerRapide(cadre, camera);
    p_.bmpTravail2 = camera;
    c_.vueCamera->setImage(camera);
    const int t = c_.glissiereOignon->value();
    const PoidsOignon poids = poidsOignon(t, 1 + static_cast<int>(anciennes320_.size()));
    const Cle cle{p_.bmpTravail1.cacheKey(), generationAnciennes_, poids.nombre, t,
                  QSize(320, 240)};
    if (!(cle == cleFond_)) {
        std::vector<QImage> couches{p_.bmpTravail1};
        couches.insert(couches.end(), anciennes320_.begin(), anciennes320_.end());
        preparerFond(couches, poids, fond_);
        cleFond_ = cle;
    }
    QImage& melange = melange_[tour_];
    ajouterCamera(fond_, camera, poids.camera, melange);
    c_.vueOignon->setImage(melange);
}

void VueDirecte::afficherPleinEcran(const QImage& cadre) {
    const QSize taille = pleinEcran_->zoneImage(cadre.size()).size();
    const int t = c_.glissiereOignon->value();
    const PoidsOignon poids = poidsOignon(t, 1 + static_cast<int>(anciennes_.size()));
    const Cle cle{p_.bmpTravail1.cacheKey(), generationAnciennes_, poids.nombre, t, taille};
    if (!(cle == cleFondPlein_) || fondPlein_.size() != taille) {
        // The frames, at their stored size, stretched once to the view's size.
        std::vector<QImage> couches;
        couches.push_back(p_.nbImages > 0 ? c_.bandeFilm->vignettes[2]->image() : p_.bmpTravail1);
        couches.insert(couches.end(), anciennes_.begin(), anciennes_.end());
        for (QImage& couche : couches) {
            QImage etiree(taille, QImage::Format_RGB888);
            etirerRapide(couche, etiree);
            couche = std::move(etiree);
        }
        fondPlein_ = QImage(taille, QImage::Format_RGB32);
        preparerFond(couches, poids, fondPlein_);
        cleFondPlein_ = cle;
    }
    QImage& sortie = plein_[tour_];
    composition_.composer(fondPlein_, cadre, poids.camera, sortie);
    pleinEcran_->montrerDirect(sortie);
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
