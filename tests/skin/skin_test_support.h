#pragma once

#include <functional>

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <QWidget>

// Helpers shared by the skinned-control tests: a palette whose colours all differ, pictures
// of widgets read back as images, and synthetic mouse moves.
namespace skin_test {

inline const QColor kFace(192, 192, 192);
inline const QColor kText(0, 0, 0);
inline const QColor kHighlight(255, 255, 255);
inline const QColor kLight3d(224, 224, 224);
inline const QColor kShadow(128, 128, 128);
inline const QColor kDarkShadow(64, 64, 64);
inline const QColor kWindow(212, 208, 200);

inline QPalette TestPalette() {
    QPalette palette;
    palette.setColor(QPalette::Button, kFace);
    palette.setColor(QPalette::ButtonText, kText);
    palette.setColor(QPalette::Light, kHighlight);
    palette.setColor(QPalette::Midlight, kLight3d);
    palette.setColor(QPalette::Dark, kShadow);
    palette.setColor(QPalette::Mid, QColor(160, 160, 160));
    palette.setColor(QPalette::Shadow, kDarkShadow);
    palette.setColor(QPalette::Window, kWindow);
    palette.setColor(QPalette::Base, Qt::white);
    return palette;
}

// A font with exact pixel colours: no antialiasing, so every inked pixel is the pen colour.
inline QFont CrispFont(int pixelSize = 12) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

inline QImage Picture(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QColor At(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

// The smallest rectangle holding every pixel for which `match` holds; null if none does.
inline QRect BoundsOf(const QImage& image, const std::function<bool(QColor)>& match) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixelColor(x, y))) bounds |= QRect(x, y, 1, 1);
    return bounds;
}

inline QColor Inverted(const QColor& colour) {
    return QColor(255 - colour.red(), 255 - colour.green(), 255 - colour.blue());
}

// A mouse move as the window system would deliver it to `widget`, at `local` in its
// coordinates, with `buttons` held.
inline void MoveMouse(QWidget& widget, QPoint local, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(widget.mapToGlobal(local)), Qt::NoButton,
                     buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

inline void Click(QWidget& widget, QEvent::Type type, QPoint local) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), QPointF(widget.mapToGlobal(local)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

// A parent that paints one colour of its own choosing, which it can change without any
// palette change reaching its children.
class PaintedParent : public QWidget {
public:
    explicit PaintedParent(QColor colour) : m_colour(colour) {}
    void SetColour(QColor colour) {
        m_colour = colour;
        update();
    }
    // Colour by column instead, so that every position shows a different picture.
    void UseColumnRamp() { m_ramp = true; }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        if (!m_ramp) {
            painter.fillRect(rect(), m_colour);
            return;
        }
        for (int x = 0; x < width(); ++x) painter.fillRect(QRect(x, 0, 1, height()), QColor(x % 256, 40, 90));
    }

private:
    QColor m_colour;
    bool m_ramp = false;
};

}  // namespace skin_test
