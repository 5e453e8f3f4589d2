// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bureau.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <cerrno>
#include <vector>

#include "Chemins.h"
#include "Dialogues.h"
#include "ErreurApplication.h"

namespace vp {

namespace {

// True when `chemin` holds bytes that are not UTF-8: QProcess would hand them to the child as
// replacement characters.
bool nonUtf8(const QString& chemin) {
    return octetsDuChemin(chemin) != chemin.toUtf8();
}

// A program's arguments as QProcess can carry them. An argument naming a file whose folder's
// name is not UTF-8 goes as the file's name alone, the child starting in that folder
// (`dossier`, empty when none is needed). Arguments that cannot go so stay as they are: the
// child tells that it cannot find them.
struct ArgumentsPortables {
    QStringList arguments;
    QByteArray dossier;
};

ArgumentsPortables rendrePortables(const QStringList& arguments) {
    ArgumentsPortables r{arguments, {}};
    for (QString& a : r.arguments) {
        if (!nonUtf8(a) || !a.startsWith(QLatin1Char('/'))) continue;
        const QString dossier = dossierParent(a);
        const QString nom = a.mid(dossier.size());
        const QByteArray octets = octetsDuChemin(dossier);
        if (nom.isEmpty() || nonUtf8(nom) || (!r.dossier.isEmpty() && r.dossier != octets))
            continue;
        r.dossier = octets;
        a = nom;
    }
    return r;
}

// Starts `programme` with `arguments` (bytes, not text) in a new session, left to run on its
// own; false when it could not start.
bool lancerDetache(const QByteArray& programme, const std::vector<QByteArray>& arguments) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(programme.constData()));
    for (const QByteArray& a : arguments)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    // The grandchild writes why its exec failed into the pipe, which the exec closes.
    int tube[2];
    if (::pipe2(tube, O_CLOEXEC) != 0) return false;
    const pid_t enfant = ::fork();
    if (enfant == 0) {
        ::close(tube[0]);
        ::setsid();
        const pid_t petitEnfant = ::fork();
        if (petitEnfant == 0) {
            ::execvp(argv[0], argv.data());
            const int erreur = errno;
            [[maybe_unused]] const ssize_t n = ::write(tube[1], &erreur, sizeof erreur);
            ::_exit(127);
        }
        ::_exit(petitEnfant < 0 ? 1 : 0);
    }
    ::close(tube[1]);
    if (enfant < 0) {
        ::close(tube[0]);
        return false;
    }
    int statut = 0;
    while (::waitpid(enfant, &statut, 0) < 0 && errno == EINTR) {
    }
    int erreur = 0;
    ssize_t lu;
    while ((lu = ::read(tube[0], &erreur, sizeof erreur)) < 0 && errno == EINTR) {
    }
    ::close(tube[0]);
    return WIFEXITED(statut) && WEXITSTATUS(statut) == 0 && lu == 0;
}

class BureauSysteme final : public IBureau {
public:
    void ouvrirDocument(const QString& chemin) override {
        // xdg-open may wait for the player to end: it runs beside the window, which hears of
        // a failure when it exits.
        auto* xdg = new QProcess(QCoreApplication::instance());
        xdg->setStandardOutputFile(QProcess::nullDevice());
        xdg->setStandardErrorFile(QProcess::nullDevice());
        QObject::connect(xdg, &QProcess::finished, xdg,
                         [xdg, chemin](int code, QProcess::ExitStatus statut) {
                             xdg->deleteLater();
                             if (statut != QProcess::NormalExit || code != 0)
                                 ouvrirSansProgramme(chemin);
                         });
        QObject::connect(xdg, &QProcess::errorOccurred, xdg,
                         [xdg, chemin](QProcess::ProcessError erreur) {
                             if (erreur != QProcess::FailedToStart) return;
                             xdg->deleteLater();
                             ouvrirSansProgramme(chemin);
                         });
        // A path whose name is not UTF-8 goes as a URL, which carries its bytes.
        const QByteArray octets = octetsDuChemin(chemin);
        const QString argument =
            octets == chemin.toUtf8()
                ? chemin
                : QStringLiteral("file://") +
                      QString::fromLatin1(QUrl::toPercentEncoding(octets, "/"));
        xdg->start(QStringLiteral("xdg-open"), {argument});
    }

    bool lancer(const QString& programme, const QStringList& arguments) override {
        // Not QProcess: its detached start hands the arguments over as text.
        std::vector<QByteArray> octets;
        for (const QString& a : arguments)
            octets.push_back(octetsDuChemin(a));
        return lancerDetache(octetsDuChemin(programme), octets);
    }

    FinProgramme lancerEtAttendre(const QString& programme, const QStringList& arguments,
                                  const std::function<void()>& pendantAttente) override {
        FinProgramme fin;
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        const ArgumentsPortables portables = rendrePortables(arguments);
        if (!portables.dossier.isEmpty())
            p.setChildProcessModifier([dossier = portables.dossier] {
                if (::chdir(dossier.constData()) == 0) return;
                static const char kMessage[] = "Impossible d'entrer dans le dossier du fichier.\n";
                [[maybe_unused]] const ssize_t n =
                    ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
                ::_exit(127);
            });
        // The child may start elsewhere: the program goes by its full path.
        const QString chemin = programme.contains(QLatin1Char('/'))
                                   ? QFileInfo(programme).absoluteFilePath()
                                   : programme;
        p.start(chemin, portables.arguments);
        if (!p.waitForStarted(-1)) return fin;
        fin.demarre = true;
        if (pendantAttente) {
            while (p.state() != QProcess::NotRunning)
                if (!p.waitForFinished(25)) pendantAttente();
        } else {
            p.waitForFinished(-1);
        }
        if (p.exitStatus() == QProcess::NormalExit) fin.code = p.exitCode();
        fin.erreurs = QString::fromUtf8(p.readAllStandardError()).trimmed();
        return fin;
    }

    bool programmeExiste(const QString& programme) override {
        return !QStandardPaths::findExecutable(programme).isEmpty();
    }
};

std::unique_ptr<IBureau>& installe() {
    static std::unique_ptr<IBureau> b = bureauSysteme();
    return b;
}

QString& visionneuse() {
    static QString v;
    return v;
}

bool blanc(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

}  // namespace

IBureau& bureau() {
    return *installe();
}

std::unique_ptr<IBureau> installerBureau(std::unique_ptr<IBureau> nouveau) {
    std::unique_ptr<IBureau> ancien = std::move(installe());
    installe() = std::move(nouveau);
    return ancien;
}

std::unique_ptr<IBureau> bureauSysteme() {
    return std::make_unique<BureauSysteme>();
}

void definirVisionneuse(const QString& programme) {
    visionneuse() = programme;
}

void ouvrirSansProgramme(const QString& chemin) {
    executerCommande([&] {
        const QFileInfo f(cheminLisible(chemin));
        const QString dossier = QDir::toNativeSeparators(f.absolutePath());
        if (!fichierExiste(chemin)) {
            dialogues().message(QApplication::activeWindow(),
                                QStringLiteral("Le fichier « %1 » est introuvable dans le dossier "
                                               "« %2 ».")
                                    .arg(f.fileName(), dossier),
                                Icone::Avertissement);
            return;
        }
        if (!visionneuse().isEmpty() &&
            f.suffix().compare(QLatin1String("avi"), Qt::CaseInsensitive) == 0 &&
            bureau().lancer(visionneuse(), {chemin}))
            return;
        dialogues().message(QApplication::activeWindow(),
                            QStringLiteral("Aucun programme n'est installé sur cet ordinateur pour "
                                           "ouvrir « %1 ».\nLe fichier se trouve dans le dossier "
                                           "« %2 ».")
                                .arg(f.fileName(), dossier),
                            Icone::Avertissement);
    });
}

QStringList decouperLigneCommande(const QString& ligne) {
    QStringList mots;
    const qsizetype n = ligne.size();
    qsizetype i = 0;
    while (i < n && blanc(ligne[i]))
        ++i;
    // The program's name: quotes only group, nothing is escaped.
    QString programme;
    for (bool cite = false; i < n; ++i) {
        if (ligne[i] == QLatin1Char('"'))
            cite = !cite;
        else if (!cite && blanc(ligne[i]))
            break;
        else
            programme += ligne[i];
    }
    mots << programme;
    for (;;) {
        while (i < n && blanc(ligne[i]))
            ++i;
        if (i >= n) break;
        QString mot;
        bool cite = false;
        while (i < n && (cite || !blanc(ligne[i]))) {
            if (ligne[i] == QLatin1Char('\\')) {
                qsizetype barres = 0;
                for (; i < n && ligne[i] == QLatin1Char('\\'); ++i)
                    ++barres;
                if (i < n && ligne[i] == QLatin1Char('"')) {
                    mot += QString(barres / 2, QLatin1Char('\\'));
                    if (barres % 2 == 1) {  // an escaped quote
                        mot += QLatin1Char('"');
                        ++i;
                    }
                } else {
                    mot += QString(barres, QLatin1Char('\\'));
                }
            } else if (ligne[i] == QLatin1Char('"')) {
                if (cite && i + 1 < n && ligne[i + 1] == QLatin1Char('"')) {
                    mot += QLatin1Char('"');  // "" inside quotes
                    i += 2;
                } else {
                    cite = !cite;
                    ++i;
                }
            } else {
                mot += ligne[i++];
            }
        }
        mots << mot;
    }
    return mots;
}

QString citerArgument(const QString& argument) {
    QString cite = QStringLiteral("\"");
    qsizetype barres = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++barres;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        cite += QString(c == QLatin1Char('"') ? 2 * barres + 1 : barres, QLatin1Char('\\'));
        barres = 0;
        cite += c;
    }
    // Backslashes before the closing quote are doubled too.
    cite += QString(2 * barres, QLatin1Char('\\'));
    cite += QLatin1Char('"');
    return cite;
}

FinProgramme lancerEtAttendre(const QString& ligne, const std::function<void()>& pendantAttente) {
    QStringList mots = decouperLigneCommande(ligne);
    const QString programme = mots.takeFirst();
    if (programme.isEmpty()) return {};
    return bureau().lancerEtAttendre(programme, mots, pendantAttente);
}

}  // namespace vp
