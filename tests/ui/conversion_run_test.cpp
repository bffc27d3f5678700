// The conversion run from Start to its end: which rows are converted, what ends a run early and
// what it says then, the completion text and the power-off after it.

#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QProgressBar>
#include <QWidget>

#include "conversion_run_fixture.h"
#include "platform/desktop_notification.h"
#include "support/ffmpeg_handles.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadBack;

constexpr char kComplete[] = "壓縮完成.";
constexpr char kFileNameTooLong[] = "檔案名稱太長.";
constexpr char kConversionFailed[] = "失敗於轉換選取的檔案";

// The packet numbers of the key frames of file's video, read with libavformat, and after them
// the number of packets.
std::vector<int> KeyFramesAndCount(const fs::path& file) {
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, file.c_str(), nullptr, nullptr) < 0) return {};
    const testsupport::InputFormatContextPtr context(opened);
    const int video = av_find_best_stream(opened, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const testsupport::PacketPtr packet(av_packet_alloc());
    std::vector<int> keyFrames;
    int count = 0;
    while (av_read_frame(opened, packet.get()) >= 0) {
        if (packet->stream_index == video) {
            if ((packet->flags & AV_PKT_FLAG_KEY) != 0) keyFrames.push_back(count);
            ++count;
        }
        av_packet_unref(packet.get());
    }
    keyFrames.push_back(count);
    return keyFrames;
}

// The job buttons and Browse, which a run disables while a job runs.
void ExpectControlsEnabled(const ConverterDialog& dialog) {
    for (const SkinButton* button : {dialog.m_btnStart, dialog.m_btnPlayInput, dialog.m_btnPlayOutput,
                                     dialog.m_btnStop, dialog.m_btnBrowse})
        EXPECT_TRUE(button->isEnabled()) << button->text().toStdString();
}

TEST_F(ConversionRunTest, EveryRowIsConvertedInTurnThenTheRunSaysSoAndSwitchesOffOnce) {
    const auto dialog = Start();
    const fs::path first = AddJob(*dialog, "mpeg1_mp2.mpg", "1_first.mpg");
    const fs::path second = AddJob(*dialog, "h264_aac.mov", "2_second.mov");
    CheckBox(*dialog, kPowerOff).setChecked(true);
    m_powerOff.NoteWithEachRequest([&] { return StatusLine(*dialog); });
    std::vector<int> rowsSeen;
    QObject::connect(dialog.get(), &ConverterDialog::JobProgressed, [&](int row, int) {
        if (rowsSeen.empty() || rowsSeen.back() != row) rowsSeen.push_back(row);
        // Nothing else can start while a job runs.
        EXPECT_FALSE(dialog->m_btnStart->isEnabled());
        EXPECT_FALSE(dialog->m_btnBrowse->isEnabled());
        EXPECT_EQ(StatusLine(*dialog), "正壓縮到輸出檔案...");
        EXPECT_EQ(QApplication::focusWidget(), dialog.get()) << "a key would reach a control";
    });

    dialog->m_btnStart->setFocus();
    PressStart(*dialog);
    EXPECT_TRUE(dialog->m_btnStart->hasFocus()) << "the focus is back";

    EXPECT_EQ(rowsSeen, (std::vector<int>{0, 1}));
    ExpectWholeConversion(first, "mpeg1_mp2.mpg", true);
    ExpectWholeConversion(second, "h264_aac.mov", true);
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(StatusLine(*dialog), kComplete);
    EXPECT_EQ(dialog->m_progress->value(), 0);
    ExpectControlsEnabled(*dialog);
    ASSERT_EQ(m_powerOff.Requests().size(), 1U);
    EXPECT_EQ(m_powerOff.Requests()[0].flags, EWX_SHUTDOWN | EWX_FORCE);
    EXPECT_EQ(m_powerOff.Requests()[0].noted, kComplete) << "the completion text is written first";
}

// The desktop hears of a run's outcome, once, only when none of the program's windows is active.
// A failure is told by its job's first message, the probe's, and judged as that came: by the
// build's box the probe's, a window of the program's, is the active one.
TEST_F(ConversionRunTest, TheDesktopIsToldOfARunsOutcomeOnlyWhenTheUserIsAwayAFailureByItsFirstMessage) {
    std::vector<std::string> told;
    NotificationHandler previous = SetNotificationHandler(
        [&told](const std::string&, const std::string& body) { told.push_back(body); });
    const auto dialog = Start();
    AddJob(*dialog, "video_only.avi", "1_first.avi");
    PressStart(*dialog);
    EXPECT_TRUE(told.empty()) << "the user saw it happen";
    QApplication::setActiveWindow(nullptr);
    PressStart(*dialog);
    EXPECT_EQ(told, std::vector<std::string>{kComplete});

    AddJob(*dialog, "not_media.avi", "2_second.avi");
    QWidget box;
    for (const bool away : {false, true}) {
        told.clear();
        // Where the user is as the first job ends, whatever the platform made active meanwhile.
        const auto connection = QObject::connect(dialog.get(), &ConverterDialog::JobProgressed, [&] {
            QApplication::setActiveWindow(away ? nullptr : dialog.get());
        });
        MessageBoxHandler recorder = SetMessageBoxHandler([&](const std::string&) {
            box.show();
            QApplication::setActiveWindow(&box);
            return IDOK;
        });
        PressStart(*dialog);
        SetMessageBoxHandler(std::move(recorder));
        QObject::disconnect(connection);
        EXPECT_EQ(told, away ? std::vector<std::string>{"失敗於輸出檔案名稱"} : std::vector<std::string>{})
            << away;
    }
    SetNotificationHandler(std::move(previous));
}

TEST_F(ConversionRunTest, ARowThatFailsToBuildEndsTheRunWithItsMessageAndNothingMore) {
    const auto dialog = Start();
    const fs::path first = AddJob(*dialog, "mpeg1_mp2.mpg", "1_first.mpg");
    const fs::path second = AddJob(*dialog, "not_media.avi", "2_second.avi");
    const fs::path third = AddJob(*dialog, "video_only.avi", "3_third.avi");
    CheckBox(*dialog, kPowerOff).setChecked(true);

    PressStart(*dialog);

    ExpectWholeConversion(first, "mpeg1_mp2.mpg", true);
    EXPECT_FALSE(fs::exists(second));
    EXPECT_FALSE(fs::exists(third)) << "the third row was never started";
    // The probe's message, then the build's.
    EXPECT_EQ(m_messages.Messages(), (std::vector<std::string>{"失敗於輸出檔案名稱", "無法連接視訊鏈"}));
    EXPECT_EQ(StatusLine(*dialog), "") << "the first job's status was erased; no completion text";
    EXPECT_EQ(dialog->m_inputList->currentRow(), 1);
    EXPECT_EQ(dialog->m_outputList->currentRow(), 1);
    EXPECT_EQ(dialog->m_progress->value(), 0);
    ExpectControlsEnabled(*dialog);
    EXPECT_TRUE(m_powerOff.Requests().empty());
}

TEST_F(ConversionRunTest, AJobThatAbortsPartWaySaysSoAndEndsTheRun) {
    const auto dialog = Start();
    AddJob(*dialog, "no_picture.avi", "1_aborts.avi");
    const fs::path second = AddJob(*dialog, "mpeg1_mp2.mpg", "2_second.mpg");
    CheckBox(*dialog, kPowerOff).setChecked(true);

    PressStart(*dialog);

    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{kConversionFailed});
    EXPECT_NE(StatusLine(*dialog), kComplete);
    EXPECT_FALSE(fs::exists(second)) << "no later row starts";
    EXPECT_EQ(dialog->m_inputList->currentRow(), 0);
    ExpectControlsEnabled(*dialog);
    EXPECT_TRUE(m_powerOff.Requests().empty());
}

TEST_F(ConversionRunTest, AJobWhoseFileCannotBeMovedIntoPlaceSaysSoAndEndsTheRun) {
    const auto dialog = Start();
    const fs::path first = AddJob(*dialog, "mpeg1_mp2.mpg", "1_first.mpg");
    const fs::path second = AddJob(*dialog, "video_only.avi", "2_second.avi");
    CheckBox(*dialog, kPowerOff).setChecked(true);
    // A folder takes the first output's name while its job runs: nothing can replace it.
    bool taken = false;
    QObject::connect(dialog.get(), &ConverterDialog::JobProgressed, [&](int row, int) {
        if (row != 0 || taken) return;
        taken = fs::create_directory(first);
    });

    PressStart(*dialog);

    ASSERT_TRUE(taken);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{kConversionFailed});
    EXPECT_NE(StatusLine(*dialog), kComplete);
    EXPECT_TRUE(fs::is_directory(first)) << "the folder that took the name stays";
    EXPECT_FALSE(fs::exists(second)) << "no later row starts";
    EXPECT_TRUE(m_powerOff.Requests().empty());
}

TEST_F(ConversionRunTest, DamagedInputsThatStillReachTheirEndCountAsDone) {
    const auto dialog = Start();
    const fs::path truncated = AddJob(*dialog, "truncated.mpg", "1_truncated.mpg");
    const fs::path corrupt = AddJob(*dialog, "corrupt_middle.avi", "2_corrupt.avi");

    PressStart(*dialog);

    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(StatusLine(*dialog), kComplete);
    for (const fs::path& output : {truncated, corrupt}) {
        const testsupport::MediaSummary summary = ReadBack(output);
        EXPECT_TRUE(summary.Ok()) << output << ": " << summary.error;
        EXPECT_GT(summary.Video().packetCount, 0) << output;
    }
}

TEST_F(ConversionRunTest, StartWithoutJobsAsksForInputsAndWithoutAnAutomaticCompressorWarnsAndGoesOn) {
    const auto dialog = Start();
    PressStart(*dialog);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"請點選瀏覽按鈕以選取要轉換的輸入檔案"});
    EXPECT_EQ(StatusLine(*dialog), "");

    m_messages.Clear();
    const fs::path output = AddJob(*dialog, "video_only.avi", "clip.avi");
    dialog->m_autoCompressorIndex = -1;
    PressStart(*dialog);
    EXPECT_EQ(m_messages.Messages(),
              std::vector<std::string>{"找不到 DivX 編解碼, 請安裝它或手動選取編解碼"});
    ExpectWholeConversion(output, "video_only.avi", false);
    EXPECT_EQ(StatusLine(*dialog), kComplete);
}

// Files handed to the window during a run (a later start, "Open with") wait for its end: the rows
// it converts stay as they are. A file listed already is not listed again.
TEST_F(ConversionRunTest, FilesOpenedDuringARunAreListedOnceWhenItEnds) {
    const auto dialog = Start();
    AddJob(*dialog, "video_only.avi", "1_first.avi");
    const std::string late = (m_dir / "0_late.mpg").string();
    std::filesystem::copy_file(testsupport::SamplePath("mpeg1_mp2.mpg"), late);
    QObject::connect(dialog.get(), &ConverterDialog::JobProgressed, [&] {
        dialog->OpenFromDesktop({late, (m_dir / "1_first.avi").string()});
        EXPECT_EQ(dialog->m_inputList->count(), 1);
    });
    PressStart(*dialog);
    ASSERT_EQ(dialog->m_inputList->count(), 2);
    EXPECT_EQ(dialog->m_inputList->item(0)->text().toStdString(), late);
    EXPECT_FALSE(std::filesystem::exists(OutputFor("0_late.mpg"))) << "not in the run";
}

TEST_F(ConversionRunTest, ListsClearedDuringTheLastJobCompleteButNeverSwitchOff) {
    const auto dialog = Start();
    AddJob(*dialog, "video_only.avi", "1_first.avi");
    const fs::path last = AddJob(*dialog, "mpeg1_mp2.mpg", "2_last.mpg");
    CheckBox(*dialog, kPowerOff).setChecked(true);
    QObject::connect(dialog.get(), &ConverterDialog::JobProgressed, [&](int row, int) {
        // The Clear button stays usable while a job runs.
        if (row == 1 && dialog->m_inputList->count() > 0) dialog->m_btnClear->click();
    });

    PressStart(*dialog);

    EXPECT_EQ(dialog->m_inputList->count(), 0);
    ExpectWholeConversion(last, "mpeg1_mp2.mpg", true);
    EXPECT_EQ(StatusLine(*dialog), kComplete);
    EXPECT_TRUE(m_powerOff.Requests().empty());
}

// Paths are limited to PATH_MAX - 1 bytes of narrow text: bytes, not characters. Chinese folder
// names take three bytes a character.
TEST_F(ConversionRunTest, PathsUnderChineseFoldersConvertUpTo4095BytesAndOneOf4096EndsTheRunBeforeItsProbe) {
    const auto dialog = Start();
    for (const std::size_t length : {300U, 4095U, 4096U}) {
        SCOPED_TRACE(length);
        dialog->m_inputList->clear();
        dialog->m_outputList->clear();
        m_messages.Clear();
        // m_dir/影片…/影片…/f…f.mpg, exactly length bytes, in folders of 240 bytes at most.
        std::string folder = m_dir.string();
        std::string chinese;
        for (int i = 0; i < 40; ++i) chinese += "影片";
        while (folder.size() + 1 + chinese.size() + 6 < length) folder += "/" + chinese;
        fs::create_directories(folder);
        const std::string input = folder + "/" + std::string(length - folder.size() - 5, 'f') + ".mpg";
        ASSERT_EQ(input.size(), length);
        // The system itself refuses a path of PATH_MAX bytes.
        if (length < 4096)
            fs::copy_file(testsupport::SamplePath("mpeg1_mp2.mpg"), input,
                          fs::copy_options::overwrite_existing);
        const fs::path output =
            AddJobPaths(*dialog, input, m_dir / "converted" / (std::to_string(length) + ".avi"));
        dialog->m_inputPath = "before";
        CheckBox(*dialog, kKeepAudio).setChecked(false);

        PressStart(*dialog);

        if (length < 4096) {
            EXPECT_TRUE(m_messages.Messages().empty());
            EXPECT_EQ(dialog->m_inputPath, input);
            EXPECT_TRUE(CheckBox(*dialog, kKeepAudio).isChecked()) << "probed: the input has sound";
            ExpectWholeConversion(output, "mpeg1_mp2.mpg", true);
            dialog->PlayInPreview(input);
            EXPECT_TRUE(m_messages.Messages().empty()) << "previewed";
            dialog->ReleasePreviewGraph();
        } else {
            EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{kFileNameTooLong});
            EXPECT_EQ(dialog->m_inputPath, "before") << "refused before the probe";
            EXPECT_FALSE(fs::exists(output));
        }
    }
}

TEST_F(ConversionRunTest, FourteenHundredChineseCharactersAreTooLongAndEarlierJobsStayConverted) {
    const auto dialog = Start();
    CheckBox(*dialog, kPowerOff).setChecked(true);
    const fs::path first = AddJob(*dialog, "video_only.avi", "1_first.avi");
    // 1,400 characters, far fewer than 4,095, but 4,200 bytes of UTF-8.
    std::string name = "2_";
    for (int i = 0; i < 1400; ++i) name += "壓";
    AddJobPaths(*dialog, (m_dir / name).string(), m_dir / "converted" / "2_second.avi");

    PressStart(*dialog);

    ExpectWholeConversion(first, "video_only.avi", false);
    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{kFileNameTooLong});
    EXPECT_FALSE(fs::exists(m_dir / "converted" / "2_second.avi"));
    EXPECT_NE(StatusLine(*dialog), kComplete);
    EXPECT_TRUE(m_powerOff.Requests().empty());
}

TEST_F(ConversionRunTest, TheNextRunUsesTheStoredSettingsOfTheSelectedCompressorWhichARunKeepsUnchanged) {
    const auto dialog = Start();
    const fs::path output = AddJob(*dialog, "video_only.avi", "clip.avi");  // 75 frames
    ASSERT_TRUE(InCompressionSettings(*dialog, [](CompressionSettingsDialog& settings) {
        settings.ShowChoice({.keyFrameRate = 10, .largest = {}});
    }));
    QAction* settingsEntry = dialog->SystemMenu().actions().front();
    QObject::connect(dialog.get(), &ConverterDialog::JobProgressed,
                     [&] { EXPECT_FALSE(settingsEntry->isEnabled()); });

    PressStart(*dialog);

    EXPECT_TRUE(settingsEntry->isEnabled());
    ExpectWholeConversion(output, "video_only.avi", false);
    const std::vector<int> keyFrames = KeyFramesAndCount(output);
    ASSERT_GE(keyFrames.size(), 9U) << "the compressor's own distance is 250";
    EXPECT_EQ(keyFrames.front(), 0);
    for (std::size_t i = 1; i < keyFrames.size(); ++i) EXPECT_LE(keyFrames[i] - keyFrames[i - 1], 10) << i;
}

}  // namespace
