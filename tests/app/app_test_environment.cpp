// A Qt core application for the whole test program, with a home and a configuration folder of
// its own, set before anything reads them and removed at the end.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <QCoreApplication>

#include <unistd.h>

namespace {

class AppTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        m_home =
            std::filesystem::temp_directory_path() / ("tessarel-app-tests-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_home);
        std::filesystem::create_directories(m_home / ".config");
        ::setenv("HOME", m_home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_home / ".config").c_str(), 1);

        static int argc = 1;
        static char name[] = "tessarel_app_tests";
        static char* argv[] = {name, nullptr};
        m_application = std::make_unique<QCoreApplication>(argc, argv);
    }

    void TearDown() override {
        m_application.reset();
        std::filesystem::remove_all(m_home);
    }

private:
    std::filesystem::path m_home;
    std::unique_ptr<QCoreApplication> m_application;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppTestEnvironment);

}  // namespace
