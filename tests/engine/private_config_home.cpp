// No test may read or write the user's own settings: the whole run gets a configuration folder
// of its own, removed at the end.

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class PrivateConfigHome : public ::testing::Environment {
public:
    void SetUp() override {
        m_folder =
            std::filesystem::temp_directory_path() / ("tessarel-engine-config-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        ::setenv("XDG_CONFIG_HOME", m_folder.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

private:
    std::filesystem::path m_folder;
};

const bool g_registered = [] {
    ::testing::AddGlobalTestEnvironment(new PrivateConfigHome);
    return true;
}();

}  // namespace
