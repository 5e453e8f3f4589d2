// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialoguesScriptes.h"

namespace vp::test {

void DialoguesScriptes::message(QWidget* parent, const QString& texte, Icone icone) {
    affichages.push_back({Affichage::Genre::Message, texte, icone});
    affichages.back().fenetre = parent ? parent->window() : nullptr;
}

bool DialoguesScriptes::question(QWidget*, const QString& texte, Icone icone) {
    affichages.push_back({Affichage::Genre::Question, texte, icone});
    if (reponses.empty()) return false;
    const bool r = reponses.front();
    reponses.pop_front();
    return r;
}

int DialoguesScriptes::choix(QWidget* parent, const QString& texte, const QStringList& boutons,
                             Icone icone) {
    affichages.push_back({Affichage::Genre::Choix, texte, icone});
    affichages.back().boutons = boutons;
    affichages.back().fenetre = parent ? parent->window() : nullptr;
    const int ferme = static_cast<int>(boutons.size()) - 1;
    if (reponsesChoix.empty()) return ferme;
    const int r = reponsesChoix.front();
    reponsesChoix.pop_front();
    return r >= 0 && r < boutons.size() ? r : ferme;
}

QString DialoguesScriptes::ouvrirFichier(QWidget*, const QString& filtre) {
    affichages.push_back({Affichage::Genre::OuvrirFichier, filtre});
    if (fichiers.empty()) return {};
    const QString f = fichiers.front();
    fichiers.pop_front();
    return f;
}

QString DialoguesScriptes::enregistrerFichier(QWidget*, const QString& filtre,
                                              const QString& extension) {
    affichages.push_back({Affichage::Genre::EnregistrerFichier, filtre});
    if (fichiers.empty()) return {};
    QString f = fichiers.front();
    fichiers.pop_front();
    // As the real dialog, a name without extension gets the default one.
    QString ext = extension;
    if (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
    if (!ext.isEmpty() && !f.section(QLatin1Char('/'), -1).contains(QLatin1Char('.')))
        f += QLatin1Char('.') + ext;
    return f;
}

QString DialoguesScriptes::enregistrerSous(QWidget* parent, const QString& filtre,
                                           const QString& extension, const QString& proposition,
                                           int& filtreChoisi) {
    const QString f = enregistrerFichier(parent, filtre, extension);
    affichages.back().proposition = proposition;
    filtreChoisi = 0;
    if (!filtres.empty()) {
        filtreChoisi = filtres.front();
        filtres.pop_front();
    }
    return f;
}

QString DialoguesScriptes::choisirDossier(QWidget*, const QString& depart) {
    affichages.push_back({Affichage::Genre::Dossier, depart});
    if (dossiers.empty()) return {};
    const QString d = dossiers.front();
    dossiers.pop_front();
    return d;
}

int DialoguesScriptes::executer(QDialog& dialogue) {
    affichages.push_back({Affichage::Genre::Modal, dialogue.windowTitle()});
    affichages.back().fenetre =
        dialogue.parentWidget() ? dialogue.parentWidget()->window() : nullptr;
    dialogue.setResult(QDialog::Rejected);
    dialogue.show();
    if (!modaux.empty()) {
        auto script = std::move(modaux.front());
        modaux.pop_front();
        script(dialogue);
    }
    if (dialogue.isVisible()) dialogue.reject();  // the close box
    return dialogue.result();
}

QStringList DialoguesScriptes::messages() const {
    QStringList m;
    for (const Affichage& a : affichages)
        if (a.genre == Affichage::Genre::Message) m << a.texte;
    return m;
}

void BureauEnregistreur::ouvrirDocument(const QString& chemin) {
    documents << chemin;
    if (sansProgramme) ouvrirSansProgramme(chemin);
}

bool BureauEnregistreur::lancer(const QString& programme, const QStringList& arguments) {
    detaches.emplace_back(programme, arguments);
    return !programmesEnPanne.contains(programme);
}

FinProgramme BureauEnregistreur::lancerEtAttendre(const QString& programme,
                                                  const QStringList& arguments,
                                                  const std::function<void()>& pendantAttente) {
    lancements.emplace_back(programme, arguments);
    if (pendantLancement) pendantLancement();
    if (!executerVraiment) return {true, 0, {}};
    return bureauSysteme()->lancerEtAttendre(programme, arguments, pendantAttente);
}

Scenario::Scenario() {
    auto d = std::make_unique<DialoguesScriptes>();
    dialogues_ = d.get();
    anciensDialogues_ = installerDialogues(std::move(d));
    auto b = std::make_unique<BureauEnregistreur>();
    bureau_ = b.get();
    ancienBureau_ = installerBureau(std::move(b));
}

Scenario::~Scenario() {
    installerDialogues(std::move(anciensDialogues_));
    installerBureau(std::move(ancienBureau_));
}

}  // namespace vp::test
