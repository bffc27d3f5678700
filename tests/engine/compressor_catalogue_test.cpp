// The compressor catalogue: names in catalogue order, the automatic choice, binding by index,
// the stored index and the start-up choice. Catalogues of our own replace the installed one
// where a test needs particular names.

#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/compression_setting.h"
#include "engine/compressor_catalogue.h"
#include "engine/compressor_selection.h"
#include "engine/compressor_setting.h"
#include "media/api/interface_ref.h"
#include "media/catalogue/compressor_catalogue.h"
#include "message_recorder.h"
#include "platform/profile_file.h"

namespace {

media::CompressorEntry Entry(const char* name, const char* encoder = "mjpeg", bool unreadable = false) {
    return {.friendlyName = name, .encoderName = encoder, .nameUnreadable = unreadable};
}

class CompressorCatalogueTest : public ::testing::Test {
protected:
    void TearDown() override {
        media::ResetCompressorCatalogueForTesting();
        std::filesystem::remove(platform::ProfileFilePath(kSettingsFileName));
    }

    // The names and the automatic choice of a catalogue made of entries.
    struct Listing {
        std::vector<std::string> names;
        LONG automatic = -1;
    };
    static Listing ListCatalogue(std::vector<media::CompressorEntry> entries) {
        media::SetCompressorCatalogueForTesting(std::move(entries));
        Listing listing;
        EXPECT_EQ(EnumerateCompressors(listing.names, listing.automatic), S_OK);
        return listing;
    }

    static void StoreText(const char* text) {
        WritePrivateProfileStringA(kCompressorSection, kCompressorNumberKey, text, kSettingsFileName);
    }

    MessageRecorder m_messages;
};

TEST_F(CompressorCatalogueTest, TheInstalledCatalogueChoosesTheXvidCompressor) {
    std::vector<std::string> names;
    LONG automatic = -1;
    ASSERT_EQ(EnumerateCompressors(names, automatic), S_OK);
    ASSERT_GE(automatic, 0);
    EXPECT_EQ(names.at(static_cast<std::size_t>(automatic)), "libxvidcore MPEG-4 part 2");

    InterfaceRef<IBaseFilter> filter;
    GetCompressor(automatic, filter.Receive());
    EXPECT_TRUE(filter);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(CompressorCatalogueTest, TheAutomaticChoiceIsTheLastDivxOrXvidName) {
    const auto listing = ListCatalogue(
        {Entry("DivX Pro 5"), Entry("Cinepak"), Entry("my divx"), Entry("Xvid MPEG-4"), Entry("Other")});
    EXPECT_EQ(listing.names,
              (std::vector<std::string>{"DivX Pro 5", "Cinepak", "my divx", "Xvid MPEG-4", "Other"}));
    EXPECT_EQ(listing.automatic, 3) << "neither word takes precedence: the last match wins";

    EXPECT_EQ(ListCatalogue({Entry("XVID"), Entry("DIVX")}).automatic, 1);
    EXPECT_EQ(ListCatalogue({Entry("SuperDivXCodec"), Entry("None")}).automatic, 0)
        << "a plain substring test";
    EXPECT_EQ(ListCatalogue({Entry("Div X"), Entry("x-vid")}).automatic, -1);

    // Without a match the caller's value stays; the list is emptied first.
    std::vector<std::string> names{"stale"};
    LONG automatic = -7;
    EXPECT_EQ(EnumerateCompressors(names, automatic), S_OK);
    EXPECT_EQ(automatic, -7);
    EXPECT_EQ(names, (std::vector<std::string>{"Div X", "x-vid"}));
}

TEST_F(CompressorCatalogueTest, UnreadableNamesAreLeftOutWithoutShiftingTheIndices) {
    const auto listing = ListCatalogue(
        {Entry("First"), Entry("Hidden xvid", "mjpeg", true), Entry("Second"), Entry("Third divx")});
    EXPECT_EQ(listing.names, (std::vector<std::string>{"First", "Second", "Third divx"}));
    EXPECT_EQ(listing.automatic, 2);
    EXPECT_TRUE(m_messages.Messages().empty()) << "left out silently";

    for (LONG index : {0, 1, 2}) {
        InterfaceRef<IBaseFilter> filter;
        GetCompressor(index, filter.Receive());
        EXPECT_TRUE(filter) << index;
    }
    InterfaceRef<IBaseFilter> beyond;
    GetCompressor(3, beyond.Receive());
    EXPECT_FALSE(beyond) << "the unreadable entry does not count";
}

TEST_F(CompressorCatalogueTest, AnEmptyCategoryListsNothingAndBindsNothing) {
    const auto listing = ListCatalogue({});
    EXPECT_TRUE(listing.names.empty());
    EXPECT_EQ(listing.automatic, -1);
    InterfaceRef<IBaseFilter> filter;
    GetCompressor(0, filter.Receive());
    EXPECT_FALSE(filter);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(CompressorCatalogueTest, BindingOutsideTheCatalogueGivesNullWithoutAMessage) {
    media::SetCompressorCatalogueForTesting({Entry("Only")});
    for (LONG index : {-1, 1, 1000, std::numeric_limits<LONG>::min()}) {
        IBaseFilter* filter = reinterpret_cast<IBaseFilter*>(0x1);  // set to null first, never released
        GetCompressor(index, &filter);
        EXPECT_EQ(filter, nullptr) << index;
    }
    EXPECT_TRUE(m_messages.Messages().empty());

    GetCompressor(0, nullptr);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"GetCompressor 接收到無效的指標"});
}

TEST_F(CompressorCatalogueTest, AnEntryThatCannotBeBoundSaysSo) {
    media::SetCompressorCatalogueForTesting({Entry("Gone", "no-such-encoder")});
    InterfaceRef<IBaseFilter> filter;
    GetCompressor(0, filter.Receive());
    EXPECT_FALSE(filter);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"失敗於束縛物件"});
}

TEST_F(CompressorCatalogueTest, TheStoredIndexReadsLikeAtoiWithDefaultOne) {
    EXPECT_EQ(ReadStoredCompressorIndex(), 1) << "no settings file";
    constexpr LONG kLongest = std::numeric_limits<LONG>::max();  // beyond it, the nearest LONG
    const std::vector<std::pair<const char*, LONG>> cases = {
        {"0", 0}, {"-3", -3}, {"12abc", 12}, {"abc", 0}, {"", 0}, {"+4", 4}, {"99999999999", kLongest}};
    for (const auto& [text, expected] : cases) {
        StoreText(text);
        EXPECT_EQ(ReadStoredCompressorIndex(), expected) << '"' << text << '"';
    }
    StoreCompressorIndex(-2);
    EXPECT_EQ(ReadStoredCompressorIndex(), -2);
}

TEST_F(CompressorCatalogueTest, AHandEditedCompressionSettingThatDoesNotReadBackIsTheDefault) {
    const char* name = "libxvidcore MPEG-4 part 2";
    for (const auto& [key, value] : {std::pair{"Quality", "70"},
                                     {"DataRate", "-5"},
                                     {"KeyFrameRate", "0"},
                                     {"LargestPicture", "640x"},
                                     {"Audio", "ogg"}})
        WritePrivateProfileStringA(name, key, value, kSettingsFileName);
    EXPECT_EQ(ReadStoredCompressionChoice(name), (CompressionChoice{.quality = 0.7, .largest = {}}));
    WritePrivateProfileStringA(name, "DataRate", "1500", kSettingsFileName);
    EXPECT_EQ(ReadStoredCompressionChoice(name), (CompressionChoice{.dataRate = 1'500'000, .largest = {}}))
        << "a data rate replaces the quality";
    EXPECT_FALSE(StoreCompressionChoice("[x]", {})) << "no section can have that name";
}

TEST_F(CompressorCatalogueTest, TheStoredSelectionCountsOnlyWithoutAnAutomaticChoice) {
    EXPECT_EQ(StartupCompressorIndex(-1), 1) << "no match and no settings file: the second entry";

    media::SetCompressorCatalogueForTesting({Entry("A"), Entry("B"), Entry("C")});
    InterfaceRef<IBaseFilter> compressor;
    OnCompressorSelected(2, compressor);
    EXPECT_TRUE(compressor);
    EXPECT_EQ(ReadStoredCompressorIndex(), 2) << "stored at once";
    EXPECT_EQ(StartupCompressorIndex(-1), 2);
    EXPECT_EQ(StartupCompressorIndex(0), 0) << "the automatic choice wins at the next start";

    // A stored index beyond the list selects and binds nothing, without a message.
    OnCompressorSelected(5, compressor);
    EXPECT_FALSE(compressor);
    RebindCompressor(StartupCompressorIndex(-1), compressor);
    EXPECT_FALSE(compressor);
    EXPECT_TRUE(m_messages.Messages().empty());
}

}  // namespace
