// The button's behaviour under synthetic events: hover, focus, clicks, the default-button
// state, the tooltip and the background capture.

#include <functional>

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDialog>
#include <QHelpEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include "resource_ids.h"
#include "skin/skin_button.h"
#include "skin/skin_dialog.h"
#include "skin_test_support.h"

namespace {

using namespace skin_test;

class SkinButtonEvents : public ::testing::Test {
protected:
    void SetUp() override {
        m_dialog.setPalette(TestPalette());
        m_dialog.resize(300, 200);
        m_edit = new QLineEdit(&m_dialog);
        m_edit->setGeometry(10, 10, 100, 24);
        m_button = new SkinButton(QStringLiteral("Start"), &m_dialog);
        m_button->setGeometry(10, 50, 80, 30);
        m_check = new QCheckBox(QStringLiteral("Power off"), &m_dialog);
        m_check->setGeometry(10, 100, 150, 20);
        m_dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_dialog));
    }

    void Activate() {
        m_dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_dialog));
    }

    void Hover() { MoveMouse(*m_button, QPoint(40, 15)); }

    QDialog m_dialog;
    QLineEdit* m_edit = nullptr;
    SkinButton* m_button = nullptr;
    QCheckBox* m_check = nullptr;
};

// ---- hover ------------------------------------------------------------------------------

TEST_F(SkinButtonEvents, MoveOverAFlatButtonEntersHoverEvenWhileItsWindowIsInactive) {
    QWidget elsewhere;
    elsewhere.setGeometry(m_dialog.frameGeometry().right() + 20, 0, 100, 100);
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    ASSERT_FALSE(m_dialog.isActiveWindow());

    EXPECT_FALSE(m_button->IsMouseOver());
    Hover();
    EXPECT_TRUE(m_button->IsMouseOver());
    Hover();
    EXPECT_TRUE(m_button->IsMouseOver());
}

TEST_F(SkinButtonEvents, ClassicButtonNeverHovers) {
    m_button->UseFlatLook(false);
    Hover();
    EXPECT_FALSE(m_button->IsMouseOver());
}

TEST_F(SkinButtonEvents, DraggingInWithTheLeftButtonHeldDoesNotHover) {
    MoveMouse(*m_button, QPoint(40, 15), Qt::LeftButton);
    EXPECT_FALSE(m_button->IsMouseOver());
    MoveMouse(*m_button, QPoint(40, 15), Qt::RightButton);
    EXPECT_TRUE(m_button->IsMouseOver()) << "only the left button stops it";
    MoveMouse(*m_button, QPoint(41, 15), Qt::LeftButton);
    EXPECT_TRUE(m_button->IsMouseOver()) << "a press on a hot button keeps it hot";
}

struct HoverExit {
    const char* name;
    std::function<void(SkinButton&)> leave;
};

TEST_F(SkinButtonEvents, EveryExitEndsHover) {
    const HoverExit exits[] = {
        {"leave",
         [](SkinButton& b) {
             QEvent e(QEvent::Leave);
             QApplication::sendEvent(&b, &e);
         }},
        {"move elsewhere", [](SkinButton& b) { MoveMouse(b, QPoint(200, 100), Qt::LeftButton); }},
        {"focus loss",
         [](SkinButton& b) {
             QFocusEvent e(QEvent::FocusOut, Qt::TabFocusReason);
             QApplication::sendEvent(&b, &e);
         }},
        {"deactivation",
         [](SkinButton& b) {
             QEvent e(QEvent::WindowDeactivate);
             QApplication::sendEvent(&b, &e);
         }},
        {"modal window",
         [](SkinButton& b) {
             QEvent e(QEvent::WindowBlocked);
             QApplication::sendEvent(&b, &e);
         }},
        {"grab cancelled",
         [](SkinButton& b) {
             QEvent e(QEvent::UngrabMouse);
             QApplication::sendEvent(&b, &e);
         }},
        {"disabled", [](SkinButton& b) { b.setEnabled(false); }},
    };
    for (const HoverExit& exit : exits) {
        m_button->setEnabled(true);
        Hover();
        ASSERT_TRUE(m_button->IsMouseOver()) << exit.name;
        exit.leave(*m_button);
        EXPECT_FALSE(m_button->IsMouseOver()) << exit.name;
    }
}

// ---- focus and clicks -------------------------------------------------------------------

TEST_F(SkinButtonEvents, DisablingMovesTheFocusOnWhetherOrNotTheButtonHadIt) {
    m_edit->setFocus();
    ASSERT_EQ(m_dialog.focusWidget(), m_edit);
    m_button->setEnabled(false);
    EXPECT_EQ(m_dialog.focusWidget(), m_check) << "the control after the button in tab order";

    m_button->setEnabled(true);
    m_button->setFocus();
    ASSERT_EQ(m_dialog.focusWidget(), m_button);
    m_button->setEnabled(false);
    EXPECT_EQ(m_dialog.focusWidget(), m_check);
}

TEST_F(SkinButtonEvents, DisablingTheOnlyControlOfAContainerFocusesTheContainer) {
    auto* panel = new QWidget(&m_dialog);
    panel->setGeometry(150, 10, 120, 60);
    auto* alone = new SkinButton(QStringLiteral("Alone"), panel);
    alone->setGeometry(5, 5, 100, 30);
    panel->show();
    m_edit->setFocus();
    alone->setEnabled(false);
    EXPECT_EQ(m_dialog.focusWidget(), panel);
}

TEST_F(SkinButtonEvents, DoubleClickCountsAsTwoClicksAndTheButtonTakesTheFocus) {
    QSignalSpy clicks(m_button, &QAbstractButton::clicked);
    m_edit->setFocus();
    const QPoint centre(40, 15);
    Click(*m_button, QEvent::MouseButtonPress, centre);
    Click(*m_button, QEvent::MouseButtonRelease, centre);
    Click(*m_button, QEvent::MouseButtonDblClick, centre);
    Click(*m_button, QEvent::MouseButtonRelease, centre);
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(m_dialog.focusWidget(), m_button);
}

TEST_F(SkinButtonEvents, ClassicBlackFrameFollowsTheDialogsDefaultButton) {
    auto* other = new SkinButton(QStringLiteral("Other"), &m_dialog);
    other->setGeometry(100, 50, 80, 30);
    other->show();
    for (SkinButton* b : {m_button, other}) b->UseFlatLook(false);
    m_button->setDefault(true);
    Activate();
    m_edit->setFocus();

    const auto framed = [](SkinButton& b) { return Picture(b).pixelColor(0, 0) == QColor(Qt::black); };
    EXPECT_TRUE(framed(*m_button));
    EXPECT_FALSE(framed(*other));

    other->setFocus(Qt::TabFocusReason);  // an auto-default button becomes the default while focused
    EXPECT_FALSE(framed(*m_button));
    EXPECT_TRUE(framed(*other));

    m_edit->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(framed(*m_button));
    EXPECT_FALSE(framed(*other));
}

// ---- tooltip ----------------------------------------------------------------------------

// Hiding a tip takes a moment; waits until none is up.
void HideTips() {
    QToolTip::hideText();
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000));
}

bool RequestTip(SkinButton& button) {
    QHelpEvent request(QEvent::ToolTip, QPoint(40, 15), button.mapToGlobal(QPoint(40, 15)));
    QApplication::sendEvent(&button, &request);
    return QToolTip::isVisible();
}

TEST(SkinButtonTooltip, ExistsFromTheFirstEventAndShowsNothingWithoutAText) {
    QWidget parent;
    SkinButton button(QStringLiteral("Start"), &parent);
    MoveMouse(button, QPoint(1, 1));
    ASSERT_NE(button.TipWindow(), nullptr);
    EXPECT_FALSE(button.TipWindow()->IsActive());
    EXPECT_EQ(button.TipWindow()->ToolCount(), 0);

    button.SetTipText(QString(), true);
    EXPECT_FALSE(button.TipWindow()->IsActive()) << "a null text does nothing";
    EXPECT_EQ(button.TipWindow()->ToolCount(), 0);
    HideTips();
    EXPECT_FALSE(RequestTip(button));
}

TEST(SkinButtonTooltip, OneToolWhoseTextIsReplacedAndShownOnlyWhileActive) {
    QWidget parent;
    parent.resize(200, 100);
    SkinButton button(QStringLiteral("Start"), &parent);
    button.setGeometry(10, 10, 80, 30);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));

    button.SetTipText(QStringLiteral("點選可開始轉換...."), true);
    ASSERT_NE(button.TipWindow(), nullptr);
    EXPECT_EQ(button.TipWindow()->ToolCount(), 1);
    HideTips();
    EXPECT_TRUE(RequestTip(button));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("點選可開始轉換...."));

    button.SetTipText(QStringLiteral("瀏覽輸入檔案..."), false);
    EXPECT_EQ(button.TipWindow()->ToolCount(), 1);
    EXPECT_EQ(button.TipWindow()->Text(), QStringLiteral("瀏覽輸入檔案..."));
    HideTips();
    EXPECT_FALSE(RequestTip(button)) << "inactive";

    button.SetTipText(QStringLiteral("瀏覽輸入檔案..."), true);
    EXPECT_TRUE(RequestTip(button));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("瀏覽輸入檔案..."));
    HideTips();
}

TEST(SkinButtonTooltip, LongTextsWrapWithinTheMaximumTipWidth) {
    QWidget parent;
    SkinButton button(&parent);
    QString text;
    for (int i = 0; i < 12; ++i) text += QStringLiteral("Convert every listed file ");
    text = text.trimmed();
    button.SetTipText(text, true);

    const QStringList lines = button.TipWindow()->WrappedText().split(QLatin1Char('\n'));
    EXPECT_GT(lines.size(), 2);
    const QFontMetrics metrics(QToolTip::font());
    for (const QString& line : lines) EXPECT_LE(metrics.horizontalAdvance(line), ButtonTooltip::kMaxTipWidth);
    EXPECT_EQ(lines.join(QLatin1Char(' ')), text) << "only line breaks are added";

    button.SetTipText(QStringLiteral("Short"), true);
    EXPECT_EQ(button.TipWindow()->WrappedText(), QStringLiteral("Short"));
}

// ---- background capture -----------------------------------------------------------------

TEST(SkinButtonCapture, IsReusedAfterTheParentChangesUntilThePaletteChanges) {
    const QColor red(200, 30, 30);
    const QColor green(30, 160, 60);
    PaintedParent parent(red);
    parent.resize(200, 100);
    SkinButton button(&parent);
    button.setGeometry(10, 10, 80, 30);
    button.SetTransparent(false);
    const QPoint inside(40, 15);

    EXPECT_FALSE(button.HasBackgroundCapture());
    EXPECT_EQ(Picture(button).pixelColor(inside), red);
    EXPECT_TRUE(button.HasBackgroundCapture());

    parent.SetColour(green);
    EXPECT_EQ(Picture(button).pixelColor(inside), red) << "the capture is not refreshed";
    EXPECT_EQ(Picture(parent).pixelColor(button.geometry().topLeft() + inside), red);

    parent.setPalette(TestPalette());  // the system colours changed
    EXPECT_FALSE(button.HasBackgroundCapture());
    EXPECT_EQ(Picture(button).pixelColor(inside), green);

    parent.SetColour(red);
    button.SetTransparent(false);
    EXPECT_EQ(Picture(button).pixelColor(inside), red) << "SetTransparent captures anew";
}

TEST(SkinButtonCapture, MovingTheButtonCapturesWhatIsUnderItsNewPlace) {
    PaintedParent parent(Qt::black);
    parent.UseColumnRamp();
    parent.resize(250, 100);
    SkinButton button(&parent);
    button.setGeometry(10, 10, 80, 30);
    button.SetTransparent(false);
    EXPECT_EQ(Picture(button).pixelColor(20, 15), QColor(30, 40, 90));

    button.move(100, 10);
    EXPECT_EQ(Picture(button).pixelColor(20, 15), QColor(120, 40, 90));
}

TEST(SkinButtonCapture, OverASkinDialogShowsTheSkinUnderTheButton) {
    SkinDialog dialog(resource_ids::kMainDialog, resource_ids::kSkinBitmap);
    dialog.resize(640, 470);
    auto* button = new SkinButton(&dialog);
    button->setGeometry(300, 400, 100, 26);
    button->SetTransparent(false);
    button->UseFlatLook(false);

    const QImage skin = QImage(ResourcePath(resource_ids::kSkinBitmap)).convertToFormat(QImage::Format_RGB32);
    const QImage picture = Picture(*button);
    for (const QPoint p : {QPoint(5, 5), QPoint(50, 20), QPoint(94, 20)})
        EXPECT_EQ(picture.pixelColor(p), skin.pixelColor(p + QPoint(300, 400)));
}

}  // namespace
