// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's window: "virtualdub /s SCRIPT" opens the script's video with its sound track;
// "virtualdub FICHIER" shows a video or a film (with its own sound) for viewing.

#include <alsa/asoundlib.h>

extern "C" {
#include <libavutil/log.h>
}

#include <QApplication>
#include <QLocale>

#include "FenetreEditeur.h"
#include "film/ScriptVcf.h"
#include "platform/Dialogues.h"
#include "platform/ErreurApplication.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(vp::kTitreApplication);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    av_log_set_level(AV_LOG_ERROR);  // the window says what matters
    // The names are taken as the bytes given (QApplication has removed its own options from
    // argv): a folder named on another system is not read as text.
    const QStringList arguments = QApplication::arguments();
    int statut = 1;
    vp::executerCommande([&] {
        vp::FenetreEditeur::Contenu contenu;
        if (arguments.size() == 3 &&
            arguments[1].compare(QLatin1String("/s"), Qt::CaseInsensitive) == 0) {
            const vp::ScriptVcf script = vp::lireFichierScriptVcf(argv[2]);
            contenu = {script.video, script.son, script.film, false};
        } else if (arguments.size() == 2) {
            const std::string fichier = argv[1];
            contenu = {fichier, fichier, {}, true};
        } else {
            vp::dialogues().message(nullptr,
                                    QStringLiteral("Utilisation : virtualdub /s SCRIPT, ou "
                                                   "virtualdub FICHIER"),
                                    vp::Icone::Information);
            statut = 2;
            return;
        }
        vp::FenetreEditeur fenetre(contenu, vp::ouvrirSortieAlsa);
        fenetre.show();
        statut = QApplication::exec();
    });
    snd_config_update_free_global();
    return statut;
}
