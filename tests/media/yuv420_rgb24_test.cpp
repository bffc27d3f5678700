// The 4:2:0 <-> RGB24 conversion that decoded pictures take to the compressors and back: the SIMD
// code against the portable code, the round trip, and the edges of odd sizes.

#include "media/filters/yuv420_rgb24.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

namespace media {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Yuv420Picture {
    Yuv420Picture(int w, int h)
        : width(w), height(h), y(static_cast<std::size_t>(w * h)),
          u(static_cast<std::size_t>(ChromaWidth() * ChromaHeight())), v(u.size()) {}
    int ChromaWidth() const { return (width + 1) / 2; }
    int ChromaHeight() const { return (height + 1) / 2; }
    Yuv420Planes Planes() { return {{y.data(), u.data(), v.data()}, {width, ChromaWidth(), ChromaWidth()}}; }
    Yuv420Source Source() const {
        return {{y.data(), u.data(), v.data()}, {width, ChromaWidth(), ChromaWidth()}};
    }
    int width;
    int height;
    Bytes y;
    Bytes u;
    Bytes v;
};

Bytes RandomBytes(std::size_t count, std::mt19937& random) {
    Bytes bytes(count);
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

// Packed B,G,R rows of width × height in which every 2×2 block has one colour, so that its
// chroma is the colour's own and nothing is lost to the block's mean.
Bytes BlockColours(int width, int height, std::mt19937& random) {
    Bytes bgr(static_cast<std::size_t>(width * height * 3));
    for (int by = 0; by < height; by += 2) {
        for (int bx = 0; bx < width; bx += 2) {
            const std::uint8_t colour[3] = {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                                            static_cast<std::uint8_t>(random())};
            for (int y = by; y < std::min(by + 2, height); ++y) {
                for (int x = bx; x < std::min(bx + 2, width); ++x) {
                    std::copy(colour, colour + 3, bgr.begin() + (y * width + x) * 3);
                }
            }
        }
    }
    return bgr;
}

class Yuv420Rgb24Test : public ::testing::TestWithParam<AVPixelFormat> {};

// Sizes around the 16-pixel steps of the SIMD code, odd ones included, read top-down and
// bottom-up: the fast code writes exactly what the portable code writes, in both directions.
TEST_P(Yuv420Rgb24Test, FastCodeMatchesPortableCodeAtEverySize) {
    const AVPixelFormat format = GetParam();
    std::mt19937 random(7);
    for (int width : {1, 2, 15, 16, 17, 31, 32, 33, 47, 48, 63, 64, 101}) {
        for (int height : {1, 2, 3, 6}) {
            SCOPED_TRACE(testing::Message() << width << "x" << height);
            const int stride = width * 3 + 5;  // rows with padding, as a DIB's may have
            const Bytes bgr = RandomBytes(static_cast<std::size_t>(stride * height), random);
            for (bool bottomUp : {false, true}) {
                const std::uint8_t* top = bottomUp ? bgr.data() + stride * (height - 1) : bgr.data();
                const std::ptrdiff_t step = bottomUp ? -stride : stride;
                Yuv420Picture fast(width, height);
                Yuv420Picture portable(width, height);
                Bgr24ToYuv420(top, step, width, height, fast.Planes(), format, ConversionCode::Fastest);
                Bgr24ToYuv420(top, step, width, height, portable.Planes(), format, ConversionCode::Portable);
                EXPECT_EQ(fast.y, portable.y);
                EXPECT_EQ(fast.u, portable.u);
                EXPECT_EQ(fast.v, portable.v);

                Bytes fastRgb(bgr.size());
                Bytes portableRgb(bgr.size());
                std::uint8_t* fastTop = bottomUp ? fastRgb.data() + stride * (height - 1) : fastRgb.data();
                std::uint8_t* portableTop =
                    bottomUp ? portableRgb.data() + stride * (height - 1) : portableRgb.data();
                Yuv420ToBgr24(fast.Source(), format, width, height, fastTop, step, ConversionCode::Fastest);
                Yuv420ToBgr24(fast.Source(), format, width, height, portableTop, step, ConversionCode::Portable);
                EXPECT_EQ(fastRgb, portableRgb);
            }
        }
    }
}

// A picture that went to RGB24 and back is the picture it was, short of the odd step where a
// colour at the edge of what RGB holds was rounded into it.
TEST_P(Yuv420Rgb24Test, RoundTripGivesBackThePicture) {
    const AVPixelFormat format = GetParam();
    std::mt19937 random(11);
    const int width = 96;
    const int height = 64;
    Yuv420Picture original(width, height);
    Bgr24ToYuv420(BlockColours(width, height, random).data(), width * 3, width, height, original.Planes(), format);

    Bytes rgb(static_cast<std::size_t>(width * height * 3));
    Yuv420ToBgr24(original.Source(), format, width, height, rgb.data(), width * 3);
    Yuv420Picture back(width, height);
    Bgr24ToYuv420(rgb.data(), width * 3, width, height, back.Planes(), format);

    const auto compare = [](const Bytes& a, const Bytes& b, const char* plane) {
        std::size_t differing = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const int difference = std::abs(a[i] - b[i]);
            EXPECT_LE(difference, 1) << plane << " sample " << i;
            differing += difference != 0 ? 1 : 0;
        }
        EXPECT_LE(differing * 200, a.size()) << plane << ": " << differing << " of " << a.size() << " changed";
    };
    compare(original.y, back.y, "Y");
    compare(original.u, back.u, "U");
    compare(original.v, back.v, "V");
}

INSTANTIATE_TEST_SUITE_P(Ranges, Yuv420Rgb24Test, ::testing::Values(AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P),
                         [](const auto& range) { return range.param == AV_PIX_FMT_YUV420P ? "Limited" : "Full"; });

// Limited range: black, white and greys keep their levels and stay grey.
TEST(Yuv420Rgb24, GreysKeepTheirLevels) {
    Yuv420Picture grey(4, 2);
    const std::uint8_t levels[4] = {16, 17, 126, 235};
    for (int x = 0; x < 4; ++x) grey.y[x] = grey.y[4 + x] = levels[x];
    std::fill(grey.u.begin(), grey.u.end(), 128);
    std::fill(grey.v.begin(), grey.v.end(), 128);
    Bytes rgb(4 * 2 * 3);
    Yuv420ToBgr24(grey.Source(), AV_PIX_FMT_YUV420P, 4, 2, rgb.data(), 12);
    EXPECT_EQ(rgb[0], 0);
    EXPECT_EQ(rgb[9], 255);
    for (int pixel = 0; pixel < 8; ++pixel) {
        EXPECT_EQ(rgb[pixel * 3], rgb[pixel * 3 + 1]);
        EXPECT_EQ(rgb[pixel * 3], rgb[pixel * 3 + 2]);
    }
    Yuv420Picture back(4, 2);
    Bgr24ToYuv420(rgb.data(), 12, 4, 2, back.Planes(), AV_PIX_FMT_YUV420P);
    EXPECT_EQ(back.y, grey.y);
    EXPECT_EQ(back.u, grey.u);
    EXPECT_EQ(back.v, grey.v);
}

// At an odd width and height the last chroma samples cover two pixels, and the corner one: each
// is the colour of what it covers, not that mixed with whatever lies past the edge.
TEST(Yuv420Rgb24, EdgeChromaCoversOnlyThePicture) {
    const int width = 3;
    const int height = 3;
    // Blue at the left two columns, red in the last column; the bottom row green.
    Bytes bgr(static_cast<std::size_t>(width * height * 3), 0);
    const auto paint = [&](int x, int y, int channel) { bgr[static_cast<std::size_t>((y * width + x) * 3 + channel)] = 255; };
    for (int y = 0; y < 2; ++y) {
        paint(0, y, 0);
        paint(1, y, 0);
        paint(2, y, 2);
    }
    for (int x = 0; x < width; ++x) paint(x, 2, 1);
    Yuv420Picture yuv(width, height);
    Bgr24ToYuv420(bgr.data(), width * 3, width, height, yuv.Planes(), AV_PIX_FMT_YUV420P);

    // Pure colours, limited range (U, V): blue (240, 110), red (90, 240), green (54, 34).
    EXPECT_NEAR(yuv.u[0], 240, 1);
    EXPECT_NEAR(yuv.v[0], 110, 1);
    EXPECT_NEAR(yuv.u[1], 90, 1);
    EXPECT_NEAR(yuv.v[1], 240, 1);
    EXPECT_NEAR(yuv.u[2], 54, 1);
    EXPECT_NEAR(yuv.v[2], 34, 1);
    EXPECT_NEAR(yuv.u[3], 54, 1);
    EXPECT_NEAR(yuv.v[3], 34, 1);
}

}  // namespace
}  // namespace media
