#pragma once

#include <QPixmap>
#include <QSize>

class QPainter;

// Tiles `bitmap` at its natural size over the client area (0, 0, client): rows and columns
// of copies from (0, 0), the last row and column clipped at the client's bottom and right
// edges. Paints nothing for an empty client or an empty bitmap, so a failed load can never
// turn into a loop that does not advance. The painter's own clip, if any, is kept.
void TileBitmap(QPainter& dc, const QPixmap& bitmap, QSize client);
