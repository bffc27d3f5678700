#pragma once

#include <array>
#include <memory>

#include <QColor>
#include <QPixmap>
#include <QPushButton>
#include <QRect>
#include <QString>

#include "skin/button_tooltip.h"

class QPainter;

// A push button that paints itself completely, for skinned windows.
//
// Two looks: flat (the default), where a border shows only while the mouse is over the
// button or while it is pressed, and classic, with a three-dimensional border, a black
// frame when focused or default, and a focus rectangle. Independently of the look, the
// background is either a solid colour or, once SetTransparent was called, a copy of what
// the parent shows under the button, captured once and reused for every paint.
//
// A paint is made of three layers, PaintBackground, PaintBorder and PaintText; a derived
// class may replace any of them. The button stays a QPushButton in every other respect:
// clicked() reaches the dialog's handlers after the button's own click handling, and the
// dialog's default button (isDefault) is followed as the dialog moves it.
class SkinButton : public QPushButton {
    Q_OBJECT

public:
    // Indices into m_colors.
    enum ColorIndex {
        ColorHotBackground = 0,     // mouse over the button, or pressed
        ColorHotText = 1,           // same
        ColorNormalBackground = 2,  // neither hot nor focused
        ColorNormalText = 3,        // same
        ColorFocusBackground = 4,   // focused and not hot
        ColorFocusText = 5,         // same
        ColorCount = 6
    };

    explicit SkinButton(QWidget* parent = nullptr);
    explicit SkinButton(const QString& text, QWidget* parent = nullptr);
    ~SkinButton() override;

    // Chooses the flat look or the classic one; `repaint` repaints the whole button.
    void UseFlatLook(bool flat, bool repaint = true);

    // Paints the parent's background under the button from now on, for good. Drops any
    // earlier capture, so the next paint captures anew.
    void SetTransparent(bool repaint = true);

    // Sets the text of the button's one tooltip tool and activates or deactivates the
    // tooltip. A null text does nothing; an empty one sets an empty tip, which shows nothing.
    void SetTipText(const QString& text, bool activate = true);

    [[nodiscard]] bool IsFlat() const { return m_flat; }
    [[nodiscard]] bool IsMouseOver() const { return m_mouseOver; }
    [[nodiscard]] bool IsTransparent() const { return m_transparent; }
    [[nodiscard]] bool HasBackgroundCapture() const { return !m_backgroundBitmap.isNull(); }
    // Null until the button has handled its first event.
    [[nodiscard]] const ButtonTooltip* TipWindow() const { return m_tipWindow.get(); }

protected:
    // Background layer: the solid background, in the classic look inside a black frame
    // when focused or default; the frame shrinks `rect` by one pixel on every side, so the
    // border and the focus rectangle are drawn inside it. Not called in transparent mode.
    virtual void PaintBackground(QPainter& dc, QRect& rect);
    // Border layer, on the rectangle that PaintBackground left.
    virtual void PaintBorder(QPainter& dc, const QRect& rect);
    // Caption layer: wrapped, centred in `captionRect` (moved by the pressed offset while
    // pressed), engraved when disabled. `captionRect` is left where the caption was drawn.
    virtual void PaintText(QPainter& dc, const QString& caption, const QRect& itemRect, QRect& captionRect,
                           bool pressed, bool disabled);

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

    int m_pressedOffsetX = 1;
    int m_pressedOffsetY = 1;
    bool m_flat = true;
    bool m_mouseOver = false;
    bool m_transparent = false;
    // The state of the paint in progress, set at the start of each paint.
    bool m_pressed = false;
    bool m_focused = false;
    bool m_disabled = false;
    std::array<QColor, ColorCount> m_colors;

private:
    void EndHover();
    void CreateTooltip();
    void PaintParentBackground(QPainter& dc);
    void DropBackgroundCapture();
    void ResetColors();
    void MoveFocusToNextControl();

    std::unique_ptr<ButtonTooltip> m_tipWindow;
    // What the parent showed under the button at the first paint after the last drop, and
    // where in its window the button was then.
    QPixmap m_backgroundBitmap;
    QRect m_capturePlace;
};
