#include "dib_files.h"

#include <cstdint>
#include <vector>

#include <QFile>

namespace {

// Little-endian writer into a byte vector; DIB headers are little-endian on every platform.
class ByteWriter {
public:
    void U8(std::uint8_t v) { m_bytes.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v & 0xFF));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v & 0xFFFF));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void Pad(std::size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }
    [[nodiscard]] std::size_t Size() const { return m_bytes.size(); }
    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
    void Append(const ByteWriter& other) {
        m_bytes.insert(m_bytes.end(), other.m_bytes.begin(), other.m_bytes.end());
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

// DIB rows are padded to a multiple of four bytes.
std::size_t RowStride(int width, int bitsPerPixel) {
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32) * 4;
}

void InfoHeader(ByteWriter& out, int width, int height, int bitsPerPixel, std::uint32_t imageBytes,
                std::uint32_t paletteColours) {
    out.U32(40);
    out.U32(static_cast<std::uint32_t>(width));
    out.U32(static_cast<std::uint32_t>(height));
    out.U16(1);
    out.U16(static_cast<std::uint16_t>(bitsPerPixel));
    out.U32(0);  // BI_RGB
    out.U32(imageBytes);
    out.U32(2835);  // 72 dpi
    out.U32(2835);
    out.U32(paletteColours);
    out.U32(0);
}

void Rows24(ByteWriter& out, const QImage& rgb) {
    const std::size_t padding = RowStride(rgb.width(), 24) - static_cast<std::size_t>(rgb.width()) * 3;
    for (int y = rgb.height() - 1; y >= 0; --y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb pixel = rgb.pixel(x, y);
            out.U8(static_cast<std::uint8_t>(qBlue(pixel)));
            out.U8(static_cast<std::uint8_t>(qGreen(pixel)));
            out.U8(static_cast<std::uint8_t>(qRed(pixel)));
        }
        out.Pad(padding);
    }
}

bool WriteFile(const QString& path, const ByteWriter& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const auto written =
        file.write(reinterpret_cast<const char*>(bytes.Bytes().data()), static_cast<qint64>(bytes.Size()));
    return written == static_cast<qint64>(bytes.Size());
}

// One icon image: header with doubled height (colour rows plus mask rows), palette, colour
// rows, then the 1-bit AND mask where 1 means transparent.
bool IconDib(ByteWriter& out, const IconImage& icon) {
    const QImage argb = icon.image.convertToFormat(QImage::Format_ARGB32);
    const int size = argb.width();
    if (size != argb.height() || size <= 0 || size > 256) return false;
    if (icon.bitsPerPixel != 8 && icon.bitsPerPixel != 24) return false;

    const std::size_t colourBytes = RowStride(size, icon.bitsPerPixel) * static_cast<std::size_t>(size);
    const std::size_t maskBytes = RowStride(size, 1) * static_cast<std::size_t>(size);
    const auto paletteColours = static_cast<std::uint32_t>(icon.bitsPerPixel == 8 ? 256 : 0);
    InfoHeader(out, size, size * 2, icon.bitsPerPixel, static_cast<std::uint32_t>(colourBytes + maskBytes),
               paletteColours);

    // Transparent pixels are stored black so that the AND/XOR pair shows the background.
    QImage opaque(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const QRgb pixel = argb.pixel(x, y);
            opaque.setPixel(x, y, qAlpha(pixel) >= 128 ? (pixel | 0xFF000000u) : qRgb(0, 0, 0));
        }

    if (icon.bitsPerPixel == 24) {
        Rows24(out, opaque);
    } else {
        const QImage indexed = opaque.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither);
        QList<QRgb> palette = indexed.colorTable();
        palette.resize(256, qRgb(0, 0, 0));
        for (const QRgb colour : palette) {
            out.U8(static_cast<std::uint8_t>(qBlue(colour)));
            out.U8(static_cast<std::uint8_t>(qGreen(colour)));
            out.U8(static_cast<std::uint8_t>(qRed(colour)));
            out.U8(0);
        }
        const std::size_t padding = RowStride(size, 8) - static_cast<std::size_t>(size);
        for (int y = size - 1; y >= 0; --y) {
            for (int x = 0; x < size; ++x) out.U8(static_cast<std::uint8_t>(indexed.pixelIndex(x, y)));
            out.Pad(padding);
        }
    }

    const std::size_t maskStride = RowStride(size, 1);
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(maskStride, 0);
        for (int x = 0; x < size; ++x)
            if (qAlpha(argb.pixel(x, y)) < 128)
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        for (const std::uint8_t byte : row) out.U8(byte);
    }
    return true;
}

}  // namespace

bool WriteBmp24(const QString& path, const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const auto pixelBytes =
        static_cast<std::uint32_t>(RowStride(rgb.width(), 24) * static_cast<std::size_t>(rgb.height()));
    constexpr std::uint32_t kHeaders = 14 + 40;

    ByteWriter out;
    out.U8('B');
    out.U8('M');
    out.U32(kHeaders + pixelBytes);
    out.U32(0);
    out.U32(kHeaders);
    InfoHeader(out, rgb.width(), rgb.height(), 24, pixelBytes, 0);
    Rows24(out, rgb);
    return WriteFile(path, out);
}

bool WriteIcon(const QString& path, const QList<IconImage>& images) {
    std::vector<ByteWriter> dibs(static_cast<std::size_t>(images.size()));
    for (qsizetype i = 0; i < images.size(); ++i)
        if (!IconDib(dibs[static_cast<std::size_t>(i)], images[i])) return false;

    ByteWriter out;
    out.U16(0);
    out.U16(1);  // icon
    out.U16(static_cast<std::uint16_t>(images.size()));
    auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const int size = images[i].image.width();
        const ByteWriter& dib = dibs[static_cast<std::size_t>(i)];
        out.U8(static_cast<std::uint8_t>(size == 256 ? 0 : size));
        out.U8(static_cast<std::uint8_t>(size == 256 ? 0 : size));
        out.U8(0);  // colour count: 0 for 256 colours and more
        out.U8(0);
        out.U16(1);
        out.U16(static_cast<std::uint16_t>(images[i].bitsPerPixel));
        out.U32(static_cast<std::uint32_t>(dib.Size()));
        out.U32(offset);
        offset += static_cast<std::uint32_t>(dib.Size());
    }
    for (const ByteWriter& dib : dibs) out.Append(dib);
    return WriteFile(path, out);
}
