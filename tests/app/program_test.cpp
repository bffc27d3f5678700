// The program as a user starts it: on a desktop of its own (Xvfb with a window manager), it
// shows its window "Tessarel" centred by its frame, ends with Escape and keeps the
// transparent-buttons option under its own name.

#include <QFile>
#include <QProcess>
#include <QThread>
#include <QSettings>

#include <gtest/gtest.h>

#include "desktop_session.h"

namespace {

constexpr int kStartTimeoutMs = 20000;

class Program : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_desktop.Start()) << m_desktop.Error().toStdString(); }

    // Starts program and waits for its window.
    QString Launch(QProcess& process, const QString& program) {
        process.setProcessEnvironment(m_desktop.Environment());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, {});
        EXPECT_TRUE(process.waitForStarted()) << program.toStdString();
        return m_desktop.WaitForWindow(QStringLiteral("^Tessarel$"), process, kStartTimeoutMs);
    }

    // Presses Escape on window; the program must end well.
    void EndWithEscape(QProcess& process, const QString& window) {
        m_desktop.XDoTool({"key", "--window", window, "Escape"});
        ASSERT_TRUE(process.waitForFinished(5000)) << "the program did not end after Escape";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
    }

    // The transparent-buttons option as the program named application stored it.
    [[nodiscard]] QString StoredOption(const QString& application) const {
        const QString file =
            m_desktop.Home() + "/.config/Local AppWizard-Generated Applications/" + application + ".conf";
        return QSettings(file, QSettings::IniFormat)
            .value(QStringLiteral("RegAT/trans"), "<none>")
            .toString();
    }

    DesktopSession m_desktop;
};

TEST_F(Program, ShowsItsWindowCentredByItsFrameAndEndsWithEscapeKeepingTheOption) {
    QProcess process;
    const QString window = Launch(process, QStringLiteral(TESSAREL_PROGRAM));
    ASSERT_FALSE(window.isEmpty()) << "no window titled Tessarel";

    // The frame as the window manager drew it: 640 x 500, in the middle of the 1024 x 768 screen.
    // The window manager may still be settling the frame just after the window shows.
    QRect frame;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QMargins extents = m_desktop.FrameExtents(window);
        frame = m_desktop.ClientGeometry(window).marginsAdded(extents);
        if (!extents.isNull() && frame.size() == QSize(640, 500) && std::abs(frame.center().y() - 383) <= 1)
            break;
        QThread::msleep(100);
    }
    EXPECT_FALSE(m_desktop.FrameExtents(window).isNull()) << "the window manager drew no frame";
    EXPECT_EQ(frame.size(), QSize(640, 500));
    EXPECT_LE(std::abs(frame.center().x() - 511), 1) << frame.x();
    EXPECT_LE(std::abs(frame.center().y() - 383), 1) << frame.y();

    EndWithEscape(process, window);
    EXPECT_EQ(StoredOption(QStringLiteral("tessarel")), "");
}

TEST_F(Program, RenamedItKeepsItsOptionUnderTheNewName) {
    const QString renamed = m_desktop.Home() + QStringLiteral("/converter");
    ASSERT_TRUE(QFile::link(QStringLiteral(TESSAREL_PROGRAM), renamed));
    QProcess process;
    const QString window = Launch(process, renamed);
    ASSERT_FALSE(window.isEmpty()) << "no window titled Tessarel";
    EndWithEscape(process, window);
    EXPECT_EQ(StoredOption(QStringLiteral("converter")), "");
    EXPECT_EQ(StoredOption(QStringLiteral("tessarel")), "<none>");
}

}  // namespace
