// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialoguesPilote.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/Dialogues.h"

namespace vp {

DialogueParametresWebcam::DialogueParametresWebcam(FenetreCapture& fenetre,
                                                   const QStringList& cameras,
                                                   std::function<bool(int)> changerCamera,
                                                   QWidget* parent)
    : QDialog(parent), fenetre_(fenetre), changerCamera_(std::move(changerCamera)) {
    setWindowTitle(QStringLiteral("Paramètres de la web-cam"));
    auto* principal = new QVBoxLayout(this);
    auto* choix = new QFormLayout;
    listeCameras = new QComboBox;
    listeCameras->addItems(cameras);
    listeCameras->setCurrentIndex(fenetre_.indexPilote());
    choix->addRow(QStringLiteral("Caméra :"), listeCameras);
    principal->addLayout(choix);
    reglages_ = new QWidget;
    principal->addWidget(reglages_);
    construireReglages();
    auto* boutons = new QHBoxLayout;
    auto* defaut = new QPushButton(QStringLiteral("Valeurs par défaut"));
    auto* fermer = new QPushButton(QStringLiteral("Fermer"));
    boutons->addWidget(defaut);
    boutons->addStretch();
    boutons->addWidget(fermer);
    principal->addLayout(boutons);
    connect(listeCameras, &QComboBox::activated, this, [this](int i) { choisirCamera(i); });
    connect(defaut, &QPushButton::clicked, this, [this] { valeursParDefaut(); });
    connect(fermer, &QPushButton::clicked, this, &QDialog::accept);
}

void DialogueParametresWebcam::choisirCamera(int index) {
    // Once the camera in use is unplugged, the others are numbered again: the one that takes its
    // number is another camera, to be connected all the same.
    const bool perdue = !fenetre_.pilote() || fenetre_.pilote()->perdue();
    if (index != fenetre_.indexPilote() || perdue) {
        // Without any camera left, the loss has been told already.
        if ((!changerCamera_ || !changerCamera_(index)) && fenetre_.pilote())
            dialogues().message(this, kCameraMuette, Icone::Avertissement);
        // The rows are those of the camera now connected.
        const QSignalBlocker bloque(listeCameras);
        listeCameras->setCurrentIndex(fenetre_.indexPilote());
        construireReglages();
    }
}

void DialogueParametresWebcam::construireReglages() {
    delete reglages_->layout();
    for (QWidget* w : reglages_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        delete w;
    disconnect(lus_);
    disconnect(applique_);
    controles_.clear();
    afficheurs_.clear();
    affiches_ = false;
    auto* formulaire = new QFormLayout(reglages_);
    formulaire->setContentsMargins(0, 0, 0, 0);
    ReglagesCamera* reglages = fenetre_.reglages();
    if (!reglages) {
        adjustSize();
        return;
    }
    if (!reglages->connus()) {
        // The camera has not told its settings yet: they come in here when it has.
        formulaire->addRow(new QLabel(kLectureReglages));
        lus_ = connect(reglages, &ReglagesCamera::lus, this, [this] { construireReglages(); });
        adjustSize();
        return;
    }
    applique_ = connect(reglages, &ReglagesCamera::applique, this,
                        [this](quint32 id, int valeur) { afficherValeur(id, valeur); });
    controles_ = reglages->controles();
    affiches_ = true;
    for (const ControleCamera& c : controles_) {
        const quint32 id = c.id;
        const int valeur = reglages->valeur(id);
        switch (c.genre) {
            case ControleCamera::Genre::Entier: {
                auto* ligne = new QWidget;
                auto* disposition = new QHBoxLayout(ligne);
                disposition->setContentsMargins(0, 0, 0, 0);
                auto* curseur = new QSlider(Qt::Horizontal);
                auto* boite = new QSpinBox;
                curseur->setRange(c.minimum, c.maximum);
                curseur->setSingleStep(c.pas);
                curseur->setValue(valeur);
                curseur->setMinimumWidth(220);
                boite->setRange(c.minimum, c.maximum);
                boite->setSingleStep(c.pas);
                boite->setValue(valeur);
                disposition->addWidget(curseur);
                disposition->addWidget(boite);
                connect(curseur, &QSlider::valueChanged, boite, &QSpinBox::setValue);
                connect(boite, &QSpinBox::valueChanged, curseur, &QSlider::setValue);
                connect(curseur, &QSlider::valueChanged, this,
                        [reglages, id](int v) { reglages->demander(id, v); });
                afficheurs_.append([curseur, boite](int v) {
                    const QSignalBlocker a(curseur), b(boite);
                    curseur->setValue(v);
                    boite->setValue(v);
                });
                formulaire->addRow(c.nom + QStringLiteral(" :"), ligne);
                break;
            }
            case ControleCamera::Genre::Booleen: {
                auto* coche = new QCheckBox;
                coche->setChecked(valeur != 0);
                connect(coche, &QCheckBox::toggled, this,
                        [reglages, id](bool v) { reglages->demander(id, v ? 1 : 0); });
                afficheurs_.append([coche](int v) {
                    const QSignalBlocker b(coche);
                    coche->setChecked(v != 0);
                });
                formulaire->addRow(c.nom + QStringLiteral(" :"), coche);
                break;
            }
            case ControleCamera::Genre::Menu: {
                auto* menu = new QComboBox;
                for (const auto& [v, nom] : c.choix)
                    menu->addItem(nom, v);
                menu->setCurrentIndex(menu->findData(valeur));
                connect(menu, &QComboBox::currentIndexChanged, this, [reglages, id, menu](int i) {
                    if (i >= 0) reglages->demander(id, menu->itemData(i).toInt());
                });
                afficheurs_.append([menu](int v) {
                    const QSignalBlocker b(menu);
                    menu->setCurrentIndex(menu->findData(v));
                });
                formulaire->addRow(c.nom + QStringLiteral(" :"), menu);
                break;
            }
            case ControleCamera::Genre::Bouton: {
                auto* bouton = new QPushButton(c.nom);
                connect(bouton, &QPushButton::clicked, this,
                        [reglages, id] { reglages->demander(id, 1); });
                afficheurs_.append([](int) {});
                formulaire->addRow(QString(), bouton);
                break;
            }
        }
    }
    adjustSize();
}

void DialogueParametresWebcam::regler(quint32 id, int valeur) {
    ReglagesCamera* reglages = fenetre_.reglages();
    for (qsizetype i = 0; reglages && i < controles_.size(); ++i)
        if (controles_[i].id == id) {
            reglages->demander(id, valeur);
            afficheurs_[i](valeur);
        }
}

// The value the camera took (it may differ from the one asked, or the camera refused it).
void DialogueParametresWebcam::afficherValeur(quint32 id, int valeur) {
    for (qsizetype i = 0; i < controles_.size(); ++i)
        if (controles_[i].id == id) afficheurs_[i](valeur);
}

void DialogueParametresWebcam::valeursParDefaut() {
    for (const ControleCamera& c : controles_)
        if (c.genre != ControleCamera::Genre::Bouton) regler(c.id, c.defaut);
}

DialogueFormatImage::DialogueFormatImage(PiloteCapture& pilote, QWidget* parent)
    : QDialog(parent), pilote_(pilote), formats_(pilote.formats()) {
    setWindowTitle(QStringLiteral("Format de l'image"));
    auto* principal = new QVBoxLayout(this);
    auto* formulaire = new QFormLayout;
    listeFormats = new QComboBox;
    listeTailles = new QComboBox;
    formulaire->addRow(QStringLiteral("Format des pixels :"), listeFormats);
    formulaire->addRow(QStringLiteral("Taille de l'image :"), listeTailles);
    principal->addLayout(formulaire);
    auto* boutons = new QHBoxLayout;
    boutonOk = new QPushButton(QStringLiteral("OK"));
    boutonAnnuler = new QPushButton(QStringLiteral("Annuler"));
    boutons->addStretch();
    boutons->addWidget(boutonOk);
    boutons->addWidget(boutonAnnuler);
    principal->addLayout(boutons);

    QSize taille;
    const quint32 courant = pilote_.formatCourant(&taille);
    for (const FormatCamera& f : formats_)
        listeFormats->addItem(f.description + QStringLiteral(" (") + texteFourcc(f.fourcc) +
                              QLatin1Char(')'));
    for (qsizetype i = 0; i < formats_.size(); ++i)
        if (formats_[i].fourcc == courant) listeFormats->setCurrentIndex(static_cast<int>(i));
    remplirTailles();
    const int t = listeTailles->findData(taille);
    if (t >= 0) listeTailles->setCurrentIndex(t);

    connect(listeFormats, &QComboBox::currentIndexChanged, this, [this] { remplirTailles(); });
    connect(boutonOk, &QPushButton::clicked, this, [this] { valider(); });
    connect(boutonAnnuler, &QPushButton::clicked, this, &QDialog::reject);
}

void DialogueFormatImage::remplirTailles() {
    const QSize avant = listeTailles->currentData().toSize();
    listeTailles->clear();
    const int f = listeFormats->currentIndex();
    if (f < 0) return;
    for (const QSize& t : formats_[f].tailles)
        listeTailles->addItem(QStringLiteral("%1 × %2").arg(t.width()).arg(t.height()), t);
    const int garde = listeTailles->findData(avant);
    if (garde >= 0) listeTailles->setCurrentIndex(garde);
}

void DialogueFormatImage::valider() {
    const int f = listeFormats->currentIndex();
    const int t = listeTailles->currentIndex();
    if (f < 0 || t < 0) return;
    if (!pilote_.appliquerFormat(formats_[f].fourcc, listeTailles->itemData(t).toSize())) {
        // A camera that took neither this format nor its old one has stopped answering: the
        // main window says so, and this dialog has nothing left to set.
        if (pilote_.perdue()) {
            reject();
            return;
        }
        dialogues().message(this, QStringLiteral("La web-cam refuse ce format d'image."),
                            Icone::Avertissement);
        return;
    }
    accept();
}

}  // namespace vp
