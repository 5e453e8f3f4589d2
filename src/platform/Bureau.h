// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace vp {

// How a program run by lancerEtAttendre ended.
struct FinProgramme {
    bool demarre = false;  // false: it could not be started
    int code = -1;         // its exit status; -1 when it was killed or crashed
    QString erreurs;       // what it wrote on its standard error
    bool reussi() const { return demarre && code == 0; }
};

// Desktop services: opening a file with the user's default program, starting programs. Tests
// install a recorder instead of launching players.
class IBureau {
public:
    virtual ~IBureau() = default;
    // Opens `chemin` with the program the desktop associates with it, without waiting for it.
    // When the desktop has none (or the file is missing), ouvrirSansProgramme(chemin) runs later,
    // on the user-interface thread.
    virtual void ouvrirDocument(const QString& chemin) = 0;
    // Starts `programme` with `arguments` (no shell) and lets it run on its own; false when it
    // could not start.
    virtual bool lancer(const QString& programme, const QStringList& arguments) = 0;
    // Starts `programme` with `arguments` and waits for its end. `pendantAttente`, when given,
    // runs every few tens of milliseconds meanwhile, so that the window stays painted.
    virtual FinProgramme lancerEtAttendre(const QString& programme, const QStringList& arguments,
                                          const std::function<void()>& pendantAttente = {}) = 0;
    // True when `programme` is found on the PATH. (A desktop that cannot start programs, such
    // as a benchmark's, keeps this default.)
    virtual bool programmeExiste(const QString& programme) {
        (void)programme;
        return false;
    }
};

IBureau& bureau();
std::unique_ptr<IBureau> installerBureau(std::unique_ptr<IBureau> nouveau);
std::unique_ptr<IBureau> bureauSysteme();

// The program's own viewer, which shows the videos the desktop has no program for.
void definirVisionneuse(const QString& programme);
// What happens when the desktop cannot open `chemin`: a video (".avi") opens in the program's own
// viewer; for any other file, or when the viewer cannot start, a message says that no program
// is installed to open it and where the file is.
void ouvrirSansProgramme(const QString& chemin);

// Command lines written the way the external tools' home platform writes them: words separated
// by blanks; the program's name may be quoted; in the arguments a quoted part may hold blanks,
// "" inside quotes is one quote, and backslashes are literal except before a quote, where each
// pair gives one backslash and an odd one out makes the quote literal.
QStringList decouperLigneCommande(const QString& ligne);
// `argument` between quotes, escaped so that decouperLigneCommande gives it back unchanged.
QString citerArgument(const QString& argument);

// Runs the command line `ligne` (split as above, the first word naming the program) directly,
// without a shell, and waits for its end, as IBureau::lancerEtAttendre.
FinProgramme lancerEtAttendre(const QString& ligne,
                              const std::function<void()>& pendantAttente = {});

}  // namespace vp
