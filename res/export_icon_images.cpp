// Writes the images of the application icon as PNG files, one per size, for the desktop's icon
// theme: <output folder>/<size>x<size>/tessarel.png. Of several images of one size the one with
// the most colours is taken.
//
// Usage: tessarel_export_icon_images ICON OUTPUT_FOLDER SIZE...

#include <cstdio>
#include <cstdlib>
#include <map>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QString>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ICON OUTPUT_FOLDER SIZE...\n", argv[0]);
        return EXIT_FAILURE;
    }

    std::map<int, QImage> bySize;
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i)) break;
        const QImage image = reader.read();
        if (image.isNull() || image.width() != image.height()) continue;
        QImage& kept = bySize[image.width()];
        if (kept.isNull() || image.depth() > kept.depth()) kept = image;
    }

    const QString output = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const auto found = bySize.find(size);
        if (found == bySize.end()) {
            std::fprintf(stderr, "%s has no %dx%d image\n", argv[1], size, size);
            return EXIT_FAILURE;
        }
        const QString folder = QStringLiteral("%1/%2x%2").arg(output).arg(size);
        if (!QDir().mkpath(folder) || !found->second.save(folder + QStringLiteral("/tessarel.png"))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(folder));
            return EXIT_FAILURE;
        }
    }
    return EXIT_SUCCESS;
}
