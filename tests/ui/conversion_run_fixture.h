#pragma once

// A window with jobs of real sample files, converted by pressing Start. Outputs are read back
// with libavformat; messages and power-off requests are recorded.

#include <filesystem>
#include <string>

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>

#include "converter_dialog_fixture.h"
#include "power_off_recorder.h"
#include "skin/skin_button.h"
#include "support/read_back.h"
#include "support/samples_dir.h"

#include <unistd.h>

class ConversionRunTest : public ConverterDialogTest {
protected:
    static constexpr int kKeepAudio = 1003;
    static constexpr int kIgnoreWarnings = 1005;
    static constexpr int kPowerOff = 1017;
    static constexpr int kStatusLine = 1010;

    void SetUp() override {
        ConverterDialogTest::SetUp();
        m_dir = std::filesystem::temp_directory_path() / ("tessarel-run-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir / "converted");
    }

    void TearDown() override {
        std::filesystem::remove_all(m_dir);
        ConverterDialogTest::TearDown();
    }

    // Lists a copy of sample, named name in the job folder, with its output
    // "converted/<name without extension>.avi"; returns the output's path. Names that sort in
    // the order they are added keep the rows in that order.
    std::filesystem::path AddJob(ConverterDialog& dialog, const char* sample, const std::string& name) {
        const std::filesystem::path input = m_dir / name;
        std::filesystem::copy_file(testsupport::SamplePath(sample), input,
                                   std::filesystem::copy_options::overwrite_existing);
        return AddJobPaths(dialog, input.string(), OutputFor(name));
    }

    std::filesystem::path OutputFor(const std::string& name) const {
        return m_dir / "converted" / (std::filesystem::path(name).stem().string() + ".avi");
    }

    static std::filesystem::path AddJobPaths(ConverterDialog& dialog, const std::string& input,
                                             const std::filesystem::path& output) {
        dialog.m_inputList->addItem(QString::fromStdString(input));
        dialog.m_outputList->addItem(QString::fromStdString(output.string()));
        return output;
    }

    // Presses Start, as the user does; returns once the run has ended.
    static void PressStart(ConverterDialog& dialog) { dialog.m_btnStart->click(); }

    static std::string StatusLine(const ConverterDialog& dialog) {
        return qobject_cast<QLabel*>(dialog.GetDlgItem(kStatusLine))->text().toStdString();
    }

    // The output holds the whole input as a player shows it: Xvid video with every frame, and
    // the input's first audio stream byte for byte, or no audio.
    static void ExpectWholeConversion(const std::filesystem::path& output, const char* sample,
                                      bool withAudio) {
        const testsupport::MediaSummary in = testsupport::ReadBack(testsupport::SamplePath(sample));
        const testsupport::MediaSummary out = testsupport::ReadBack(output);
        ASSERT_TRUE(out.Ok()) << output << ": " << out.error;
        EXPECT_EQ(out.Video().fourcc, "XVID") << output;
        EXPECT_EQ(out.Video().width, in.Video().width) << output;
        EXPECT_NEAR(static_cast<double>(out.Video().packetCount), static_cast<double>(in.Video().packetCount),
                    1.0)
            << output;
        ASSERT_EQ(out.HasAudio(), withAudio) << output;
        if (withAudio) {
            EXPECT_EQ(out.Audio().audioMd5, in.Audio().audioMd5) << output;
        }
    }

    std::filesystem::path m_dir;
    PowerOffRecorder m_powerOff;
};
