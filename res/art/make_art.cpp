// Developer tool: draws the skin bitmap and the application icon into the resource folder.
// Run it through the `tessarel_art` target after changing the pictures, then commit the
// files it wrote; normal builds use the committed files and never run it.

#include <cstdio>

#include <QDir>
#include <QGuiApplication>

#include "dib_files.h"
#include "icon_art.h"
#include "skin_art.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resource folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    // The skin's size is fixed by the window's layout: 647 x 492 at 24 bits per pixel.
    if (!WriteBmp24(folder.filePath(QStringLiteral("skin.bmp")), PaintSkin(QSize(647, 492)))) {
        std::fprintf(stderr, "cannot write skin.bmp\n");
        return 1;
    }

    // 16 and 32 pixels at 8 and 24 bits per pixel, 48 pixels at 24.
    const QList<IconImage> icons = {
        {PaintAppIcon(16), 8},  {PaintAppIcon(16), 24}, {PaintAppIcon(32), 8},
        {PaintAppIcon(32), 24}, {PaintAppIcon(48), 24},
    };
    if (!WriteIcon(folder.filePath(QStringLiteral("app_icon.ico")), icons)) {
        std::fprintf(stderr, "cannot write app_icon.ico\n");
        return 1;
    }
    return 0;
}
