// Which language the locale variables choose, as GNU programs read them, and the catalogue that
// then translates the programs' texts.

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "engine/engine_messages.h"
#include "text/message_catalogue.h"
#include "text/message_language.h"

namespace {

TEST(MessageLanguage, TheLocaleVariablesChooseAsGnuProgramsDo) {
    using enum MessageLanguage;
    struct Case {
        LocaleVariables variables;  // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
        MessageLanguage expected;
    };
    const Case cases[] = {
        {{}, AsWritten},
        {{nullptr, nullptr, nullptr, "C"}, AsWritten},
        {{nullptr, nullptr, nullptr, "POSIX"}, AsWritten},
        {{nullptr, nullptr, nullptr, "C.UTF-8"}, AsWritten},
        {{"zh_TW", nullptr, nullptr, "C.UTF-8"}, AsWritten},  // LANGUAGE counts only beyond C
        {{nullptr, nullptr, nullptr, "zh_TW.UTF-8"}, Chinese},
        {{nullptr, nullptr, nullptr, "zh_CN.GB18030"}, Chinese},
        {{nullptr, nullptr, nullptr, "zh_HK.UTF-8@stroke"}, Chinese},
        {{nullptr, nullptr, nullptr, "en_US.UTF-8"}, English},
        {{nullptr, nullptr, nullptr, "de_DE.UTF-8"}, English},
        {{nullptr, nullptr, nullptr, "zha_CN"}, English},                   // another language, not zh
        {{nullptr, "zh_TW.UTF-8", "en_GB.UTF-8", "en_GB.UTF-8"}, Chinese},  // LC_ALL first
        {{nullptr, "", "zh_TW.UTF-8", "en_GB.UTF-8"}, Chinese},             // empty is unset
        {{nullptr, nullptr, "C", "zh_TW.UTF-8"}, AsWritten},                // LC_MESSAGES before LANG
        {{nullptr, "C", nullptr, "zh_TW.UTF-8"}, AsWritten},
        {{"en:zh_TW", nullptr, nullptr, "zh_TW.UTF-8"}, English},     // LANGUAGE before the locale
        {{"de:fr:zh_TW", nullptr, nullptr, "de_DE.UTF-8"}, Chinese},  // its first with a catalogue
        {{"de:fr", nullptr, nullptr, "zh_TW.UTF-8"}, Chinese},        // none: the locale's own
        {{"", nullptr, nullptr, "zh_TW.UTF-8"}, Chinese},
    };
    for (const Case& c : cases) {
        const LocaleVariables& v = c.variables;
        EXPECT_EQ(MessageLanguageOf(v), c.expected)
            << "LANGUAGE=" << (v.language ? v.language : "-") << " LC_ALL=" << (v.lcAll ? v.lcAll : "-")
            << " LC_MESSAGES=" << (v.lcMessages ? v.lcMessages : "-") << " LANG=" << (v.lang ? v.lang : "-");
    }
}

TEST(MessageCatalogue, TranslatesIntoTheLanguageChosenAndKeepsWhatItCannot) {
    const std::filesystem::path folder = TESSAREL_LOCALE_FOLDER;
    ASSERT_TRUE(UseMessageLanguage(MessageLanguage::English, folder));
    const char* english = Translated(kCannotConnectVideoChain);
    EXPECT_STREQ(english, "Could not connect the video chain");
    EXPECT_STREQ(Translated("no text of ours"), "no text of ours");

    ASSERT_TRUE(UseMessageLanguage(MessageLanguage::Chinese, folder));
    EXPECT_STREQ(Translated("holds no video stream"), "沒有視訊資料流");
    EXPECT_STREQ(Translated(kCannotConnectVideoChain), kCannotConnectVideoChain);
    EXPECT_STREQ(english, "Could not connect the video chain") << "a translation handed out stays valid";

    // A damaged catalogue translates nothing, and says so.
    const std::filesystem::path damaged = std::filesystem::temp_directory_path() / "tessarel-damaged-locale";
    std::filesystem::create_directories(damaged / "en" / "LC_MESSAGES");
    std::ofstream(damaged / "en" / "LC_MESSAGES" / "tessarel.mo") << "\xde\x12\x04\x95 not a catalogue";
    EXPECT_FALSE(UseMessageLanguage(MessageLanguage::English, damaged));
    EXPECT_FALSE(UseMessageLanguage(MessageLanguage::English, damaged / "missing"));
    EXPECT_STREQ(Translated(kCannotConnectVideoChain), kCannotConnectVideoChain);
    std::filesystem::remove_all(damaged);

    EXPECT_TRUE(UseMessageLanguage(MessageLanguage::AsWritten, folder));
    EXPECT_STREQ(Translated("holds no video stream"), "holds no video stream");
}

}  // namespace
