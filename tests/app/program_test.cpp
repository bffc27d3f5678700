// The program as a user starts it: on an X server of its own (Xvfb), it shows its window
// "Tessarel", ends with Escape and keeps the transparent-buttons option under its own name.

#include <chrono>
#include <thread>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

constexpr int kStartTimeoutMs = 20000;

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        ASSERT_FALSE(xvfb.isEmpty()) << "Xvfb is needed (scripts/install-deps.sh installs it)";
        ASSERT_FALSE(m_xdotool.isEmpty()) << "xdotool is needed (scripts/install-deps.sh installs it)";

        // Xvfb picks a free display and writes its number on the descriptor given.
        m_server.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        ASSERT_TRUE(m_server.waitForStarted());
        QByteArray number;
        while (!number.contains('\n') && m_server.waitForReadyRead(10000))
            number += m_server.readAllStandardOutput();
        ASSERT_TRUE(number.contains('\n')) << "Xvfb did not start";
        m_display = ":" + QString::fromLatin1(number.trimmed());

        QDir(m_home.path()).mkpath(QStringLiteral(".config"));
        QDir(m_home.path()).mkpath(QStringLiteral("run"));
        QFile::setPermissions(m_home.filePath(QStringLiteral("run")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void TearDown() override {
        m_server.terminate();
        m_server.waitForFinished();
    }

    [[nodiscard]] QProcessEnvironment Environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral(".config")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("run")));
        return environment;
    }

    // Runs xdotool on the test's display and returns what it printed.
    QString XDoTool(const QStringList& arguments) const {
        QProcess tool;
        tool.setProcessEnvironment(Environment());
        tool.start(m_xdotool, arguments);
        tool.waitForFinished(10000);
        return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    }

    // The id of the shown window titled exactly "Tessarel", once there is one.
    QString WaitForWindow(const QProcess& program) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
        while (std::chrono::steady_clock::now() < deadline && program.state() == QProcess::Running) {
            const QString found = XDoTool({"search", "--onlyvisible", "--name", "^Tessarel$"});
            if (!found.isEmpty()) return found.section('\n', 0, 0);
            std::this_thread::sleep_for(200ms);
        }
        return {};
    }

    // Starts program, waits for its window, presses Escape on it; the program must end well.
    void RunAndEndWithEscape(const QString& program) {
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, {});
        ASSERT_TRUE(process.waitForStarted()) << program.toStdString();

        const QString window = WaitForWindow(process);
        ASSERT_FALSE(window.isEmpty()) << "no window titled Tessarel";
        XDoTool({"key", "--window", window, "Escape"});

        ASSERT_TRUE(process.waitForFinished(5000)) << "the program did not end after Escape";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
    }

    // The transparent-buttons option as the program named application stored it.
    [[nodiscard]] QString StoredOption(const QString& application) const {
        const QString file =
            m_home.filePath(".config/Local AppWizard-Generated Applications/" + application + ".conf");
        return QSettings(file, QSettings::IniFormat)
            .value(QStringLiteral("RegAT/trans"), "<none>")
            .toString();
    }

    QTemporaryDir m_home;
    QProcess m_server;
    QString m_display;
    QString m_xdotool;
};

TEST_F(Program, ShowsItsWindowAndEndsWithEscapeKeepingTheOption) {
    RunAndEndWithEscape(QStringLiteral(TESSAREL_PROGRAM));
    EXPECT_EQ(StoredOption(QStringLiteral("tessarel")), "");
}

TEST_F(Program, RenamedItKeepsItsOptionUnderTheNewName) {
    const QString renamed = m_home.filePath(QStringLiteral("converter"));
    ASSERT_TRUE(QFile::link(QStringLiteral(TESSAREL_PROGRAM), renamed));
    RunAndEndWithEscape(renamed);
    EXPECT_EQ(StoredOption(QStringLiteral("converter")), "");
    EXPECT_EQ(StoredOption(QStringLiteral("tessarel")), "<none>");
}

}  // namespace
