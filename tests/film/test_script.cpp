// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "app/Fixture.h"
#include "film/CommandesFilm.h"
#include "film/ErreurFilm.h"
#include "film/ScriptVcf.h"

using namespace vp;
using test::Programme;

namespace {

std::string refus(const std::string& texte) {
    try {
        lireScriptVcf(texte);
    } catch (const ErreurFilm& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST_F(Programme, ScriptDuMixageOctetPourOctet) {
    // A projects folder with blanks, accents, a backslash and a double quote.
    f->projet.repProjets = dossier.chemin() + "Films d'été\\CM2 \"Les Zèbres\"/";
    f->projet.nomDossier = "Fusée";
    ASSERT_TRUE(QDir().mkpath(f->projet.dossierProjet()));
    const QString script = ecrireScript(f->projet, true, true);
    EXPECT_EQ(script, f->projet.dossierProjet() + "/dub.vcf");
    QFile lu(script);
    ASSERT_TRUE(lu.open(QIODevice::ReadOnly));
    const QByteArray dossierEchappe =
        (dossier.chemin() + "Films d'été\\\\CM2 \\\"Les Zèbres\\\"/Fusée").toUtf8();
    EXPECT_EQ(lu.readAll(), "VirtualDub.Open(\"" + dossierEchappe + "/video.avi\");\r\n" +
                                "VirtualDub.audio.SetSource(\"" + dossierEchappe +
                                "/audio.wav\");\r\n" + "VirtualDub.SaveAVI(\"" + dossierEchappe +
                                "/film.avi\");\r\n");
    EXPECT_TRUE(test::fichiersPropres(f->projet.dossierProjet()));

    // The runner reads every path back exactly.
    const ScriptVcf relu = lireFichierScriptVcf(QFile::encodeName(script).toStdString());
    EXPECT_EQ(QString::fromStdString(relu.video), f->projet.dossierProjet() + "/video.avi");
    EXPECT_EQ(QString::fromStdString(relu.son), f->projet.dossierProjet() + "/audio.wav");
    EXPECT_EQ(QString::fromStdString(relu.film), f->projet.dossierProjet() + "/film.avi");

    // Without the sound track and the film: the Open line alone.
    ecrireScript(f->projet, false, false);
    QFile seul(script);
    ASSERT_TRUE(seul.open(QIODevice::ReadOnly));
    EXPECT_EQ(seul.readAll(), "VirtualDub.Open(\"" + dossierEchappe + "/video.avi\");\r\n");
}

TEST(ScriptVcf, CheminAvecRetourALaLigneRefuse) {
    for (const char* chemin : {"/a/b\nc/video.avi", "/a/b\rc/video.avi"}) {
        try {
            ecrireScriptVcf({chemin, "/a/audio.wav", "/a/film.avi"});
            ADD_FAILURE() << "accepté : " << chemin;
        } catch (const ErreurFilm& e) {
            EXPECT_NE(std::string(e.what()).find("retour à la ligne"), std::string::npos);
        }
    }
}

TEST(ScriptVcf, LectureToleranteAuxBlancsEtAuxFinsDeLigne) {
    const ScriptVcf s = lireScriptVcf(
        "\r\n  VirtualDub.Open ( \"/a\\\\b\\\"c/video.avi\" ) ;  \n\n"
        "VirtualDub.SaveAVI(\"/x/film.avi\");");
    EXPECT_EQ(s.video, "/a\\b\"c/video.avi");
    EXPECT_EQ(s.son, "");
    EXPECT_EQ(s.film, "/x/film.avi");
}

TEST(ScriptVcf, ChaqueLigneMalFormeeRefuseeAvecSaRaison) {
    const std::string ouvrir = "VirtualDub.Open(\"/v.avi\");\r\n";
    const std::pair<std::string, const char*> cas[] = {
        {"VirtualDub.Close(\"/v.avi\");", "commande inconnue « VirtualDub.Close »"},
        {"VirtualDub.Open\"/v.avi\");", "parenthèse ouvrante"},
        {"(\"/v.avi\");", "ne commence pas par une commande"},
        {"VirtualDub.Open(/v.avi);", "guillemet qui ouvre"},
        {"VirtualDub.Open(\"/v.avi);", "guillemet qui ferme"},
        {"VirtualDub.Open(\"/v\\n.avi\");", "barre oblique inverse seule"},
        {"VirtualDub.Open(\"/v.avi\\\");", "guillemet qui ferme"},
        {"VirtualDub.Open(\"\");", "chemin est vide"},
        {"VirtualDub.Open(\"/v.avi\";", "parenthèse fermante"},
        {"VirtualDub.Open(\"/v.avi\")", "point-virgule"},
        {"VirtualDub.Open(\"/v.avi\"); // fin", "texte en trop"},
        {std::string("VirtualDub.Open(\"/v") + '\0' + ".avi\");", "caractère nul"},
    };
    for (const auto& [ligne, raison] : cas) {
        const std::string message = refus("\r\n" + ligne + "\r\n");
        EXPECT_NE(message.find(raison), std::string::npos) << ligne << " → " << message;
        EXPECT_EQ(message.rfind("ligne 2 : ", 0), 0u) << message;
    }
    EXPECT_NE(
        refus(ouvrir + ouvrir).find("ligne 2 : la commande VirtualDub.Open est donnée deux fois"),
        std::string::npos);
    EXPECT_NE(refus("VirtualDub.SaveAVI(\"/f.avi\");\r\n").find("n'ouvre aucune vidéo"),
              std::string::npos);
    EXPECT_NE(refus("").find("n'ouvre aucune vidéo"), std::string::npos);
}
