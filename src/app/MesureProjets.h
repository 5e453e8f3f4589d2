// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The size and the frame count of each project of the Open project list, so that a teacher
// sees which films fill the disk. They are measured on a thread of their own (a network share
// answers slowly) and shown at the right of each title as they come.

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>

#include "platform/EnFond.h"

class QListWidget;

namespace vp {

struct MesureProjet {
    qint32 images = 0;  // the run of frames from image_00000.bmp
    qint64 octets = 0;  // every file of the folder, its hidden folders too
};

// Measures the project folder `dossier`; `arret` stops it early.
MesureProjet mesurerProjet(const QString& dossier, const std::atomic<bool>* arret = nullptr);
// « 32 images, 29,5 Mo ».
QString texteMesure(const MesureProjet& m);

// Measures the projects of a list whose rows are the project folders `dossiers` (in the same
// order) and writes each result in its row: drawn at the right of the title, and as its tip.
// The window never waits for a measuring: one stopped, or stuck on a share that no longer
// answers, runs on by itself and its results are dropped.
class MesureurProjets : public QObject {
    Q_OBJECT
public:
    explicit MesureurProjets(QListWidget* liste);
    ~MesureurProjets() override;

    // Starts measuring; a measuring still under way is stopped first.
    void mesurer(const QStringList& dossiers);
    void arreter();

private:
    QListWidget* liste_;
    TravauxEnFond enFond_;
    std::shared_ptr<std::atomic<bool>> arret_;
    quint64 generation_ = 0;
};

}  // namespace vp
