// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QVector>
#include <functional>

#include "AviCaptura.h"

class QComboBox;
class QPushButton;

namespace vp {

inline const QString kCameraMuette = QStringLiteral(
    "Cette web-cam ne répond pas : vérifiez qu'elle est branchée et qu'aucun autre programme "
    "ne s'en sert.");

inline const QString kLectureReglages = QStringLiteral("Lecture des réglages de la web-cam…");

// "Paramètres de la web-cam": the camera in use, chosen among `cameras` (the choice acts at
// once), then one row per setting of that camera (slider, box or menu), acting at once;
// "Valeurs par défaut" puts every setting back. The settings reach the camera through
// ReglagesCamera: the dialog opens at once, its rows come when the camera has told them, and a
// slider never waits for the camera.
class DialogueParametresWebcam : public QDialog {
    Q_OBJECT
public:
    DialogueParametresWebcam(FenetreCapture& fenetre, const QStringList& cameras,
                             std::function<bool(int)> changerCamera, QWidget* parent);

    QComboBox* listeCameras;

    // Connects camera `index` as choosing it in the list does.
    void choisirCamera(int index);
    // Sets a setting as the user would in the dialog (the rows stay in step).
    void regler(quint32 id, int valeur);
    void valeursParDefaut();
    // True once the rows of the settings are shown.
    bool reglagesAffiches() const { return affiches_; }

private:
    void construireReglages();
    void afficherValeur(quint32 id, int valeur);

    FenetreCapture& fenetre_;
    std::function<bool(int)> changerCamera_;
    QWidget* reglages_ = nullptr;
    QVector<ControleCamera> controles_;
    QVector<std::function<void(int)>> afficheurs_;  // shows a value in a row without re-applying it
    QMetaObject::Connection lus_, applique_;
    bool affiches_ = false;
};

// "Format de l'image": the camera's pixel formats and picture sizes; "OK" restarts the stream
// with the choice.
class DialogueFormatImage : public QDialog {
    Q_OBJECT
public:
    DialogueFormatImage(PiloteCapture& pilote, QWidget* parent);

    QComboBox* listeFormats;
    QComboBox* listeTailles;
    QPushButton* boutonOk;
    QPushButton* boutonAnnuler;

    void valider();

private:
    void remplirTailles();

    PiloteCapture& pilote_;
    QVector<FormatCamera> formats_;
};

}  // namespace vp
