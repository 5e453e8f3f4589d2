#pragma once

#include <QDialog>
#include <QVector>
#include <functional>

#include "AviCaptura.h"

class QComboBox;
class QPushButton;

namespace vp {

// "Paramètres de la web-cam": one row per setting of the camera (slider, box or menu), acting
// at once; "Valeurs par défaut" puts every setting back.
class DialogueParametresWebcam : public QDialog {
    Q_OBJECT
public:
    DialogueParametresWebcam(PiloteCapture& pilote, QWidget* parent);

    // Sets a setting as the user would in the dialog (the rows stay in step).
    void regler(quint32 id, int valeur);
    void valeursParDefaut();

private:
    PiloteCapture& pilote_;
    QVector<ControleCamera> controles_;
    QVector<std::function<void(int)>> afficheurs_;  // shows a value in a row without re-applying it
};

// "Format de l'image": the camera's pixel formats and picture sizes; "OK" restarts the stream
// with the choice.
class DialogueFormatImage : public QDialog {
    Q_OBJECT
public:
    DialogueFormatImage(PiloteCapture& pilote, QWidget* parent);

    QComboBox* Formats;
    QComboBox* Tailles;
    QPushButton* bok;
    QPushButton* boutonAnnuler;

    void bokClick();

private:
    void remplirTailles();

    PiloteCapture& pilote_;
    QVector<FormatCamera> formats_;
};

}  // namespace vp
