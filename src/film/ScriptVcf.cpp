// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptVcf.h"

#include <cctype>
#include <cerrno>
#include <fstream>
#include <sstream>

#include "ErreurFilm.h"
#include "platform/RaisonSysteme.h"

namespace vp {

namespace {

constexpr const char* kOuvrir = "VirtualDub.Open";
constexpr const char* kSon = "VirtualDub.audio.SetSource";
constexpr const char* kEnregistrer = "VirtualDub.SaveAVI";

std::string ligne(const char* commande, const std::string& chemin) {
    if (chemin.empty())
        throw ErreurFilm(std::string("Le script n'a pas de chemin pour ") + commande);
    std::string l = std::string(commande) + "(\"";
    for (const char c : chemin) {
        if (c == '\r' || c == '\n')
            throw ErreurFilm("Le chemin « " + chemin +
                             " » contient un retour à la ligne : renommez ce dossier ou ce "
                             "fichier pour pouvoir mixer le film.");
        if (c == '\0') throw ErreurFilm("Un chemin du script contient un caractère nul.");
        if (c == '\\' || c == '"') l += '\\';
        l += c;
    }
    return l + "\");\r\n";
}

bool blanc(char c) {
    return c == ' ' || c == '\t';
}

// Reads one line; `numero` is for the messages.
void lireLigne(const std::string& texte, int numero, ScriptVcf& script) {
    const auto refuser = [numero](const std::string& raison) {
        throw ErreurFilm("ligne " + std::to_string(numero) + " : " + raison + ".");
    };
    size_t i = 0;
    const auto sauterBlancs = [&] {
        while (i < texte.size() && blanc(texte[i]))
            ++i;
    };
    sauterBlancs();
    const size_t debut = i;
    while (i < texte.size() && (std::isalnum(static_cast<unsigned char>(texte[i])) ||
                                texte[i] == '.' || texte[i] == '_'))
        ++i;
    const std::string commande = texte.substr(debut, i - debut);
    if (commande.empty()) refuser("la ligne ne commence pas par une commande");
    std::string* cible = nullptr;
    if (commande == kOuvrir)
        cible = &script.video;
    else if (commande == kSon)
        cible = &script.son;
    else if (commande == kEnregistrer)
        cible = &script.film;
    else
        refuser("commande inconnue « " + commande + " »");
    if (!cible->empty()) refuser("la commande " + commande + " est donnée deux fois");
    sauterBlancs();
    if (i >= texte.size() || texte[i] != '(') refuser("il manque la parenthèse ouvrante");
    ++i;
    sauterBlancs();
    if (i >= texte.size() || texte[i] != '"') refuser("il manque le guillemet qui ouvre le chemin");
    ++i;
    std::string chemin;
    for (;; ++i) {
        if (i >= texte.size()) refuser("il manque le guillemet qui ferme le chemin");
        const char c = texte[i];
        if (c == '"') break;
        if (c == '\0') refuser("le chemin contient un caractère nul");
        if (c == '\\') {
            if (i + 1 >= texte.size() || (texte[i + 1] != '\\' && texte[i + 1] != '"'))
                refuser("barre oblique inverse seule dans le chemin (écrivez \\\\ ou \\\")");
            ++i;
        }
        chemin += texte[i];
    }
    ++i;
    if (chemin.empty()) refuser("le chemin est vide");
    sauterBlancs();
    if (i >= texte.size() || texte[i] != ')') refuser("il manque la parenthèse fermante");
    ++i;
    sauterBlancs();
    if (i >= texte.size() || texte[i] != ';') refuser("il manque le point-virgule final");
    ++i;
    sauterBlancs();
    if (i < texte.size()) refuser("texte en trop après le point-virgule");
    *cible = chemin;
}

}  // namespace

std::string ecrireScriptVcf(const ScriptVcf& script) {
    std::string texte = ligne(kOuvrir, script.video);
    if (!script.son.empty()) texte += ligne(kSon, script.son);
    if (!script.film.empty()) texte += ligne(kEnregistrer, script.film);
    return texte;
}

ScriptVcf lireScriptVcf(const std::string& texte) {
    ScriptVcf script;
    int numero = 0;
    size_t debut = 0;
    while (debut < texte.size()) {
        size_t fin = texte.find('\n', debut);
        if (fin == std::string::npos) fin = texte.size();
        std::string l = texte.substr(debut, fin - debut);
        debut = fin + 1;
        ++numero;
        if (!l.empty() && l.back() == '\r') l.pop_back();
        if (l.find_first_not_of(" \t") == std::string::npos) continue;
        lireLigne(l, numero, script);
    }
    if (script.video.empty()) throw ErreurFilm("le script n'ouvre aucune vidéo (VirtualDub.Open).");
    return script;
}

ScriptVcf lireFichierScriptVcf(const std::string& chemin) {
    std::ifstream f(chemin, std::ios::binary);
    if (!f)
        throw ErreurFilm("Impossible de lire le script « " + chemin +
                         " » : " + raisonErreurSysteme(errno) + ".");
    std::ostringstream texte;
    texte << f.rdbuf();
    try {
        return lireScriptVcf(texte.str());
    } catch (const ErreurFilm& e) {
        throw ErreurFilm("Script « " + chemin + " », " + e.what());
    }
}

}  // namespace vp
