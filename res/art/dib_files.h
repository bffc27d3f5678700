#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Writers for the two Windows formats the resources keep: a plain 24-bit BMP for the skin
// and a multi-image ICO for the application icon. Qt's own writers pick the depth themselves;
// these write exactly the depth asked for.

// Writes `image` as an uncompressed, bottom-up, 24 bits per pixel BMP. Returns false on an
// I/O error.
[[nodiscard]] bool WriteBmp24(const QString& path, const QImage& image);

struct IconImage {
    QImage image;           // square, with alpha; alpha below 128 becomes transparent in the mask
    int bitsPerPixel = 24;  // 8 (palette of the image's own 256 colours) or 24
};

// Writes an ICO file holding every image in order. Returns false on an I/O error or when an
// image cannot be stored (not square, larger than 256, unsupported depth).
[[nodiscard]] bool WriteIcon(const QString& path, const QList<IconImage>& images);
