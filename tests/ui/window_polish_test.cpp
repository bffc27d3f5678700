// The window as a new user meets it: arrow keys within a group, the window menu's separator, and
// Qt's own texts in Traditional Chinese in the dialog font.

#include <QAbstractButton>
#include <QFontInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include "converter_dialog_fixture.h"
#include "platform/message_box.h"
#include "platform/qt_seams.h"
#include "skin/skin_button.h"
#include "ui/application_language.h"

namespace {

// Presses key on the control that has the focus; the id of the control that has it afterwards.
int PressOnFocused(const ConverterDialog& dialog, Qt::Key key) {
    QWidget* focused = QApplication::focusWidget();
    if (focused == nullptr) return -1;
    QTest::keyClick(focused, key);
    const QWidget* now = QApplication::focusWidget();
    return now != nullptr && dialog.isAncestorOf(now) ? now->property("controlId").toInt() : -1;
}

TEST_F(ConverterDialogTest, ArrowKeysMoveWithinAGroupAndWrapAround) {
    const auto dialog = Start();
    // The check boxes: 1003, 1019, 1017, 1028 (1005 is hidden; the status line takes no focus).
    dialog->GetDlgItem(1003)->setFocus();
    EXPECT_EQ(PressOnFocused(*dialog, Qt::Key_Up), 1028);
    EXPECT_EQ(PressOnFocused(*dialog, Qt::Key_Down), 1003);
    EXPECT_EQ(PressOnFocused(*dialog, Qt::Key_Right), 1019);
    EXPECT_EQ(PressOnFocused(*dialog, Qt::Key_Down), 1017);
    EXPECT_EQ(PressOnFocused(*dialog, Qt::Key_Left), 1019);
    EXPECT_TRUE(CheckBox(*dialog, 1003).isChecked()) << "an arrow key moves the focus, it doesn't tick";

    // The play buttons pass over the black preview area and the hidden compressor list...
    dialog->GetDlgItem(1011)->setFocus();
    EXPECT_EQ(PressOnFocused(*dialog, Qt::Key_Down), 1012);
    EXPECT_EQ(PressOnFocused(*dialog, Qt::Key_Down), 1014);
    EXPECT_EQ(PressOnFocused(*dialog, Qt::Key_Down), 1011);
    // ...and reach it once it shows; a disabled button is passed over.
    Click(CheckBox(*dialog, 1019));
    dialog->m_btnPlayOutput->setEnabled(false);
    dialog->GetDlgItem(1011)->setFocus();
    EXPECT_EQ(PressOnFocused(*dialog, Qt::Key_Down), 1014);
    EXPECT_EQ(PressOnFocused(*dialog, Qt::Key_Down), 1006);
}

TEST_F(ConverterDialogTest, TheSeparatorBeforeTheAboutEntryShows) {
    const auto dialog = Start();
    QMenu& menu = dialog->SystemMenu();
    const QList<QAction*> entries = menu.actions();
    ASSERT_GE(entries.size(), 2);
    menu.popup(dialog->mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const QRect separator = menu.actionGeometry(entries[entries.size() - 2]);
    const QRect about = menu.actionGeometry(entries.back());
    EXPECT_GT(separator.height(), 0);
    EXPECT_LE(separator.bottom(), about.top());
    menu.close();
}

TEST(ApplicationLanguageTest, MessageBoxesSayOkInTraditionalChineseInTheDialogFont) {
    ASSERT_TRUE(UseApplicationLanguage(*qApp)) << "Qt's translations (qt6-translations-l10n) are missing";
    QString buttonText;
    QString family;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
            buttonText = ok->text();
            family = QFontInfo(ok->font()).family();
        }
        box->accept();
    });
    // Through the box the program installs in the message seam, as it shows its messages.
    const MessageBoxHandler previous = SetMessageBoxHandler(platform::ShowQtMessageBox);
    EXPECT_EQ(AfxMessageBox("無法停止圖形", MB_OK), IDOK);
    SetMessageBoxHandler(previous);
    EXPECT_EQ(buttonText.remove(QLatin1Char('&')), QStringLiteral("確定"));
    EXPECT_TRUE(family == QStringLiteral("AR PL UMing TW") || family == QStringLiteral("Noto Sans CJK TC") ||
                family == QStringLiteral("新細明體"))
        << family.toStdString();
}

}  // namespace
