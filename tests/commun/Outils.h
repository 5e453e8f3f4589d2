// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <string>

#include "Attente.h"

namespace vp::test {

// A fresh folder for one test. When VOLTIPLUME_TEST_KEEP names a folder, `conserver` copies
// the user files made by the test there before the folder is removed, under a name that
// says which test made them followed by `nom` (by default the file's own name).
class DossierTest {
public:
    DossierTest();
    ~DossierTest();
    QString chemin() const;  // with its trailing separator
    void conserver(const QString& fichier, const QString& nom = {});

private:
    void conserverFichiers();

    QTemporaryDir dossier_;
    QList<std::pair<QString, QString>> aConserver_;  // each file, and its name kept
};

// Lets the event loop run for `ms` milliseconds (timers, camera frames).
void attendreEvenements(int ms);

// The text of the Erreur `f` raises, or an empty text.
std::string messageErreur(const std::function<void()>& f);

// Writes `octets` into `fichier`, making its folder when needed.
void ecrireFichier(const QString& fichier, const QByteArray& octets);

// Frames as letters: each frame file is a tiny bitmap whose first pixel encodes its letter.
QImage imageLettre(QChar lettre, int largeur = 8, int hauteur = 6);
QChar lettreImage(const QImage& image);
// Writes the film "ABC…" into `dossier` as image_00000.bmp, image_00001.bmp, …
void ecrireFilm(const QString& dossier, const QString& lettres);
// Reads the film of `dossier` back: the letters of the run of frames from index 0.
QString lireFilm(const QString& dossier);
// True when every frame file of the run has exactly one name and no temporary file is left.
bool fichiersPropres(const QString& dossier);

// For its lifetime the process is refused what the file permissions refuse, even when it runs
// as root (which the permissions do not stop): the rights to override them are set aside.
class DroitsOrdinaires {
public:
    DroitsOrdinaires();
    ~DroitsOrdinaires();
    DroitsOrdinaires(const DroitsOrdinaires&) = delete;
    DroitsOrdinaires& operator=(const DroitsOrdinaires&) = delete;

private:
    bool retires_ = false;
};

// For its lifetime no file can grow past `octets` bytes, as on a full disk: a write beyond
// fails (EFBIG) instead of ending the process.
class DisquePlein {
public:
    explicit DisquePlein(long octets);
    ~DisquePlein();
    DisquePlein(const DisquePlein&) = delete;
    DisquePlein& operator=(const DisquePlein&) = delete;

private:
    long ancienneLimite_ = -1;
    void (*ancienSignal_)(int) = nullptr;
};

// A copy of the folder `source` and everything under it at `cible`, made without the program's
// file layer (so that the tests watching that layer do not see it).
void copierArbre(const QString& source, const QString& cible);

// Every file under `dossier` with its bytes, to check that nothing on disk changed.
QMap<QString, QByteArray> contenuDossier(const QString& dossier);

}  // namespace vp::test
