// SPDX-License-Identifier: GPL-3.0-or-later
#include "Melangeur.h"

#include <QStringList>

#include "platform/Bureau.h"
#include "platform/Dialogues.h"

namespace vp {

namespace {

struct ProgrammeVolume {
    QString programme;
    QStringList arguments;
    QString aussiRequis;  // a further program it runs
};

}  // namespace

bool ouvrirMelangeurVolume(QWidget* parent) {
    const ProgrammeVolume candidats[] = {
        {QStringLiteral("pavucontrol"), {}, {}},
        {QStringLiteral("pavucontrol-qt"), {}, {}},
        {QStringLiteral("gnome-control-center"), {QStringLiteral("sound")}, {}},
        {QStringLiteral("systemsettings"), {QStringLiteral("kcm_pulseaudio")}, {}},
        {QStringLiteral("x-terminal-emulator"),
         {QStringLiteral("-e"), QStringLiteral("alsamixer")},
         QStringLiteral("alsamixer")},
    };
    IBureau& b = bureau();
    for (const ProgrammeVolume& c : candidats) {
        if (!b.programmeExiste(c.programme)) continue;
        if (!c.aussiRequis.isEmpty() && !b.programmeExiste(c.aussiRequis)) continue;
        if (b.lancer(c.programme, c.arguments)) return true;
    }
    dialogues().message(parent, kAucunMelangeur, Icone::Information);
    return false;
}

}  // namespace vp
