#include "skin/skin_button.h"

#include <QApplication>
#include <QEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "skin/gdi_shapes.h"
#include "skin/parent_background_capture.h"
#include "skin/system_colours.h"

namespace {

// The control that follows `control` in its window's tab order and can take the focus
// (visible, enabled, reachable with Tab), among the controls inside `parent`; null if
// there is none besides `control` itself.
QWidget* NextTabControl(const QWidget& parent, const QWidget& control) {
    for (QWidget* candidate = control.nextInFocusChain(); candidate != nullptr && candidate != &control;
         candidate = candidate->nextInFocusChain()) {
        if (parent.isAncestorOf(candidate) && candidate->isEnabled() && candidate->isVisibleTo(&parent) &&
            (candidate->focusPolicy() & Qt::TabFocus) != 0)
            return candidate;
    }
    return nullptr;
}

}  // namespace

SkinButton::SkinButton(QWidget* parent) : SkinButton(QString(), parent) {}

SkinButton::SkinButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    ResetColors();
    // Hover starts on a mouse move over the button, with or without a button held.
    setMouseTracking(true);
    // Every paint covers the whole button, so the parent need not paint under it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Connected first, so this runs before any handler that the dialog connects later.
    connect(this, &QAbstractButton::clicked, this, [this] { setFocus(Qt::MouseFocusReason); });
}

SkinButton::~SkinButton() = default;

void SkinButton::UseFlatLook(bool flat, bool repaint) {
    m_flat = flat;
    if (repaint) update();
}

void SkinButton::SetTransparent(bool repaint) {
    m_transparent = true;
    DropBackgroundCapture();
    if (repaint) update();
}

void SkinButton::SetTipText(const QString& text, bool activate) {
    if (text.isNull()) return;
    CreateTooltip();
    if (m_tipWindow->ToolCount() == 0) m_tipWindow->AddTool(text);
    m_tipWindow->UpdateTipText(text);
    m_tipWindow->Activate(activate);
}

void SkinButton::CreateTooltip() {
    if (!m_tipWindow) m_tipWindow = std::make_unique<ButtonTooltip>(*this);
}

void SkinButton::EndHover() {
    if (m_flat && m_mouseOver) {
        m_mouseOver = false;
        update();
    }
}

void SkinButton::DropBackgroundCapture() {
    m_backgroundBitmap = QPixmap();
}

void SkinButton::ResetColors() {
    const QPalette& colours = palette();
    m_colors[ColorHotBackground] = system_colours::ButtonFace(colours);
    m_colors[ColorNormalBackground] = system_colours::ButtonFace(colours);
    m_colors[ColorFocusBackground] = system_colours::ButtonFace(colours);
    m_colors[ColorHotText] = system_colours::ButtonText(colours);
    m_colors[ColorNormalText] = system_colours::ButtonText(colours);
    m_colors[ColorFocusText] = system_colours::ButtonText(colours);
}

void SkinButton::MoveFocusToNextControl() {
    QWidget* parent = parentWidget();
    if (parent == nullptr) return;
    QWidget* next = NextTabControl(*parent, *this);
    (next != nullptr ? next : parent)->setFocus(Qt::TabFocusReason);
}

// ---- events -------------------------------------------------------------------------

bool SkinButton::event(QEvent* event) {
    // The tooltip exists from the first event on, whether or not a text is ever set.
    CreateTooltip();
    switch (event->type()) {
        case QEvent::ToolTip:
            m_tipWindow->Show(*static_cast<QHelpEvent*>(event));
            return true;
        case QEvent::WindowDeactivate:  // the window lost activation
        case QEvent::WindowBlocked:     // a modal window took over
        case QEvent::UngrabMouse: {     // a popup or grab ended the mouse's mode
            const bool handled = QPushButton::event(event);
            EndHover();
            return handled;
        }
        default:
            return QPushButton::event(event);
    }
}

void SkinButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);

    // A drag that enters the button does not make it hot; one that started on it keeps it.
    if ((event->buttons() & Qt::LeftButton) != 0 && !m_mouseOver) return;
    if (!m_flat) return;

    // While the button is held, moves keep arriving here with the cursor elsewhere.
    if (QApplication::widgetAt(event->globalPosition().toPoint()) == this) {
        if (m_mouseOver) return;
        // Whether or not the application is active.
        m_mouseOver = true;
        update();
    } else {
        EndHover();
    }
}

void SkinButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // A quick second click is a click of its own, not a double click.
    mousePressEvent(event);
}

void SkinButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    EndHover();
}

void SkinButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    EndHover();
}

void SkinButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    switch (event->type()) {
        case QEvent::EnabledChange:
            // The focus leaves a disabled button whether or not it had the focus. (When a
            // container is disabled with the button, every control it could go to is disabled
            // too, and setFocus leaves disabled widgets alone.)
            if (!isEnabled()) {
                MoveFocusToNextControl();
                EndHover();
            }
            break;
        case QEvent::PaletteChange:
            // The system colours changed: so may have the parent's background.
            DropBackgroundCapture();
            ResetColors();
            update();
            break;
        default:
            break;
    }
}

// ---- painting -----------------------------------------------------------------------

void SkinButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter dc(this);
    m_pressed = isDown();
    m_focused = hasFocus();
    m_disabled = !isEnabled();

    const QRect itemRect = rect();
    QRect workRect = itemRect;
    dc.setBackgroundMode(Qt::TransparentMode);

    if (m_transparent)
        PaintParentBackground(dc);
    else
        PaintBackground(dc, workRect);
    PaintBorder(dc, workRect);

    const QString caption = text();
    QRect captionRect = itemRect;
    if (!caption.isEmpty()) PaintText(dc, caption, itemRect, captionRect, m_pressed, m_disabled);

    // Only the classic look shows where the focus is.
    if (!m_flat && m_focused) DrawFocusRect(dc, workRect.adjusted(3, 3, -3, -3));
}

void SkinButton::PaintParentBackground(QPainter& dc) {
    // A capture shows what was under the button where it was taken; once the button has
    // moved or changed size it belongs to another place.
    const QRect place(mapTo(window(), QPoint(0, 0)), size());
    if (m_backgroundBitmap.isNull() || place != m_capturePlace) {
        m_backgroundBitmap = CaptureParentBackground(*this);
        m_capturePlace = place;
    }
    dc.drawPixmap(0, 0, m_backgroundBitmap);
}

void SkinButton::PaintBackground(QPainter& dc, QRect& rect) {
    if (!m_flat && (m_focused || isDefault())) {
        FrameRect(dc, rect, Qt::black);
        rect.adjust(1, 1, -1, -1);
    }
    const ColorIndex fill = (m_mouseOver || m_pressed) ? ColorHotBackground
                            : m_focused                ? ColorFocusBackground
                                                       : ColorNormalBackground;
    dc.fillRect(rect, m_colors[fill]);
}

void SkinButton::PaintBorder(QPainter& dc, const QRect& rect) {
    const QPalette& colours = palette();
    const QColor highlight = system_colours::ButtonHighlight(colours);
    const QColor shadow = system_colours::ButtonShadow(colours);

    if (m_flat) {
        if (m_pressed)
            Draw3dRect(dc, rect, shadow, highlight);  // sunken
        else if (m_mouseOver)
            Draw3dRect(dc, rect, highlight, shadow);  // raised
        return;
    }
    if (m_pressed) {
        FrameRect(dc, rect, shadow);
        return;
    }
    const int left = rect.x();
    const int top = rect.y();
    const int right = rect.x() + rect.width();
    const int bottom = rect.y() + rect.height();
    Polyline(dc, {{left, bottom - 1}, {left, top}, {right, top}}, highlight);
    Polyline(dc, {{left + 1, bottom - 1}, {left + 1, top + 1}, {right, top + 1}},
             system_colours::Light3d(colours));
    Polyline(dc, {{left, bottom - 1}, {right - 1, bottom - 1}, {right - 1, top - 1}},
             system_colours::DarkShadow3d(colours));
    Polyline(dc, {{left + 1, bottom - 2}, {right - 2, bottom - 2}, {right - 2, top}}, shadow);
}

void SkinButton::PaintText(QPainter& dc, const QString& caption, const QRect& /*itemRect*/,
                           QRect& captionRect, bool pressed, bool disabled) {
    const int mnemonic = style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this)
                             ? Qt::TextShowMnemonic
                             : Qt::TextHideMnemonic;
    const int flags = Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop | mnemonic;

    QRect& c = captionRect;
    if (pressed) c.translate(m_pressedOffsetX, m_pressedOffsetY);

    // Measure the wrapped block, then centre it in the rectangle it was measured in.
    const QRect remembered = c;
    const QSize measured =
        dc.boundingRect(remembered, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop | mnemonic, caption)
            .size();
    c.setSize(measured);
    c.translate((remembered.width() - measured.width()) / 2, (remembered.height() - measured.height()) / 2);

    if (disabled) {
        // Engraved: a highlight copy one pixel down and right, the shadow copy over it.
        const QPalette& colours = palette();
        dc.setPen(system_colours::ButtonHighlight(colours));
        dc.drawText(c.translated(1, 1), flags | Qt::TextDontClip, caption);
        dc.setPen(system_colours::ButtonShadow(colours));
        dc.drawText(c, flags | Qt::TextDontClip, caption);
        return;
    }
    const ColorIndex text = (m_mouseOver || m_pressed) ? ColorHotText
                            : m_focused                ? ColorFocusText
                                                       : ColorNormalText;
    dc.setPen(m_colors[text]);
    dc.drawText(c, flags | Qt::TextDontClip, caption);
}
