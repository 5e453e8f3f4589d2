// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A film of 640 x 480 bitmaps in a temporary project, for the benchmarks of the frame store.

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include "platform/Bitmap.h"
#include "platform/Bureau.h"
#include "platform/FichiersSurs.h"
#include "sequence/BandeFilm.h"
#include "sequence/StockImages.h"

namespace vp::bench {

class VueMuette final : public VueSequence {
public:
    void rafraichirBande() override {}
    void montrerProgression(int) override {}
    void avancerProgression() override {}
    void completerProgression() override {}
    void masquerProgression() override {}
};

// The film strip refreshed as the main window refreshes it after a picture.
class VueBande final : public VueSequence {
public:
    explicit VueBande(BandeFilm& bande) : bande_(bande) {}
    void rafraichirBande() override { bande_.rafraichirBande(); }
    void montrerProgression(int) override {}
    void avancerProgression() override {}
    void completerProgression() override {}
    void masquerProgression() override {}

private:
    BandeFilm& bande_;
};

// Nothing is played or started: the benchmarks measure our own work.
class BureauMuet final : public IBureau {
public:
    void ouvrirDocument(const QString&) override {}
    bool lancer(const QString&, const QStringList&) override { return true; }
    FinProgramme lancerEtAttendre(const QString&, const QStringList&,
                                  const std::function<void()>&) override {
        return {true, 0, {}};
    }
};

struct FilmBanc {
    QTemporaryDir dossier;
    ProjetCourant p;
    QByteArray nouvelle;  // a further frame, as a bitmap file's bytes

    FilmBanc(const char* nom, int images) {
        p.repProjets = dossier.path() + "/";
        p.nomDossier = QString::fromLatin1(nom);
        p.titreProjet = QStringLiteral("Banc");
        QDir().mkpath(p.dossierProjet());
        QImage image(640, 480, QImage::Format_RGB888);
        image.fill(Qt::darkCyan);
        const QString premiere = cheminImage(p, 0);
        ecrireBitmap24(image, premiere);
        for (int i = 1; i < images; ++i)
            copierAtomique(premiere, cheminImage(p, i), false);
        p.nbImages = images;
        p.imageCourante = images - 1;
        image.fill(Qt::yellow);
        nouvelle = bitmap24(image);
    }
    std::string chemin(int i) const { return cheminImage(p, i).toStdString(); }
};

}  // namespace vp::bench
