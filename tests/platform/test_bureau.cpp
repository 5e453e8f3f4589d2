// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "commun/Attente.h"
#include "commun/DialoguesScriptes.h"
#include "commun/Outils.h"
#include "platform/Bureau.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "platform/FichiersSurs.h"

using namespace vp;

TEST(LigneDeCommande, DecoupeeCommeSurSaPlateformeDOrigine) {
    // The examples of the platform's own documentation, after a program name.
    const std::pair<QString, QStringList> exemples[] = {
        {R"("a b c" d e)", {"a b c", "d", "e"}},
        {R"("ab\"c" "\\" d)", {"ab\"c", "\\", "d"}},
        {R"(a\\\b d"e f"g h)", {"a\\\\\\b", "de fg", "h"}},
        {R"(a\\\"b c d)", {"a\\\"b", "c", "d"}},
        {R"(a\\\\"b c" d e)", {"a\\\\b c", "d", "e"}},
        {R"(a"b"" c d)", {"ab\" c d"}},
        {"\t x\t\ty  ", {"x", "y"}},
        {R"("")", {""}},
    };
    for (const auto& [arguments, attendus] : exemples)
        EXPECT_EQ(decouperLigneCommande("prog " + arguments), QStringList{"prog"} + attendus)
            << arguments.toStdString();
    // The program's name: quotes group blanks, backslashes stay.
    EXPECT_EQ(decouperLigneCommande(R"("/mes programmes/virtualdub\vdub" /s x)"),
              (QStringList{"/mes programmes/virtualdub\\vdub", "/s", "x"}));
    EXPECT_EQ(decouperLigneCommande("  prog"), QStringList{"prog"});
}

TEST(LigneDeCommande, UnArgumentCiteRevientTelQuel) {
    for (const QString& argument :
         {QString("/Mes projets/Fusée/dub.vcf"), QString(), QString("fin\\"), QString("a\\\"b"),
          QString("\\\\serveur\\partage\\"), QString("\"\""), QString("deux  blancs\t")}) {
        const QStringList mots = decouperLigneCommande("prog /s " + citerArgument(argument));
        EXPECT_EQ(mots, (QStringList{"prog", "/s", argument})) << argument.toStdString();
    }
}

TEST(LancerEtAttendre, StatutMessageEtFenetreRepeinte) {
    int repeints = 0;
    const FinProgramme fin = lancerEtAttendre(
        R"("/bin/sh" -c "sleep 0.3; echo 'Échec du programme' >&2; exit 3")", [&] { ++repeints; });
    EXPECT_TRUE(fin.demarre);
    EXPECT_EQ(fin.code, 3);
    EXPECT_FALSE(fin.reussi());
    EXPECT_EQ(fin.erreurs, "Échec du programme");
    EXPECT_GT(repeints, 0);

    EXPECT_TRUE(lancerEtAttendre("/bin/true").reussi());
    const FinProgramme absent = lancerEtAttendre(R"("/nulle part/programme" /s "x")");
    EXPECT_FALSE(absent.demarre);
    EXPECT_FALSE(absent.reussi());
}

TEST(LancerEtAttendre, FichierDansUnDossierNommeEnLatin1) {
    test::DossierTest dossier;
    const QString fete = cheminDepuisOctets(QFile::encodeName(dossier.chemin()) + "f\xeate");
    creerDossier(fete);
    ecrireAtomique(fete + "/dub.vcf", "x");
    const std::unique_ptr<IBureau> systeme = bureauSysteme();
    // The child finds the file it is given, waited for or left to run on its own.
    EXPECT_TRUE(systeme->lancerEtAttendre("/bin/sh", {"-c", R"(test -f "$0")", fete + "/dub.vcf"})
                    .reussi());
    ASSERT_TRUE(systeme->lancer("/bin/sh", {"-c", R"(cp "$0" "$0.copie")", fete + "/dub.vcf"}));
    EXPECT_TRUE(test::attendreQue([&] { return fichierExiste(fete + "/dub.vcf.copie"); }));
    EXPECT_FALSE(systeme->lancer("/nulle part/programme", {}));
}

TEST(OuvrirDocument, SansProgrammeDuBureau) {
    test::Scenario scenario;
    test::DossierTest dossier;
    // A desktop that has no program for anything: its xdg-open fails.
    test::ecrireFichier(dossier.chemin() + "bin/xdg-open", "#!/bin/sh\nexit 3\n");
    QFile::setPermissions(dossier.chemin() + "bin/xdg-open",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray chemin = qgetenv("PATH");
    qputenv("PATH", (dossier.chemin() + "bin:").toUtf8() + chemin);
    const auto attendreMessage = [&] {
        for (int i = 0; i < 200 && scenario.dialogues().messages().isEmpty() &&
                        scenario.bureau().detaches.empty();
             ++i)
            test::attendreEvenements(25);
    };
    const std::unique_ptr<IBureau> systeme = bureauSysteme();

    test::ecrireFichier(dossier.chemin() + "audio.wav", "RIFF");
    systeme->ouvrirDocument(dossier.chemin() + "audio.wav");
    attendreMessage();
    ASSERT_EQ(scenario.dialogues().messages().size(), 1);
    EXPECT_TRUE(scenario.dialogues().messages()[0].startsWith(
        "Aucun programme n'est installé sur cet ordinateur pour ouvrir « audio.wav »."));
    EXPECT_TRUE(scenario.dialogues().messages()[0].contains(dossier.chemin().chopped(1)));
    scenario.dialogues().affichages.clear();

    // A video goes to the program's own viewer.
    definirVisionneuse("/programme/virtualdub/virtualdub");
    test::ecrireFichier(dossier.chemin() + "film.avi", "RIFF");
    systeme->ouvrirDocument(dossier.chemin() + "film.avi");
    attendreMessage();
    definirVisionneuse({});
    qputenv("PATH", chemin);
    ASSERT_EQ(scenario.bureau().detaches.size(), 1u);
    EXPECT_EQ(scenario.bureau().detaches[0].first, "/programme/virtualdub/virtualdub");
    EXPECT_EQ(scenario.bureau().detaches[0].second, QStringList{dossier.chemin() + "film.avi"});
    EXPECT_TRUE(scenario.dialogues().affichages.empty());

    // A missing file is named as such.
    ouvrirSansProgramme(dossier.chemin() + "absent.avi");
    ASSERT_EQ(scenario.dialogues().messages().size(), 1);
    EXPECT_TRUE(
        scenario.dialogues().messages()[0].startsWith("Le fichier « absent.avi » est introuvable"));
}

TEST(BoiteDeChoix, LeBoutonPresseEtLaFermeture) {
    // The Qt box, answered by a timer: the index of the button clicked, in the order given
    // whatever the desktop's order of buttons; Échap and the close box give the last one.
    const std::unique_ptr<IDialogues> qt = dialoguesQt();
    const QStringList boutons{"Refaire", "Continuer quand même", "Annuler"};
    const auto repondre = [&](const std::function<void(QMessageBox&)>& geste) {
        QTimer::singleShot(0, [&] {
            QMessageBox* boite = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) boite = b;
            ASSERT_NE(boite, nullptr);
            EXPECT_EQ(boite->text(), "Le film a changé.");
            geste(*boite);
        });
        return qt->choix(nullptr, "Le film a changé.", boutons, Icone::Question);
    };
    const auto cliquer = [](const QString& texte) {
        return [texte](QMessageBox& b) {
            for (QAbstractButton* bouton : b.buttons())
                if (bouton->text() == texte) bouton->click();
        };
    };
    EXPECT_EQ(repondre(cliquer("Continuer quand même")), 1);
    EXPECT_EQ(repondre(cliquer("Refaire")), 0);
    EXPECT_EQ(repondre(cliquer("Annuler")), 2);
    EXPECT_EQ(repondre([](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Escape); }), 2);
    EXPECT_EQ(repondre([](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Return); }), 0);
    EXPECT_EQ(repondre([](QMessageBox& b) { b.close(); }), 2);
}
