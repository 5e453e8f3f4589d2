// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

#include "sequence/StockImages.h"

namespace vp::test {

// A window for the frame commands that only counts what they asked of it.
class VueFactice final : public VueSequence {
public:
    int rafraichissements = 0;
    int maximum = -1;
    int position = 0;
    bool visible = false;
    bool jamaisMontree = true;
    QStringList journal;  // "montre 5", "avance", "complete", "masque", "rafraichit"

    void rafraichirBande() override {
        ++rafraichissements;
        journal << QStringLiteral("rafraichit");
    }
    void montrerProgression(int m) override {
        maximum = m;
        position = 0;
        visible = true;
        jamaisMontree = false;
        journal << QStringLiteral("montre %1").arg(m);
    }
    void avancerProgression() override {
        ++position;
        journal << QStringLiteral("avance");
    }
    void completerProgression() override {
        position = maximum;
        journal << QStringLiteral("complete");
    }
    void masquerProgression() override {
        visible = false;
        journal << QStringLiteral("masque");
    }
};

}  // namespace vp::test
