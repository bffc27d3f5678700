// Narrow text is UTF-8: the code-page calls keep the platform's size conventions, and the
// engine's conversions keep every character.

#include <array>
#include <string>

#include <gtest/gtest.h>

#include "text/text_conversion.h"
#include "text/code_page.h"

namespace {

const std::string kCompressorWord = "壓縮器";  // three units, nine bytes

TEST(CodePage, NarrowToWideFollowsThePlatformsSizeConventions) {
    // -1 converts up to and including the terminator, and a zero target asks for the size.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kCompressorWord.c_str(), -1, nullptr, 0), 4);
    std::array<WCHAR, 4> exact{};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, kCompressorWord.c_str(), -1, exact.data(), 4), 4);
    EXPECT_EQ(std::u16string(exact.data()), u"壓縮器");

    // A buffer one unit short fails and is not written.
    std::array<WCHAR, 3> shortBuffer{u'x', u'x', u'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kCompressorWord.c_str(), -1, shortBuffer.data(), 3), 0);
    EXPECT_EQ(shortBuffer[0], u'x');

    // An explicit length converts exactly those bytes, without a terminator.
    std::array<WCHAR, 8> part{};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 2, part.data(), 8), 2);

    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, part.data(), 8), 0) << "an empty source is an error";
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, part.data(), 8), 0)
        << "only the UTF-8 code page exists";
}

TEST(CodePage, MalformedNarrowTextIsReplacedOrRefused) {
    // A stray continuation byte, a truncated three-byte sequence, an overlong "/" and an
    // encoded surrogate each become one replacement character.
    const char malformed[] =
        "a\x80"
        "b\xE5\xA3"
        "c\xC0\xAF"
        "d\xED\xA0\x80";
    std::array<WCHAR, 32> wide{};
    const int units = MultiByteToWideChar(CP_ACP, 0, malformed, -1, wide.data(), 32);
    EXPECT_EQ(std::u16string(wide.data(), static_cast<std::size_t>(units) - 1),
              u"a\uFFFDb\uFFFDc\uFFFD\uFFFDd\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, malformed, -1, wide.data(), 32), 0);

    // Four-byte sequences become surrogate pairs.
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xF0\x9F\x8E\xAC", -1, wide.data(), 32), 3);
    EXPECT_EQ(wide[0], 0xD83C);
    EXPECT_EQ(wide[1], 0xDFAC);
}

TEST(CodePage, WideToNarrowNeedsThreeBytesPerUnitForChineseText) {
    const std::u16string wide = u"壓縮器";
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr), 10);
    // Two bytes per unit plus two, enough for a double-byte code page, is too small here.
    std::array<char, 8> doubleByteSized{};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, doubleByteSized.data(), 8, nullptr, nullptr),
              0);
    std::array<char, 10> enough{};
    BOOL usedDefault = 1;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, enough.data(), 10, nullptr, &usedDefault), 10);
    EXPECT_EQ(std::string(enough.data()), kCompressorWord);
    EXPECT_EQ(usedDefault, 0);

    // An unpaired surrogate cannot be said in UTF-8: it becomes the replacement character.
    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    std::array<char, 16> narrow{};
    ASSERT_GT(WideCharToMultiByte(CP_UTF8, 0, lone, -1, narrow.data(), 16, nullptr, nullptr), 0);
    EXPECT_EQ(std::string(narrow.data()),
              "a\xEF\xBF\xBD"
              "b");
}

TEST(CodePage, BytesThatAreNotUtf8SurviveTheRoundTripWhenKept) {
    // The malformed sequences above, a Latin-1 letter, and the encoded form of a kept byte's
    // own surrogate: each byte outside valid UTF-8 is held as U+DC00 + byte.
    const std::string bytes =
        "caf\xE9 a\x80"
        "b\xE5\xA3"
        "c\xC0\xAF"
        "d\xED\xB2\x80 \xF0\x9F\x8E\xAC 壓";
    std::array<WCHAR, 64> wide{};
    const int units = MultiByteToWideChar(CP_ACP, MB_KEEP_INVALID_BYTES | MB_ERR_INVALID_CHARS, bytes.c_str(),
                                          -1, wide.data(), 64);
    ASSERT_GT(units, 0);
    EXPECT_EQ(std::u16string(wide.data(), static_cast<std::size_t>(units) - 1),
              u"caf\xDCE9 a\xDC80"
              u"b\xDCE5\xDCA3"
              u"c\xDCC0\xDCAF"
              u"d\xDCED\xDCB2\xDC80 \U0001F3AC 壓");
    std::array<char, 64> narrow{};
    ASSERT_GT(WideCharToMultiByte(CP_ACP, WC_KEEP_INVALID_BYTES, wide.data(), -1, narrow.data(), 64, nullptr,
                                  nullptr),
              0);
    EXPECT_EQ(std::string(narrow.data()), bytes);

    // Other lone surrogates still cannot be said; without the flag a kept byte cannot either.
    const char16_t lone[] = {0xDC41, 0xDBFF, u'x', 0xDCE9, 0};
    ASSERT_GT(
        WideCharToMultiByte(CP_UTF8, WC_KEEP_INVALID_BYTES, lone, -1, narrow.data(), 64, nullptr, nullptr),
        0);
    EXPECT_EQ(std::string(narrow.data()), "\xEF\xBF\xBD\xEF\xBF\xBDx\xE9");
    ASSERT_GT(WideCharToMultiByte(CP_UTF8, 0, lone + 3, -1, narrow.data(), 64, nullptr, nullptr), 0);
    EXPECT_EQ(std::string(narrow.data()), "\xEF\xBF\xBD");
}

TEST(TextConversion, PathsAndNamesKeepEveryCharacter) {
    const std::string path = "/home/使用者/影片 $HOME 'x' \"y\"/轉換.mpg";
    const std::u16string wide = ToWide(path);
    EXPECT_EQ(wide, u"/home/使用者/影片 $HOME 'x' \"y\"/轉換.mpg");
    EXPECT_EQ(ToNarrow(wide.c_str()), path);
    EXPECT_EQ(ToNarrow(u"libxvidcore MPEG-4 part 2 壓縮器"), "libxvidcore MPEG-4 part 2 " + kCompressorWord);
    EXPECT_EQ(ToNarrow(u"\U0001F3AC"), "\xF0\x9F\x8E\xAC");
    EXPECT_EQ(ToNarrow(nullptr), "");
    EXPECT_EQ(ToWide(""), u"");
    // A name is bytes: one that is not UTF-8 comes back as it was.
    EXPECT_EQ(ToNarrow(ToWide("/tmp/r\xE9sult \xFF.avi").c_str()), "/tmp/r\xE9sult \xFF.avi");
}

}  // namespace
