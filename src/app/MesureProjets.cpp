// SPDX-License-Identifier: GPL-3.0-or-later
#include "MesureProjets.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QApplication>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "platform/Chemins.h"
#include "platform/SousDossiers.h"

namespace vp {

namespace {

// The measure of a row, drawn at its right.
constexpr int kRoleMesure = Qt::UserRole + 1;

// The title at the left, cut short when it would run into the measure at the right.
class DelegueMesure : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* peintre, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const QString mesure = index.data(kRoleMesure).toString();
        if (mesure.isEmpty()) {
            QStyledItemDelegate::paint(peintre, option, index);
            return;
        }
        const QString titre = o.text;
        o.text.clear();
        const QWidget* w = option.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &o, peintre, w);
        const QRect zone = style->subElementRect(QStyle::SE_ItemViewItemText, &o, w);
        QFont petite = o.font;
        petite.setPixelSize(std::max(10, o.font.pixelSize() * 3 / 4));
        const int largeurMesure = QFontMetrics(petite).horizontalAdvance(mesure);
        const bool choisi = o.state & QStyle::State_Selected;
        peintre->save();
        peintre->setFont(o.font);
        peintre->setPen(o.palette.color(choisi ? QPalette::HighlightedText : QPalette::Text));
        const QRect zoneTitre = zone.adjusted(0, 0, -(largeurMesure + 12), 0);
        peintre->drawText(
            zoneTitre, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(o.font).elidedText(titre, Qt::ElideRight, zoneTitre.width()));
        peintre->setFont(petite);
        peintre->setPen(choisi ? o.palette.color(QPalette::HighlightedText) : QColor(Qt::gray));
        peintre->drawText(zone.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, mesure);
        peintre->restore();
    }
};

// The number of a frame's name, "image_00042.bmp", taken as bytes; -1 for another name.
qint32 numeroImage(const char* nom) {
    const size_t n = std::strlen(nom);
    if (n < 15 || std::strncmp(nom, "image_", 6) != 0 || std::strcmp(nom + n - 4, ".bmp") != 0)
        return -1;
    const QByteArray chiffres(nom + 6, static_cast<qsizetype>(n - 10));
    if (!std::all_of(chiffres.begin(), chiffres.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    bool ok = false;
    const qint32 i = chiffres.toInt(&ok);
    return ok ? i : -1;
}

// Thrown out of a listing to leave it as soon as the measuring is stopped.
struct Arrete {};

}  // namespace

MesureProjet mesurerProjet(const QString& dossier, const std::atomic<bool>* arret) {
    MesureProjet m;
    std::set<qint32> images;
    // The folders still to read, hidden ones too; links are not followed.
    std::vector<QString> aLire{dossier};
    try {
        for (bool projet = true; !aLire.empty(); projet = false) {
            const QString courant = aLire.back();
            aLire.pop_back();
            parcourirDossier(courant, [&](int fd, const char* nom, unsigned char) {
                if (arret && *arret) throw Arrete();
                struct stat s {};
                if (fstatat(fd, nom, &s, AT_SYMLINK_NOFOLLOW) != 0) return;
                if (S_ISDIR(s.st_mode)) {
                    aLire.push_back(cheminEnfant(courant, cheminDepuisOctets(QByteArray(nom))));
                } else if (S_ISREG(s.st_mode)) {
                    m.octets += s.st_size;
                    // The frames are those of the project folder itself.
                    if (const qint32 i = projet ? numeroImage(nom) : -1; i >= 0) images.insert(i);
                }
            });
        }
    } catch (const Arrete&) {
        return m;
    }
    while (images.count(m.images))
        ++m.images;
    return m;
}

QString texteMesure(const MesureProjet& m) {
    const QLocale francais(QLocale::French, QLocale::France);
    const QString images = m.images == 0   ? QStringLiteral("aucune image")
                           : m.images == 1 ? QStringLiteral("1 image")
                                           : QStringLiteral("%1 images").arg(m.images);
    const double o = static_cast<double>(m.octets);
    QString taille;
    if (m.octets < 1000)
        taille = QStringLiteral("%1 octets").arg(m.octets);
    else if (m.octets < 1000000)
        taille = QStringLiteral("%1 Ko").arg(qRound(o / 1e3));
    else if (m.octets < 100000000)
        taille = francais.toString(o / 1e6, 'f', 1) + QStringLiteral(" Mo");
    else if (m.octets < 1000000000)
        taille = QStringLiteral("%1 Mo").arg(qRound(o / 1e6));
    else
        taille = francais.toString(o / 1e9, 'f', 1) + QStringLiteral(" Go");
    return images + QStringLiteral(", ") + taille;
}

MesureurProjets::MesureurProjets(QListWidget* liste)
    : QObject(liste), liste_(liste), enFond_(this) {
    liste_->setItemDelegate(new DelegueMesure(liste_));
}

MesureurProjets::~MesureurProjets() {
    arreter();
}

void MesureurProjets::arreter() {
    if (arret_) *arret_ = true;
    arret_.reset();
    // The results still on their way are dropped.
    ++generation_;
}

void MesureurProjets::mesurer(const QStringList& dossiers) {
    arreter();
    const quint64 generation = generation_;
    arret_ = std::make_shared<std::atomic<bool>>(false);
    // The job owns what it reads; it reaches this object only through what it sends, which
    // runs on the window's thread while this object lives.
    enFond_.lancer([this, dossiers, generation, arret = arret_,
                    envoyer = enFond_.envoi()]() -> TravauxEnFond::Suite {
        for (qsizetype i = 0; i < dossiers.size() && !*arret; ++i) {
            const MesureProjet m = mesurerProjet(dossiers[i], arret.get());
            if (*arret) break;
            envoyer([this, i, m, generation] {
                if (generation != generation_ || i >= liste_->count()) return;
                QListWidgetItem* item = liste_->item(static_cast<int>(i));
                item->setData(kRoleMesure, texteMesure(m));
                item->setToolTip(texteMesure(m));
            });
        }
        return {};
    });
}

}  // namespace vp
