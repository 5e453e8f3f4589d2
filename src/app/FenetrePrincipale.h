// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

#include "sequence/Projet.h"
#include "sequence/StockImages.h"
#include "video/AVIRecorder.h"

class QAction;
class QFrame;
class QMenu;
class QLabel;
class QProgressBar;
class QSlider;
class QTimer;
class QToolButton;
class QUndoGroup;

namespace vp {

inline const QString kWebcamPerdue = QStringLiteral(
    "La web-cam ne répond plus. Rebranchez-la, puis choisissez « Détecter la web-cam » "
    "dans le menu Réglages.");
// The same over the full-screen window, which has no menu.
inline const QString kWebcamPerduePleinEcran = QStringLiteral(
    "La web-cam ne répond plus. Appuyez sur Échap, rebranchez-la, puis choisissez « Détecter la "
    "web-cam » dans le menu Réglages.");

class Apercu;
class BandeFilm;
class ImageEtiree;
class TCamera;
class DialogueNouveauProjet;
class DialogueOuvrirProjet;
class DialogueReglagesVideo;
class DialogueEnregistrementSon;
class FenetrePleinEcran;
class VueDirecte;
enum class Reperes;
struct EnTeteVideo;

// The main window: the current-project record, the controls, the command map and the help
// line. Each command is one member function, named for what it does; its menu item and its
// tool-bar button both call it.
class FenetrePrincipale : public QMainWindow, public VueSequence {
    Q_OBJECT
public:
    explicit FenetrePrincipale(QWidget* parent = nullptr);
    ~FenetrePrincipale() override;

    // The dialogs are created after the main window, which they need; see creerFenetres().
    void relierDialogues(DialogueNouveauProjet* nouveau, DialogueOuvrirProjet* ouvrir,
                         DialogueReglagesVideo* video);

    ProjetCourant projet;

    DialogueNouveauProjet* dialogueNouveau = nullptr;
    DialogueOuvrirProjet* dialogueOuvrir = nullptr;
    DialogueReglagesVideo* dialogueVideo = nullptr;
    DialogueEnregistrementSon* fenetreSon = nullptr;

    // Controls.
    QWidget* fond;  // the client area
    QFrame* barreOutils;
    QToolButton *boutonNouveau, *boutonOuvrir, *boutonDupliquerProjet;
    QToolButton *boutonCreerVideo, *boutonRevoirVideo, *boutonCopierVideo;
    QToolButton *boutonEnregistrerSon, *boutonEcouterSon, *boutonImporterSon, *boutonCopierSon;
    QToolButton *boutonMixer, *boutonRevoirFilm, *boutonCopierFilm;
    QToolButton* boutonEditeur;
    QToolButton *boutonPhoto, *boutonDoublerImage, *boutonSupprimerImage;
    QLabel* compteurImages;
    QToolButton* boutonApercu;
    QToolButton *boutonEnBoucle, *boutonFinSurCamera;  // how the preview plays
    ImageEtiree* vueApercu;
    ImageEtiree* imageVide;
    QLabel* etiquetteCadence;
    QSlider* glissiereCadence;
    ImageEtiree* vueCamera;
    QToolButton* boutonPleinEcran;
    TCamera* camera;
    ImageEtiree* glypheArret;
    ImageEtiree* glypheLecture;
    ImageEtiree* vueOignon;
    QSlider* glissiereOignon;
    QFrame* barreSelection;
    QToolButton *boutonMarquerDebut, *boutonMarquerFin, *boutonAnnulerSelection,
        *boutonCopierSelection, *boutonInverserSelection, *boutonDoublerSelection,
        *boutonSupprimerSelection;
    QToolButton *boutonAnnuler, *boutonRetablir;
    QLabel* etiquetteSelection;
    QProgressBar* barreProgression;
    QToolButton* boutonArreterExport;  // beside the progress bar while the film is exported
    BandeFilm* bandeFilm;
    QLabel* ligneAide;
    QTimer* minuterieApercu;
    TAVIRecorder enregistreurVideo;
    FenetrePleinEcran* fenetrePleinEcran;

    // Menu items.
    QAction *actionNouveau, *actionOuvrir, *actionDupliquerProjet, *actionQuitter;
    // Undo and redo: the toolkit's actions over the open project's history.
    QUndoGroup* groupeAnnulation;
    QAction *actionAnnuler, *actionRetablir;
    QAction *actionPhoto, *actionDoublerImage, *actionSupprimerImage, *actionCreerVideo,
        *actionRevoirVideo, *actionCopierVideo;
    QAction *actionEnregistrerSon, *actionEcouterSon, *actionImporterSon, *actionCopierSon;
    QAction *actionMixer, *actionRevoirFilm, *actionCopierFilm, *actionExporterFilm;
    QAction* actionPleinEcran;
    QAction *actionDetecterWebcam, *actionParametresWebcam, *actionFormatImage;
    QMenu *menuPelureOignon, *menuReperes;
    std::array<QAction*, 5> actionsCouches{};  // 1 to 5 frames in the onion skin
    std::array<QAction*, 4> actionsReperes{};  // none, thirds, centre cross, 16:9 frame
    QAction* actionImagesAvantCamera;
    QAction *actionAide, *actionAPropos;

    // Commands.
    void nouveauProjet();
    void ouvrirProjet();
    void dupliquerProjetCourant();
    void quitter();
    void annuler();
    void retablir();
    void prendrePhoto();
    void doublerImage();
    void supprimerImage();
    void creerVideo();
    void revoirVideo();
    void copierVideo();
    void enregistrerBandeSon();
    void ecouterBandeSon();
    void importerBandeSon();
    void copierBandeSon();
    void mixerFilm();
    void revoirFilm();
    void copierFilm();
    void exporterFilm();
    void ouvrirEditeur();
    void basculerPleinEcran();
    void choisirCouches(int nombre);
    void choisirReperes(Reperes reperes);
    void changerModeApercu();
    void choisirImagesAvantCamera();
    void detecterWebcam();
    void parametresWebcam();
    void formatImage();
    void ouvrirAide();
    void aPropos();
    void basculerApercu();
    void marquerDebutSelection();
    void marquerFinSelection();
    void annulerSelection();
    void copierSelection();
    void inverserSelection();
    void doublerSelection();
    void supprimerSelection();

    // Other events.
    void preparerDemarrage();
    void libererAvantFermeture();
    void avancerApercu();
    void changerCadenceApercu();
    void traiterImageCamera(TCamera* camera, quintptr fenetreApercu, EnTeteVideo* entete);

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
    // Shows `texte` on the help line, in red for a warning.
    void montrerAide(const QString& texte, bool alerte = false);
    // The room left on the project's disk for pictures of the current size (the current
    // frame's, or the camera's for an empty film): when it runs short the help line says so in red
    // (unless `remplacer` is false and the line holds a text already), and once in a run a
    // message says so when `message`.
    void signalerPlace(bool remplacer, bool message);

protected:
    bool eventFilter(QObject* objet, QEvent* evenement) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void construireControles();
    void centrerSurLEcran();
    // The undo and redo items say what they would undo or redo, or are greyed.
    void mettreAJourHistorique();
    // The project's frame history (undo, redo) and its film, as the project folder holds them.
    void ouvrirHistorique();
    void construireMenus();
    void relierCommandes();
    // The shooting settings remembered from the last run.
    void chargerReglagesPriseDeVue();
    void decrireFinSurCamera();
    // The count and the last five frames of the full-screen window, from the strip.
    void mettreAJourPleinEcran();
    // Where a command's boxes go: over the full-screen window while the class sees it, else
    // over this one.
    QWidget* fenetreDesCommandes();
    void enregistrerAide(QWidget* controle, Aide effet, const QString& texte = {});
    // Lets the window repaint and take clicks during a long command, which then refuses the
    // other commands.
    void resterReactive();
    // Runs a long command: the other commands are refused until it ends.
    void travailLong(const std::function<void()>& travail);
    // A recording stopped by "FERMER" has finished putting its sound track in place (waited
    // for a while); false, the user told, when it has not.
    bool bandeSonPrete();
    void commandeAVenir();
    // Before a command on the project's file `nom` (the video, or the film): when frames have
    // changed since it was made, asks whether to make it again. « Refaire » makes the video
    // again with its last settings (and, for the film, mixes it again); false when the command
    // must not go on.
    bool verifierAJour(const QString& nom);
    bool refaire(const QString& nom);

    struct RegleAide {
        Aide effet;
        QString texte;
    };
    QHash<const QObject*, RegleAide> aides_;
    std::unique_ptr<Apercu> apercu_;
    std::unique_ptr<VueDirecte> vueDirecte_;
    qint64 dernierDessinProgression_ = 0;
    bool occupe_ = false;                // a long command runs: other commands are refused
    bool reglagesVideoChoisis_ = false;  // « Réglages vidéo » confirmed once in this run
    bool exportArrete_ = false;          // the user stopped the export under way
    bool centree_ = false;
    bool webcamPerdue_ = false;  // stopped answering, until frames come again
    QString alertePlace_;        // the room left for pictures, while it runs short
    bool messagePlaceMontre_ = false;
    bool aideEnRouge_ = false;
};

}  // namespace vp
