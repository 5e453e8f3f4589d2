// SPDX-License-Identifier: GPL-3.0-or-later
#include "FenetreEditeur.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "DecodeurImages.h"
#include "film/EcritureFilm.h"
#include "platform/Chemins.h"
#include "platform/Curseur.h"
#include "platform/Dialogues.h"
#include "platform/Erreur.h"
#include "platform/ErreurApplication.h"

namespace vp {

namespace {

QString nomFichier(const std::string& chemin) {
    return cheminLisible(
        QFileInfo(cheminDepuisOctets(QByteArray::fromStdString(chemin))).fileName());
}

// "1:05,3": minutes, seconds and tenths.
QString temps(double secondes) {
    const auto dixiemes = static_cast<long long>(std::floor(std::max(0.0, secondes) * 10 + 1e-6));
    return QStringLiteral("%1:%2,%3")
        .arg(dixiemes / 600)
        .arg(dixiemes / 10 % 60, 2, 10, QLatin1Char('0'))
        .arg(dixiemes % 10);
}

}  // namespace

ImageVideo::ImageVideo(QWidget* parent) : QWidget(parent) {
    setMinimumSize(320, 240);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageVideo::setImage(const QImage& image) {
    image_ = image;
    update();
}

void ImageVideo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (image_.isNull()) return;
    QSize taille = image_.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect cadre(QPoint((width() - taille.width()) / 2, (height() - taille.height()) / 2),
                      taille);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(cadre, image_);
}

FenetreEditeur::FenetreEditeur(const Contenu& contenu, OuvrirSortieSon ouvrirSortie,
                               QWidget* parent)
    : QWidget(parent),
      contenu_(contenu),
      decodeur_(std::make_unique<DecodeurImages>(contenu.video)) {
    setWindowTitle(QStringLiteral("Éditeur du film – %1").arg(nomFichier(contenu.video)));

    image = new ImageVideo(this);
    boutonLecture = new QPushButton(this);
    boutonLecture->setShortcut(Qt::Key_Space);
    glissierePosition = new QSlider(Qt::Horizontal, this);
    glissierePosition->setRange(0, decodeur_->nombreImages() - 1);
    etiquetteTemps = new QLabel(this);
    etiquetteTemps->setMinimumWidth(
        fontMetrics().horizontalAdvance(QStringLiteral("00:00,0 / 00:00,0")));
    etiquetteTemps->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    boutonEnregistrer = new QPushButton(QStringLiteral("Enregistrer le film…"), this);
    boutonEnregistrer->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    boutonEnregistrer->setVisible(!contenu.visionnage);
    ligneEtat = new QLabel(this);
    ligneEtat->setFrameShape(QFrame::StyledPanel);
    ligneEtat->setWordWrap(true);
    minuterie = new QTimer(this);
    minuterie->setTimerType(Qt::PreciseTimer);
    minuterie->setInterval(10);

    auto* commandes = new QHBoxLayout;
    commandes->addWidget(boutonLecture);
    commandes->addWidget(glissierePosition, 1);
    commandes->addWidget(etiquetteTemps);
    commandes->addWidget(boutonEnregistrer);
    auto* colonne = new QVBoxLayout(this);
    colonne->addWidget(image, 1);
    colonne->addLayout(commandes);
    colonne->addWidget(ligneEtat);

    connect(boutonLecture, &QPushButton::clicked, this, &FenetreEditeur::basculerLecture);
    connect(glissierePosition, &QSlider::valueChanged, this, &FenetreEditeur::allerA);
    connect(boutonEnregistrer, &QPushButton::clicked, this, &FenetreEditeur::enregistrerFilm);
    connect(minuterie, &QTimer::timeout, this, &FenetreEditeur::avancer);

    // The sound: played when there is one and a card to play it on.
    QString etat;
    if (contenu.son.empty()) {
        etat = QStringLiteral("Pas de bande-son : la vidéo est lue sans le son.");
    } else {
        try {
            piste_ = chargerPisteSon(contenu.son);
        } catch (const std::exception& e) {
            etat =
                QStringLiteral("%1 La vidéo est lue sans le son.").arg(QString::fromUtf8(e.what()));
        }
        if (etat.isEmpty() && piste_.vide())
            etat = contenu.visionnage ? QStringLiteral("Cette vidéo n'a pas de son.")
                                      : QStringLiteral(
                                            "La bande-son est vide : la vidéo est lue "
                                            "sans le son.");
        if (etat.isEmpty()) {
            std::string erreur;
            if (ouvrirSortie) sortie_ = ouvrirSortie(piste_, erreur);
            etat = sortie_ ? QStringLiteral("Son : %1").arg(nomFichier(contenu.son))
                           : QStringLiteral(
                                 "Pas de carte son (%1) : les images sont lues sans "
                                 "le son.")
                                 .arg(QString::fromStdString(erreur));
        }
    }
    ligneEtat->setText(etat);
    duree_ = decodeur_->nombreImages() / decodeur_->cadence();
    if (sortie_) duree_ = std::max(duree_, piste_.duree());

    arreter();
    afficher(0);
    afficherTemps(0);
    const QSize video = decodeur_->image(0).size();
    resize(std::clamp(video.width(), 320, 960) + 24, std::clamp(video.height(), 240, 720) + 100);
}

FenetreEditeur::~FenetreEditeur() {
    if (sortie_) sortie_->arreter();
}

void FenetreEditeur::basculerLecture() {
    if (enLecture_)
        arreter();
    else
        demarrer();
}

void FenetreEditeur::demarrer() {
    // At the end, playing starts again from the beginning.
    int n = glissierePosition->value();
    if (finAtteinte_) {
        n = 0;
        finAtteinte_ = false;
        afficher(0);
    }
    depart_ = n / decodeur_->cadence();
    chrono_.start();
    sonEnCours_ = false;
    if (sortie_) {
        const auto trame = static_cast<int64_t>(std::llround(depart_ * piste_.frequence));
        if (trame < piste_.trames()) {
            sortie_->jouer(trame);
            sonEnCours_ = true;
        }
    }
    enLecture_ = true;
    boutonLecture->setText(QStringLiteral("Pause"));
    boutonLecture->setIcon(style()->standardIcon(QStyle::SP_MediaPause));
    minuterie->start();
}

void FenetreEditeur::arreter() {
    minuterie->stop();
    if (sortie_) sortie_->arreter();
    sonEnCours_ = false;
    enLecture_ = false;
    boutonLecture->setText(QStringLiteral("Lecture"));
    boutonLecture->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
}

void FenetreEditeur::avancer() {
    double t;
    if (sonEnCours_) {
        const int64_t position = sortie_->position();
        t = static_cast<double>(position) / piste_.frequence;
        if (position >= piste_.trames()) {  // the sound is over: the clock takes over
            sonEnCours_ = false;
            depart_ = t;
            chrono_.restart();
        }
    } else {
        t = depart_ + chrono_.elapsed() / 1000.0;
    }
    const double cadence = decodeur_->cadence();
    afficher(static_cast<int>(std::floor(t * cadence + 1e-6)));
    afficherTemps(std::min(t, duree_));
    if (t >= duree_) {
        arreter();
        finAtteinte_ = true;
    }
}

void FenetreEditeur::allerA(int n) {
    const bool lecture = enLecture_;
    if (lecture) arreter();
    finAtteinte_ = false;
    afficher(n);
    afficherTemps(n / decodeur_->cadence());
    if (lecture) demarrer();
}

void FenetreEditeur::afficher(int n) {
    n = std::clamp(n, 0, decodeur_->nombreImages() - 1);
    if (n == affichee_) return;
    affichee_ = n;
    image->setImage(decodeur_->image(n));
    const QSignalBlocker bloque(glissierePosition);
    glissierePosition->setValue(n);
}

void FenetreEditeur::afficherTemps(double secondes) {
    etiquetteTemps->setText(temps(secondes) + QStringLiteral(" / ") + temps(duree_));
}

void FenetreEditeur::enregistrerFilm() {
    if (enLecture_) arreter();
    // The dialog opens in the film's folder.
    const QString proposee = cheminDepuisOctets(
        QByteArray::fromStdString(contenu_.film.empty() ? contenu_.video : contenu_.film));
    try {
        changerRepertoire(dossierParent(proposee));
    } catch (const Erreur&) {
        // The dialog opens where it can.
    }
    const QString choisi = dialogues().enregistrerFichier(
        this, QStringLiteral("Fichiers AVI|*.avi"), QStringLiteral("avi"));
    if (choisi.isEmpty()) return;
    const QString film = QFileInfo(choisi).absoluteFilePath();
    try {
        CurseurOccupe curseur;
        ecrireFilm(contenu_.video, contenu_.son, octetsDuChemin(film).toStdString());
    } catch (const std::exception& e) {
        ligneEtat->setText(QStringLiteral("Le film n'a pas été enregistré."));
        boiteErreur(QString::fromUtf8(e.what()), this);
        return;
    }
    ligneEtat->setText(
        QStringLiteral("Film enregistré : %1").arg(QDir::toNativeSeparators(cheminLisible(film))));
}

}  // namespace vp
