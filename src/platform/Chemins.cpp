// SPDX-License-Identifier: GPL-3.0-or-later
#include "Chemins.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QStandardPaths>
#include <algorithm>
#include <vector>

#include "Erreur.h"

namespace vp {

namespace {

constexpr char16_t kOctetEchappe = 0xDC00;  // + the byte (0x80..0xFF)

// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
constexpr char16_t kCp1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QChar caractereCp1252(unsigned char o) {
    return o >= 0x80 && o <= 0x9F ? QChar(kCp1252[o - 0x80]) : QChar(o);
}

bool suite(unsigned char o) {
    return (o & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at `p` (n bytes left), 0 when there is none.
int sequenceUtf8(const unsigned char* p, qsizetype n) {
    const unsigned char c = p[0];
    if (c < 0x80) return 1;
    int longueur;
    unsigned char bas = 0x80, haut = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        longueur = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        longueur = 3;
        if (c == 0xE0) bas = 0xA0;   // overlong
        if (c == 0xED) haut = 0x9F;  // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        longueur = 4;
        if (c == 0xF0) bas = 0x90;   // overlong
        if (c == 0xF4) haut = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (n < longueur || p[1] < bas || p[1] > haut) return 0;
    for (int i = 2; i < longueur; ++i)
        if (!suite(p[i])) return 0;
    return longueur;
}

}  // namespace

QString cheminDepuisOctets(const QByteArray& octets) {
    const auto* p = reinterpret_cast<const unsigned char*>(octets.constData());
    const qsizetype n = octets.size();
    QString texte;
    texte.reserve(n);
    qsizetype debut = 0;  // start of the run of well-formed bytes not decoded yet
    qsizetype i = 0;
    while (i < n) {
        const int l = sequenceUtf8(p + i, n - i);
        if (l > 0) {
            i += l;
            continue;
        }
        texte += QString::fromUtf8(octets.constData() + debut, i - debut);
        texte += QChar(static_cast<char16_t>(kOctetEchappe + p[i]));
        debut = ++i;
    }
    texte += QString::fromUtf8(octets.constData() + debut, n - debut);
    return texte;
}

QByteArray octetsDuChemin(const QString& chemin) {
    QByteArray octets;
    octets.reserve(chemin.size());
    qsizetype debut = 0;
    for (qsizetype i = 0; i < chemin.size(); ++i) {
        const char16_t c = chemin[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < chemin.size() &&
            QChar::isLowSurrogate(chemin[i + 1].unicode())) {
            ++i;  // a pair: a character past U+FFFF
            continue;
        }
        if (c >= kOctetEchappe + 0x80 && c <= kOctetEchappe + 0xFF) {
            octets += QStringView(chemin).mid(debut, i - debut).toUtf8();
            octets += static_cast<char>(c - kOctetEchappe);
            debut = i + 1;
        }
    }
    octets += QStringView(chemin).mid(debut).toUtf8();
    return octets;
}

QString cheminLisible(const QString& chemin) {
    const auto echappe = [](QChar c) {
        return c.unicode() >= kOctetEchappe + 0x80 && c.unicode() <= kOctetEchappe + 0xFF;
    };
    if (std::none_of(chemin.begin(), chemin.end(), echappe)) return chemin;
    QString lisible = chemin;
    for (QChar& c : lisible)
        if (echappe(c))
            c = caractereCp1252(static_cast<unsigned char>(c.unicode() - kOctetEchappe));
    return lisible;
}

QString decoderCp1252(const QByteArray& octets) {
    QString texte;
    texte.reserve(octets.size());
    for (char c : octets)
        texte.append(caractereCp1252(static_cast<unsigned char>(c)));
    return texte;
}

QString avecSeparateur(const QString& dossier) {
    if (dossier.endsWith(QLatin1Char('/'))) return dossier;
    return dossier + QLatin1Char('/');
}

QString sansSeparateur(const QString& dossier) {
    QString d = dossier;
    while (d.size() > 1 && d.endsWith(QLatin1Char('/')))
        d.chop(1);
    return d;
}

QString dossierParent(const QString& chemin) {
    const qsizetype i = chemin.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? QStringLiteral("./") : chemin.left(i + 1);
}

QString repertoireCourant() {
    std::vector<char> tampon(4096);
    while (!::getcwd(tampon.data(), tampon.size())) {
        if (errno != ERANGE) return avecSeparateur(QDir::currentPath());
        tampon.resize(tampon.size() * 2);
    }
    return avecSeparateur(cheminDepuisOctets(QByteArray(tampon.data())));
}

void changerRepertoire(const QString& dossier) {
    if (::chdir(octetsDuChemin(dossier).constData()) != 0)
        throw Erreur(QStringLiteral("Impossible d'entrer dans le dossier « %1 »")
                         .arg(QDir::toNativeSeparators(cheminLisible(sansSeparateur(dossier)))));
}

QString dossierDocuments() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

bool fichierExiste(const QString& chemin) {
    struct stat s {};
    return ::stat(octetsDuChemin(chemin).constData(), &s) == 0 && !S_ISDIR(s.st_mode);
}

bool dossierExiste(const QString& chemin) {
    struct stat s {};
    return ::stat(octetsDuChemin(chemin).constData(), &s) == 0 && S_ISDIR(s.st_mode);
}

}  // namespace vp
