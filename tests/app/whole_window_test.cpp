// The program on a desktop, driven as a user drives it: Browse opens the real file dialog, sample
// files are chosen by typing their names, then Play input plays one in the preview area or Start
// converts them all.
// Screenshots go to $TESSAREL_SCREENSHOTS when it names a folder.

#include <string>
#include <vector>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
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
// How long the program may take to show a window or end a run: on a machine whose cores are busy
// with other builds and tests far longer than alone, within the test's own five minutes.
constexpr int kPatienceMs = 120000;

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
        m_window = m_desktop.WaitForWindow(QStringLiteral("^Tessarel$"), m_program, kPatienceMs);
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
        const QString dialog =
            m_desktop.WaitForWindow(QStringLiteral("^選取輸入檔案"), m_program, kPatienceMs);
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
        QElapsedTimer waited;
        waited.start();
        while (!QDir(m_videos + "/converted").exists() && !waited.hasExpired(kPatienceMs))
            QThread::msleep(100);
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
    bool WaitForTitle(const QString& title, int timeoutMs = kPatienceMs) {
        for (int waited = 0; waited < timeoutMs; waited += 100) {
            if (m_desktop.XDoTool({"getwindowname", m_window}).startsWith(title)) return true;
            ServeEventsFor(100);
        }
        return false;
    }

    // The message box that the program shows (titled with its name, as the window but in lower
    // case), other than box before, once there is one; empty when none came.
    QString WaitForMessageBox(const QString& before = {}) {
        QElapsedTimer waited;
        for (waited.start(); !waited.hasExpired(kPatienceMs); ServeEventsFor(100))
            for (const QString& found :
                 m_desktop.XDoTool({"search", "--onlyvisible", "--name", "^tessarel$"}).split('\n'))
                if (!found.isEmpty() && found != m_window && found != before) return found;
        return {};
    }

    // Presses key in box. xdotool sends a key through the server when box has the focus, and its
    // release to the box alone when the focus has moved on by then (the box closed at the press):
    // the server would hold the key down and repeat it into the next box, and into Start.
    void Answer(const QString& box, const char* key) {
        m_desktop.XDoTool({"key", "--window", box, key});
        m_desktop.XDoTool({"keyup", key});
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

    // The title tells the run's place while a job runs, and is the program's own again at the end:
    // every change of it is caught as it happens, however briefly a short job shows.
    QProcess titles;
    titles.setProcessEnvironment(m_desktop.Environment());
    // Line by line, as each change comes.
    titles.start(QStringLiteral("stdbuf"), {"-oL", "xprop", "-spy", "-id", m_window, "_NET_WM_NAME"});
    ASSERT_TRUE(titles.waitForStarted());
    Click(kStartButton);
    bool seenRunning = false;
    QElapsedTimer waited;
    for (waited.start(); !waited.hasExpired(kPatienceMs); QThread::msleep(50)) {
        titles.waitForReadyRead(0);
        const QString seen = QString::fromUtf8(titles.peek(titles.bytesAvailable()));
        if (!seenRunning && seen.contains(QStringLiteral("\"Tessarel - ")))
            Keep(m_desktop.Screenshot(), "running");
        seenRunning = seen.contains(QStringLiteral("\"Tessarel - "));
        if (seenRunning && seen.trimmed().endsWith(QStringLiteral("\"Tessarel\"")) && Converted(names)) break;
    }
    titles.kill();
    titles.waitForFinished();
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
    // The first is long enough to press keys during it, under a name the dialog's filter hides: a
    // typed name counts all the same. Its length is unknown, which the run warns of before it starts.
    const std::vector<const char*> names{"long_raw.m4v", "mpeg1_mp2.mpg", "indexed_10s.mpg"};
    ASSERT_NO_FATAL_FAILURE(StartWith(names));
    ASSERT_NO_FATAL_FAILURE(ChooseInFileDialog(names));
    const QImage idleStatus = m_desktop.Screenshot(m_window).copy(kStatusLine);

    Click(kPowerOffBox);
    Click(kStartButton);
    Answer(WaitForMessageBox(), "Return");
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
    EXPECT_EQ(services.CallsTo("Inhibit").size(), 2) << "let go while the warning waited, then taken again";
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
    ASSERT_TRUE(QFile::remove(m_videos + "/long_raw.m4v"));
    ASSERT_TRUE(QDir(m_videos + "/converted").removeRecursively());
    Click(kStartButton);
    const QString box = WaitForMessageBox();
    Keep(m_desktop.Screenshot(), "failed-start");
    ASSERT_FALSE(box.isEmpty()) << "no message";
    ServeEventsFor(500);
    Keep(m_desktop.Screenshot(), "failed-start");
    Keep(m_desktop.Screenshot(box), "failed-start-box");
    EXPECT_EQ(m_desktop.Screenshot(m_window).copy(kStatusLine), idleStatus);
    Answer(box, "Return");
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

// A second start with files hands them to the one window, which lists each file once. A box that
// waits while the window is minimised lets the desktop go and tells the user; the run takes the
// desktop again when it goes on after OK.
TEST_F(WholeWindow, ASecondStartAddsToTheOneWindowAndAProbeFailureLetsTheDesktopGoWhileItsBoxWaits) {
    DesktopServicesStandIn services;
    ASSERT_TRUE(services.Serving()) << "dbus-daemon is needed (scripts/install-deps.sh)";
    const auto& updates = services.LauncherUpdates();
    ASSERT_NO_FATAL_FAILURE(StartWith({"long_raw.m4v", "mpeg1_mp2.mpg"}));
    // 400 KB that no detector opens, under a name the dialog offers.
    QFile noise(m_videos + "/noise.mpg");
    ASSERT_TRUE(noise.open(QIODevice::WriteOnly));
    QByteArray bytes(400 * 1024, '\0');
    QRandomGenerator(32).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    noise.write(bytes);
    noise.close();
    ASSERT_NO_FATAL_FAILURE(ChooseInFileDialog({"long_raw.m4v", "noise.mpg"}));

    QProcess second;
    second.setProcessEnvironment(m_desktop.Environment());
    second.setWorkingDirectory(m_videos);
    second.start(QStringLiteral(TESSAREL_PROGRAM), {"mpeg1_mp2.mpg", "long_raw.m4v", "./mpeg1_mp2.mpg"});
    ASSERT_TRUE(second.waitForFinished(kPatienceMs));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(m_desktop.XDoTool({"search", "--onlyvisible", "--name", "^Tessarel$"}), m_window)
        << "no second window";

    Click(kStartButton);
    Answer(WaitForMessageBox(), "Return");  // the unknown length's
    ASSERT_TRUE(WaitForTitle(QStringLiteral("Tessarel - 1/3 - "))) << "each file listed once";
    // The user goes elsewhere. The probe's box may come minimised with the window it belongs to: the
    // notification tells of it, and the desktop is let go while it waits.
    m_desktop.XDoTool({"windowminimize", "--sync", m_window});
    ASSERT_TRUE(services.WaitUntil([&] { return services.CallsTo("Notify").size() == 1; }, kPatienceMs));
    EXPECT_TRUE(services.CallsTo("Notify")[0].contains(QStringLiteral("失敗於輸出檔案名稱")));
    EXPECT_TRUE(services.WaitUntil([&] {
        return services.HeldInhibitions() == 0 && !updates.empty() && !updates.back().progressVisible;
    }));
    Keep(m_desktop.Screenshot(), "probe-box-minimised");
    // The user comes back to the box.
    m_desktop.XDoTool({"windowactivate", "--sync", m_window});
    const QString probeBox = WaitForMessageBox();
    ASSERT_FALSE(probeBox.isEmpty()) << "no message";
    Keep(m_desktop.Screenshot(), "probe-box");

    const qsizetype taken = services.CallsTo("Inhibit").size();
    const std::size_t shown = updates.size();
    Answer(probeBox, "Return");
    const QString buildBox = WaitForMessageBox(probeBox);
    ASSERT_FALSE(buildBox.isEmpty()) << "no second message";
    EXPECT_TRUE(services.WaitUntil([&] { return services.CallsTo("Inhibit").size() == taken + 1; }));
    ASSERT_TRUE(services.WaitUntil([&] { return updates.size() >= shown + 2; }));
    EXPECT_TRUE(updates[shown].progressVisible) << "shown again after OK";
    EXPECT_TRUE(services.WaitUntil(
        [&] { return services.HeldInhibitions() == 0 && !updates.back().progressVisible; }));
    EXPECT_EQ(services.CallsTo("Notify").size(), 1) << "the job's first box only";
    EXPECT_TRUE(Converted({"long_raw.m4v", "mpeg1_mp2.mpg"}));
    Answer(buildBox, "Return");
    EndWithEscape();
}

}  // namespace
