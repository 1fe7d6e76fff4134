// SPDX-License-Identifier: GPL-3.0-or-later
// Saves a picture of the whole screen of the display it runs on:
//   grab_screen OUT.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: grab_screen OUT.png\n", stderr);
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "grab_screen: the screen could not be saved to %s.\n", argv[1]);
        return 1;
    }
    return 0;
}
