// The window while a run goes on: it answers the user, shows the progress in the bar and the
// title, puts back check boxes clicked meanwhile, and closes only once the run has stopped.

#include <algorithm>
#include <string>
#include <vector>

#include <QProgressBar>
#include <QRegularExpression>

#include "conversion_run_fixture.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadBack;

TEST_F(ConversionRunTest, AnUnknownDurationSendsPercentsAbove100WhichTheBarAndTitleShowAsFull) {
    const auto dialog = Start();
    AddJob(*dialog, "long_raw.m4v", "long.m4v");
    const QString title = dialog->windowTitle();
    std::vector<int> sent;
    int wronglyShown = 0;
    QString titleWhenPast100;
    QObject::connect(dialog.get(), &ConverterDialog::JobProgressed, [&](int, int percent) {
        sent.push_back(percent);
        if (dialog->m_progress->value() != std::clamp(percent, 0, 100)) ++wronglyShown;
        if (percent > 100) titleWhenPast100 = dialog->windowTitle();
    });

    PressStart(*dialog);

    // Its length is taken as 20 s, and it lasts 25.
    EXPECT_EQ(m_messages.Messages(),
              std::vector<std::string>{"無法取得來源檔案的持續.\r\n\r\n再壓縮應可正常作業, 但是\r\n"
                                       "進度列可能無法確實地跟蹤壓縮進度."});
    ASSERT_FALSE(sent.empty());
    EXPECT_GT(*std::max_element(sent.begin(), sent.end()), 100);
    EXPECT_EQ(wronglyShown, 0);
    EXPECT_EQ(titleWhenPast100, title + " - 1/1 - 100%");
    EXPECT_EQ(dialog->windowTitle(), title);
    EXPECT_EQ(StatusLine(*dialog), "壓縮完成.");
    EXPECT_EQ(dialog->m_progress->value(), 0);
}

TEST_F(ConversionRunTest, TheTitleShowsWhichJobRunsAndHowFarItHasCome) {
    const auto dialog = Start();
    AddJob(*dialog, "video_only.avi", "1_first.avi");
    AddJob(*dialog, "video_only.avi", "2_second.avi");
    AddJob(*dialog, "video_only.avi", "3_third.avi");
    const QRegularExpression place(QStringLiteral("^Tessarel - ([123])/3 - (\\d+)%$"));
    std::vector<std::string> mismatches;
    std::vector<int> jobsShown;
    QObject::connect(dialog.get(), &ConverterDialog::JobProgressed, [&](int row, int percent) {
        const QRegularExpressionMatch match = place.match(dialog->windowTitle());
        if (!match.hasMatch() || match.captured(1).toInt() != row + 1 ||
            match.captured(2).toInt() != std::clamp(percent, 0, 100))
            mismatches.push_back(dialog->windowTitle().toStdString());
        if (jobsShown.empty() || jobsShown.back() != row + 1) jobsShown.push_back(row + 1);
    });

    PressStart(*dialog);

    EXPECT_TRUE(mismatches.empty()) << mismatches.front();
    EXPECT_EQ(jobsShown, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Tessarel"));
}

// Power-off is the one box whose click during a run is kept, both ways; the run's end reads it.
TEST_F(ConversionRunTest, ABoxClickedDuringAJobIsPutBackAtTheNextSliceButPowerOffIsKept) {
    const auto dialog = Start();
    AddJob(*dialog, "long_raw.m4v", "long.m4v");
    CheckBox(*dialog, kIgnoreWarnings).setChecked(true);
    for (const bool tickedBefore : {true, false}) {
        SCOPED_TRACE(tickedBefore);
        QCheckBox& powerOff = CheckBox(*dialog, kPowerOff);
        QCheckBox& keepAudio = CheckBox(*dialog, kKeepAudio);
        powerOff.setChecked(tickedBefore);
        int slicesAfterClick = -1;
        bool putBack = false;
        bool kept = false;
        const auto connection = QObject::connect(dialog.get(), &ConverterDialog::JobProgressed, [&](int, int) {
            if (slicesAfterClick < 0) {
                Click(powerOff);
                Click(keepAudio);
                slicesAfterClick = 0;
            } else if (++slicesAfterClick == 1) {
                putBack = !keepAudio.isChecked();
                kept = powerOff.isChecked() != tickedBefore;
            }
        });

        PressStart(*dialog);
        QObject::disconnect(connection);

        ASSERT_GE(slicesAfterClick, 1) << "the job needs more than one slice";
        EXPECT_TRUE(putBack) << "the next slice showed the value the job started with";
        EXPECT_TRUE(kept);
        EXPECT_EQ(m_powerOff.Requests().size(), tickedBefore ? 0U : 1U);
    }
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ConversionRunTest, ClosingTheWindowDuringTheFirstJobStopsItAndEndsTheWindowOnlyAfterTheRun) {
    auto dialog = Start();
    const fs::path first = AddJob(*dialog, "long_raw.m4v", "1_long.m4v");
    const fs::path second = AddJob(*dialog, "mpeg1_mp2.mpg", "2_second.mpg");
    CheckBox(*dialog, kIgnoreWarnings).setChecked(true);
    CheckBox(*dialog, kPowerOff).setChecked(true);
    bool closedAtOnce = true;
    int slicesAfterClose = 0;
    QObject::connect(dialog.get(), &ConverterDialog::JobProgressed, [&](int row, int) {
        if (dialog->m_closeRequested) {
            ++slicesAfterClose;
            return;
        }
        if (row != 0) return;
        dialog->close();
        // The run's handler is still on the stack, so the window is still there.
        closedAtOnce = !dialog->isVisible();
    });

    PressStart(*dialog);

    EXPECT_FALSE(closedAtOnce);
    EXPECT_EQ(slicesAfterClose, 0) << "the wait ended at once";
    EXPECT_TRUE(dialog->isHidden()) << "the window ended once the run returned";
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(fs::exists(second)) << "no later row starts";
    EXPECT_NE(StatusLine(*dialog), "壓縮完成.");
    EXPECT_TRUE(m_powerOff.Requests().empty());
    EXPECT_TRUE(m_messages.Messages().empty());

    // Cut short, yet a whole AVI file with its index.
    const testsupport::MediaSummary output = ReadBack(first);
    ASSERT_TRUE(output.Ok()) << output.error;
    EXPECT_TRUE(output.aviIndex.HasIndex());
    EXPECT_GT(output.Video().packetCount, 0);
    EXPECT_LT(output.Video().packetCount, 625);
}

}  // namespace
