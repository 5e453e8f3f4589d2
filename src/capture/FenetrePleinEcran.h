// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QWidget>
#include <array>

#include "Oignon.h"
#include "platform/FichiersSurs.h"
#include "sequence/Projet.h"

class QAction;

namespace vp {

class BandeFilm;

// The full-screen shooting window, for a class that shoots standing a metre from the screen:
// the live onion skin as large as the screen allows with its proportions, the guides over it,
// and along the bottom the frame count and the last five frames. It only shows: the main window
// feeds it, and adds its own picture and full-screen commands to it, so that their keys do here
// exactly what they do there. Échap goes back; P plays and stops the preview. The user may also
// leave it open behind the main window, or minimise it: the main window takes over until it
// comes back.
class FenetrePleinEcran : public QWidget {
    Q_OBJECT
public:
    explicit FenetrePleinEcran(QWidget* parent = nullptr);

    QAction* actionLecture;  // P
    QAction* actionRetour;   // Échap

    // True while the class sees this window: shown, not minimised, and not left behind the
    // main window since it was last active.
    bool devant() const { return isVisible() && !isMinimized() && devant_; }
    // The main window has become the active one.
    void passerDerriere() { devant_ = false; }

    // Where a picture of these proportions goes: as large as the window allows above the strip
    // of frames, centred.
    QRect zoneImage(QSize proportions) const;
    // A live onion skin, made at the size of zoneImage() for the camera's proportions.
    void montrerDirect(const QImage& image);
    // A frame the preview plays, in the live picture's place; a null picture brings the live
    // picture back.
    void montrerLecture(const QImage& image);
    bool enLecture() const { return !lecture_.isNull(); }
    // What the picture area shows: the live onion skin, or the frame being played.
    const QImage& imageMontree() const { return enLecture() ? lecture_ : direct_; }

    void definirReperes(Reperes reperes);
    Reperes reperes() const { return reperes_; }
    void definirCompteur(const QString& texte);
    const QString& compteur() const { return compteur_; }
    // A warning in red under the frame count (the disk filling up); an empty text takes it away.
    void definirAlerte(const QString& texte);
    // The last five frames, up to the current one, as the film strip `bande` has just shown them
    // (`remplacement` for a frame that cannot be read). Those shown already are shifted along:
    // after a picture only the new one is read and scaled.
    void suivreFilm(const ProjetCourant& p, const BandeFilm& bande, const QImage& remplacement);
    const std::array<QString, 5>& numeros() const { return numeros_; }
    const std::array<QImage, 5>& dernieresImages() const { return images_; }
    // A message over the picture (no camera, a camera unplugged); an empty text takes it away.
    void montrerMessage(const QString& texte);
    const QString& message() const { return message_; }

signals:
    void fermee();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    int hauteurBande() const;
    QRect zoneDirect() const;
    QRect caseVignette(int rang) const;
    QImage vignette(const QImage& image, int rang) const;
    void peindreBande(QPainter& p);

    QImage direct_;
    QImage lecture_;
    Reperes reperes_ = Reperes::Aucun;
    QString compteur_;
    QString alerte_;
    QString message_;
    std::array<QImage, 5> images_;     // as given, to scale them again for another size
    std::array<QImage, 5> vignettes_;  // scaled once for the strip's size
    std::array<IdentiteFichier, 5> fichiers_;
    std::array<QString, 5> numeros_;
    bool devant_ = false;
};

}  // namespace vp
