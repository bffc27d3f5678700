#pragma once

#include <QPixmap>

class QWidget;

// What the ancestors of `widget` show under it, without the widget itself or its siblings:
// the window's background and paint event (a skinned dialog's skin) and then the painting
// of each container between the window and the widget. The pixmap has the widget's size;
// without a parent it is the palette's window colour.
[[nodiscard]] QPixmap CaptureParentBackground(const QWidget& widget);
