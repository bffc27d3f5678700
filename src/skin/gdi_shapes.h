#pragma once

#include <initializer_list>

#include <QColor>
#include <QPoint>
#include <QRect>

class QPainter;

// The few Windows GDI drawing primitives that the skinned button's pictures are made of,
// with their exact pixel rules, drawn with QPainter fills so that no pen geometry or
// antialiasing moves a pixel. A rectangle covers x() .. x()+width()-1 and
// y() .. y()+height()-1; its "right" and "bottom" below are x()+width() and y()+height().

// A one-pixel frame along the inside edge of `rect` (FrameRect).
void FrameRect(QPainter& dc, const QRect& rect, const QColor& colour);

// A one-pixel bevel (Draw3dRect): the top row and left column, each without its last pixel,
// in `topLeft`; the right column and the bottom row, each complete, in `bottomRight`.
void Draw3dRect(QPainter& dc, const QRect& rect, const QColor& topLeft, const QColor& bottomRight);

// A dotted one-pixel frame along the inside edge of `rect` that inverts every other pixel,
// so that it shows on any background (DrawFocusRect). Nothing for an empty rectangle.
void DrawFocusRect(QPainter& dc, const QRect& rect);

// MoveTo the first point, then LineTo each following one: every segment covers its start
// and leaves out its end point, so the last point is not drawn. Segments are horizontal or
// vertical.
void Polyline(QPainter& dc, std::initializer_list<QPoint> points, const QColor& colour);
