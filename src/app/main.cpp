// SPDX-License-Identifier: GPL-3.0-or-later
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "FenetrePrincipale.h"
#include "Programme.h"
#include "platform/Application.h"
#include "platform/Dialogues.h"

int main(int argc, char* argv[]) {
    vp::ApplicationVoltiplume application(argc, argv);
    QApplication::setApplicationName(vp::kTitreApplication);
    // Ties the windows to the desktop entry, for its icon in the task bar.
    QGuiApplication::setDesktopFileName(QStringLiteral("voltiplume"));
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    // The toolkit's own dialogs (file choosers) in French too.
    QTranslator traduction;
    if (traduction.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&traduction);

    const std::unique_ptr<vp::FenetrePrincipale> fenetre = vp::creerFenetres();
    fenetre->show();
    return QApplication::exec();
}
