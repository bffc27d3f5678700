// Preview playback from the main window: the three buttons with their messages and the preview
// graph's life, on real files through the real media layer; the desktop's player is a stand-in.
// The tests that need a playing graph skip themselves while the media layer can't render files.

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QImage>
#include <QTemporaryDir>

#include "converter_dialog_fixture.h"
#include "skin/skin_button.h"
#include "support/samples_dir.h"
#include "ui/preview_area.h"

namespace {

constexpr char kFileMissing[] = "指定的檔案不存在.\r\n\r\n請提供一個有效的媒介檔案名稱.";
constexpr char kCannotRender[] = "失敗於成像選取的檔案";

std::string Sample(const char* name) {
    return testsupport::SamplePath(name).string();
}

// Serves the window's events until ready() holds or timeoutMs has passed; whether it held.
template <class Ready>
bool WaitFor(Ready ready, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Mean absolute difference of two pictures of one size, per channel, 0 to 255.
double MeanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 255;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

bool AllBlack(const QImage& picture) {
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (qGray(picture.pixel(x, y)) > 16) return false;
    return true;
}

class PreviewTest : public ConverterDialogTest {
protected:
    void SetUp() override {
        ConverterDialogTest::SetUp();
        m_dialog = Start();
    }
    void TearDown() override {
        m_dialog.reset();
        ConverterDialogTest::TearDown();
    }

    // One job whose input is input, selected in the input list.
    void ListAndSelectInput(const std::string& input) {
        m_dialog->m_inputList->addItem(QString::fromStdString(input));
        m_dialog->m_outputList->addItem(QString::fromStdString(input + ".out.avi"));
        m_dialog->m_inputList->setCurrentRow(m_dialog->m_inputList->count() - 1);
    }

    std::unique_ptr<ConverterDialog> m_dialog;
};

TEST_F(PreviewTest, EachPlayButtonAsksForASelectionInItsOwnList) {
    m_dialog->m_inputList->addItem(QStringLiteral("/v/a.mpg"));
    m_dialog->m_outputList->addItem(QStringLiteral("/v/converted/a.avi"));
    m_dialog->m_outputList->setCurrentRow(0);
    QTest::mouseClick(m_dialog->m_btnPlayInput, Qt::LeftButton);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"請選取一個輸入檔案"});

    m_messages.Clear();
    m_dialog->m_outputList->clearSelection();
    m_dialog->m_inputList->setCurrentRow(0);
    QTest::mouseClick(m_dialog->m_btnPlayOutput, Qt::LeftButton);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"請選取一個輸出檔案"});
    EXPECT_TRUE(m_desktop.Opened().empty());
    EXPECT_FALSE(m_dialog->m_previewGraph);
}

TEST_F(PreviewTest, AnOutputOpensWithTheDesktopsPlayerAndOtherwisePlaysInThePreview) {
    const std::string output = Sample("mpeg4_mp3.avi");
    m_dialog->m_inputList->addItem(QStringLiteral("/v/a.mpg"));
    m_dialog->m_outputList->addItem(QString::fromStdString(output));
    m_dialog->m_outputList->setCurrentRow(0);

    m_desktop.Answer(kShellExecuteStarted);
    QTest::mouseClick(m_dialog->m_btnPlayOutput, Qt::LeftButton);
    EXPECT_EQ(m_desktop.Opened(), (std::vector<std::pair<std::string, std::string>>{{"open", output}}));
    EXPECT_EQ(m_dialog->m_outputPath, output);
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_FALSE(m_dialog->m_previewGraph) << "the desktop's player shows it, not the preview";

    // An output not written yet: the desktop fails, and the preview says the file is missing.
    m_dialog->m_outputList->item(0)->setText(QStringLiteral("/nonexistent/converted/a.avi"));
    m_desktop.Answer(SE_ERR_FNF);
    QTest::mouseClick(m_dialog->m_btnPlayOutput, Qt::LeftButton);
    EXPECT_EQ(m_desktop.Opened().size(), 2U);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{kFileMissing});
    EXPECT_FALSE(m_dialog->m_previewGraph);
}

TEST_F(PreviewTest, BadPathsAreRefusedBeforeAnyGraphIsMade) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A file that can't be rendered leaves its graph held, never run, and the area black.
    ListAndSelectInput(Sample("not_media.avi"));
    QTest::mouseClick(m_dialog->m_btnPlayInput, Qt::LeftButton);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{kCannotRender});
    ASSERT_TRUE(m_dialog->m_previewGraph);
    EXPECT_TRUE(m_dialog->m_preview->ShownPicture().isNull());
    IGraphBuilder* const held = m_dialog->m_previewGraph.Get();

    // Too long (4,096 bytes): refused, and the graph held stays as it was.
    m_messages.Clear();
    m_dialog->PlayInPreview("/" + std::string(4091, 'x') + ".avi");
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"檔案名稱太長"});
    EXPECT_EQ(m_dialog->m_previewGraph.Get(), held);

    // Missing, and a folder: the graph held before is released, no new one is made.
    for (const std::string& path :
         {folder.filePath("missing.mpg").toStdString(), folder.path().toStdString()}) {
        m_messages.Clear();
        m_dialog->PlayInPreview(path);
        EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{kFileMissing}) << path;
        EXPECT_FALSE(m_dialog->m_previewGraph);
    }
}

TEST_F(PreviewTest, ASecondPlayReleasesTheFirstGraph) {
    ListAndSelectInput(Sample("empty.mpg"));
    const long before = media::LiveObjectCount();
    m_dialog->OnPlayInput();
    const long afterFirst = media::LiveObjectCount();
    EXPECT_GT(afterFirst, before);
    m_dialog->OnPlayInput();
    EXPECT_EQ(media::LiveObjectCount(), afterFirst);
    EXPECT_EQ(m_messages.Messages(), (std::vector<std::string>{kCannotRender, kCannotRender}));

    // Stop on a graph that never ran says nothing; a release leaves nothing alive.
    m_messages.Clear();
    m_dialog->ReleasePreviewGraph();
    EXPECT_EQ(media::LiveObjectCount(), before);
    m_dialog->OnStopPlayback();
    EXPECT_TRUE(m_messages.Messages().empty()) << "Stop without a graph does nothing";
}

TEST_F(PreviewTest, PlayInputShowsThePictureAndStopShowsTheFirstOneAgain) {
    ListAndSelectInput(Sample("mpeg1_mp2.mpg"));
    QTest::mouseClick(m_dialog->m_btnPlayInput, Qt::LeftButton);
    EXPECT_TRUE(m_messages.Messages().empty());
    ASSERT_TRUE(m_dialog->m_previewGraph);
    ASSERT_TRUE(WaitFor([&] { return !m_dialog->m_preview->ShownPicture().isNull(); }, 5000));
    const QImage first = m_dialog->m_preview->ShownPicture();
    EXPECT_EQ(first.size(), QSize(320, 240));
    EXPECT_FALSE(AllBlack(first));

    // The picture moves on while it plays.
    EXPECT_TRUE(
        WaitFor([&] { return MeanDifference(m_dialog->m_preview->ShownPicture(), first) > 4; }, 3000));
    for (int stop = 0; stop < 2; ++stop) {
        QTest::mouseClick(m_dialog->m_btnStop, Qt::LeftButton);
        EXPECT_TRUE(
            WaitFor([&] { return MeanDifference(m_dialog->m_preview->ShownPicture(), first) < 2; }, 3000))
            << "Stop number " << stop + 1 << " does not show the first picture";
    }
    EXPECT_TRUE(m_messages.Messages().empty());

    // Painted into the area, scaled to fit: 320 x 240 is 4:3, like the area's own shape.
    const QImage area = m_dialog->m_preview->grab().toImage();
    EXPECT_FALSE(AllBlack(area.copy(area.rect().adjusted(20, 20, -20, -20))));
}

TEST_F(PreviewTest, ASoundOnlyInputPlaysWithoutPicturesOrMessages) {
    ListAndSelectInput(Sample("audio_only.mpg"));
    m_dialog->OnPlayInput();
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_TRUE(m_dialog->m_previewGraph);
    EXPECT_FALSE(WaitFor([&] { return !m_dialog->m_preview->ShownPicture().isNull(); }, 1000));
}

TEST(PreviewAreaTest, KeepsOnlyTheNewestPictureAndPaintsItScaledToFitWithItsShape) {
    PreviewArea area;
    area.resize(200, 100);
    // Three pictures from a streaming thread before the window gets to paint: the last counts.
    std::thread streaming([&] {
        for (const QRgb colour : {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}) {
            QImage picture(40, 40, QImage::Format_RGB32);
            picture.fill(colour);
            // Rows further apart than the picture is wide, as a renderer may have them.
            QImage padded(48, 40, QImage::Format_RGB32);
            padded.fill(Qt::white);
            for (int y = 0; y < 40; ++y) std::memcpy(padded.scanLine(y), picture.constScanLine(y), 40 * 4);
            area.PresentPicture(padded.constBits(), 40, 40, static_cast<int>(padded.bytesPerLine()));
        }
    });
    streaming.join();
    EXPECT_TRUE(area.ShownPicture().isNull()) << "shown before the window's thread got to it";
    QCoreApplication::processEvents();
    ASSERT_EQ(area.ShownPicture().size(), QSize(40, 40));
    EXPECT_EQ(area.ShownPicture().pixel(39, 39), qRgb(0, 0, 255));

    // Pictures that can't be right are passed over.
    const std::vector<std::uint8_t> pixels(64, 0xFF);
    area.PresentPicture(pixels.data(), 4, 4, 8);
    area.PresentPicture(nullptr, 4, 4, 16);
    area.PresentPicture(pixels.data(), 0, 4, 16);
    QCoreApplication::processEvents();
    EXPECT_EQ(area.ShownPicture().size(), QSize(40, 40));

    // A square in a 2:1 area: 100 x 100 in the middle, black bars beside it.
    const QImage painted = area.grab().toImage();
    EXPECT_EQ(painted.pixel(100, 50), qRgb(0, 0, 255));
    EXPECT_EQ(painted.pixel(52, 50), qRgb(0, 0, 255));
    EXPECT_EQ(painted.pixel(20, 50), qRgb(0, 0, 0));
    EXPECT_EQ(painted.pixel(180, 50), qRgb(0, 0, 0));

    // Where the renderer puts it, and whether it shows at all.
    area.SetVideoRectangle(0, 0, 50, 50);
    QImage placed = area.grab().toImage();
    EXPECT_EQ(placed.pixel(25, 25), qRgb(0, 0, 255));
    EXPECT_EQ(placed.pixel(100, 50), qRgb(0, 0, 0));
    area.SetVideoVisible(false);
    EXPECT_TRUE(AllBlack(area.grab().toImage()));

    area.SetVideoVisible(true);
    area.Clear();
    EXPECT_TRUE(area.ShownPicture().isNull());
    EXPECT_TRUE(AllBlack(area.grab().toImage()));
}

}  // namespace
