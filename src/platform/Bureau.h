#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace vp {

// Desktop services: opening a file with the user's default program, running a program and
// waiting for its end. Tests install a recorder instead of launching players.
class IBureau {
public:
    virtual ~IBureau() = default;
    // Opens `chemin` with the program the desktop associates with it; does not wait.
    virtual void ouvrirDocument(const QString& chemin) = 0;
    // Starts `programme` with `arguments` and waits for its end; false when it could not start.
    virtual bool lancerEtAttendre(const QString& programme, const QStringList& arguments) = 0;
    // Starts `programme` with `arguments` (no shell) and does not wait; false when it could
    // not start. (A desktop that cannot start programs, such as a benchmark's, keeps these.)
    virtual bool lancer(const QString& programme, const QStringList& arguments) {
        (void)programme;
        (void)arguments;
        return false;
    }
    // True when `programme` is found on the PATH.
    virtual bool programmeExiste(const QString& programme) {
        (void)programme;
        return false;
    }
};

IBureau& bureau();
std::unique_ptr<IBureau> installerBureau(std::unique_ptr<IBureau> nouveau);
std::unique_ptr<IBureau> bureauSysteme();

}  // namespace vp
