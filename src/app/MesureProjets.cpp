#include "MesureProjets.h"

#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <set>

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

}  // namespace

MesureProjet mesurerProjet(const QString& dossier, const std::atomic<bool>* arret) {
    MesureProjet m;
    std::set<qint32> images;
    QDirIterator it(dossier, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (arret && *arret) break;
        it.next();
        const QFileInfo f = it.fileInfo();
        m.octets += f.size();
        // "image_00042.bmp" in the project folder itself.
        const QString nom = f.fileName();
        if (nom.size() >= 15 && nom.startsWith(QLatin1String("image_")) &&
            nom.endsWith(QLatin1String(".bmp")) && f.path() == QDir::cleanPath(dossier)) {
            bool ok = false;
            const qint32 i = nom.mid(6, nom.size() - 10).toInt(&ok);
            if (ok && i >= 0) images.insert(i);
        }
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

MesureurProjets::MesureurProjets(QListWidget* liste) : QObject(liste), liste_(liste) {
    liste_->setItemDelegate(new DelegueMesure(liste_));
}

MesureurProjets::~MesureurProjets() {
    arreter();
}

void MesureurProjets::arreter() {
    if (arret_) *arret_ = true;
    if (fil_ && fil_->joinable()) fil_->join();
    fil_.reset();
    restants_.reset();
}

bool MesureurProjets::enCours() const {
    return restants_ && *restants_ > 0;
}

void MesureurProjets::mesurer(const QStringList& dossiers) {
    arreter();
    const quint64 generation = ++generation_;
    arret_ = std::make_shared<std::atomic<bool>>(false);
    restants_ = std::make_shared<std::atomic<int>>(static_cast<int>(dossiers.size()));
    fil_ = std::make_unique<std::thread>(
        [this, dossiers, generation, arret = arret_, restants = restants_] {
            for (qsizetype i = 0; i < dossiers.size() && !*arret; ++i) {
                const MesureProjet m = mesurerProjet(dossiers[i], arret.get());
                if (*arret) return;
                QMetaObject::invokeMethod(
                    this,
                    [this, i, m, generation, restants] {
                        --*restants;
                        if (generation != generation_ || i >= liste_->count()) return;
                        QListWidgetItem* item = liste_->item(static_cast<int>(i));
                        item->setData(kRoleMesure, texteMesure(m));
                        item->setToolTip(texteMesure(m));
                    },
                    Qt::QueuedConnection);
            }
        });
}

}  // namespace vp
