// The stream probe before each job: the "keep the audio stream" box follows each input, and a
// probe that fails leaves it as the user or the job before left it.

#include <map>
#include <string>
#include <vector>

#include "conversion_run_fixture.h"
#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/registered_classes.h"

namespace {

namespace fs = std::filesystem;

// Takes the media detector away while it lives, so that creating one fails.
class DetectorMissing {
public:
    DetectorMissing() { media::UnregisterClass(CLSID_MediaDet); }
    ~DetectorMissing() { media::RegisterMediaDetector(); }
    DetectorMissing(const DetectorMissing&) = delete;
    DetectorMissing& operator=(const DetectorMissing&) = delete;
};

TEST_F(ConversionRunTest, TheAudioBoxFollowsEachInputWhateverTheUserTicked) {
    const auto dialog = Start();
    const fs::path withAudio = AddJob(*dialog, "mpeg1_mp2.mpg", "1_audio.mpg");
    const fs::path videoOnly = AddJob(*dialog, "video_only.avi", "2_video_only.avi");
    const fs::path twoAudio = AddJob(*dialog, "two_audio.avi", "3_two_audio.avi");
    QCheckBox& keepAudio = CheckBox(*dialog, kKeepAudio);
    keepAudio.setChecked(false);
    std::map<int, bool> tickedDuringJob;
    QObject::connect(dialog.get(), &ConverterDialog::JobProgressed,
                     [&](int row, int) { tickedDuringJob.emplace(row, keepAudio.isChecked()); });

    PressStart(*dialog);

    EXPECT_EQ(tickedDuringJob, (std::map<int, bool>{{0, true}, {1, false}, {2, true}}));
    EXPECT_TRUE(m_messages.Messages().empty());
    ExpectWholeConversion(withAudio, "mpeg1_mp2.mpg", true);
    ExpectWholeConversion(videoOnly, "video_only.avi", false);
    // Of several audio streams the graph carries the first.
    ExpectWholeConversion(twoAudio, "two_audio.avi", true);
}

TEST_F(ConversionRunTest, WithoutADetectorTheJobIsConvertedAsTheBoxShows) {
    const auto dialog = Start();
    const fs::path output = AddJob(*dialog, "mpeg1_mp2.mpg", "clip.mpg");
    CheckBox(*dialog, kKeepAudio).setChecked(false);
    const DetectorMissing missing;

    PressStart(*dialog);

    EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"無法建立 CLSID_MediaDet"});
    EXPECT_FALSE(CheckBox(*dialog, kKeepAudio).isChecked());
    ExpectWholeConversion(output, "mpeg1_mp2.mpg", false);
    EXPECT_EQ(StatusLine(*dialog), "壓縮完成.");
}

TEST_F(ConversionRunTest, AFileTheDetectorCannotOpenLeavesTheBoxAsTheJobBeforeLeftIt) {
    const auto dialog = Start();
    const fs::path first = AddJob(*dialog, "video_only.avi", "1_video_only.avi");
    AddJobPaths(*dialog, (m_dir / "2_missing.mpg").string(), OutputFor("2_missing.mpg"));
    CheckBox(*dialog, kKeepAudio).setChecked(true);

    PressStart(*dialog);

    // The probe's message, then the build's for the same missing file.
    ASSERT_EQ(m_messages.Messages().size(), 2U);
    EXPECT_EQ(m_messages.Messages()[0], "失敗於輸出檔案名稱");
    EXPECT_EQ(m_messages.Messages()[1], "指定的輸入檔案不存在.\r\n\r\n請提供一個有效的媒介檔案名稱.");
    EXPECT_FALSE(CheckBox(*dialog, kKeepAudio).isChecked()) << "as the video-only job left it";
    EXPECT_EQ(dialog->m_keepAudio, FALSE);
    ExpectWholeConversion(first, "video_only.avi", false);
}

}  // namespace
