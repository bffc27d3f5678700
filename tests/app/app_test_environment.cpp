// A Qt core application for the whole test program, with a home and a configuration folder of
// its own, and a session bus and a system bus of its own (private_bus.h), all set before anything
// reads them; the folder is removed at the end.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <QCoreApplication>

#include <unistd.h>

#include "private_bus.h"

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
        // Without dbus-daemon, an address where no bus is: still never the machine's.
        const std::string nowhere = "unix:path=" + (m_home / "no-bus").string();
        for (auto [variable, bus] : {std::pair{"DBUS_SESSION_BUS_ADDRESS", &m_sessionBus},
                                     std::pair{"DBUS_SYSTEM_BUS_ADDRESS", &m_systemBus}}) {
            const std::string address = bus->Start().toStdString();
            ::setenv(variable, address.empty() ? nowhere.c_str() : address.c_str(), 1);
        }

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
    PrivateBus m_sessionBus;
    PrivateBus m_systemBus;
    std::unique_ptr<QCoreApplication> m_application;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppTestEnvironment);

}  // namespace
