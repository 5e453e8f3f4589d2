// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "app/ArbreDossiers.h"
#include "commun/Outils.h"
#include "platform/Montages.h"
#include "platform/SousDossiers.h"

namespace vp::test {

// A mount table that the test writes.
class TableMontagesTest final : public TableMontages {
public:
    QList<Volume> liste;
    QList<Volume> volumes() const override { return liste; }
    void changer(const QList<Volume>& l) {
        liste = l;
        emit changement();
    }
};

// Restores an environment variable at the end of the test.
class VariableRemplacee {
public:
    VariableRemplacee(const char* nom, const QString& valeur)
        : nom_(nom), etaitLa_(qEnvironmentVariableIsSet(nom)), avant_(qgetenv(nom)) {
        qputenv(nom, valeur.toUtf8());
    }
    ~VariableRemplacee() {
        if (etaitLa_)
            qputenv(nom_, avant_);
        else
            qunsetenv(nom_);
    }

private:
    const char* nom_;
    bool etaitLa_;
    QByteArray avant_;
};

// A network share that answers late: while armed, each listing of a folder in `dossier` waits
// `attente` before it reads its first entry. The listing threads may outlive the test: what
// they share with it is kept alive by them.
class PartageLent {
public:
    struct Etat {
        std::atomic<bool> arme{true};
        std::atomic<int> attentes{0};  // listings held up so far
    };

    PartageLent(const QString& dossier, std::chrono::milliseconds attente)
        : etat_(std::make_shared<Etat>()) {
        installerRetardLecture([etat = etat_, dossier, attente](const QString& d) {
            thread_local bool dejaRetenu = false;  // one wait per listing (a thread of its own)
            if (dejaRetenu || !etat->arme ||
                !(d == dossier || d.startsWith(dossier + QLatin1Char('/'))))
                return;
            dejaRetenu = true;
            ++etat->attentes;
            std::this_thread::sleep_for(attente);
        });
    }
    ~PartageLent() { installerRetardLecture({}); }
    void armer(bool oui) { etat_->arme = oui; }
    int attentes() const { return etat_->attentes; }

private:
    std::shared_ptr<Etat> etat_;
};

// A user of the test's own: HOME in a fresh folder whose desktop is "Bureau", and a mount table
// the test controls.
class MaisonTest : public ::testing::Test {
protected:
    DossierTest dossier;
    const QString racine = QDir::cleanPath(dossier.chemin());
    const QString maison = racine + "/maison";
    const QString bureau = maison + "/Bureau";
    VariableRemplacee home{"HOME", maison};
    VariableRemplacee config{"XDG_CONFIG_HOME", racine + "/config"};
    TableMontagesTest table;
    TableMontages* ancienneTable = installerTableMontages(&table);

    MaisonTest() {
        creer({"maison/Bureau"});
        ecrireFichier(racine + "/config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
    }
    ~MaisonTest() override { installerTableMontages(ancienneTable); }

    // Makes these folders, named from the test folder.
    void creer(std::initializer_list<QString> chemins) {
        for (const QString& c : chemins)
            ASSERT_TRUE(QDir().mkpath(racine + "/" + c)) << c.toStdString();
    }
};

// The labels of the children of `item`.
inline QStringList libelles(const QTreeWidgetItem* item) {
    QStringList l;
    for (int i = 0; i < item->childCount(); ++i)
        l << item->child(i)->text(0);
    return l;
}

// The child of `item` labelled `texte`, or none.
inline NoeudDossier* enfant(const QTreeWidgetItem* item, const QString& texte) {
    for (int i = 0; i < item->childCount(); ++i)
        if (item->child(i)->text(0) == texte) return ArbreDossiers::noeud(item->child(i));
    return nullptr;
}

}  // namespace vp::test
