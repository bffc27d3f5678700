#include "gdi_shapes.h"

#include <QPainter>

namespace {

void FillPixels(QPainter& dc, int x, int y, int width, int height, const QColor& colour) {
    if (width > 0 && height > 0) dc.fillRect(QRect(x, y, width, height), colour);
}

// One axis-aligned LineTo from `from` to `to`, end point excluded.
void LineTo(QPainter& dc, QPoint from, QPoint to, const QColor& colour) {
    if (from.y() == to.y()) {
        const int step = to.x() > from.x() ? 1 : -1;
        const int last = to.x() - step;
        FillPixels(dc, qMin(from.x(), last), from.y(), qAbs(to.x() - from.x()), 1, colour);
    } else if (from.x() == to.x()) {
        const int step = to.y() > from.y() ? 1 : -1;
        const int last = to.y() - step;
        FillPixels(dc, from.x(), qMin(from.y(), last), 1, qAbs(to.y() - from.y()), colour);
    } else {
        // Not used by the button's pictures; drawn as an ordinary aliased line.
        dc.save();
        dc.setRenderHint(QPainter::Antialiasing, false);
        dc.setPen(colour);
        dc.drawLine(from, to);
        dc.restore();
    }
}

}  // namespace

void FrameRect(QPainter& dc, const QRect& rect, const QColor& colour) {
    const int w = rect.width();
    const int h = rect.height();
    if (w <= 0 || h <= 0) return;
    FillPixels(dc, rect.x(), rect.y(), w, 1, colour);
    FillPixels(dc, rect.x(), rect.y() + h - 1, w, 1, colour);
    FillPixels(dc, rect.x(), rect.y(), 1, h, colour);
    FillPixels(dc, rect.x() + w - 1, rect.y(), 1, h, colour);
}

void Draw3dRect(QPainter& dc, const QRect& rect, const QColor& topLeft, const QColor& bottomRight) {
    const int x = rect.x();
    const int y = rect.y();
    const int w = rect.width();
    const int h = rect.height();
    if (w <= 0 || h <= 0) return;
    FillPixels(dc, x, y, w - 1, 1, topLeft);
    FillPixels(dc, x, y, 1, h - 1, topLeft);
    FillPixels(dc, x + w - 1, y, 1, h, bottomRight);
    FillPixels(dc, x, y + h - 1, w, 1, bottomRight);
}

void DrawFocusRect(QPainter& dc, const QRect& rect) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    const int left = rect.x();
    const int top = rect.y();
    const int right = rect.x() + rect.width() - 1;
    const int bottom = rect.y() + rect.height() - 1;

    dc.save();
    // Difference with white inverts the pixel below, as the XOR of the original does.
    dc.setCompositionMode(QPainter::CompositionMode_Difference);
    // The dots follow a checkerboard on the device, so a frame drawn twice and the corners
    // shared by two sides always agree.
    const auto dot = [&dc](int x, int y) {
        if (((x + y) & 1) == 0) dc.fillRect(QRect(x, y, 1, 1), Qt::white);
    };
    for (int x = left; x <= right; ++x) {
        dot(x, top);
        if (bottom != top) dot(x, bottom);
    }
    for (int y = top + 1; y < bottom; ++y) {
        dot(left, y);
        if (right != left) dot(right, y);
    }
    dc.restore();
}

void Polyline(QPainter& dc, std::initializer_list<QPoint> points, const QColor& colour) {
    const QPoint* previous = nullptr;
    for (const QPoint& point : points) {
        if (previous != nullptr) LineTo(dc, *previous, point, colour);
        previous = &point;
    }
}
