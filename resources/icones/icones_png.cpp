// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program's icon at the sizes of the desktop's icon theme, at build time.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage : icones_png icone.svg dossier taille…\n");
        return 2;
    }
    QSvgRenderer rendu(QString::fromLocal8Bit(argv[1]));
    if (!rendu.isValid()) {
        std::fprintf(stderr, "impossible de lire %s\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int cote = std::atoi(argv[i]);
        QImage image(cote, cote, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter peintre(&image);
        peintre.setRenderHint(QPainter::Antialiasing);
        rendu.render(&peintre);
        peintre.end();
        const QString sortie =
            QStringLiteral("%1/%2.png").arg(QString::fromLocal8Bit(argv[2])).arg(cote);
        if (!image.save(sortie)) {
            std::fprintf(stderr, "impossible d'écrire %s\n", qPrintable(sortie));
            return 1;
        }
    }
    return 0;
}
