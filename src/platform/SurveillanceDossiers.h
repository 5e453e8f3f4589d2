// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <memory>

class QSocketNotifier;

namespace vp {

// Tells when names are created, removed or renamed in watched folders, or when a watched folder
// itself goes. Folders are watched by the bytes of their paths (cheminDepuisOctets), so that a
// folder named in Latin-1 is followed like any other.
class SurveillanceDossiers : public QObject {
    Q_OBJECT
public:
    explicit SurveillanceDossiers(QObject* parent = nullptr);
    ~SurveillanceDossiers() override;

    QStringList dossiers() const { return parChemin_.keys(); }
    // Folders that cannot be watched (gone, refused) are left out.
    void ajouter(const QStringList& chemins);
    void retirer(const QStringList& chemins);

signals:
    void dossierModifie(const QString& chemin);

private:
    void lire();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> signal_;
    QHash<QString, int> parChemin_;
    QMultiHash<int, QString> parNumero_;  // two paths of one folder (a link) share its watch
};

}  // namespace vp
