// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandeExport.h"

#include <QCursor>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QTextBoundaryFinder>
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

// The longest file name the usual file systems take is 255 bytes (ext4) or 255 UTF-16 units
// (FAT, exFAT); room is left for ".mp4".
constexpr qsizetype kLongueurNomMax = 250;

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
    {
        std::thread fil = filExport([&] {
            try {
                reussi = travail(suivi);
            } catch (...) {
                erreur = std::current_exception();
            }
            termine = true;
        });
        // Whatever ends the loop first (an error here, the program closing), the work is stopped
        // rather than waited out, before what it uses goes.
        const auto arreter = qScopeGuard([&] {
            if (!termine) suivi.annule = true;
            fil.join();
        });
        suivre.start(25);
        boucle.exec();
    }
    if (erreur) std::rethrow_exception(erreur);
    return reussi;
}

}  // namespace

QString nomFichierFilm(const QString& titre) {
    QString nom;
    for (const QChar c : titre) {
        // What FAT and exFAT sticks refuse in a name (and '/', which no disk takes).
        switch (c.unicode()) {
            case u'/':
            case u'\\':
            case u':':
            case u'|':
                nom += QLatin1Char('-');
                break;
            case u'"':
                nom += QLatin1Char('\'');
                break;
            case u'?':
            case u'*':
            case u'<':
            case u'>':
                break;
            default:
                if (c.unicode() >= 0x20 && c.unicode() != 0x7F) nom += c;
        }
    }
    nom = nom.simplified();
    while (nom.startsWith(QLatin1Char('.')))  // a hidden file would not be found again
        nom.remove(0, 1);
    // Cut between whole characters (an accented letter, an emoji and its modifiers), never
    // inside one.
    QTextBoundaryFinder caracteres(QTextBoundaryFinder::Grapheme, nom);
    qsizetype fin = 0, octets = 0;
    for (qsizetype suivant = caracteres.toNextBoundary(); suivant > 0;
         suivant = caracteres.toNextBoundary()) {
        octets += QFile::encodeName(nom.mid(fin, suivant - fin)).size();
        if (octets > kLongueurNomMax || suivant > kLongueurNomMax) break;
        fin = suivant;
    }
    nom.truncate(fin);
    // Trailing dots and spaces vanish on FAT: the name would not be the one asked for.
    while (nom.endsWith(QLatin1Char('.')) || nom.endsWith(QLatin1Char(' ')))
        nom.chop(1);
    return nom.isEmpty() ? QStringLiteral("film") : nom;
}

QString exporterFilm(const ProjetCourant& p, const ReglagesExport& reglages,
                     const FenetreExport& fenetre) {
    if (p.nbImages == 0) {
        dialogues().message(fenetre.fenetre, kRienAExporter, Icone::Information);
        return {};
    }
    const QString proposition =
        avecSeparateur(dossierPropose()) + nomFichierFilm(p.titreProjet) + QStringLiteral(".mp4");
    int filtre = 0;
    QString cible = dialogues().enregistrerSous(fenetre.fenetre, kFiltreExport,
                                                QStringLiteral("mp4"), proposition, filtre);
    if (cible.isEmpty()) return {};
    cible = QFileInfo(cible).absoluteFilePath();
    const QString extension = QFileInfo(cible).suffix().toLower();
    FormatExport format = FormatExport::Mp4;
    if (extension == QLatin1String("gif")) {
        format = FormatExport::Gif;
    } else if (extension != QLatin1String("mp4")) {
        // "vacances.avi": the type chosen in the dialog decides, and gives its extension. The
        // dialog asked about the name it gave back, not this one.
        format = filtre == kFiltreGif ? FormatExport::Gif : FormatExport::Mp4;
        cible += format == FormatExport::Gif ? QStringLiteral(".gif") : QStringLiteral(".mp4");
        if (fichierExiste(cible) &&
            !dialogues().question(fenetre.fenetre,
                                  QStringLiteral("Le fichier « %1 » existe déjà.\nVoulez-vous "
                                                 "le remplacer ?")
                                      .arg(cheminLisible(QFileInfo(cible).fileName())),
                                  Icone::Avertissement))
            return {};
    }

    // The thread reads the frames of a copy of the project's place, which stays as it is while
    // the other commands are refused.
    ProjetCourant projet;
    projet.repProjets = p.repProjets;
    projet.nomDossier = p.nomDossier;
    const LecteurImage image = [projet](qint32 k) { return chargerImage(cheminImage(projet, k)); };
    const PlanExport plan =
        planifierExport(format, reglages, p.nbImages, image,
                        p.dossierProjet() + QStringLiteral("/audio.wav"), p.titreProjet);
    const bool ecrit =
        executerEnFond([&](SuiviExport& suivi) { return ecrireExport(plan, image, cible, suivi); },
                       plan.etapes(), fenetre);
    if (!ecrit) return {};
    if (!plan.sonEcarte.isEmpty()) {
        QString raison = plan.sonEcarte;
        raison[0] = raison[0].toLower();
        dialogues().message(fenetre.fenetre,
                            QStringLiteral("Le film a été exporté sans son : %1").arg(raison),
                            Icone::Avertissement);
    }
    return cible;
}

}  // namespace vp
