// Opening a file with the desktop's default application: the association read from
// freedesktop.org files in folders of the test's own, and a real start of the associated
// program, which records the arguments it was given.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include "platform/desktop_applications.h"
#include "platform/shell_execute.h"
#include "support/samples_dir.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class DesktopOpenTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_folders.config = {Path("config"), Path("config-dirs")};
        m_folders.data = {Path("data"), Path("data-dirs")};
    }

    [[nodiscard]] std::string Path(const char* name) const { return m_root.filePath(name).toStdString(); }

    void Application(const std::string& dataFolder, const std::string& id, const std::string& body) {
        Write(fs::path(dataFolder) / "applications" / id, "[Desktop Entry]\nType=Application\n" + body);
    }

    QTemporaryDir m_root;
    XdgDirectories m_folders;
};

TEST_F(DesktopOpenTest, TheDefaultComesFromTheFirstListThatNamesAnInstalledApplication) {
    Application(m_folders.data[1], "player.desktop",
                "Name=Player\nExec=player %f\nMimeType=video/x-msvideo;\n");
    Application(m_folders.data[1], "viewer.desktop",
                "Name=Viewer\nExec=viewer %U\nMimeType=video/x-msvideo;\n");
    Application(m_folders.data[0], "gone.desktop", "Name=Gone\nExec=gone %f\nHidden=true\n");
    Application(m_folders.data[0], "untried.desktop",
                "Name=Untried\nExec=x %f\nTryExec=/nonexistent/untried\n");

    // No list yet: any application that lists the type, by name.
    std::optional<DesktopApplication> found = DefaultApplicationFor({"video/x-msvideo"}, m_folders);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "Player");

    // Added associations come before that; defaults before both. Uninstalled, hidden and
    // untried entries are passed over; the user's own list counts first.
    Write(fs::path(m_folders.data[1]) / "applications/mimeapps.list",
          "[Added Associations]\nvideo/x-msvideo=viewer.desktop\n");
    EXPECT_EQ(DefaultApplicationFor({"video/x-msvideo"}, m_folders)->name, "Viewer");
    Write(fs::path(m_folders.config[1]) / "mimeapps.list",
          "[Default Applications]\nvideo/x-msvideo=player.desktop\n");
    Write(fs::path(m_folders.config[0]) / "mimeapps.list",
          "[Default Applications]\nvideo/x-msvideo=missing.desktop;gone.desktop;untried.desktop\n");
    EXPECT_EQ(DefaultApplicationFor({"video/x-msvideo"}, m_folders)->name, "Player");

    // A more general type counts when the type itself has nobody.
    EXPECT_EQ(DefaultApplicationFor({"video/x-other", "video/x-msvideo"}, m_folders)->name, "Player");
    EXPECT_FALSE(DefaultApplicationFor({"audio/x-wav"}, m_folders));
}

TEST_F(DesktopOpenTest, TheFileIsOneArgumentWhateverItHolds) {
    const std::string file = "/v/a b \"c\" $HOME `x` \\ 中.avi";
    DesktopApplication player{"/apps/player.desktop", "My Player", "player-icon",
                              "\"/opt/my player/run\" --title=\"%c\" %i %U --done %%"};
    EXPECT_EQ(CommandLineFor(player, file),
              (std::vector<std::string>{"/opt/my player/run", "--title=My Player", "--icon", "player-icon",
                                        file, "--done", "%"}));
    player.exec = "player --new-window";
    EXPECT_EQ(CommandLineFor(player, file), (std::vector<std::string>{"player", "--new-window", file}));
    player.exec = "player \"--open";
    EXPECT_TRUE(CommandLineFor(player, file).empty()) << "an open quote is a broken entry";
}

TEST_F(DesktopOpenTest, TheAssociatedProgramIsStartedWithThePathAsItIs) {
    // A copy of a real AVI file under a name a shell would mangle.
    const QString folder = m_root.filePath(QStringLiteral("videos"));
    fs::create_directories(folder.toStdString());
    const std::string file = (folder + QStringLiteral("/my 'clip' $HOME \"1\" 影片.avi")).toStdString();
    fs::copy_file(testsupport::SamplePath("mpeg4_mp3.avi"), file);

    const std::string record = Path("arguments");
    const std::string recorder = Path("recorder.sh");
    Write(recorder, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + record +
                        ".tmp\"\nmv \"" + record + ".tmp\" \"" + record + "\"\n");
    fs::permissions(recorder, fs::perms::owner_all);
    Application(Path("data"), "recorder.desktop", "Name=Recorder\nExec=" + recorder + " --play %f\n");
    Write(Path("config") + "/mimeapps.list", "[Default Applications]\nvideo/x-msvideo=recorder.desktop\n");

    // The desktop's folders are the test's own while it runs.
    const QByteArray saved[] = {qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_DATA_HOME")};
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(Path("config")));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(Path("data")));
    const std::intptr_t started = ShellExecuteA(nullptr, "open", file.c_str(), nullptr, nullptr, SW_SHOW);
    const std::intptr_t missing = ShellExecuteA(
        nullptr, "open", (folder + "/missing.avi").toStdString().c_str(), nullptr, nullptr, SW_SHOW);
    qputenv("XDG_CONFIG_HOME", saved[0]);
    qputenv("XDG_DATA_HOME", saved[1]);

    EXPECT_EQ(missing, SE_ERR_FNF);
    ASSERT_GT(started, 32);
    for (int i = 0; i < 500 && !fs::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(record);
    std::vector<std::string> arguments;
    for (std::string line; std::getline(in, line);) arguments.push_back(line);
    EXPECT_EQ(arguments, (std::vector<std::string>{"--play", file}));
}

}  // namespace
