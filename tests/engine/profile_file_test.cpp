// Private profile files: where they live, what a read gives back, and what a write keeps.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/profile_file.h"

namespace fs = std::filesystem;

namespace {

constexpr char kFile[] = "profile-test.ini";

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = platform::ProfileFilePath(kFile);
        fs::remove(m_path);
    }
    void TearDown() override { fs::remove(m_path); }

    void WriteText(const std::string& text) const { std::ofstream(m_path, std::ios::binary) << text; }
    [[nodiscard]] std::string ReadText() const {
        std::ifstream file(m_path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    [[nodiscard]] static std::string Get(const char* section, const char* key,
                                         const char* fallback = "dflt") {
        char buffer[256];
        GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, kFile);
        return buffer;
    }

    std::string m_path;
};

TEST_F(ProfileFileTest, ABareNameLivesInTheConfigurationFolder) {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    ASSERT_NE(configHome, nullptr);
    EXPECT_EQ(platform::ProfileFilePath("tessarel.ini"), std::string(configHome) + "/tessarel.ini");
    EXPECT_EQ(platform::ProfileFilePath("/etc/x.ini"), "/etc/x.ini");

    // A relative $XDG_CONFIG_HOME is ignored, as the base directory specification asks.
    const std::string saved = configHome;
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    const std::string fallback = platform::ProfileFilePath("tessarel.ini");
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    EXPECT_TRUE(fallback.ends_with("/.config/tessarel.ini")) << fallback;
}

TEST_F(ProfileFileTest, ReadsGiveTheDefaultWhenAnythingIsMissing) {
    EXPECT_EQ(Get("Compressor", "CompressorNumber", "1"), "1") << "no file";
    WriteText("[Other]\nCompressorNumber=5\n[Compressor]\nSomethingElse=3\n");
    EXPECT_EQ(Get("Compressor", "CompressorNumber", "1"), "1") << "key only in another section";
    EXPECT_EQ(Get("Compressor", "CompressorNumber", nullptr), "");
    EXPECT_EQ(Get(nullptr, "CompressorNumber"), "dflt");
}

TEST_F(ProfileFileTest, ReadsMatchWithoutCaseAndTrimBlanksAndQuotes) {
    WriteText(
        "; settings\r\n[compressor]\r\n  compressornumber =  7  \r\nQuoted=\"a b\"\r\n[Compressor]\r\n"
        "CompressorNumber=9\r\n");
    EXPECT_EQ(Get("Compressor", "CompressorNumber"), "7") << "the first section and key of that name win";
    EXPECT_EQ(Get("COMPRESSOR", "quoted"), "a b");
}

TEST_F(ProfileFileTest, ReadsCopyAtMostOneByteLessThanTheBuffer) {
    WriteText("[S]\nK=0123456789\n");
    char buffer[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetPrivateProfileStringA("S", "K", "", buffer, 5, kFile), 4u);
    EXPECT_STREQ(buffer, "0123");
    EXPECT_EQ(GetPrivateProfileStringA("S", "K", "", buffer, 0, kFile), 0u);
    EXPECT_EQ(buffer[0], '0') << "a zero-sized buffer is not touched";
}

TEST_F(ProfileFileTest, WritesCreateTheFileAndKeepOtherLines) {
    ASSERT_NE(WritePrivateProfileStringA("Compressor", "CompressorNumber", "3", kFile), 0);
    EXPECT_EQ(ReadText(), "[Compressor]\nCompressorNumber=3\n");

    WriteText(
        "; keep "
        "me\r\n[Other]\r\nA=1\r\n\r\n[compressor]\r\ncompressornumber=3\r\nB=2\r\n\r\n[Last]\r\nC=3\r\n");
    ASSERT_NE(WritePrivateProfileStringA("Compressor", "CompressorNumber", "12", kFile), 0);
    ASSERT_NE(WritePrivateProfileStringA("Compressor", "New", "x", kFile), 0);
    EXPECT_EQ(ReadText(),
              "; keep "
              "me\r\n[Other]\r\nA=1\r\n\r\n[compressor]\r\nCompressorNumber=12\r\nB=2\r\nNew=x\r\n\r\n[Last]"
              "\r\nC=3\r\n");
    EXPECT_EQ(Get("Other", "A"), "1");
    EXPECT_EQ(Get("Last", "C"), "3");

    // A null value removes the key, a null key the section.
    ASSERT_NE(WritePrivateProfileStringA("Compressor", "B", nullptr, kFile), 0);
    EXPECT_EQ(Get("Compressor", "B"), "dflt");
    ASSERT_NE(WritePrivateProfileStringA("Other", nullptr, nullptr, kFile), 0);
    EXPECT_EQ(Get("Other", "A"), "dflt");
    EXPECT_EQ(Get("Compressor", "CompressorNumber"), "12");
}

TEST_F(ProfileFileTest, WritesRefuseLineBreaksAndReadOnlyFilesAndLeaveTheFileAlone) {
    WriteText("[S]\nK=1\n");
    EXPECT_EQ(WritePrivateProfileStringA("S", "K", "2\n[Injected]\nX=1", kFile), 0);
    EXPECT_EQ(ReadText(), "[S]\nK=1\n");
    // Read-only, whoever writes (root may write any file).
    fs::permissions(m_path, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(WritePrivateProfileStringA("S", "K", "2", kFile), 0);
    EXPECT_EQ(ReadText(), "[S]\nK=1\n");
    EXPECT_EQ(fs::status(m_path).permissions(), fs::perms::owner_read | fs::perms::group_read);

    // A link stays a link: the file it names is written.
    fs::permissions(m_path, fs::perms::owner_write, fs::perm_options::add);
    const std::string link = m_path + ".link";
    fs::create_symlink(m_path, link);
    EXPECT_NE(WritePrivateProfileStringA("S", "K", "2", link.c_str()), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadText(), "[S]\nK=2\n");
    fs::remove(link);
}

TEST_F(ProfileFileTest, WritesCreateAMissingConfigurationFolder) {
    const fs::path folder = fs::path(std::getenv("XDG_CONFIG_HOME")) / "not-yet" / "there";
    const std::string file = (folder / "t.ini").string();
    ASSERT_NE(WritePrivateProfileStringA("S", "K", "v", file.c_str()), 0);
    char buffer[8];
    GetPrivateProfileStringA("s", "k", "", buffer, sizeof buffer, file.c_str());
    EXPECT_STREQ(buffer, "v");
    fs::remove_all(folder.parent_path());
}

}  // namespace
