// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

#include "commun/Outils.h"
#include "platform/Erreur.h"
#include "platform/Profil.h"

using namespace vp;

namespace {

QByteArray contenu(const QString& f) {
    QFile fichier(f);
    fichier.open(QIODevice::ReadOnly);
    return fichier.readAll();
}

void ecrire(const QString& f, const QByteArray& octets) {
    QFile fichier(f);
    ASSERT_TRUE(fichier.open(QIODevice::WriteOnly));
    fichier.write(octets);
}

}  // namespace

TEST(Profil, EcritPuisRelitEnCreantFichierEtSection) {
    test::DossierTest d;
    const QString ini = d.chemin() + "projet.ini";
    ecrireProfil(ini, "GENERAL", "titre", QStringLiteral("Le Château de l'île"));
    EXPECT_EQ(lireProfil(ini, "GENERAL", "titre", "?"), QStringLiteral("Le Château de l'île"));
    EXPECT_EQ(contenu(ini), QByteArray("[GENERAL]\r\ntitre=Le Ch\xC3\xA2teau de l'\xC3\xAEle\r\n"));
    // Names are compared without regard to case; missing keys and sections give the default.
    EXPECT_EQ(lireProfil(ini, "general", "TITRE", "?"), QStringLiteral("Le Château de l'île"));
    EXPECT_EQ(lireProfil(ini, "GENERAL", "auteur", "*no*"), "*no*");
    EXPECT_EQ(lireProfil(ini, "AUTRE", "titre", ""), "");
    EXPECT_EQ(lireProfil(d.chemin() + "absent.ini", "GENERAL", "titre", "def"), "def");
}

TEST(Profil, EcritureGardeLesAutresLignes) {
    test::DossierTest d;
    const QString ini = d.chemin() + "projet.ini";
    ecrire(ini,
           "; commentaire\n[Autre]\ntitre=pas celui-ci\n\n[general]\n  Titre = \"Ancien\" "
           "\nauteur=Zoé\n"
           "[Fin]\nx=1\n");
    EXPECT_EQ(lireProfil(ini, "GENERAL", "titre", ""), "Ancien");  // blanks and quotes removed
    ecrireProfil(ini, "GENERAL", "titre", "Nouveau");
    EXPECT_EQ(contenu(ini),
              QByteArray("; commentaire\n[Autre]\ntitre=pas celui-ci\n\n[general]\ntitre=Nouveau\n"
                         "auteur=Zo\xC3\xA9\n[Fin]\nx=1\n"));
    // A key missing from its section goes at the end of that section, before the next one.
    ecrireProfil(ini, "Autre", "cle", "v");
    EXPECT_EQ(lireProfil(ini, "autre", "cle", ""), "v");
    EXPECT_TRUE(
        contenu(ini).startsWith("; commentaire\n[Autre]\ntitre=pas celui-ci\ncle=v\n\n[general]"));
    EXPECT_EQ(lireProfil(ini, "Fin", "x", ""), "1");
}

TEST(Profil, FichierEcritSousWindowsEnWindows1252) {
    test::DossierTest d;
    const QString ini = d.chemin() + "projet.ini";
    // "Été à l'école – œuvre" in Windows-1252, as a project made on Windows holds it.
    ecrire(ini, "[GENERAL]\r\ntitre=\xC9t\xE9 \xE0 l'\xE9\x63ole \x96 \x9C\x75vre\r\n");
    EXPECT_EQ(lireProfil(ini, "GENERAL", "titre", ""), QStringLiteral("Été à l'école – œuvre"));
    // Rewriting the key turns the file into UTF-8 and keeps the line endings.
    ecrireProfil(ini, "GENERAL", "titre", QStringLiteral("Été (copie 1)"));
    EXPECT_EQ(contenu(ini), QByteArray("[GENERAL]\r\ntitre=\xC3\x89t\xC3\xA9 (copie 1)\r\n"));
}

TEST(Profil, EcritureDansUnDossierAbsentNommeLeFichier) {
    test::DossierTest d;
    const QString ini = d.chemin() + "absent/projet.ini";
    try {
        ecrireProfil(ini, "GENERAL", "titre", "T");
        FAIL() << "pas d'erreur";
    } catch (const Erreur& e) {
        EXPECT_TRUE(e.texte().contains(QDir::toNativeSeparators(ini))) << e.texte().toStdString();
    }
    EXPECT_FALSE(QFile::exists(ini));
}
