// SPDX-License-Identifier: GPL-3.0-or-later
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
#include "sequence/PlacePhotos.h"
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

void CalqueReperes::definirProportions(QSize proportions) {
    proportions_ = proportions;
    update();
}

void CalqueReperes::paintEvent(QPaintEvent*) {
    QPainter p(this);
    dessinerReperes(p, reperes_, QRectF(rect()), QSizeF(proportions_), 1);
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
    reference_ = QImage(320, 240, QImage::Format_RGB888);
    reference_.fill(Qt::white);
    c_.vueOignon->setImage(melange_[0]);
    calques_ = {new CalqueReperes(c_.vueCamera), new CalqueReperes(c_.vueOignon)};
}

void VueDirecte::definirCouches(int nombre) {
    nombreCouches_ = std::clamp(nombre, 1, kCouchesMax);
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

void VueDirecte::libererPleinEcran() {
    for (Couche& c : couches_)
        c.grande = QImage();
    taillePleinEcran_ = QSize();
    fondPlein_ = QImage();
    cleFondPlein_ = Cle{};
    noirPlein_ = QImage();
    for (QImage& i : plein_)
        i = QImage();
}

void VueDirecte::suivreImageCourante() {
    const qint32 courante = p_.nbImages > 0 ? p_.imageCourante : -1;
    const int voulues = courante >= 0 ? std::min(nombreCouches_, courante + 1) : 0;
    if (c_.bandeFilm->version() == versionReference_ && courante == courante_ &&
        voulues == nombreVoulu_)
        return;
    versionReference_ = c_.bandeFilm->version();
    courante_ = courante;
    nombreVoulu_ = voulues;
    // The frames still in their files are taken from what was loaded (after a picture, all
    // but the new one); the others are read.
    std::vector<Couche> avant = std::move(couches_);
    couches_.clear();
    for (int k = 0; k < voulues; ++k) {
        const QString chemin = cheminImage(p_, courante - k);
        const IdentiteFichier fichier = identiteFichier(chemin);
        const auto deja = std::find_if(avant.begin(), avant.end(),
                                       [&](const Couche& c) { return c.fichier == fichier; });
        if (deja != avant.end()) {
            couches_.push_back(std::move(*deja));
            continue;
        }
        Couche couche;
        couche.fichier = fichier;
        if (k == 0) {
            // The strip has just read it.
            couche.petite = c_.bandeFilm->referenceOignon();
        } else {
            QImage image;
            try {
                image = chargerImage(chemin);
            } catch (...) {
                break;  // a damaged frame ends the layers there; the strip says what is wrong
            }
            // As the strip makes the current frame's: a frame looks the same in every layer.
            couche.petite = image.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                                .convertToFormat(QImage::Format_RGB888);
            if (taillePleinEcran_.isValid()) {
                couche.grande = QImage(taillePleinEcran_, QImage::Format_RGB888);
                etirerRapide(image, couche.grande);
            }
        }
        couches_.push_back(std::move(couche));
    }
    if (!couches_.empty()) {
        reference_ = couches_.front().petite;
        referenceSource_ = c_.bandeFilm->vignettes[2]->image();
    }
    p_.bmpTravail1 = reference_;
    ++generation_;  // the views' frame parts are made again
}

void VueDirecte::traiterImageCamera() {
    if (!c_.camera->CapturerPressePapiers()) return;  // a frame that cannot be read is skipped
    const QImage cadre = c_.camera->imageSaisie();
    if (cadre.isNull()) return;
    tour_ ^= 1;
    suivreImageCourante();
    if (cadre.size() != proportionsCamera_) {
        proportionsCamera_ = cadre.size();
        for (CalqueReperes* c : calques_)
            c->definirProportions(proportionsCamera_);
    }
    if (pleinEcran_ && pleinEcran_->devant()) {
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
    const PoidsOignon poids = poidsOignon(t, std::max<int>(1, static_cast<int>(couches_.size())));
    const Cle cle{generation_, t, QSize(320, 240)};
    if (!(cle == cleFond_)) {
        std::vector<QImage> images;
        for (const Couche& c : couches_)
            images.push_back(c.petite);
        if (images.empty()) images.push_back(reference_);
        preparerFond(images, poids, fond_);
        cleFond_ = cle;
    }
    QImage& melange = melange_[tour_];
    ajouterCamera(fond_, camera, poids.camera, melange);
    c_.vueOignon->setImage(melange);
}

std::vector<QImage> VueDirecte::couchesPleinEcran(QSize taille) {
    if (taille != taillePleinEcran_) {
        taillePleinEcran_ = taille;
        for (Couche& c : couches_)
            c.grande = QImage();
    }
    std::vector<QImage> images;
    if (couches_.empty()) {
        QImage derniere(taille, QImage::Format_RGB888);
        if (referenceSource_.isNull())
            derniere.fill(Qt::white);
        else
            etirerRapide(referenceSource_, derniere);
        images.push_back(std::move(derniere));
    }
    for (size_t k = 0; k < couches_.size(); ++k) {
        Couche& c = couches_[k];
        if (c.grande.isNull()) {
            // Made once from the frame at its stored size: the strip's middle thumbnail for the
            // current frame, the file for an older one (the first time only).
            QImage source;
            if (k == 0) {
                source = c_.bandeFilm->vignettes[2]->image();
            } else {
                try {
                    source = chargerImage(cheminImage(p_, courante_ - static_cast<qint32>(k)));
                } catch (...) {
                    source = c.petite;
                }
            }
            c.grande = QImage(taille, QImage::Format_RGB888);
            etirerRapide(source, c.grande);
        }
        images.push_back(c.grande);
    }
    return images;
}

void VueDirecte::afficherPleinEcran(const QImage& cadre) {
    const QSize taille = pleinEcran_->zoneImage(cadre.size()).size();
    QImage& sortie = plein_[tour_];
    if (cameraSeule_) {
        if (noirPlein_.size() != taille) {
            noirPlein_ = QImage(taille, QImage::Format_RGB32);
            noirPlein_.fill(Qt::black);
        }
        composition_.composer(noirPlein_, cadre, 100, sortie);
        pleinEcran_->montrerDirect(sortie);
        return;
    }
    const int t = c_.glissiereOignon->value();
    const PoidsOignon poids = poidsOignon(t, std::max<int>(1, static_cast<int>(couches_.size())));
    const Cle cle{generation_, t, taille};
    if (!(cle == cleFondPlein_) || fondPlein_.size() != taille) {
        if (fondPlein_.size() != taille) fondPlein_ = QImage(taille, QImage::Format_RGB32);
        preparerFond(couchesPleinEcran(taille), poids, fondPlein_);
        cleFondPlein_ = cle;
    }
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
    // A picture the disk cannot take whole is refused before anything is written.
    if (photosPossibles(p_, tailleBitmap24(image.size())) == 0) throw Erreur(kPlusDePlace);
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
