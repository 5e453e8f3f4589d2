#include "Bureau.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace vp {

namespace {

class BureauSysteme final : public IBureau {
public:
    void ouvrirDocument(const QString& chemin) override {
        QDesktopServices::openUrl(QUrl::fromLocalFile(chemin));
    }

    bool lancerEtAttendre(const QString& programme, const QStringList& arguments) override {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(programme, arguments);
        if (!p.waitForStarted(-1)) return false;
        p.waitForFinished(-1);
        return true;
    }

    bool lancer(const QString& programme, const QStringList& arguments) override {
        return QProcess::startDetached(programme, arguments);
    }

    bool programmeExiste(const QString& programme) override {
        return !QStandardPaths::findExecutable(programme).isEmpty();
    }
};

std::unique_ptr<IBureau>& installe() {
    static std::unique_ptr<IBureau> b = bureauSysteme();
    return b;
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

}  // namespace vp
