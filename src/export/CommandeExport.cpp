#include "CommandeExport.h"

#include <QCursor>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QTimer>
#include <atomic>
#include <exception>
#include <thread>

#include "platform/Bitmap.h"
#include "platform/Chemins.h"
#include "platform/Dialogues.h"
#include "sequence/StockImages.h"

namespace vp {

namespace {

// The longest file name the usual file systems take is 255 bytes; room is left for ".mp4".
constexpr qsizetype kOctetsNomMax = 250;

QString dossierPropose() {
    const QString documents = dossierDocuments();
    return dossierExiste(documents) ? documents : QDir::homePath();
}

// Runs `travail` on a thread of its own; meanwhile the window's event loop runs (it paints,
// takes the cancel control, refuses the other commands) and the progress bar follows. Returns
// what `travail` returned; its error is raised again here.
bool executerEnFond(const std::function<bool(SuiviExport&)>& travail, int etapes,
                    const FenetreExport& f) {
    SuiviExport suivi;
    std::atomic<bool> termine{false};
    bool reussi = false;
    std::exception_ptr erreur;

    Progression progression(*f.vue, etapes);
    if (f.montrerAnnulation) f.montrerAnnulation(true);
    // The pointer stays usable, with the sign that work goes on behind.
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    const auto rendre = qScopeGuard([&] {
        QGuiApplication::restoreOverrideCursor();
        if (f.montrerAnnulation) f.montrerAnnulation(false);
    });

    QEventLoop boucle;
    QTimer suivre;
    int montrees = 0;
    QObject::connect(&suivre, &QTimer::timeout, &boucle, [&] {
        if (f.annulationDemandee && f.annulationDemandee()) suivi.annule = true;
        for (const int faites = suivi.etapesFaites; montrees < faites; ++montrees)
            progression.avancer();
        if (termine) boucle.quit();
    });
    std::thread fil([&] {
        try {
            reussi = travail(suivi);
        } catch (...) {
            erreur = std::current_exception();
        }
        termine = true;
    });
    // Whatever happens here, the thread is stopped before what it uses goes.
    auto arreter = qScopeGuard([&] {
        suivi.annule = true;
        fil.join();
    });
    suivre.start(25);
    boucle.exec();
    arreter.dismiss();
    fil.join();
    if (erreur) std::rethrow_exception(erreur);
    return reussi;
}

}  // namespace

QString nomFichierFilm(const QString& titre) {
    QString nom = titre.trimmed();
    nom.replace(QLatin1Char('/'), QLatin1Char('-'));
    while (nom.startsWith(QLatin1Char('.')))  // a hidden file would not be found again
        nom.remove(0, 1);
    while (QFile::encodeName(nom).size() > kOctetsNomMax)
        nom.chop(1);
    nom = nom.trimmed();
    return nom.isEmpty() ? QStringLiteral("film") : nom;
}

void exporterFilm(const ProjetCourant& p, const ReglagesExport& reglages,
                  const FenetreExport& fenetre) {
    if (p.nbImages == 0) {
        dialogues().message(fenetre.fenetre, kRienAExporter, Icone::Information);
        return;
    }
    const QString proposition =
        avecSeparateur(dossierPropose()) + nomFichierFilm(p.titreProjet) + QStringLiteral(".mp4");
    QString cible = dialogues().enregistrerSous(fenetre.fenetre, kFiltreExport,
                                                QStringLiteral("mp4"), proposition);
    if (cible.isEmpty()) return;
    cible = QFileInfo(cible).absoluteFilePath();
    // The extension says the format; a name with another one becomes an MP4 file.
    const QString extension = QFileInfo(cible).suffix().toLower();
    const FormatExport format =
        extension == QLatin1String("gif") ? FormatExport::Gif : FormatExport::Mp4;
    if (extension != QLatin1String("gif") && extension != QLatin1String("mp4"))
        cible += QStringLiteral(".mp4");

    // The thread reads the frames of a copy of the project's place, which stays as it is while
    // the other commands are refused.
    ProjetCourant projet;
    projet.repProjets = p.repProjets;
    projet.nomDossier = p.nomDossier;
    const LecteurImage image = [projet](qint32 k) { return chargerImage(cheminImage(projet, k)); };
    const PlanExport plan =
        planifierExport(format, reglages, p.nbImages, image,
                        p.dossierProjet() + QStringLiteral("/audio.wav"), p.titreProjet);
    executerEnFond([&](SuiviExport& suivi) { return ecrireExport(plan, image, cible, suivi); },
                   plan.etapes(), fenetre);
}

}  // namespace vp
