#include <gtest/gtest.h>
#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QSet>

#include "resource_ids.h"

namespace {

quint32 LittleEndian(const QByteArray& bytes, int offset, int size) {
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<quint8>(bytes[offset + i]);
    return value;
}

TEST(SkinResources, SkinIsA647By492TwentyFourBitBitmap) {
    QFile file(ResourcePath(resource_ids::kSkinBitmap));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the skin is linked into the program";
    const QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(LittleEndian(bytes, 18, 4), 647u);
    EXPECT_EQ(LittleEndian(bytes, 22, 4), 492u);
    EXPECT_EQ(LittleEndian(bytes, 28, 2), 24u);
    EXPECT_EQ(QImage(file.fileName()).size(), QSize(647, 492));
}

TEST(SkinResources, IconHoldsSixteenThirtyTwoAndFortyEightPixels) {
    QImageReader reader(ResourcePath(resource_ids::kAppIcon));
    QSet<int> sizes;
    int images = 0;
    do {
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(image.width(), image.height());
        sizes.insert(image.width());
        ++images;
    } while (reader.jumpToNextImage());
    EXPECT_EQ(sizes, (QSet<int>{16, 32, 48}));
    EXPECT_EQ(images, 5) << "16 and 32 at two depths, 48 at one";
    EXPECT_FALSE(QIcon(ResourcePath(resource_ids::kAppIcon)).isNull());
}

}  // namespace
