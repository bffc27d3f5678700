// The window as it starts: its controls, its members, its place, its painting and its menu.

#include <cstdlib>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "converter_dialog_fixture.h"
#include "ui/preview_area.h"
#include "resource_ids.h"
#include "skin/skin_button.h"
#include "ui/about_dialog.h"
#include "ui/window_placement.h"

namespace {

struct ControlExpectation {
    int id;
    const char* caption;  // null: the control has no caption to check
    bool visible;
};

QString Caption(const QWidget& control) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(&control)) return label->text();
    return {};
}

TEST_F(ConverterDialogTest, StartsWithEveryControlCaptionedOnlyTheManualOnesHiddenAndTheMembersSet) {
    const auto dialog = Start();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Tessarel"));
    EXPECT_EQ(dialog->font().families().value(0), QStringLiteral("新細明體"));
    EXPECT_EQ(dialog->font().pointSize(), 9);

    const ControlExpectation controls[] = {
        {1000, "瀏覽(&B)...", true},
        {1015, nullptr, true},
        {1016, nullptr, true},
        {1018, "清除清單(&L)", true},
        {1004, nullptr, true},
        {1007, "開始轉換(&C)", true},
        {1010, "", true},
        {1003, "必需儲存音訊資料流(&A)", true},
        {1019, "手動選取編解碼(&C)", true},
        {1017, "全部轉換後關閉電源關(&P)", true},
        {1028, "使用透明的按鈕", true},
        {1005, "忽略警告(&W)", false},
        {1020, "選取視訊轉換器以手動輸出檔案:", false},
        {1006, nullptr, false},
        {1013, nullptr, true},
        {1011, "播放選取的輸入檔案(&I)", true},
        {1012, "播放選取的輸出檔案(&O)", true},
        {1014, "停止播放(&S)", true},
    };
    for (const ControlExpectation& expected : controls) {
        const QWidget* control = dialog->GetDlgItem(expected.id);
        ASSERT_NE(control, nullptr) << expected.id;
        EXPECT_EQ(control->isVisible(), expected.visible) << expected.id;
        if (expected.caption != nullptr) {
            EXPECT_EQ(Caption(*control), QString::fromUtf8(expected.caption)) << expected.id;
        }
    }
    int labels = 0;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        labels +=
            label->text() == QStringLiteral("輸入檔案:") || label->text() == QStringLiteral("輸出檔案:");
    }
    EXPECT_EQ(labels, 2);

    // Every push button is a skinned one, and those are the members the handlers use.
    const QWidget* buttons[] = {dialog->m_btnBrowse,    dialog->m_btnClear,      dialog->m_btnStart,
                                dialog->m_btnPlayInput, dialog->m_btnPlayOutput, dialog->m_btnStop};
    EXPECT_EQ(dialog->findChildren<QPushButton*>().size(), 6);
    for (const QWidget* button : buttons) EXPECT_NE(qobject_cast<const SkinButton*>(button), nullptr);
    EXPECT_TRUE(dialog->m_compressorCombo->isEditable());

    // The members start as the engine expects them, shown in the controls.
    EXPECT_EQ(dialog->m_keepAudio, TRUE);
    EXPECT_TRUE(CheckBox(*dialog, 1003).isChecked());
    EXPECT_FALSE(CheckBox(*dialog, 1017).isChecked());
    EXPECT_FALSE(dialog->m_closeRequested);
    EXPECT_FALSE(dialog->m_previewGraph);
    EXPECT_EQ(dialog->m_savedAutoCompressorIndex, -1);

    // Nothing set up at start-up shows a message.
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ConverterDialogTest, UpdateDataMovesTheCheckValuesAndTheStatusBothWays) {
    const auto dialog = Start();
    dialog->m_powerOff = TRUE;
    dialog->m_keepAudio = FALSE;
    dialog->m_status = "第 1 個檔案";
    dialog->UpdateData(false);
    EXPECT_TRUE(CheckBox(*dialog, 1017).isChecked());
    EXPECT_FALSE(CheckBox(*dialog, 1003).isChecked());
    EXPECT_EQ(qobject_cast<QLabel*>(dialog->GetDlgItem(1010))->text(), QStringLiteral("第 1 個檔案"));

    CheckBox(*dialog, 1005).setChecked(true);
    CheckBox(*dialog, 1017).setChecked(false);
    qobject_cast<QLabel*>(dialog->GetDlgItem(1010))->setText(QStringLiteral("<b>完成</b>"));
    dialog->UpdateData(true);
    EXPECT_EQ(dialog->m_ignoreWarnings, TRUE);
    EXPECT_EQ(dialog->m_powerOff, FALSE);
    EXPECT_EQ(dialog->m_status, "<b>完成</b>");
}

TEST_F(ConverterDialogTest, IsCentredAt640By500AndNoTextIsCutOff) {
    const auto dialog = Start();
    const QMargins frame = DialogFrame(*dialog);
    EXPECT_EQ(dialog->size().grownBy(frame), QSize(640, 500));
    const QRect area = dialog->screen()->availableGeometry();
    const QRect outer(dialog->pos(), dialog->size().grownBy(frame));
    EXPECT_LE(std::abs(outer.center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(outer.center().y() - area.center().y()), 1);

    // With the dialog font, every caption fits its control and every control the window.
    for (const QWidget* control : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control->isWindow()) continue;
        EXPECT_TRUE(dialog->rect().contains(control->geometry())) << control->objectName().toStdString();
        const QString caption = Caption(*control);
        if (caption.isEmpty() || qobject_cast<const QPushButton*>(control) != nullptr) continue;
        const QSize needed = control->sizeHint();
        EXPECT_LE(needed.width(), control->width()) << control->objectName().toStdString();
        EXPECT_LE(control->fontMetrics().height(), control->height()) << control->objectName().toStdString();
    }
}

TEST_F(ConverterDialogTest, TheSkinIsNeverPaintedOverThePreviewArea) {
    const auto dialog = Start();
    // The window's own painting alone, over a colour the skin does not have.
    QImage painted(dialog->size(), QImage::Format_RGB32);
    painted.fill(Qt::magenta);
    dialog->render(&painted, QPoint(), QRegion(), QWidget::RenderFlags());
    const QImage skin = QImage(ResourcePath(resource_ids::kSkinBitmap)).convertToFormat(QImage::Format_RGB32);

    const QRect preview = dialog->m_preview->geometry();
    EXPECT_EQ(painted.pixelColor(preview.center()), QColor(Qt::magenta));
    EXPECT_EQ(painted.pixelColor(preview.topLeft()), QColor(Qt::magenta));
    EXPECT_EQ(painted.pixelColor(preview.bottomRight()), QColor(Qt::magenta));
    const QPoint beside = preview.topLeft() - QPoint(1, 1);
    EXPECT_EQ(painted.pixelColor(beside), skin.pixelColor(beside));
    EXPECT_EQ(painted.pixelColor(5, 5), skin.pixelColor(5, 5));
}

TEST_F(ConverterDialogTest, TheWindowMenuEndsWithTheAboutEntryWhichOpensTheAboutBox) {
    const auto dialog = Start();
    const QList<QAction*> entries = dialog->SystemMenu().actions();
    ASSERT_GE(entries.size(), 2);
    EXPECT_TRUE(entries[entries.size() - 2]->isSeparator());
    QAction* about = entries.back();
    const QString aboutText = about->text();
    EXPECT_EQ(aboutText, QStringLiteral("關於 Quenlo..."));

    QString shownTitle;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        shownTitle = box->windowTitle();
        QTest::keyClick(box, Qt::Key_Return);  // its default button, OK
    });
    about->trigger();
    EXPECT_EQ(shownTitle, QStringLiteral("關於 DirectShow Quenlo Sample"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the About box is still open";

    // Started again, the window has one About entry, not two.
    dialog->reject();
    dialog->show();
    int aboutEntries = 0;
    for (const QAction* entry : dialog->SystemMenu().actions()) aboutEntries += entry->text() == aboutText;
    EXPECT_EQ(aboutEntries, 1);
}

TEST_F(ConverterDialogTest, ClearEmptiesBothListsAndTheJobButtonsSwitchTogether) {
    const auto dialog = Start();
    dialog->m_inputList->addItems({QStringLiteral("/v/b.mpg"), QStringLiteral("/v/a.avi")});
    dialog->m_outputList->addItems(
        {QStringLiteral("/v/converted/b.avi"), QStringLiteral("/v/converted/a.avi")});
    QTest::mouseClick(dialog->m_btnClear, Qt::LeftButton);
    EXPECT_EQ(dialog->m_inputList->count(), 0);
    EXPECT_EQ(dialog->m_outputList->count(), 0);

    dialog->EnableJobButtons(false);
    EXPECT_FALSE(dialog->m_btnStart->isEnabled());
    EXPECT_FALSE(dialog->m_btnPlayInput->isEnabled());
    EXPECT_FALSE(dialog->m_btnPlayOutput->isEnabled());
    EXPECT_FALSE(dialog->m_btnStop->isEnabled());
    EXPECT_TRUE(dialog->m_btnBrowse->isEnabled());
    EXPECT_TRUE(dialog->m_btnClear->isEnabled());
    dialog->EnableJobButtons(true);
    EXPECT_TRUE(dialog->m_btnStart->isEnabled());
    EXPECT_TRUE(dialog->m_btnStop->isEnabled());
}

}  // namespace
