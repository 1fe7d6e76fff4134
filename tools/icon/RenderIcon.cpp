// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program's SVG icon into square PNGs for the desktop's icon theme.
//   tarnwick-render-icon ICON.svg SIZE OUT.png [SIZE OUT.png]...
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    if (argc < 4 || argc % 2 != 0) {
        std::fputs("usage: tarnwick-render-icon ICON.svg SIZE OUT.png [SIZE OUT.png]...\n", stderr);
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "tarnwick-render-icon: %s is not a readable SVG picture.\n", argv[1]);
        return 1;
    }
    for (int i = 2; i + 1 < argc; i += 2) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) {
            std::fprintf(stderr, "tarnwick-render-icon: %s is not a size in pixels.\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            svg.render(&painter);
        }
        if (!image.save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
            std::fprintf(stderr, "tarnwick-render-icon: %s could not be written.\n", argv[i + 1]);
            return 1;
        }
    }
    return 0;
}
