// SPDX-License-Identifier: GPL-3.0-or-later
#include "PiloteMire.h"

#include <algorithm>
#include <cstring>

namespace vp {

EtatMire& etatMire() {
    static EtatMire etat;
    return etat;
}

bool PiloteMire::connecter() {
    if (etatMire().refuserConnexion || etatMire().disparue) return false;
    connectee_ = true;
    horloge_.start();
    derniere_ = QImage();
    return true;
}

void PiloteMire::deconnecter() {
    connectee_ = false;
}

void PiloteMire::definirPeriode(quint32 microsecondes) {
    periode_ = std::max<quint32>(1, microsecondes);
}

QImage PiloteMire::image(quint64 numero, QSize taille, int luminosite, int contraste) {
    static const uchar kBarres[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                        {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    uchar table[256];
    for (int v = 0; v < 256; ++v)
        table[v] = static_cast<uchar>(
            std::clamp((v - 128) * contraste / 128 + 128 + (luminosite - 128), 0, 255));
    const int l = taille.width();
    const int h = taille.height();
    QImage img(taille, QImage::Format_RGB888);
    // First row: the bars; every other row is a copy of it, then the square is drawn.
    uchar* ligne = img.scanLine(0);
    for (int x = 0; x < l; ++x) {
        const uchar* c = kBarres[x * 8 / l];
        for (int k = 0; k < 3; ++k)
            ligne[3 * x + k] = table[c[k]];
    }
    for (int y = 1; y < h; ++y)
        std::memcpy(img.scanLine(y), ligne, static_cast<size_t>(l) * 3);
    const int cote = h / 4;
    const int x0 = static_cast<int>((numero * 8) % static_cast<quint64>(l));
    const int y0 = (h - cote) / 2;
    for (int y = y0; y < y0 + cote; ++y) {
        uchar* r = img.scanLine(y);
        for (int x = x0; x < std::min(l, x0 + cote); ++x)
            r[3 * x] = r[3 * x + 1] = r[3 * x + 2] = table[(y - y0) * 255 / cote];
    }
    return img;
}

bool PiloteMire::lireImage(ImageCamera& img) {
    if (!connectee_ || etatMire().sansImage || etatMire().disparue) return false;
    const quint64 n = static_cast<quint64>(horloge_.nsecsElapsed() / 1000) / periode_;
    if (derniere_.isNull() || n != numero_ || versionVue_ != versionReglages_) {
        numero_ = n;
        versionVue_ = versionReglages_;
        derniere_ = image(n, taille_, luminosite_, contraste_);
    }
    img.image = derniere_;
    img.numero = numero_;
    img.instant = std::chrono::steady_clock::now();  // made when it is read
    return true;
}

QVector<ControleCamera> PiloteMire::controles() {
    if (etatMire().sansControles) return {};
    ControleCamera l;
    l.id = kLuminosite;
    l.nom = QStringLiteral("Luminosité");
    l.maximum = 255;
    l.defaut = 128;
    ControleCamera c = l;
    c.id = kContraste;
    c.nom = QStringLiteral("Contraste");
    return {l, c};
}

int PiloteMire::valeurControle(quint32 id) {
    if (id == kLuminosite) return luminosite_;
    if (id == kContraste) return contraste_;
    return 0;
}

bool PiloteMire::definirControle(quint32 id, int valeur) {
    valeur = std::clamp(valeur, 0, 255);
    if (id == kLuminosite)
        luminosite_ = valeur;
    else if (id == kContraste)
        contraste_ = valeur;
    else
        return false;
    ++versionReglages_;  // the next frame shows the new setting
    return true;
}

QVector<FormatCamera> PiloteMire::formats() {
    if (etatMire().sansFormats) return {};
    return {{kFourccRgb, QStringLiteral("RVB 24 bits"), {{320, 240}, {640, 480}, {1280, 720}}}};
}

quint32 PiloteMire::formatCourant(QSize* taille) {
    if (taille) *taille = taille_;
    return kFourccRgb;
}

bool PiloteMire::appliquerFormat(quint32 fourcc, QSize taille) {
    if (fourcc != kFourccRgb) return false;
    for (const FormatCamera& f : formats())
        if (f.tailles.contains(taille)) {
            taille_ = taille;
            derniere_ = QImage();
            return true;
        }
    return false;
}

}  // namespace vp
