// The button's pictures, read back pixel by pixel: frames, border lines and the focus
// rectangle at their exact positions in each look and mode, and the caption.

#include <memory>

#include <gtest/gtest.h>
#include <QDialog>
#include <QLineEdit>
#include <QTest>

#include "skin/skin_button.h"
#include "skin_test_support.h"

namespace {

using namespace skin_test;

constexpr int kW = 80;
constexpr int kH = 30;

class SkinButtonPaint : public ::testing::Test {
protected:
    void SetUp() override {
        m_dialog.setPalette(TestPalette());
        m_dialog.resize(300, 200);
        m_button = new SkinButton(&m_dialog);
        m_button->setGeometry(20, 20, kW, kH);
        m_button->setFont(CrispFont());
        m_other = new QLineEdit(&m_dialog);
        m_other->setGeometry(20, 100, 100, 24);
    }

    // Shows the dialog as the active window, so that focus is real.
    void Activate() {
        m_dialog.show();
        m_dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_dialog));
    }

    void Focus(QWidget& widget) {
        Activate();
        widget.setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(widget.hasFocus());
    }

    // The window must be on the screen for the button to find itself under the cursor.
    void Hover() {
        m_dialog.show();
        MoveMouse(*m_button, QPoint(kW / 2, kH / 2));
    }

    QImage ButtonPicture() { return Picture(*m_button); }

    QDialog m_dialog;
    SkinButton* m_button = nullptr;
    QLineEdit* m_other = nullptr;
};

// The classic three-dimensional border of a rectangle whose outer pixel ring starts
// `inset` pixels inside the button.
void ExpectClassicBorder(const QImage& image, int inset, const QColor& inside = kFace) {
    const int l = inset;
    const int t = inset;
    const int r = kW - inset - 1;  // last column
    const int b = kH - inset - 1;  // last row
    EXPECT_EQ(At(image, l, t), kHighlight);
    EXPECT_EQ(At(image, kW / 2, t), kHighlight);
    EXPECT_EQ(At(image, l, kH / 2), kHighlight);
    EXPECT_EQ(At(image, l + 1, t + 1), kLight3d);
    EXPECT_EQ(At(image, kW / 2, t + 1), kLight3d);
    EXPECT_EQ(At(image, l + 1, kH / 2), kLight3d);
    EXPECT_EQ(At(image, r, t), kDarkShadow) << "the dark shadow overwrites the highlight's last pixel";
    EXPECT_EQ(At(image, l, b), kDarkShadow);
    EXPECT_EQ(At(image, r, b), kDarkShadow);
    EXPECT_EQ(At(image, kW / 2, b), kDarkShadow);
    EXPECT_EQ(At(image, r - 1, t + 1), kShadow);
    EXPECT_EQ(At(image, l + 1, b - 1), kShadow);
    EXPECT_EQ(At(image, r - 1, b - 1), kShadow);
    EXPECT_EQ(At(image, r - 1, kH / 2), kShadow);
    EXPECT_EQ(At(image, r - 1, t), kHighlight) << "the shadow's column stops below the top row";
    EXPECT_EQ(At(image, l + 2, t + 2), inside);
    EXPECT_EQ(At(image, r - 2, b - 2), inside);
}

// The dotted focus frame `inset` pixels inside the button: every pixel of the frame whose
// coordinates add up to an even number is inverted, the others and the rings on either
// side are untouched.
void ExpectFocusFrame(const QImage& image, int inset, const QColor& under) {
    const int l = inset;
    const int t = inset;
    const int r = kW - inset - 1;
    const int b = kH - inset - 1;
    for (int x = l; x <= r; ++x) {
        for (const int y : {t, b}) {
            const QColor expected = ((x + y) % 2 == 0) ? Inverted(under) : under;
            ASSERT_EQ(At(image, x, y), expected) << x << "," << y;
        }
    }
    for (int x = l + 1; x < r; ++x) EXPECT_EQ(At(image, x, t + 1), under) << "ring inside, " << x;
    for (int y = t; y <= b; ++y) {
        for (const int x : {l, r}) {
            const QColor expected = ((x + y) % 2 == 0) ? Inverted(under) : under;
            ASSERT_EQ(At(image, x, y), expected) << x << "," << y;
        }
    }
    for (int y = t + 1; y < b; ++y) EXPECT_EQ(At(image, l + 1, y), under) << "ring inside, " << y;
    for (int x = l; x <= r; ++x) EXPECT_EQ(At(image, x, t - 1), under) << "ring outside, " << x;
}

TEST_F(SkinButtonPaint, FlatButtonShowsNoBorderUntilHoveredOrPressed) {
    const QImage plain = ButtonPicture();
    EXPECT_EQ(At(plain, 0, 0), kFace);
    EXPECT_EQ(At(plain, kW - 1, kH - 1), kFace);

    Focus(*m_button);
    EXPECT_EQ(ButtonPicture(), plain) << "the flat look shows neither focus frame nor black frame";

    Hover();
    const QImage raised = ButtonPicture();
    EXPECT_EQ(At(raised, 0, 0), kHighlight);
    EXPECT_EQ(At(raised, kW - 2, 0), kHighlight);
    EXPECT_EQ(At(raised, 0, kH - 2), kHighlight);
    EXPECT_EQ(At(raised, kW - 1, 0), kShadow);
    EXPECT_EQ(At(raised, 0, kH - 1), kShadow);
    EXPECT_EQ(At(raised, kW - 1, kH - 1), kShadow);
    EXPECT_EQ(At(raised, 1, 1), kFace);

    m_button->setDown(true);
    const QImage sunken = ButtonPicture();
    EXPECT_EQ(At(sunken, 0, 0), kShadow);
    EXPECT_EQ(At(sunken, kW - 2, 0), kShadow);
    EXPECT_EQ(At(sunken, kW - 1, 0), kHighlight);
    EXPECT_EQ(At(sunken, kW - 1, kH - 1), kHighlight);
    EXPECT_EQ(At(sunken, 0, kH - 1), kHighlight);
}

TEST_F(SkinButtonPaint, HoveringWithSystemColoursChangesOnlyTheBorder) {
    m_button->setText(QStringLiteral("Start"));
    const QImage plain = ButtonPicture();
    Hover();
    const QImage hot = ButtonPicture();
    for (int y = 1; y < kH - 1; ++y)
        for (int x = 1; x < kW - 1; ++x) ASSERT_EQ(At(hot, x, y), At(plain, x, y)) << x << "," << y;
    EXPECT_NE(At(hot, 0, 0), At(plain, 0, 0));
}

TEST_F(SkinButtonPaint, ClassicButtonDrawsItsFourBorderLines) {
    m_button->UseFlatLook(false);
    ExpectClassicBorder(ButtonPicture(), 0);
}

TEST_F(SkinButtonPaint, ClassicDefaultButtonGetsABlackFrameWithTheBorderInside) {
    m_button->UseFlatLook(false);
    m_button->setDefault(true);
    const QImage image = ButtonPicture();
    for (const QPoint corner : {QPoint(0, 0), QPoint(kW - 1, 0), QPoint(0, kH - 1), QPoint(kW - 1, kH - 1)})
        EXPECT_EQ(At(image, corner.x(), corner.y()), QColor(Qt::black));
    EXPECT_EQ(At(image, kW / 2, 0), QColor(Qt::black));
    ExpectClassicBorder(image, 1);
}

TEST_F(SkinButtonPaint, ClassicFocusedButtonHasItsFocusFrameFourPixelsInside) {
    m_button->UseFlatLook(false);
    Focus(*m_button);
    const QImage image = ButtonPicture();
    EXPECT_EQ(At(image, 0, 0), QColor(Qt::black));
    ExpectClassicBorder(image, 1);
    ExpectFocusFrame(image, 4, kFace);
}

TEST_F(SkinButtonPaint, ClassicPressedButtonIsFramedInTheShadowColour) {
    m_button->UseFlatLook(false);
    m_button->setDown(true);
    const QImage image = ButtonPicture();
    EXPECT_EQ(At(image, 0, 0), kShadow);
    EXPECT_EQ(At(image, kW - 1, kH - 1), kShadow);
    EXPECT_EQ(At(image, kW / 2, kH - 1), kShadow);
    EXPECT_EQ(At(image, 1, 1), kFace);
}

TEST_F(SkinButtonPaint, TransparentButtonShowsTheParentWithNoBlackFrameAndFocusThreeInside) {
    PaintedParent parent(QColor(51, 102, 170));
    parent.resize(200, 100);
    SkinButton* button = new SkinButton(&parent);
    button->setGeometry(10, 10, kW, kH);
    button->SetTransparent(false);
    button->UseFlatLook(false);
    button->setDefault(true);
    parent.setPalette(TestPalette());
    parent.show();
    parent.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&parent));
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());

    const QImage image = Picture(*button);
    ExpectClassicBorder(image, 0, QColor(51, 102, 170));
    ExpectFocusFrame(image, 3, QColor(51, 102, 170));
    EXPECT_EQ(At(image, kW / 2, kH / 2), QColor(51, 102, 170));
}

// ---- caption ----------------------------------------------------------------------------

bool IsInk(QColor colour) {
    return colour == kText;
}

TEST_F(SkinButtonPaint, LongCaptionWrapsOntoTwoCentredLinesAndShiftsWhenPressed) {
    m_button->resize(70, 50);
    m_button->setText(QStringLiteral("Convert files"));
    const QImage image = Picture(*m_button);
    const QRect ink = BoundsOf(image, IsInk);
    ASSERT_FALSE(ink.isNull());

    // Two lines: a band of rows without ink between two with ink.
    int bands = 0;
    bool inBand = false;
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        bool rowHasInk = false;
        for (int x = 0; x < image.width(); ++x) rowHasInk = rowHasInk || IsInk(image.pixelColor(x, y));
        if (rowHasInk && !inBand) ++bands;
        inBand = rowHasInk;
    }
    EXPECT_EQ(bands, 2);
    EXPECT_LE(qAbs(ink.left() - (69 - ink.right())), 2) << "centred across";
    EXPECT_LE(qAbs(ink.top() - (49 - ink.bottom())), 4) << "centred down";

    m_button->setDown(true);
    EXPECT_EQ(BoundsOf(Picture(*m_button), IsInk), ink.translated(1, 1));

    m_button->setDown(false);
    m_button->resize(120, 50);
    EXPECT_LT(BoundsOf(Picture(*m_button), IsInk).height(), ink.height() / 2 + 2) << "one line when it fits";
}

TEST_F(SkinButtonPaint, DisabledCaptionIsEngraved) {
    m_button->setText(QStringLiteral("Stop"));
    m_button->setEnabled(false);
    const QImage image = Picture(*m_button);

    const QRect shadow = BoundsOf(image, [](QColor c) { return c == kShadow; });
    const QRect highlight = BoundsOf(image, [](QColor c) { return c == kHighlight; });
    ASSERT_FALSE(shadow.isNull());
    ASSERT_FALSE(highlight.isNull());
    EXPECT_TRUE(BoundsOf(image, IsInk).isNull()) << "no text in the normal colour";
    EXPECT_EQ(highlight.bottomRight(), shadow.bottomRight() + QPoint(1, 1));
    // Each pixel of the shadow copy has the highlight copy's pixel one down and right,
    // unless the shadow copy covers it.
    for (int y = shadow.top(); y <= shadow.bottom(); ++y)
        for (int x = shadow.left(); x <= shadow.right(); ++x)
            if (At(image, x, y) == kShadow) {
                const QColor below = At(image, x + 1, y + 1);
                ASSERT_TRUE(below == kHighlight || below == kShadow) << x << "," << y;
            }
}

}  // namespace
