// SPDX-License-Identifier: GPL-3.0-or-later
// Turns the guide's page and its pictures into the PDF document of the program folder, at
// build time.
//
// usage: aide_pdf page.html DOSSIER_IMAGES document.pdf

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage : aide_pdf page.html DOSSIER_IMAGES document.pdf\n");
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "impossible de lire %s\n", argv[1]);
        return 1;
    }
    const QString html = QString::fromUtf8(source.readAll());
    const QString dossierImages = QString::fromLocal8Bit(argv[2]) + QLatin1Char('/');

    QTextDocument document;
    // Every picture the page names must be there: a guide with a blank where a step's picture
    // should be is not made.
    static const QRegularExpression image(QStringLiteral("<img[^>]*src=\"([^\"]+)\""));
    for (auto i = image.globalMatch(html); i.hasNext();) {
        const QString nom = i.next().captured(1);
        const QImage contenu(dossierImages + nom);
        if (contenu.isNull()) {
            std::fprintf(stderr, "image du guide absente : %s\n", qPrintable(dossierImages + nom));
            return 1;
        }
        document.addResource(QTextDocument::ImageResource, QUrl(nom), contenu);
    }
    // Without ligatures: the text copied or searched in the PDF reads "film", not "ﬁlm".
    QFont police(QStringLiteral("DejaVu Sans"), 10);
    police.setStyleStrategy(QFont::PreferNoShaping);
    document.setDefaultFont(police);
    document.setHtml(html);

    QPdfWriter pdf(QString::fromLocal8Bit(argv[3]));
    pdf.setTitle(QStringLiteral("VOLTIPLUME — guide"));
    pdf.setCreator(QStringLiteral("VOLTIPLUME"));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    // The document itself keeps 2 cm around the text of each page.
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    document.print(&pdf);
    return 0;
}
