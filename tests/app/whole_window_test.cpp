// The program on a desktop, driven as a user drives it: Browse opens the real file dialog, sample
// files are chosen by typing their names, then Play input plays one in the preview area or Start
// converts them all.
// Screenshots go to $TESSAREL_SCREENSHOTS when it names a folder.

#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include "desktop_session.h"
#include "private_bus.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

namespace {

// Places in the window's client area, from the main window's template.
constexpr QPoint kBrowseButton(258, 22);
constexpr QPoint kFirstInput(60, 49);
constexpr QPoint kPlayInputButton(105, 427);
constexpr QPoint kStartButton(146, 233);
constexpr QRect kPreviewArea(339, 200, 246, 184);
constexpr QPoint kPowerOffBox(19, 325);
// The status line's left part, where its centred text is and a message box does not come.
constexpr QRect kStatusLine(12, 252, 178, 16);

void Keep(const QImage& screen, const char* name) {
    const QString folder = qEnvironmentVariable("TESSAREL_SCREENSHOTS");
    if (!folder.isEmpty() && !screen.isNull()) screen.save(folder + "/" + name + ".png");
}

// The share of pixels in area of screen that aren't black.
double LitShare(const QImage& screen, const QRect& area) {
    int lit = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) lit += qGray(screen.pixel(x, y)) > 24;
    return static_cast<double>(lit) / (area.width() * area.height());
}

// The program started on a desktop of its own, in a folder holding copies of some samples, where
// its file dialog opens.
class WholeWindow : public ::testing::Test {
protected:
    void StartWith(const std::vector<const char*>& names) {
        ASSERT_TRUE(m_desktop.Start()) << m_desktop.Error().toStdString();
        m_videos = m_desktop.Home() + QStringLiteral("/videos");
        ASSERT_TRUE(QDir().mkpath(m_videos));
        for (const char* name : names)
            ASSERT_TRUE(QFile::copy(QString::fromStdString(testsupport::SamplePath(name).string()),
                                    m_videos + "/" + name));
        m_program.setProcessEnvironment(m_desktop.Environment());
        m_program.setWorkingDirectory(m_videos);
        m_program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_program.start(QStringLiteral(TESSAREL_PROGRAM), {});
        ASSERT_TRUE(m_program.waitForStarted());
        m_window = m_desktop.WaitForWindow(QStringLiteral("^Tessarel$"), m_program, 20000);
        ASSERT_FALSE(m_window.isEmpty()) << "no window titled Tessarel";
        m_client = m_desktop.ClientGeometry(m_window).topLeft();
    }

    void Click(QPoint at) {
        m_desktop.XDoTool({"mousemove", "--sync", QString::number(m_client.x() + at.x()),
                           QString::number(m_client.y() + at.y()), "click", "1"});
    }

    // Browse, the names typed into the real file dialog, Enter: the jobs are listed once their
    // output folder is there.
    void ChooseInFileDialog(const std::vector<const char*>& names) {
        Click(kBrowseButton);
        const QString dialog = m_desktop.WaitForWindow(QStringLiteral("^選取輸入檔案"), m_program, 10000);
        ASSERT_FALSE(dialog.isEmpty()) << "the file dialog did not open";
        // Typed into once it has drawn itself: before that, keys may go nowhere.
        auto drawn = [&] {
            const QImage shot = m_desktop.Screenshot(dialog);
            return !shot.isNull() && LitShare(shot, shot.rect()) > 0.5;
        };
        for (int i = 0; i < 100 && !drawn(); ++i) QThread::msleep(100);
        QString typed;
        for (const char* name : names) typed += QStringLiteral("\"%1\" ").arg(QString::fromUtf8(name));
        m_desktop.XDoTool({"windowactivate", "--sync", dialog});
        m_desktop.XDoTool({"type", "--delay", "20", typed.trimmed()});
        Keep(m_desktop.Screenshot(dialog), "file-dialog");
        m_desktop.XDoTool({"key", "Return"});
        for (int i = 0; i < 50 && !QDir(m_videos + "/converted").exists(); ++i) QThread::msleep(100);
        ASSERT_TRUE(QDir(m_videos + "/converted").exists()) << "the chosen files made no jobs";
        Keep(m_desktop.Screenshot(), "jobs");
    }

    // Every output of names is in place.
    bool Converted(const std::vector<const char*>& names) const {
        for (const char* name : names)
            if (!QFile::exists(m_videos + "/converted/" + QString::fromUtf8(name).section('.', 0, 0) +
                               ".avi"))
                return false;
        return true;
    }

    // Serves the test's D-Bus stand-ins while waiting for the window's title to start with title.
    bool WaitForTitle(const QString& title, int timeoutMs = 60000) {
        for (int waited = 0; waited < timeoutMs; waited += 100) {
            if (m_desktop.XDoTool({"getwindowname", m_window}).startsWith(title)) return true;
            ServeEventsFor(100);
        }
        return false;
    }

    // The message box that the program shows (titled with its name, as the window but in lower
    // case), other than box before, once there is one; empty when none came.
    QString WaitForMessageBox(const QString& before = {}) {
        for (int i = 0; i < 100; ++i, ServeEventsFor(100))
            for (const QString& found :
                 m_desktop.XDoTool({"search", "--onlyvisible", "--name", "^tessarel$"}).split('\n'))
                if (!found.isEmpty() && found != m_window && found != before) return found;
        return {};
    }

    void EndWithEscape() {
        m_desktop.XDoTool({"key", "--window", m_window, "Escape"});
        EXPECT_TRUE(m_program.waitForFinished(5000));
        EXPECT_EQ(m_program.exitCode(), 0);
    }

    DesktopSession m_desktop;
    QProcess m_program;
    QString m_videos;
    QString m_window;
    QPoint m_client;
};

// The first file's sound starts a second after its picture: the window must not wait for it.
TEST_F(WholeWindow, TwoSamplesChosenInTheFileDialogAndTheFirstPlaysInThePreviewAtOnce) {
    ASSERT_NO_FATAL_FAILURE(StartWith({"late_audio.mpg", "mpeg4_mp3.avi"}));
    ASSERT_NO_FATAL_FAILURE(ChooseInFileDialog({"late_audio.mpg", "mpeg4_mp3.avi"}));

    Click(kFirstInput);
    Click(kPlayInputButton);
    QThread::msleep(1500);
    const QImage screen = m_desktop.Screenshot();
    Keep(screen, "playing");
    ASSERT_FALSE(screen.isNull());
    EXPECT_GT(LitShare(screen, kPreviewArea.translated(m_client)), 0.5)
        << "the preview area shows no picture";
    EndWithEscape();
}

// Three files chosen in the real dialog and converted with Start: every output is read back as a
// player reads it, against its input.
TEST_F(WholeWindow, ThreeSamplesChosenInTheFileDialogAreConvertedWithStart) {
    const std::vector<const char*> names{"mpeg2_ac3.mpg", "mjpeg_pcm.avi", "h264_aac.mov"};
    ASSERT_NO_FATAL_FAILURE(StartWith(names));
    ASSERT_NO_FATAL_FAILURE(ChooseInFileDialog(names));

    Click(kStartButton);
    // The title tells the run's place while a job runs, and is the program's own again at the end.
    bool seenRunning = false;
    for (int i = 0; i < 1200; ++i) {
        const QString title = m_desktop.XDoTool({"getwindowname", m_window});
        if (title.startsWith(QStringLiteral("Tessarel - "))) {
            if (!seenRunning) Keep(m_desktop.Screenshot(), "running");
            seenRunning = true;
        } else if (seenRunning && title == QStringLiteral("Tessarel") && Converted(names)) {
            break;
        }
        QThread::msleep(50);
    }
    EXPECT_TRUE(seenRunning) << "the title never showed a job running";
    Keep(m_desktop.Screenshot(), "converted");

    for (const char* name : names) {
        const std::string base = std::string(name).substr(0, std::string(name).find('.'));
        const auto in = testsupport::ReadBack(testsupport::SamplePath(name));
        const auto out = testsupport::ReadBack((m_videos + "/converted/").toStdString() + base + ".avi");
        ASSERT_TRUE(out.Ok()) << name << ": " << out.error;
        EXPECT_EQ(out.Video().fourcc, "XVID") << name;
        EXPECT_EQ(out.Video().width, in.Video().width) << name;
        EXPECT_EQ(out.Video().height, in.Video().height) << name;
        EXPECT_EQ(out.Video().shownFrames, in.Video().shownFrames) << name;
        ASSERT_TRUE(out.HasAudio()) << name;
        EXPECT_EQ(out.Audio().audioMd5, in.Audio().audioMd5) << name;
    }
    EndWithEscape();
}

// During a run the window's keys do nothing, while a click on power-off is kept; the desktop
// hears of the run (sleep held, progress on the icon; no notification, as the window is active),
// and a later Start that fails leaves no completion text on screen.
TEST_F(WholeWindow, KeysDuringARunChangeNothingThePowerOffUntickIsKeptAndTheDesktopIsTold) {
    DesktopServicesStandIn services;
    ASSERT_TRUE(services.Serving()) << "dbus-daemon is needed (scripts/install-deps.sh)";
    ASSERT_NO_FATAL_FAILURE(StartWith({"long_raw.m4v", "mpeg1_mp2.mpg", "indexed_10s.mpg"}));
    // Long enough to press keys during it, under a name the dialog offers. Its length is
    // unknown, which the run warns of before it starts.
    ASSERT_TRUE(QFile::rename(m_videos + "/long_raw.m4v", m_videos + "/long_raw.mov"));
    const std::vector<const char*> names{"long_raw.mov", "mpeg1_mp2.mpg", "indexed_10s.mpg"};
    ASSERT_NO_FATAL_FAILURE(ChooseInFileDialog(names));
    const QImage idleStatus = m_desktop.Screenshot(m_window).copy(kStatusLine);

    Click(kPowerOffBox);
    Click(kStartButton);
    m_desktop.XDoTool({"key", "--window", WaitForMessageBox(), "Return"});
    ASSERT_TRUE(WaitForTitle(QStringLiteral("Tessarel - ")));
    EXPECT_TRUE(services.WaitUntil([&] { return services.HeldInhibitions() == 1; }));
    // Escape and Enter would end the program, Tab move on, Alt+L clear the lists.
    for (const char* key : {"Escape", "Return", "Tab", "alt+l", "Return"})
        m_desktop.XDoTool({"key", "--window", m_window, key});
    // From the keyboard, as typed: the disabled Start button must not have passed its focus on to
    // Clear lists.
    m_desktop.XDoTool({"windowactivate", "--sync", m_window});
    for (const char* key : {"space", "Return", "space"}) m_desktop.XDoTool({"key", key});
    Click(kPowerOffBox);
    Keep(m_desktop.Screenshot(), "keys-during-run");
    ServeEventsFor(100);
    EXPECT_EQ(services.HeldInhibitions(), 1) << "the keys came after the run";
    ASSERT_TRUE(services.WaitUntil([&] { return Converted(names); }, 120000)) << "the list was not converted";
    const auto& updates = services.LauncherUpdates();
    EXPECT_TRUE(services.WaitUntil([&] {
        return services.HeldInhibitions() == 0 && !updates.empty() && !updates.back().progressVisible;
    })) << "the lock and the bar go at the end";
    EXPECT_EQ(m_program.state(), QProcess::Running);
    EXPECT_TRUE(services.CallsTo("PowerOff").isEmpty());
    EXPECT_EQ(services.CallsTo("Inhibit").size(), 1);
    EXPECT_TRUE(services.CallsTo("Notify").isEmpty()) << "the window was active";
    Keep(m_desktop.Screenshot(), "converted");
    ASSERT_GE(updates.size(), 3U);
    EXPECT_TRUE(updates.front().progressVisible && updates.front().count == 3);
    EXPECT_FALSE(updates.back().countVisible);
    for (std::size_t i = 1; i < updates.size(); ++i)
        EXPECT_FALSE(updates[i].progress == updates[i - 1].progress &&
                     updates[i].count == updates[i - 1].count)
            << "update " << i << " repeats the one before";

    // A Start that fails at its second row, the outputs' folder gone since Browse: the folder is
    // made again, its message shows, and "done" is gone from the status line.
    ASSERT_TRUE(QFile::remove(m_videos + "/long_raw.mov"));
    ASSERT_TRUE(QDir(m_videos + "/converted").removeRecursively());
    Click(kStartButton);
    const QString box = WaitForMessageBox();
    Keep(m_desktop.Screenshot(), "failed-start");
    ASSERT_FALSE(box.isEmpty()) << "no message";
    ServeEventsFor(500);
    Keep(m_desktop.Screenshot(), "failed-start");
    Keep(m_desktop.Screenshot(box), "failed-start-box");
    EXPECT_EQ(m_desktop.Screenshot(m_window).copy(kStatusLine), idleStatus);
    m_desktop.XDoTool({"key", "--window", box, "Return"});
    // The probe's box, which the run goes on after; then the build's, which ends it: the lock and
    // the bar are gone while it waits.
    const QString buildBox = WaitForMessageBox(box);
    ASSERT_FALSE(buildBox.isEmpty()) << "no second message";
    EXPECT_TRUE(services.WaitUntil(
        [&] { return services.HeldInhibitions() == 0 && !updates.back().progressVisible; }));
    EXPECT_TRUE(Converted({"indexed_10s.mpg"}));
    // Escape answers the box, then ends the program, however long the window manager takes to
    // give the box the focus: until then the keys go to the main window, which the box blocks.
    for (int i = 0; i < 40 && !m_program.waitForFinished(250); ++i)
        m_desktop.XDoTool({"key", "--window", buildBox, "Escape"});
    EXPECT_EQ(m_program.state(), QProcess::NotRunning);
    EXPECT_EQ(m_program.exitCode(), 0);
}

}  // namespace
