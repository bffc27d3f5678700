// One widget application for the whole test program, on Qt's offscreen platform, with a home
// and a configuration folder of its own so that no test reads or writes the user's settings.
// Both are set before anything reads them; the folder is removed at the end.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <QApplication>

#include <unistd.h>

namespace {

QtMessageHandler g_nextHandler = nullptr;

// The offscreen platform has no window manager to pass a fixed window size on to, and says so
// each time a window gets one.
void DropOffscreenSizeHintNotice(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message == QLatin1String("This plugin does not support propagateSizeHints()")) return;
    g_nextHandler(type, context, message);
}

class UiTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        m_home = std::filesystem::temp_directory_path() / ("tessarel-ui-tests-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_home);
        std::filesystem::create_directories(m_home / ".config");
        ::setenv("HOME", m_home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_home / ".config").c_str(), 1);
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

        g_nextHandler = qInstallMessageHandler(DropOffscreenSizeHintNotice);
        static int argc = 1;
        static char name[] = "tessarel_ui_tests";
        static char* argv[] = {name, nullptr};
        m_application = std::make_unique<QApplication>(argc, argv);
    }

    void TearDown() override {
        m_application.reset();
        std::filesystem::remove_all(m_home);
    }

private:
    std::filesystem::path m_home;
    std::unique_ptr<QApplication> m_application;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new UiTestEnvironment);

}  // namespace
