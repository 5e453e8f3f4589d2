// SPDX-License-Identifier: GPL-3.0-or-later
#include "Outils.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <csignal>

#include "platform/Bitmap.h"
#include "platform/Erreur.h"
#include "platform/FichiersSurs.h"

namespace vp::test {

DossierTest::DossierTest() = default;

namespace {

int effacerEntree(const char* chemin, const struct stat*, int type, FTW*) {
    if (type == FTW_DP)
        ::rmdir(chemin);
    else
        ::unlink(chemin);
    return 0;
}

}  // namespace

DossierTest::~DossierTest() {
    conserverFichiers();
    // Removed by the bytes of its names: the toolkit cannot remove a name that is not UTF-8.
    ::nftw(QFile::encodeName(dossier_.path()).constData(), effacerEntree, 16, FTW_DEPTH | FTW_PHYS);
}

void DossierTest::conserverFichiers() {
    const QString garde = qEnvironmentVariable("VOLTIPLUME_TEST_KEEP");
    if (garde.isEmpty() || aConserver_.isEmpty()) return;
    QDir().mkpath(garde);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString prefixe =
        info ? QStringLiteral("%1.%2-").arg(QString::fromUtf8(info->test_suite_name()),
                                            QString::fromUtf8(info->name()))
             : QString();
    for (const auto& [f, nom] : aConserver_) {
        const QString cible = QDir(garde).filePath(prefixe + nom);
        QFile::remove(cible);
        QFile::copy(f, cible);
    }
}

QString DossierTest::chemin() const {
    return dossier_.path() + QLatin1Char('/');
}

void DossierTest::conserver(const QString& fichier, const QString& nom) {
    aConserver_.append({fichier, nom.isEmpty() ? QFileInfo(fichier).fileName() : nom});
}

void attendreEvenements(int ms) {
    QEventLoop boucle;
    QTimer::singleShot(ms, &boucle, &QEventLoop::quit);
    boucle.exec();
}

std::string messageErreur(const std::function<void()>& f) {
    try {
        f();
    } catch (const Erreur& e) {
        return e.texte().toStdString();
    }
    return {};
}

void ecrireFichier(const QString& fichier, const QByteArray& octets) {
    QDir().mkpath(QFileInfo(fichier).path());
    QFile f(fichier);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << fichier.toStdString();
    f.write(octets);
}

QImage imageLettre(QChar lettre, int largeur, int hauteur) {
    QImage i(largeur, hauteur, QImage::Format_RGB888);
    i.fill(QColor(lettre.unicode() & 0xFF, 40, 200));
    return i;
}

QChar lettreImage(const QImage& image) {
    return QChar(qRed(image.pixel(0, 0)));
}

void ecrireFilm(const QString& dossier, const QString& lettres) {
    QDir().mkpath(dossier);
    for (qsizetype i = 0; i < lettres.size(); ++i)
        ecrireBitmap24(
            imageLettre(lettres[i]),
            QDir(dossier).filePath(QStringLiteral("image_%1.bmp").arg(i, 5, 10, QLatin1Char('0'))));
}

QString lireFilm(const QString& dossier) {
    QString film;
    for (int i = 0;; ++i) {
        const QString f =
            QDir(dossier).filePath(QStringLiteral("image_%1.bmp").arg(i, 5, 10, QLatin1Char('0')));
        if (!QFileInfo::exists(f)) break;
        const QImage image(f);
        film += image.isNull() ? QLatin1Char('#') : lettreImage(image);
    }
    return film;
}

bool fichiersPropres(const QString& dossier) {
    const QDir d(dossier);
    for (const QString& nom : d.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (nom.startsWith(QLatin1String(kPrefixeTemporaire))) return false;
        if (nom.startsWith(QLatin1String("image_")) && nombreDeNoms(d.filePath(nom)) != 1)
            return false;
    }
    return true;
}

namespace {

// The capabilities that let root write into a read-only folder.
constexpr unsigned kOutrepasser =
    (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);

bool capacites(__user_cap_data_struct (&donnees)[2]) {
    __user_cap_header_struct entete{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &entete, donnees) == 0;
}

void poserCapacites(__user_cap_data_struct (&donnees)[2]) {
    __user_cap_header_struct entete{_LINUX_CAPABILITY_VERSION_3, 0};
    ::syscall(SYS_capset, &entete, donnees);
}

}  // namespace

// Only the effective set changes (and only for this thread and those it starts): the
// capabilities stay permitted and come back at the end.
DroitsOrdinaires::DroitsOrdinaires() {
    __user_cap_data_struct donnees[2]{};
    if (!capacites(donnees) || !(donnees[0].effective & kOutrepasser)) return;
    donnees[0].effective &= ~kOutrepasser;
    poserCapacites(donnees);
    retires_ = true;
}

DroitsOrdinaires::~DroitsOrdinaires() {
    __user_cap_data_struct donnees[2]{};
    if (!retires_ || !capacites(donnees)) return;
    donnees[0].effective |= kOutrepasser & donnees[0].permitted;
    poserCapacites(donnees);
}

DisquePlein::DisquePlein(long octets) {
    ancienSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limite{};
    ::getrlimit(RLIMIT_FSIZE, &limite);
    ancienneLimite_ = static_cast<long>(limite.rlim_cur);
    limite.rlim_cur = static_cast<rlim_t>(octets);
    ::setrlimit(RLIMIT_FSIZE, &limite);
}

DisquePlein::~DisquePlein() {
    rlimit limite{};
    ::getrlimit(RLIMIT_FSIZE, &limite);
    limite.rlim_cur = static_cast<rlim_t>(ancienneLimite_);
    ::setrlimit(RLIMIT_FSIZE, &limite);
    std::signal(SIGXFSZ, ancienSignal_);
}

void copierArbre(const QString& source, const QString& cible) {
    QDir().mkpath(cible);
    const QDir d(source);
    for (const QFileInfo& f :
         d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (f.isDir())
            copierArbre(f.filePath(), cible + "/" + f.fileName());
        else
            QFile::copy(f.filePath(), cible + "/" + f.fileName());
    }
}

QMap<QString, QByteArray> contenuDossier(const QString& dossier) {
    QMap<QString, QByteArray> contenu;
    QDirIterator i(dossier, QDir::Files | QDir::Hidden | QDir::System,
                   QDirIterator::Subdirectories);
    while (i.hasNext()) {
        const QString f = i.next();
        QFile fichier(f);
        contenu[QDir(dossier).relativeFilePath(f)] =
            fichier.open(QIODevice::ReadOnly) ? fichier.readAll() : QByteArray("?");
    }
    return contenu;
}

}  // namespace vp::test
