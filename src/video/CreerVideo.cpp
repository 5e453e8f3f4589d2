// SPDX-License-Identifier: GPL-3.0-or-later
#include "CreerVideo.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

#include "AVIRecorder.h"
#include "platform/Bitmap.h"
#include "platform/Bureau.h"
#include "platform/Chemins.h"
#include "platform/Curseur.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"
#include "platform/LectureEnAvance.h"
#include "sequence/StockImages.h"

namespace vp {

qint32 lireEntier(const QString& texte) {
    qsizetype i = 0;
    while (i < texte.size() && (texte[i] == QLatin1Char(' ') || texte[i] == QLatin1Char('\t')))
        ++i;
    bool negatif = false;
    if (i < texte.size() && (texte[i] == QLatin1Char('-') || texte[i] == QLatin1Char('+'))) {
        negatif = texte[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < texte.size() && texte[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < texte.size() && texte[i] == QLatin1Char('0') &&
               (texte[i + 1] == QLatin1Char('x') || texte[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    quint64 valeur = 0;
    for (; i < texte.size() && valeur <= 0xFFFFFFFFu; ++i) {
        const char16_t c = texte[i].unicode();
        int chiffre;
        if (c >= u'0' && c <= u'9')
            chiffre = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            chiffre = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            chiffre = c - u'A' + 10;
        else
            break;
        valeur = valeur * static_cast<quint64>(base) + static_cast<quint64>(chiffre);
    }
    const auto bits = static_cast<quint32>(valeur);
    return static_cast<qint32>(negatif ? 0u - bits : bits);
}

namespace {

// Frames loaded and stretched ahead of the encoder, a few at a time, on a thread of their own.
class Chargeur {
public:
    struct Image {
        QImage image;
        QString erreur;
    };

    Chargeur(qint32 nombre, std::function<QImage(qint32)> charger, int largeur, int hauteur)
        : charger_(std::move(charger)),
          file_(
              nombre, [this, largeur, hauteur](qint32 k) { return preparer(k, largeur, hauteur); },
              [](const Image& i) { return !i.erreur.isEmpty(); }) {}

    // The next frame; the window is repainted meanwhile.
    Image suivante() {
        return file_.suivante(
            [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    }

private:
    // Never throws: whatever goes wrong, out of memory included, becomes the frame's error.
    Image preparer(qint32 k, int largeur, int hauteur) noexcept {
        Image i;
        try {
            QImage brute = charger_(k);
            if (largeur > 0 && hauteur > 0)
                brute =
                    brute.scaled(largeur, hauteur, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            i.image = brute.convertToFormat(QImage::Format_BGR888);  // the recorder's own format
            // A picture that could not be made comes back null: the frame is not there, and
            // the video would repeat the one before.
            if (i.image.isNull()) throw std::bad_alloc();
        } catch (const Erreur& e) {
            i.erreur = e.texte();
        } catch (const std::bad_alloc&) {
            i.erreur = kImageNonPreparee.arg(k);
        } catch (const std::exception& e) {
            i.erreur = kImageNonPreparee.arg(k) +
                       QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            i.erreur = kImageNonPreparee.arg(k);
        }
        return i;
    }

    std::function<QImage(qint32)> charger_;
    LectureEnAvance<Image> file_;  // last: its thread uses the loader
};

void abandonner(TAVIRecorder& enregistreur) {
    if (!enregistreur.enregistre()) return;
    try {
        enregistreur.CloseRecording(true);
    } catch (...) {
    }
}

// The codec options as the record keeps them, and back.
CodecVideo codecDe(const AVICOMPRESSOPTIONS& o) {
    return {o.fccHandler, o.dwQuality, o.dwKeyFrameEvery, o.dwBytesPerSecond, o.dwFlags};
}
AVICOMPRESSOPTIONS optionsDe(const CodecVideo& c) {
    AVICOMPRESSOPTIONS o;
    o.fccType = streamtypeVIDEO;
    o.fccHandler = c.fcc;
    o.dwQuality = c.qualite;
    o.dwKeyFrameEvery = c.imagesCles;
    o.dwBytesPerSecond = c.octetsParSeconde;
    o.dwFlags = c.drapeaux;
    return o;
}

void ecrire(ProjetCourant& p, TAVIRecorder& enregistreur, VueSequence& vue,
            std::function<QImage(qint32)> charger, bool ouvrir) {
    if (p.imagesParSeconde < 1 || p.imagesParSeconde > 255) throw Erreur(kCadenceImpossible);
    // The size typed is judged, not the recorder's rounded one; and a size refused must not stay
    // in the recorder, which keeps its size for a later run whose fields give none.
    if (p.largeurVideo > kCoteVideoMax || p.hauteurVideo > kCoteVideoMax)
        throw Erreur(kTailleVideoImpossible);
    if (!charger) charger = [&p](qint32 k) { return chargerImage(cheminImage(p, k)); };
    CurseurOccupe curseur;
    const QString chemin = p.dossierProjet() + QStringLiteral("/video.avi");
    enregistreur.FPS = static_cast<uint8_t>(p.imagesParSeconde);
    enregistreur.SetWidth(p.largeurVideo);
    enregistreur.SetHeight(p.hauteurVideo);
    enregistreur.Filename = chemin;
    // A folder that cannot take the video is told before any question about it.
    verifierEcriture(p.dossierProjet());
    // The film as the video will show it: no frame command runs while it is written.
    ReleveFilm releve = releverFilm(p);
    if (!enregistreur.OpenRecording()) return;  // the old video is kept
    try {
        Progression progression(vue, p.nbImages - 1);
        Chargeur chargeur(p.nbImages, std::move(charger), p.largeurVideo, p.hauteurVideo);
        QElapsedTimer dessin;
        dessin.start();
        for (qint32 k = 0; k < p.nbImages; ++k) {
            Chargeur::Image i = chargeur.suivante();
            if (!i.erreur.isEmpty()) throw Erreur(i.erreur);
            enregistreur.WriteFrame(i.image);
            if (k > 0) progression.avancer();
            if (dessin.elapsed() > 50) {  // the window stays painted
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                dessin.restart();
            }
        }
        enregistreur.CloseRecording(false);
        synchroniserFichier(chemin);
    } catch (...) {
        // Nothing half-made stays: the partial file goes, and so does a finished one the
        // disk could not confirm.
        abandonner(enregistreur);
        ::unlink(octetsDuChemin(chemin).constData());
        throw;
    }
    releve.reglages = {p.imagesParSeconde, p.largeurVideo, p.hauteurVideo,
                       codecDe(enregistreur.CompressOptions)};
    try {
        ecrireReleve(p, kNomVideo, std::move(releve));
    } catch (const Erreur&) {
        // The video is there; without its record it counts as up to date, as one made by an
        // earlier version (an older record is not about this file and counts as absent).
    }
    if (ouvrir) bureau().ouvrirDocument(chemin);
}

}  // namespace

void ecrireVideo(ProjetCourant& p, TAVIRecorder& enregistreur, VueSequence& vue,
                 std::function<QImage(qint32)> charger) {
    enregistreur.Compressor = acShowDialog;
    enregistreur.ConfirmOverwrite = true;
    ecrire(p, enregistreur, vue, std::move(charger), true);
}

void refaireVideo(ProjetCourant& p, TAVIRecorder& enregistreur, VueSequence& vue,
                  const ReglagesVideo& reglages) {
    p.imagesParSeconde = reglages.imagesParSeconde;
    p.largeurVideo = reglages.largeur;
    p.hauteurVideo = reglages.hauteur;
    enregistreur.Compressor = acCompressOptions;
    enregistreur.CompressOptions = optionsDe(reglages.codec);
    enregistreur.ConfirmOverwrite = false;  // « Créer la vidéo » sets both back when it runs
    ecrire(p, enregistreur, vue, {}, false);
}

}  // namespace vp
