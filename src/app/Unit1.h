#pragma once

#include <QHash>
#include <QMainWindow>
#include <memory>

#include "sequence/Projet.h"
#include "sequence/StockImages.h"
#include "video/AVIRecorder.h"

class QAction;
class QFrame;
class QLabel;
class QProgressBar;
class QSlider;
class QTimer;
class QToolButton;

namespace vp {

inline const QString kWebcamPerdue = QStringLiteral(
    "La web-cam ne répond plus. Rebranchez-la, puis choisissez « Détecter la web-cam » "
    "dans le menu Réglages.");

class Apercu;
class BandeFilm;
class ImageEtiree;
class TCamera;
class TFnouveau;
class TFouvrir;
class TFvideo;
class VueDirecte;
struct EnTeteVideo;

// The main window: the current-project record, the controls, the command map and the help
// line. Command handlers carry the names of the controls and events that run them.
class TForm1 : public QMainWindow, public VueSequence {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The dialogs are created after the main window, which they need; see creerFiches().
    void relierFiches(TFnouveau* nouveau, TFouvrir* ouvrir, TFvideo* video);

    ProjetCourant projet;

    TFnouveau* Fnouveau = nullptr;
    TFouvrir* Fouvrir = nullptr;
    TFvideo* Fvideo = nullptr;

    // Controls.
    QWidget* Fond;  // the client area
    QFrame* Panel1;
    QToolButton *SpeedButton1, *SpeedButton2, *SpeedButton5;
    QToolButton *SpeedButton3, *SpeedButton4, *SpeedButton6;
    QToolButton *SpeedButton7, *SpeedButton10, *SpeedButton8, *SpeedButton9;
    QToolButton *SpeedButton11, *SpeedButton12, *SpeedButton14;
    QToolButton* SpeedButton13;
    QFrame *Bevel1, *Bevel2, *Bevel3, *Bevel4, *Bevel5, *Bevel6;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9;
    QToolButton *bphoto, *bdouble, *bannule;
    QLabel* Limages;
    QToolButton* SpeedButton15;
    ImageEtiree* aper;
    ImageEtiree* bb;
    QLabel* lims;
    QSlider* tbims;
    ImageEtiree* vue;
    TCamera* cam;
    ImageEtiree* BMstop;
    ImageEtiree* BMlect;
    ImageEtiree* Melange;
    QSlider* TB;
    QFrame* Panel2;
    QToolButton *SG, *SF, *SpeedButton17, *SpeedButton18, *SpeedButton19, *SpeedButton20,
        *SpeedButton16;
    QLabel* LabS;
    QProgressBar* PB;
    BandeFilm* SB;
    QLabel* Laide;
    QTimer* Timer1;
    TAVIRecorder AVIRecorder1;

    // Menu items.
    QAction *Nouveau1, *Charger1, *Dupliquer1, *Quitter1;
    QAction *Ajouterimage1, *Dupliquerladernireimage1, *Supprimerladernireimage1, *Crerlavido1,
        *Revoirlavido1, *Copierlavido1;
    QAction *Enregistrerlabandeson1, *Rcouterlabandeson1, *Importerlabandeson1, *Copierlabandeson1;
    QAction *Mixeraudioetvido1, *Revoirlefilm1, *Copierlefilm1;
    QAction *Dtecterlacamra1, *Camra1, *Formatdelimage1;
    QAction *Actions1, *N1;

    // Commands.
    void Nouveau1Click();
    void Charger1Click();
    void SpeedButton5Click();
    void Quitter1Click();
    void bphotoClick();
    void bdoubleClick();
    void bannuleClick();
    void bcreerfilmClick();
    void Revoirlavido1Click();
    void Copierlavido1Click();
    void Enregistrerlabandeson1Click();
    void SpeedButton10Click();
    void Importerlabandeson1Click();
    void Copierlabandeson1Click();
    void Mixeraudioetvido1Click();
    void Revoirlefilm1Click();
    void Copierlefilm1Click();
    void SpeedButton13Click();
    void Dtecterlacamra1Click();
    void Camra1Click();
    void Formatdelimage1Click();
    void Actions1Click();
    void N1Click();
    void bapercuClick();
    void SGClick();
    void SFClick();
    void SpeedButton17Click();
    void SpeedButton18Click();
    void SpeedButton19Click();
    void SpeedButton20Click();
    void SpeedButton16Click();

    // Other events.
    void FormCreate();
    void FormClose();
    void Timer1Timer();
    void tbimsChange();
    void camFrame(TCamera* Sender, quintptr HndPreview, EnTeteVideo* lpVHdr);

    // The film strip and the progress bar, for the frame commands.
    void rafraichirBande() override;
    void afficherNombreImages();
    void afficherSelection();
    void montrerProgression(int maximum) override;
    void avancerProgression() override;
    void completerProgression() override;
    void masquerProgression() override;

    // Help line: the text a control puts there, clears, or leaves alone.
    enum class Aide { Texte, Effacer, Laisser };

protected:
    bool eventFilter(QObject* objet, QEvent* evenement) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void construireControles();
    void construireMenus();
    void relierCommandes();
    void enregistrerAide(QWidget* controle, Aide effet, const QString& texte = {});
    // Lets the window repaint and take clicks during a long command, which then refuses the
    // other commands.
    void resterReactive();
    void commandeAVenir();

    struct RegleAide {
        Aide effet;
        QString texte;
    };
    QHash<const QObject*, RegleAide> aides_;
    std::unique_ptr<Apercu> apercu_;
    std::unique_ptr<VueDirecte> vueDirecte_;
    qint64 dernierDessinProgression_ = 0;
    bool occupe_ = false;  // a long command runs: other commands are refused
};

}  // namespace vp
