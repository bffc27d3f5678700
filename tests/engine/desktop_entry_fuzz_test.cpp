// The desktop's association files are whatever the user's desktop left there: damaged desktop
// entries and mimeapps.list files, special files under their names and desktop ids that point
// out of their folder must never crash, hang, or make the video itself the program to start.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/desktop_applications.h"

namespace {

namespace fs = std::filesystem;

const std::string kVideo = "/videos/my \"clip\" $HOME.avi";
const std::vector<std::string> kTypes = {"video/x-msvideo", "video/mpeg"};

const std::string kPlayerEntry =
    "[Desktop Entry]\nType=Application\nName=Player\nIcon=player\nTryExec=sh\n"
    "Exec=\"/opt/my player/run\" --title=%c %i %U --done %%\nMimeType=video/x-msvideo;video/mpeg;\n";
const std::string kAssociations =
    "[Default Applications]\nvideo/x-msvideo=missing.desktop;player.desktop;\n"
    "[Added Associations]\nvideo/mpeg=player.desktop\n";

void Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// One damage of the kinds a broken or hostile file shows.
std::string Mutated(std::string text, std::mt19937& random) {
    auto pick = [&](std::size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    // The syntax's own characters and words, and a NUL.
    const std::vector<std::string> pieces = {"[",
                                             "]",
                                             "=",
                                             "\\",
                                             "\"",
                                             "%",
                                             "%f",
                                             "%k",
                                             ";",
                                             "[Desktop Entry]",
                                             "Exec=",
                                             "Type=Application",
                                             "../",
                                             "/",
                                             std::string(1, '\n'),
                                             std::string(1, '\r'),
                                             std::string(1, '\t'),
                                             std::string(1, '\0')};
    switch (pick(7)) {
        case 0:  // bytes changed
            for (std::size_t n = 1 + pick(8); n > 0 && !text.empty(); --n)
                text[pick(text.size())] = static_cast<char>(pick(256));
            break;
        case 1:  // cut short
            text.resize(pick(text.size() + 1));
            break;
        case 2:  // a piece of the syntax put anywhere
            for (std::size_t n = 1 + pick(6); n > 0; --n)
                text.insert(pick(text.size() + 1), pieces[pick(pieces.size())]);
            break;
        case 3:  // one very long line
            text.insert(pick(text.size() + 1), std::string(200'000 + pick(100'000), "x=\\\"%"[pick(5)]));
            break;
        case 4:  // lines repeated
            text += text.substr(pick(text.size() + 1));
            break;
        case 5:  // a line gone
            if (const auto at = text.find('\n', pick(text.size() + 1)); at != std::string::npos)
                text.erase(at, text.find('\n', at + 1) - at);
            break;
        default:  // no newline at the end, or nothing at all
            text = pick(2) == 0 ? std::string() : text.substr(0, text.find_last_not_of('\n') + 1);
            break;
    }
    return text;
}

class DesktopEntryFuzzTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("tessarel-xdg-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        m_folders.config = {(m_root / "config").string()};
        m_folders.data = {(m_root / "data").string()};
        m_folders.desktops = {"test"};
    }
    void TearDown() override { fs::remove_all(m_root); }

    [[nodiscard]] fs::path Entry(const std::string& id) const { return m_root / "data/applications" / id; }
    [[nodiscard]] fs::path Associations() const { return m_root / "config/mimeapps.list"; }

    // The lookup and the command line for the video; a failure when either breaks a rule.
    void LookUp(const std::string& trace) {
        SCOPED_TRACE(trace);
        const auto started = std::chrono::steady_clock::now();
        const std::optional<DesktopApplication> found = DefaultApplicationFor(kTypes, m_folders);
        std::vector<std::string> command;
        if (found) command = CommandLineFor(*found, kVideo);
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_LT(took, std::chrono::seconds(2)) << "the lookup hangs";
        ++(found ? m_found : m_notFound);
        if (!found) return;
        EXPECT_EQ(fs::path(found->desktopFile).parent_path(), m_root / "data/applications")
            << "an entry outside the applications folder: " << found->desktopFile;
        if (command.empty()) return;
        EXPECT_NE(command.front(), kVideo) << "the video itself would be started as the program";
        EXPECT_EQ(
            std::count(command.begin(), command.end(), kVideo) +
                std::count_if(command.begin(), command.end(),
                              [](const std::string& a) { return a != kVideo && a.find(kVideo) != a.npos; }),
            1)
            << "the video is one argument, given once";
    }

    fs::path m_root;
    XdgDirectories m_folders;
    int m_found = 0;
    int m_notFound = 0;
};

TEST_F(DesktopEntryFuzzTest, DamagedEntriesAndListsNeverCrashHangOrStartTheVideo) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 400; ++round) {
        Write(Entry("player.desktop"), round % 2 == 0 ? Mutated(kPlayerEntry, random) : kPlayerEntry);
        Write(Associations(), round % 3 == 0 ? kAssociations : Mutated(kAssociations, random));
        LookUp("round " + std::to_string(round));
        if (HasFailure()) break;
    }
    // Both outcomes occur, so the damage reaches the parser rather than being refused wholesale.
    EXPECT_GT(m_found, 0);
    EXPECT_GT(m_notFound, 0);
    std::cout << "[ fuzz     ] " << m_found + m_notFound << " lookups: " << m_found
              << " found an application, " << m_notFound << " found none; no crash, hang or unsafe command\n";
}

TEST_F(DesktopEntryFuzzTest, SpecialFilesUnderTheListsNamesAreNotWaitedOn) {
    Write(Entry("player.desktop"), kPlayerEntry);
    // A pipe nobody writes to would block a reader for ever.
    fs::create_directories(Associations().parent_path());
    ASSERT_EQ(::mkfifo(Associations().c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((m_root / "config/test-mimeapps.list").c_str(), 0600), 0);
    LookUp("pipes as lists");
    EXPECT_EQ(m_found, 1) << "the entry that lists the type still counts";
}

TEST_F(DesktopEntryFuzzTest, DesktopIdsNeverReachOutOfTheApplicationsFolder) {
    Write(m_root / "elsewhere/evil.desktop", "[Desktop Entry]\nType=Application\nExec=evil %f\n");
    Write(Entry("sub/evil.desktop"), "[Desktop Entry]\nType=Application\nExec=evil %f\n");
    for (const std::string& id :
         {(m_root / "elsewhere/evil.desktop").string(), std::string("../../elsewhere/evil.desktop"),
          std::string("sub/evil.desktop")}) {
        Write(Associations(), "[Default Applications]\nvideo/x-msvideo=" + id + "\n");
        const std::optional<DesktopApplication> found = DefaultApplicationFor(kTypes, m_folders);
        EXPECT_FALSE(found) << id << " gave " << (found ? found->desktopFile : std::string());
    }
}

TEST_F(DesktopEntryFuzzTest, AnExecLineThatStartsWithTheFileGivesNoCommand) {
    for (const char* exec : {"%f", "%U --play", "\"%u\""}) {
        const DesktopApplication entry{"/apps/e.desktop", "E", "", exec};
        EXPECT_TRUE(CommandLineFor(entry, kVideo).empty()) << exec;
    }
}

}  // namespace
