// The transparent-buttons option: applied at start-up, asked for by check box 1028, kept
// however the window ends.

#include <QListWidget>

#include "converter_dialog_fixture.h"
#include "skin/skin_button.h"

namespace {

struct ButtonTip {
    SkinButton* ConverterDialog::*button;
    const char* tip;
};

const ButtonTip kTips[] = {
    {&ConverterDialog::m_btnStart, "點選可開始轉換...."},
    {&ConverterDialog::m_btnBrowse, "瀏覽輸入檔案..."},
    {&ConverterDialog::m_btnStop, "停止播放電影..."},
    {&ConverterDialog::m_btnPlayOutput, "播放輸出電影..."},
    {&ConverterDialog::m_btnPlayInput, "播放輸入電影..."},
    {&ConverterDialog::m_btnClear, "清除輸入/輸出檔案清單..."},
};

void ExpectOpaqueFlatButtonsWithoutTips(const ConverterDialog& dialog) {
    for (const ButtonTip& entry : kTips) {
        const SkinButton& button = *(dialog.*entry.button);
        EXPECT_TRUE(button.IsFlat()) << entry.tip;
        EXPECT_FALSE(button.IsTransparent()) << entry.tip;
        EXPECT_TRUE(button.TipWindow() == nullptr || !button.TipWindow()->IsActive()) << entry.tip;
    }
}

TEST_F(ConverterDialogTest, FirstStartHasOpaqueFlatButtonsWithoutTips) {
    const auto dialog = Start();
    ExpectOpaqueFlatButtonsWithoutTips(*dialog);
    EXPECT_FALSE(CheckBox(*dialog, 1028).isChecked());
}

TEST_F(ConverterDialogTest, TickingAsksForARestartAndTheNextStartHasTransparentButtonsWithTips) {
    {
        const auto dialog = Start();
        Click(CheckBox(*dialog, 1028));
        EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"重新啟動 tessarel 觀看結果"});
        // Only at the next start.
        ExpectOpaqueFlatButtonsWithoutTips(*dialog);
        dialog->close();
    }
    EXPECT_EQ(StoredOption(), "trans");

    const auto dialog = Start();
    EXPECT_TRUE(CheckBox(*dialog, 1028).isChecked());
    for (const ButtonTip& entry : kTips) {
        const SkinButton& button = *(dialog.get()->*entry.button);
        EXPECT_TRUE(button.IsTransparent()) << entry.tip;
        EXPECT_FALSE(button.IsFlat()) << entry.tip;
        ASSERT_NE(button.TipWindow(), nullptr) << entry.tip;
        EXPECT_TRUE(button.TipWindow()->IsActive()) << entry.tip;
        EXPECT_EQ(button.TipWindow()->Text(), QString::fromUtf8(entry.tip));
    }
}

TEST_F(ConverterDialogTest, ClearingShowsNothingAndTheNextStartIsOpaqueAgain) {
    m_app.WriteProfileString("RegAT", "trans", "trans");
    {
        const auto dialog = Start();
        Click(CheckBox(*dialog, 1028));
        EXPECT_FALSE(CheckBox(*dialog, 1028).isChecked());
        EXPECT_TRUE(m_messages.Messages().empty());
    }
    EXPECT_EQ(StoredOption(), "");
    const auto dialog = Start();
    ExpectOpaqueFlatButtonsWithoutTips(*dialog);
}

TEST_F(ConverterDialogTest, OnlyTheExactTextTurnsTheOptionOn) {
    m_app.WriteProfileString("RegAT", "trans", "Trans");
    const auto dialog = Start();
    EXPECT_FALSE(CheckBox(*dialog, 1028).isChecked());
    ExpectOpaqueFlatButtonsWithoutTips(*dialog);
}

// ---- ending the window ------------------------------------------------------------------

TEST_F(ConverterDialogTest, EscapeEnterAndTheCloseBoxAllKeepTheOption) {
    enum class Ending { Escape, Enter, CloseBox };
    bool ticked = false;
    for (const Ending ending : {Ending::Escape, Ending::Enter, Ending::CloseBox, Ending::Escape}) {
        ticked = !ticked;
        const auto dialog = Start();
        CheckBox(*dialog, 1028).setChecked(ticked);
        switch (ending) {
            case Ending::Escape:
                QTest::keyClick(dialog.get(), Qt::Key_Escape);
                EXPECT_EQ(dialog->result(), QDialog::Rejected);
                break;
            case Ending::Enter:
                // A check box takes no Enter, and the window has no default button.
                CheckBox(*dialog, 1017).setFocus();
                QTest::keyClick(&CheckBox(*dialog, 1017), Qt::Key_Return);
                EXPECT_EQ(dialog->result(), QDialog::Accepted);
                break;
            case Ending::CloseBox:
                dialog->close();
                EXPECT_TRUE(dialog->m_closeRequested);
                break;
        }
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(StoredOption(), ticked ? "trans" : "") << static_cast<int>(ending);
    }
}

TEST_F(ConverterDialogTest, EnterReadsTheCheckBoxesAndEscapeDoesNot) {
    {
        const auto dialog = Start();
        CheckBox(*dialog, 1017).setChecked(true);
        dialog->m_inputList->setFocus();
        QTest::keyClick(dialog->m_inputList, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(dialog->m_powerOff, TRUE);
    }
    const auto dialog = Start();
    CheckBox(*dialog, 1017).setChecked(true);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(dialog->m_powerOff, FALSE);
}

TEST_F(ConverterDialogTest, EnterOnAFocusedButtonClicksItAndLeavesTheWindowOpen) {
    const auto dialog = Start();
    dialog->m_inputList->addItem(QStringLiteral("/v/a.mpg"));
    dialog->m_btnClear->setFocus();
    QTest::keyClick(dialog->m_btnClear, Qt::Key_Return);
    EXPECT_EQ(dialog->m_inputList->count(), 0);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ConverterDialogTest, AWindowDestroyedWhileShownStillKeepsTheOption) {
    {
        const auto dialog = Start();
        CheckBox(*dialog, 1028).setChecked(true);
    }
    EXPECT_EQ(StoredOption(), "trans");
}

}  // namespace
