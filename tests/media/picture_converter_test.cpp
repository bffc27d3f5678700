// The compressor's picture converter: the coded part of an RGB24 picture, in frames recycled from
// a pool that must never hand out a frame the encoder still holds.

#include "media/catalogue/picture_converter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace media {
namespace {

constexpr REFERENCE_TIME kFrameTime = kUnitsPerSecond / 25;

// A bottom-up RGB24 picture of one colour, with a white pixel at the top-left corner.
std::vector<BYTE> OneColour(const RawVideoLayout& layout, BYTE blue, BYTE green, BYTE red) {
    std::vector<BYTE> image(static_cast<std::size_t>(layout.imageSize));
    std::uint8_t* planes[4];
    int strides[4];
    FillPlanes(layout, image.data(), planes, strides);
    for (int y = 0; y < layout.height; ++y) {
        for (int x = 0; x < layout.width; ++x) {
            std::uint8_t* pixel = planes[0] + static_cast<std::ptrdiff_t>(y) * strides[0] + 3 * x;
            pixel[0] = blue;
            pixel[1] = green;
            pixel[2] = red;
        }
    }
    planes[0][0] = planes[0][1] = planes[0][2] = 255;
    return image;
}

TEST(PictureConverterTest, FramesStillHeldKeepTheirPicturesWhileLaterOnesAreConverted) {
    const RawVideoLayout input = RawVideoLayoutOf(RawVideoType(AV_PIX_FMT_BGR24, 65, 37, kFrameTime));
    ASSERT_TRUE(input.bottomUp);
    // The coded part leaves out the last column and row, as for an encoder of even sizes.
    const CodedPicture coded{AV_PIX_FMT_YUV420P, 64, 36};
    std::unique_ptr<PictureConverter> converter;
    ASSERT_EQ(PictureConverter::Create(input, coded, converter), S_OK);

    const std::vector<BYTE> grey = OneColour(input, 128, 128, 128);
    const std::vector<BYTE> blue = OneColour(input, 255, 0, 0);
    AvFramePtr first = converter->Convert(grey.data());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->width, 64);
    EXPECT_EQ(first->height, 36);
    EXPECT_EQ(first->format, AV_PIX_FMT_YUV420P);

    // Later pictures, some let go of at once so that the pool recycles their memory.
    std::vector<AvFramePtr> held;
    for (int i = 0; i < 6; ++i) {
        AvFramePtr later = converter->Convert(blue.data());
        ASSERT_TRUE(later);
        EXPECT_NE(later->data[0], first->data[0]);
        if (i % 2 == 0) held.push_back(std::move(later));
    }

    // The first is still grey, with the white corner at its top: limited-range levels.
    EXPECT_EQ(first->data[0][0], 235);
    EXPECT_EQ(first->data[0][1 + first->linesize[0]], 126);
    EXPECT_EQ(first->data[1][first->linesize[1] + 1], 128);
    EXPECT_EQ(first->data[2][first->linesize[2] + 1], 128);
    // And the held blue ones are blue.
    for (const AvFramePtr& frame : held) {
        EXPECT_EQ(frame->data[0][frame->linesize[0] + 1], 41);
        EXPECT_EQ(frame->data[1][frame->linesize[1] + 1], 240);
        EXPECT_EQ(frame->data[2][frame->linesize[2] + 1], 110);
    }
}

TEST(PictureConverterTest, OtherFormatsGoThroughTheGeneralConverter) {
    const RawVideoLayout input = RawVideoLayoutOf(RawVideoType(AV_PIX_FMT_BGR24, 32, 16, kFrameTime));
    const CodedPicture coded{AV_PIX_FMT_YUV422P, 32, 16};
    std::unique_ptr<PictureConverter> converter;
    ASSERT_EQ(PictureConverter::Create(input, coded, converter), S_OK);
    const std::vector<BYTE> grey = OneColour(input, 128, 128, 128);
    AvFramePtr frame = converter->Convert(grey.data());
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->format, AV_PIX_FMT_YUV422P);
    EXPECT_NEAR(frame->data[0][frame->linesize[0] * 8 + 8], 126, 1);
    EXPECT_NEAR(frame->data[1][frame->linesize[1] * 8 + 8], 128, 1);
}

}  // namespace
}  // namespace media
