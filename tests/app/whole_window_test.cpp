// The program on a desktop, driven as a user drives it: Browse opens the real file dialog, two
// sample files are chosen by typing their names, Play input plays the first in the preview area.
// Screenshots go to $TESSAREL_SCREENSHOTS when it names a folder.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include "desktop_session.h"
#include "support/read_back.h"
#include "support/samples_dir.h"
#include "ui/playback_available.h"

namespace {

// Places in the window's client area, from the main window's template.
constexpr QPoint kBrowseButton(258, 22);
constexpr QPoint kFirstInput(60, 49);
constexpr QPoint kPlayInputButton(105, 427);
constexpr QPoint kStartButton(146, 233);
constexpr QRect kPreviewArea(339, 200, 246, 184);

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

TEST(WholeWindow, TwoSamplesChosenInTheFileDialogAndTheFirstPlaysInThePreview) {
    DesktopSession desktop;
    ASSERT_TRUE(desktop.Start()) << desktop.Error().toStdString();
    const QString videos = desktop.Home() + QStringLiteral("/videos");
    ASSERT_TRUE(QDir().mkpath(videos));
    for (const char* name : {"mpeg1_mp2.mpg", "mpeg4_mp3.avi"})
        ASSERT_TRUE(QFile::copy(QString::fromStdString(testsupport::SamplePath(name).string()), videos + "/" + name));

    // Started in the folder of the videos, where its file dialog opens.
    QProcess program;
    program.setProcessEnvironment(desktop.Environment());
    program.setWorkingDirectory(videos);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TESSAREL_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted());
    const QString window = desktop.WaitForWindow(QStringLiteral("^Tessarel$"), program, 20000);
    ASSERT_FALSE(window.isEmpty()) << "no window titled Tessarel";
    const QPoint client = desktop.ClientGeometry(window).topLeft();
    auto click = [&](QPoint at) {
        desktop.XDoTool({"mousemove", "--sync", QString::number(client.x() + at.x()),
                         QString::number(client.y() + at.y()), "click", "1"});
    };

    click(kBrowseButton);
    const QString dialog = desktop.WaitForWindow(QStringLiteral("^選取輸入檔案"), program, 10000);
    ASSERT_FALSE(dialog.isEmpty()) << "the file dialog did not open";
    // Typed into once it has drawn itself: before that, keys may go nowhere.
    auto drawn = [&] {
        const QImage shot = desktop.Screenshot(dialog);
        return !shot.isNull() && LitShare(shot, shot.rect()) > 0.5;
    };
    for (int i = 0; i < 100 && !drawn(); ++i) QThread::msleep(100);
    desktop.XDoTool({"windowactivate", "--sync", dialog});
    desktop.XDoTool({"type", "--delay", "20", "\"mpeg1_mp2.mpg\" \"mpeg4_mp3.avi\""});
    Keep(desktop.Screenshot(dialog), "file-dialog");
    desktop.XDoTool({"key", "Return"});
    // The jobs are listed once their output folder is there.
    for (int i = 0; i < 50 && !QDir(videos + "/converted").exists(); ++i) QThread::msleep(100);
    ASSERT_TRUE(QDir(videos + "/converted").exists()) << "the chosen files made no jobs";
    Keep(desktop.Screenshot(), "jobs");

    click(kFirstInput);
    click(kPlayInputButton);
    if (!CanRenderFiles()) {
        // Until then the file can't be rendered, and the window says so.
        const QString message = desktop.WaitForWindow(QStringLiteral("^tessarel$"), program, 10000);
        Keep(desktop.Screenshot(), "render-failed");
        EXPECT_FALSE(message.isEmpty()) << "no message that the file can't be rendered";
        if (!message.isEmpty()) desktop.XDoTool({"key", "--window", message, "Return"});
        program.terminate();
        program.waitForFinished(5000);
        GTEST_SKIP() << "the media layer does not render files yet";
    }

    QThread::msleep(1500);
    const QImage screen = desktop.Screenshot();
    Keep(screen, "playing");
    ASSERT_FALSE(screen.isNull());
    EXPECT_GT(LitShare(screen, kPreviewArea.translated(client)), 0.5) << "the preview area shows no picture";

    desktop.XDoTool({"key", "--window", window, "Escape"});
    EXPECT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 0);
}

// Three files chosen in the real dialog and converted with Start: every output is read back as a
// player reads it, against its input.
TEST(WholeWindow, ThreeSamplesChosenInTheFileDialogAreConvertedWithStart) {
    DesktopSession desktop;
    ASSERT_TRUE(desktop.Start()) << desktop.Error().toStdString();
    const QString videos = desktop.Home() + QStringLiteral("/videos");
    ASSERT_TRUE(QDir().mkpath(videos));
    const char* const names[] = {"mpeg2_ac3.mpg", "mjpeg_pcm.avi", "h264_aac.mov"};
    for (const char* name : names)
        ASSERT_TRUE(QFile::copy(QString::fromStdString(testsupport::SamplePath(name).string()), videos + "/" + name));

    QProcess program;
    program.setProcessEnvironment(desktop.Environment());
    program.setWorkingDirectory(videos);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TESSAREL_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted());
    const QString window = desktop.WaitForWindow(QStringLiteral("^Tessarel$"), program, 20000);
    ASSERT_FALSE(window.isEmpty()) << "no window titled Tessarel";
    const QPoint client = desktop.ClientGeometry(window).topLeft();
    auto click = [&](QPoint at) {
        desktop.XDoTool({"mousemove", "--sync", QString::number(client.x() + at.x()),
                         QString::number(client.y() + at.y()), "click", "1"});
    };

    click(kBrowseButton);
    const QString dialog = desktop.WaitForWindow(QStringLiteral("^選取輸入檔案"), program, 10000);
    ASSERT_FALSE(dialog.isEmpty()) << "the file dialog did not open";
    for (int i = 0; i < 100; ++i) {
        const QImage shot = desktop.Screenshot(dialog);
        if (!shot.isNull() && LitShare(shot, shot.rect()) > 0.5) break;
        QThread::msleep(100);
    }
    desktop.XDoTool({"windowactivate", "--sync", dialog});
    desktop.XDoTool({"type", "--delay", "20", "\"mpeg2_ac3.mpg\" \"mjpeg_pcm.avi\" \"h264_aac.mov\""});
    desktop.XDoTool({"key", "Return"});
    for (int i = 0; i < 50 && !QDir(videos + "/converted").exists(); ++i) QThread::msleep(100);
    ASSERT_TRUE(QDir(videos + "/converted").exists()) << "the chosen files made no jobs";

    click(kStartButton);
    // The title tells the run's place while a job runs, and is the program's own again at the end.
    bool seenRunning = false;
    for (int i = 0; i < 1200; ++i) {
        const QString title = desktop.XDoTool({"getwindowname", window});
        if (title.startsWith(QStringLiteral("Tessarel - "))) {
            if (!seenRunning) Keep(desktop.Screenshot(), "running");
            seenRunning = true;
        } else if (seenRunning && title == QStringLiteral("Tessarel")) {
            break;
        }
        QThread::msleep(50);
    }
    EXPECT_TRUE(seenRunning) << "the title never showed a job running";
    Keep(desktop.Screenshot(), "converted");

    for (const char* name : names) {
        const std::string base = std::string(name).substr(0, std::string(name).find('.'));
        const auto in = testsupport::ReadBack(testsupport::SamplePath(name));
        const auto out = testsupport::ReadBack((videos + "/converted/").toStdString() + base + ".avi");
        ASSERT_TRUE(out.Ok()) << name << ": " << out.error;
        EXPECT_EQ(out.Video().fourcc, "XVID") << name;
        EXPECT_EQ(out.Video().width, in.Video().width) << name;
        EXPECT_EQ(out.Video().height, in.Video().height) << name;
        EXPECT_EQ(out.Video().shownFrames, in.Video().shownFrames) << name;
        ASSERT_TRUE(out.HasAudio()) << name;
        EXPECT_EQ(out.Audio().audioMd5, in.Audio().audioMd5) << name;
    }

    desktop.XDoTool({"key", "--window", window, "Escape"});
    EXPECT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
