// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QMouseEvent>

#include "MaisonTest.h"
#include "platform/Chemins.h"

using namespace vp;
using test::enfant;
using test::libelles;

namespace {

class Arbre : public test::MaisonTest {
protected:
    Arbre() {
        creer({"maison/Bureau/Classe B", "maison/Bureau/classe a/sous", "maison/Bureau/École",
               "maison/Bureau/.cache", "maison/.config/voltiplume", "media/CLE/films",
               "mnt/donnees", "partage"});
        table.liste = {{racine + "/media/CLE", "CLE USB", Volume::Genre::Amovible},
                       {racine + "/mnt/donnees", "donnees", Volume::Genre::Local},
                       {racine + "/partage", "films sur srv", Volume::Genre::Reseau}};
    }

    // Listens to the change event.
    int changements = 0;
    void ecouter(ArbreDossiers& a) {
        QObject::connect(&a, &QTreeWidget::currentItemChanged, [this] { ++changements; });
    }
    QString cheminDe(QTreeWidgetItem* item) const {
        const NoeudDossier* n = ArbreDossiers::noeud(item);
        return n ? n->chemin : QString("(aucun)");
    }
};

TEST_F(Arbre, BureauOrdinateurVolumesEtReseau) {
    ArbreDossiers a;
    a.setFolderOptions(foNetworkNeighborhood);
    a.setActive(true);
    ASSERT_EQ(a.topLevelItemCount(), 1);
    NoeudDossier* r = a.racine();
    EXPECT_EQ(r->text(0), "Bureau");
    EXPECT_EQ(r->chemin, bureau);
    // Folders sorted without regard to case or accents, hidden ones left out.
    EXPECT_EQ(libelles(r), QStringList({"Ordinateur", "classe a", "Classe B", "École", "Réseau"}));
    EXPECT_TRUE(r->isExpanded());
    EXPECT_TRUE(a.noeudOrdinateur()->isExpanded());
    EXPECT_EQ(libelles(a.noeudOrdinateur()),
              QStringList({"Dossier personnel", "Système de fichiers", "CLE USB", "donnees"}));
    EXPECT_EQ(cheminDe(a.noeudOrdinateur()->child(0)), maison);
    EXPECT_EQ(libelles(a.noeudReseau()), QStringList({"films sur srv"}));
    EXPECT_EQ(a.noeudReseau()->child(0)->type(), NoeudDossier::kType);
    EXPECT_EQ(ArbreDossiers::noeud(a.noeudReseau()->child(0))->genre, NoeudDossier::PartageReseau);

    // Nothing below a folder is listed before it is opened.
    NoeudDossier* classeA = enfant(r, "classe a");
    EXPECT_EQ(classeA->childCount(), 0);
    EXPECT_EQ(classeA->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    a.expandItem(classeA);
    EXPECT_EQ(libelles(classeA), QStringList({"sous"}));

    const auto cheminSelectionne = [&](QTreeWidgetItem* item) {
        a.setCurrentItem(item);
        return a.SelectedPath();
    };
    EXPECT_EQ(cheminSelectionne(r), bureau);
    EXPECT_EQ(cheminSelectionne(a.noeudOrdinateur()), "");
    EXPECT_EQ(cheminSelectionne(a.noeudReseau()), "");
    EXPECT_EQ(cheminSelectionne(a.noeudOrdinateur()->child(1)), "/");
    EXPECT_EQ(cheminSelectionne(a.noeudReseau()->child(0)), racine + "/partage");

    a.setActive(false);
    EXPECT_EQ(a.topLevelItemCount(), 0);
    EXPECT_EQ(a.SelectedPath(), "");
}

TEST_F(Arbre, SelectPath) {
    ArbreDossiers a;
    a.setActive(true);
    ecouter(a);

    // The deepest folder that exists, the tree opened down to it.
    QTreeWidgetItem* n = a.SelectPath(bureau + "/classe a/sous/disparu/encore");
    EXPECT_EQ(cheminDe(n), bureau + "/classe a/sous");
    EXPECT_EQ(a.currentItem(), n);
    EXPECT_EQ(changements, 1);
    EXPECT_TRUE(n->parent()->isExpanded());
    EXPECT_EQ(a.SelectedPath(), bureau + "/classe a/sous");
    EXPECT_EQ(a.SelectPath(bureau + "/classe a/sous/"), n);  // same node: no change event
    EXPECT_EQ(changements, 1);

    // "/" and a mount point select their own nodes; a path inside a volume goes through it.
    n = a.SelectPath("/");
    EXPECT_EQ(n->parent(), a.noeudOrdinateur());
    EXPECT_EQ(a.SelectedPath(), "/");
    n = a.SelectPath(racine + "/media/CLE");
    EXPECT_EQ(n->parent(), a.noeudOrdinateur());
    EXPECT_EQ(n->text(0), "CLE USB");
    n = a.SelectPath(racine + "/media/CLE/films");
    EXPECT_EQ(n->parent()->text(0), "CLE USB");
    EXPECT_EQ(changements, 4);

    // Hidden folders are reached all the same, also through "..".
    n = a.SelectPath(maison + "/.config/voltiplume");
    EXPECT_EQ(cheminDe(n), maison + "/.config/voltiplume");
    EXPECT_EQ(n->parent()->parent()->text(0), "Dossier personnel");
    EXPECT_EQ(cheminDe(a.SelectPath(bureau + "/../.config")), maison + "/.config");

    // No path, or a relative one: no selection.
    EXPECT_EQ(a.SelectPath(""), nullptr);
    EXPECT_EQ(a.currentItem(), nullptr);
    EXPECT_NE(a.SelectPath(bureau), nullptr);
    EXPECT_EQ(a.SelectPath("Bureau/classe a"), nullptr);
    EXPECT_EQ(a.SelectedPath(), "");
}

TEST_F(Arbre, DossierDisparuSansQueLArbreLeSache) {
    creer({"maison/Bureau/ephemere/dedans"});
    ArbreDossiers a;  // not shown: nothing tells it of the removal
    a.setActive(true);
    ASSERT_NE(a.SelectPath(bureau + "/ephemere/dedans"), nullptr);
    ASSERT_TRUE(QDir(bureau + "/ephemere").removeRecursively());
    EXPECT_EQ(a.SelectPath(bureau + "/ephemere/dedans"), nullptr);
    EXPECT_EQ(a.currentItem(), nullptr);
    EXPECT_EQ(enfant(a.racine(), "ephemere"), nullptr);

    // A double-click on a folder that has gone takes it away.
    a.show();
    NoeudDossier* ecole = enfant(a.racine(), "École");
    const QPoint centre = a.visualItemRect(ecole).center();
    ASSERT_TRUE(QDir(bureau).rmdir("École"));
    QMouseEvent clic(QEvent::MouseButtonDblClick, centre, a.viewport()->mapToGlobal(centre),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(a.viewport(), &clic);
    EXPECT_EQ(enfant(a.racine(), "École"), nullptr);

    // Opening a folder that cannot be listed any more is refused quietly, and the cursor
    // comes back.
    NoeudDossier* classeA = enfant(a.racine(), "classe a");
    ASSERT_TRUE(QDir(bureau + "/classe a").removeRecursively());
    a.expandItem(classeA);
    EXPECT_FALSE(classeA->isExpanded());
    EXPECT_EQ(classeA->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Arbre, SuitLesDossiersDuDisque) {
    ArbreDossiers a;
    a.setActive(true);
    a.show();
    NoeudDossier* classeA = enfant(a.racine(), "classe a");
    a.expandItem(classeA);
    ecouter(a);

    creer({"maison/Bureau/classe a/nouveau", "maison/Bureau/Autre"});
    ASSERT_TRUE(test::attendreQue([&] { return libelles(classeA).contains("nouveau"); }));
    EXPECT_EQ(libelles(classeA), QStringList({"nouveau", "sous"}));
    ASSERT_TRUE(test::attendreQue([&] { return enfant(a.racine(), "Autre") != nullptr; }));
    EXPECT_EQ(libelles(a.racine()).indexOf("Autre"), 1);  // in its place, after "Ordinateur"

    ASSERT_TRUE(QDir(bureau + "/classe a").rename("nouveau", "renomme"));
    ASSERT_TRUE(test::attendreQue([&] { return libelles(classeA).contains("renomme"); }));
    EXPECT_EQ(libelles(classeA), QStringList({"renomme", "sous"}));

    // The selected folder removed: the selection goes up to its parent.
    a.SelectPath(bureau + "/classe a/renomme");
    changements = 0;
    ASSERT_TRUE(QDir(bureau + "/classe a").rmdir("renomme"));
    ASSERT_TRUE(test::attendreQue([&] { return classeA->childCount() == 1; }));
    EXPECT_EQ(a.currentItem(), classeA);
    EXPECT_EQ(changements, 1);

    // Hidden, the tree stops watching; shown again, it catches up.
    a.hide();
    EXPECT_FALSE(a.suitLeDisque());
    creer({"maison/Bureau/classe a/pendant"});
    a.show();
    EXPECT_TRUE(a.suitLeDisque());
    EXPECT_EQ(libelles(classeA), QStringList({"pendant", "sous"}));
}

TEST_F(Arbre, VolumesMontesEtRetires) {
    ArbreDossiers a;
    a.setFolderOptions(foNetworkNeighborhood);
    a.setActive(true);
    ecouter(a);
    creer({"media/DISQUE/projets"});
    QList<Volume> avecDisque = table.liste;
    avecDisque.insert(1, {racine + "/media/DISQUE", "DISQUE", Volume::Genre::Amovible});
    table.changer(avecDisque);
    EXPECT_EQ(
        libelles(a.noeudOrdinateur()),
        QStringList({"Dossier personnel", "Système de fichiers", "CLE USB", "DISQUE", "donnees"}));
    QList<Volume> sansDisque = table.liste;
    sansDisque.removeAt(1);
    sansDisque[0].etiquette = "CLE RENOMMEE";
    sansDisque.removeLast();  // the network share goes too

    // Removed while the change event of a selection on it runs (and shows a message box, say):
    // the tree waits until the event is over, then the selection goes to "Ordinateur".
    const auto c = QObject::connect(&a, &QTreeWidget::currentItemChanged, [&] {
        table.changer(sansDisque);
        test::attendreEvenements(100);
    });
    QTreeWidgetItem* projets = a.SelectPath(racine + "/media/DISQUE/projets");
    QObject::disconnect(c);
    ASSERT_EQ(a.currentItem(), projets);
    EXPECT_EQ(projets->parent()->text(0), "DISQUE");
    changements = 0;
    ASSERT_TRUE(test::attendreQue([&] { return a.currentItem() != projets; }));
    EXPECT_EQ(libelles(a.noeudOrdinateur()),
              QStringList({"Dossier personnel", "Système de fichiers", "CLE RENOMMEE", "donnees"}));
    EXPECT_EQ(a.noeudReseau()->childCount(), 0);
    EXPECT_EQ(a.currentItem(), a.noeudOrdinateur());
    EXPECT_EQ(a.SelectedPath(), "");
    EXPECT_EQ(changements, 1);
}

TEST_F(Arbre, ModeDAffichageEtOptions) {
    ArbreDossiers a;
    a.setActive(true);
    a.expandItem(enfant(a.racine(), "classe a"));
    a.setDisplayMode(dmUppercase);
    EXPECT_EQ(libelles(a.racine()), QStringList({"ORDINATEUR", "CLASSE A", "CLASSE B", "ÉCOLE"}));
    EXPECT_EQ(libelles(a.racine()->child(1)), QStringList({"SOUS"}));
    EXPECT_EQ(a.noeudOrdinateur()->child(0)->text(0), "DOSSIER PERSONNEL");
    a.setDisplayMode(dmLowercase);
    EXPECT_EQ(a.racine()->text(0), "bureau");
    a.setDisplayMode(dmAsis);
    EXPECT_EQ(libelles(a.racine()), QStringList({"Ordinateur", "classe a", "Classe B", "École"}));
    EXPECT_EQ(a.noeudOrdinateur()->child(0)->text(0), "Dossier personnel");

    // Optional nodes after the folders, or before them with foVirtualFirst.
    a.setFolderOptions(foRecycleBin | foNetworkNeighborhood);
    EXPECT_EQ(libelles(a.racine()).mid(4), QStringList({"Corbeille", "Réseau"}));
    a.setFolderOptions(foNetworkNeighborhood);
    EXPECT_EQ(a.noeudCorbeille(), nullptr);
    EXPECT_EQ(libelles(a.racine()).mid(4), QStringList({"Réseau"}));
    a.setFolderOptions(foVirtualFirst);
    a.setFolderOptions(foVirtualFirst | foRecycleBin);
    EXPECT_EQ(libelles(a.racine()).first(2), QStringList({"Corbeille", "Ordinateur"}));
    // A folder made now still goes among the folders.
    creer({"maison/Bureau/Aaa"});
    a.show();
    EXPECT_EQ(libelles(a.racine()).first(3), QStringList({"Corbeille", "Ordinateur", "Aaa"}));
}

TEST_F(Arbre, FinDeSession) {
    ArbreDossiers a;
    a.setActive(true);
    a.show();
    ASSERT_TRUE(a.suitLeDisque());
    EXPECT_TRUE(a.accepterFinSession());  // nobody asked: the session may end
    EXPECT_FALSE(a.suitLeDisque());
    a.hide();
    a.show();
    EXPECT_TRUE(a.suitLeDisque());

    ArbreDossiers* emetteur = nullptr;
    a.OnEndSessionQuery = [&](ArbreDossiers* Sender, bool& CanEndSession) {
        emetteur = Sender;
        EXPECT_TRUE(CanEndSession);
        CanEndSession = false;
    };
    EXPECT_FALSE(a.accepterFinSession());
    EXPECT_EQ(emetteur, &a);
    EXPECT_TRUE(a.suitLeDisque());
}

TEST(TableDesMontages, VolumesDUnUtilisateur) {
    const QByteArray mountinfo =
        "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
        "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "27 26 254:1 / /home rw,relatime - ext4 /dev/vdb rw\n"
        "30 26 8:17 / /media/alice/CLE\\040USB rw,nosuid shared:1 master:2 - vfat /dev/sdb1 rw\n"
        "31 26 8:33 / /mnt/donnees rw - ext4 /dev/sdc1 rw\n"
        "32 26 8:2 / /boot/efi rw - vfat /dev/sda1 rw\n"
        "33 26 0:50 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
        "34 26 0:51 / /mnt/nas rw - cifs //srv/films rw\n"
        "35 26 0:52 / /home/alice/ecole rw - nfs4 serveur:/export/classes rw\n"
        "36 26 0:53 / /run/media/bob/DISQUE rw - exfat /dev/sdd1 rw\n"
        "37 26 0:54 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
        "38 26 8:49 / /mnt/donnees rw - ext4 /dev/sde1 rw\n"
        "39 26 8:50 / /media/alice/.cache rw - ext4 /dev/sdf1 rw\n"
        "40 26 0:55 / /mnt/tmp rw - tmpfs tmpfs rw\n"
        "ligne abimee\n";
    const QList<Montage> montages = lireMountinfo(mountinfo);
    ASSERT_EQ(montages.size(), 14);
    EXPECT_EQ(montages[3].pointMontage, "/media/alice/CLE USB");
    EXPECT_EQ(montages[3].typeFs, "vfat");
    EXPECT_EQ(montages[3].source, "/dev/sdb1");

    const QList<Volume> volumes =
        volumesUtilisateur(montages, {{"/dev/sdb1", "Clé de Léa"}, {"/dev/sdc1", "ancien"}});
    const QList<Volume> attendus = {
        {"/media/alice/CLE USB", "Clé de Léa", Volume::Genre::Amovible},
        {"/run/media/bob/DISQUE", "DISQUE", Volume::Genre::Amovible},
        {"/mnt/donnees", "donnees", Volume::Genre::Local},  // mounted over: /dev/sde1 now
        {"/mnt/nas", "films sur srv", Volume::Genre::Reseau},
        {"/home/alice/ecole", "classes sur serveur", Volume::Genre::Reseau}};
    EXPECT_EQ(volumes, attendus);

    EXPECT_EQ(nomPartageGvfs("smb-share:server=srv,share=films%20cm2"), "films cm2 sur srv");
    EXPECT_EQ(nomPartageGvfs("sftp:host=ecole.fr,user=prof"), "ecole.fr");
    EXPECT_EQ(nomPartageGvfs("inconnu"), "inconnu");
}

}  // namespace

namespace {

// Makes a symbolic link `nom` to `cible`.
void lier(const QString& cible, const QString& nom) {
    ASSERT_EQ(::symlink(QFile::encodeName(cible).constData(), QFile::encodeName(nom).constData()),
              0);
}

// Makes the folder whose path is these bytes.
void creerOctets(const QByteArray& chemin) {
    ASSERT_EQ(::mkdir(chemin.constData(), 0777), 0) << chemin.toStdString();
}

}  // namespace

TEST_F(Arbre, LiensCassesEtNomsQuiNeSontPasDeLUtf8) {
    // A folder of links that lead nowhere, loop, are refused or go through a file: none is a
    // folder, and none makes the folder unreadable.
    creer({"maison/Bureau/liens", "interdit/dedans"});
    const QString liens = bureau + "/liens/";
    lier("nulle-part", liens + "mort");
    lier("boucle", liens + "boucle");
    lier(racine + "/interdit/dedans", liens + "refuse");
    test::ecrireFichier(racine + "/fichier", "x");
    lier(racine + "/fichier/dessous", liens + "par_un_fichier");
    // Two names from an old stick, in Latin-1: "Projét" and "Projèt".
    const QByteArray octetsBureau = QFile::encodeName(bureau) + '/';
    creerOctets(octetsBureau + "Proj\xe9t");
    creerOctets(octetsBureau + "Proj\xe8t");
    creerOctets(octetsBureau + "Proj\xe9t/Sc\xe8ne 1");
    ASSERT_EQ(::chmod(QFile::encodeName(racine + "/interdit").constData(), 0), 0);
    const test::DroitsOrdinaires droits;

    ArbreDossiers a;
    a.setActive(true);
    a.show();
    NoeudDossier* l = enfant(a.racine(), "liens");
    ASSERT_NE(l, nullptr);
    a.expandItem(l);
    EXPECT_TRUE(l->isExpanded());
    EXPECT_TRUE(l->charge);
    EXPECT_EQ(l->childCount(), 0);
    EXPECT_TRUE(a.suit(l->chemin));
    // And it follows the disk.
    creer({"maison/Bureau/liens/nouveau"});
    EXPECT_TRUE(test::attendreQue([&] { return libelles(l) == QStringList{"nouveau"}; }));

    // Two nodes, each named as it reads, each opening its own folder.
    EXPECT_EQ(libelles(a.racine()), QStringList({"Ordinateur", "classe a", "Classe B", "École",
                                                 "liens", "Projét", "Projèt"}));
    NoeudDossier* e = enfant(a.racine(), "Projét");
    NoeudDossier* g = enfant(a.racine(), "Projèt");
    ASSERT_TRUE(e && g);
    EXPECT_NE(e->chemin, g->chemin);
    a.expandItem(e);
    a.expandItem(g);
    EXPECT_EQ(libelles(e), QStringList{"Scène 1"});
    EXPECT_EQ(g->childCount(), 0);
    EXPECT_TRUE(g->charge);
    // SelectPath finds them again from their paths, and the selected path is the folder's.
    // (The name as it reads is not the name on disk.)
    EXPECT_EQ(a.SelectPath(e->chemin + "/" + libelles(e).first()), e);
    QTreeWidgetItem* scene = a.SelectPath(ArbreDossiers::noeud(e->child(0))->chemin);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->parent(), e);
    struct stat s {};
    EXPECT_EQ(::stat(octetsDuChemin(a.SelectedPath()).constData(), &s), 0);
    EXPECT_EQ(octetsDuChemin(a.SelectedPath()), octetsBureau + "Proj\xe9t/Sc\xe8ne 1");
    EXPECT_TRUE(a.suit(e->chemin));
    // A folder made inside the Latin-1 one shows up.
    creerOctets(octetsBureau + "Proj\xe9t/Sc\xe8ne 2");
    EXPECT_TRUE(test::attendreQue([&] { return e->childCount() == 2; }));
    EXPECT_EQ(::chmod(QFile::encodeName(racine + "/interdit").constData(), 0755), 0);
}

TEST_F(Arbre, PartageQuiNeRepondPas) {
    creer({"partage/classe/films", "partage/autre"});
    test::PartageLent lent(racine + "/partage", std::chrono::milliseconds(5000));
    ArbreDossiers a;
    a.setFolderOptions(foNetworkNeighborhood);
    a.setActive(true);
    a.show();
    NoeudDossier* partage = enfant(a.noeudReseau(), "films sur srv");
    ASSERT_NE(partage, nullptr);

    const test::MesureBlocage mesure;
    a.expandItem(partage);
    EXPECT_EQ(a.lecturesEnCours(), 1);
    // Nothing read for two seconds: the node says so, and closes.
    ASSERT_TRUE(test::attendreQue(
        [&] { return partage->text(0) == "films sur srv" + ArbreDossiers::kNeRepondPas; }));
    EXPECT_FALSE(partage->isExpanded());
    EXPECT_EQ(partage->childCount(), 0);
    // Opened again, it is asked again; this time it answers at once.
    lent.armer(false);
    a.expandItem(partage);
    ASSERT_TRUE(test::attendreQue([&] { return partage->childCount() == 2; }));
    EXPECT_EQ(libelles(partage), QStringList({"autre", "classe"}));
    EXPECT_EQ(partage->text(0), "films sur srv");
    EXPECT_TRUE(partage->isExpanded());
    EXPECT_FALSE(a.suit(partage->chemin));  // a share is not watched
    // The first listing answers in the end, and changes nothing.
    ASSERT_TRUE(test::attendreQue([&] { return a.lecturesEnCours() == 0; }));
    EXPECT_EQ(libelles(partage), QStringList({"autre", "classe"}));

    // SelectPath goes down a share without waiting for it: the folders on the way are taken
    // on trust until the share answers, and those that are not there go.
    lent.armer(true);
    QTreeWidgetItem* films = a.SelectPath(racine + "/partage/classe/films");
    ASSERT_NE(films, nullptr);
    EXPECT_EQ(a.SelectedPath(), racine + "/partage/classe/films");
    QTreeWidgetItem* absent = a.SelectPath(racine + "/partage/autre/absent");
    ASSERT_NE(absent, nullptr);
    ASSERT_TRUE(test::attendreQue([&] { return a.lecturesEnCours() == 0; }, 30000));
    EXPECT_EQ(a.SelectedPath(), racine + "/partage/autre");
    EXPECT_LT(mesure.max(), 100);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
