// File attributes as the input check reads them: missing, plain folder, hidden or read-only
// folder, ordinary file.

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_attributes.h"

namespace fs = std::filesystem;

namespace {

class FileAttributesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("tessarel-attributes-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_dir);
    }
    [[nodiscard]] DWORD AttributesOf(const fs::path& path) const { return GetFileAttributesA(path.c_str()); }

    fs::path m_dir;
};

TEST_F(FileAttributesTest, MissingPathsAnswerInvalid) {
    EXPECT_EQ(AttributesOf(m_dir / "missing.mpg"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(AttributesOf(m_dir / "no-folder" / "a.mpg"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileAttributesTest, FoldersAreDirectoriesWithHiddenAndReadOnlyBits) {
    fs::create_directories(m_dir / "plain");
    fs::create_directories(m_dir / ".hidden");
    EXPECT_EQ(AttributesOf(m_dir / "plain"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(AttributesOf(m_dir / "plain/"), FILE_ATTRIBUTE_DIRECTORY) << "a trailing slash names the same";
    EXPECT_EQ(AttributesOf(m_dir / ".hidden"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(AttributesOf(m_dir / "plain" / ".."), FILE_ATTRIBUTE_DIRECTORY) << "\"..\" is not hidden";

    if (::geteuid() == 0) GTEST_SKIP() << "the superuser may write anything";
    fs::create_directories(m_dir / "locked");
    fs::permissions(m_dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(AttributesOf(m_dir / "locked"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
}

TEST_F(FileAttributesTest, FilesAreNormalUnlessHiddenOrReadOnly) {
    std::ofstream(m_dir / "clip.mpg") << "x";
    std::ofstream(m_dir / ".clip.mpg") << "x";
    EXPECT_EQ(AttributesOf(m_dir / "clip.mpg"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(AttributesOf(m_dir / ".clip.mpg"), FILE_ATTRIBUTE_HIDDEN);

    if (::geteuid() == 0) GTEST_SKIP() << "the superuser may write anything";
    fs::permissions(m_dir / "clip.mpg", fs::perms::owner_read);
    EXPECT_EQ(AttributesOf(m_dir / "clip.mpg"), FILE_ATTRIBUTE_READONLY);
}

}  // namespace
