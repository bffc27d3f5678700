// The window as a new user meets it: arrow keys within a group, the window menu's separator, and
// Qt's own texts in Traditional Chinese in the dialog font.

#include <algorithm>

#include <QAbstractButton>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>

#include "converter_dialog_fixture.h"
#include "platform/message_box.h"
#include "platform/qt_seams.h"
#include "skin/button_tooltip.h"
#include "skin/skin_button.h"
#include "support/samples_dir.h"
#include "ui/about_dialog.h"
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

// The pixel rows of image that hold ink: text drawn dark on a light ground.
int InkedRows(const QImage& image) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 160) {
                ++rows;
                break;
            }
        }
    }
    return rows;
}

TEST_F(ConverterDialogTest, ListRowsShowEveryGlyphWhole) {
    // A path's underscores and the bottoms of Chinese characters lie below the font's descent.
    const QString text = QStringLiteral("/tmp/tessarel_app_tests/輸出檔案_g");
    const auto dialog = Start();
    QListWidget& list = *dialog->m_inputList;
    list.addItem(text);
    list.addItem(QStringLiteral("檔案"));  // a row below that would paint over an overhang
    QApplication::processEvents();
    const QRect row = list.visualItemRect(list.item(0));
    ASSERT_FALSE(row.isEmpty());
    const QImage shown = list.viewport()->grab(row).toImage();

    // The same text drawn with room all round.
    const QFontMetrics metrics(list.font());
    QImage whole(metrics.horizontalAdvance(text) + 8, metrics.height() * 3, QImage::Format_RGB32);
    whole.fill(Qt::white);
    QPainter painter(&whole);
    painter.setFont(list.font());
    painter.setPen(Qt::black);
    painter.drawText(4, metrics.height() + metrics.ascent(), text);
    painter.end();

    EXPECT_EQ(InkedRows(shown), InkedRows(whole))
        << "a row " << row.height() << " pixels tall cuts glyphs off";
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

// Every text a widget shows, its tip included.
QStringList TextsOf(const QWidget& widget) {
    QStringList texts{widget.windowTitle(), widget.toolTip()};
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) texts << label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) texts << button->text();
    if (const auto* skinned = qobject_cast<const SkinButton*>(&widget); skinned && skinned->TipWindow())
        texts << skinned->TipWindow()->Text();
    if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) texts << group->title();
    if (const auto* spin = qobject_cast<const QSpinBox*>(&widget))
        texts << spin->suffix() << spin->specialValueText();
    if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
        texts << combo->placeholderText();
        for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    }
    return texts;
}

// Whether a control shown has less room than its text needs. A push button's size hint has a
// floor of the style's; its text with a little room either side is what must fit.
bool CutShort(const QWidget& widget) {
    // The compressors' list holds their names, not texts of ours.
    if (const auto* combo = qobject_cast<const QComboBox*>(&widget);
        widget.isHidden() || (combo && combo->isEditable()))
        return false;
    if (const auto* label = qobject_cast<const QLabel*>(&widget); label != nullptr && label->wordWrap())
        return label->heightForWidth(label->width()) > label->height();
    if (const auto* button = qobject_cast<const QPushButton*>(&widget))
        return button->fontMetrics().horizontalAdvance(QString(button->text()).remove(QLatin1Char('&'))) + 8 >
               button->width();
    if (qobject_cast<const QLabel*>(&widget) == nullptr &&
        qobject_cast<const QAbstractButton*>(&widget) == nullptr &&
        qobject_cast<const QComboBox*>(&widget) == nullptr)
        return false;
    return widget.sizeHint().width() > widget.width();
}

TEST_F(ConverterDialogTest, UnderEnglishEveryTextOfEveryWindowIsEnglishAndFitsItsControl) {
    ASSERT_TRUE(UseApplicationLanguage(*qApp, MessageLanguage::English, TESSAREL_LOCALE_FOLDER));
    {
        m_app.WriteProfileString("RegAT", "trans", "trans");  // the buttons' tips too
        const auto dialog = Start();
        AboutDialog about(dialog.get());
        // A players' preset over a listed two-hour film shows the planned rate, lowered to fit.
        CompressionSettingsDialog settings("libxvidcore MPEG-4 part 2", nullptr, dialog.get(),
                                           {testsupport::SamplePath("two_hour_film.mp4").string()});
        about.show();
        settings.show();
        settings.ShowChoice({.dataRate = 4'000'000,
                             .largest = {720, 576},
                             .audio = AudioChoice::Mp3OrAc3,
                             .player = PlayerProfile::HomeTheater});
        QApplication::processEvents();
        CheckBox(*dialog, 1019).click();  // shows the compressors' list and its label
        const QRegularExpression chinese(QStringLiteral("[\\x{3400}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
        int checked = 0;
        for (QWidget* window : std::initializer_list<QWidget*>{dialog.get(), &about, &settings}) {
            QList<QWidget*> widgets = window->findChildren<QWidget*>();
            widgets.prepend(window);
            for (const QWidget* widget : widgets) {
                for (const QString& text : TextsOf(*widget))
                    EXPECT_FALSE(text.contains(chinese))
                        << widget->objectName().toStdString() << ": " << text.toStdString();
                EXPECT_FALSE(CutShort(*widget))
                    << TextsOf(*widget).join(QLatin1Char('|')).toStdString() << " needs "
                    << widget->sizeHint().width() << " pixels, has " << widget->width();
                ++checked;
            }
        }
        for (const QAction* entry : dialog->SystemMenu().actions())
            EXPECT_FALSE(entry->text().contains(chinese)) << entry->text().toStdString();
        EXPECT_GT(checked, 40);
        EXPECT_TRUE(std::ranges::any_of(settings.findChildren<QLabel*>(), [&](const QLabel* label) {
            return label->isVisibleTo(&settings) &&
                   label->text().startsWith(QStringLiteral("The longest listed"));
        }));
        const auto* start = qobject_cast<const SkinButton*>(dialog->GetDlgItem(1007));
        ASSERT_TRUE(start != nullptr && start->TipWindow() != nullptr)
            << "the buttons' tips were not checked";
    }
    EXPECT_TRUE(UseApplicationLanguage(*qApp, MessageLanguage::AsWritten, TESSAREL_LOCALE_FOLDER));
}

}  // namespace
