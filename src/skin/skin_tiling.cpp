#include "skin_tiling.h"

#include <QPainter>

void TileBitmap(QPainter& dc, const QPixmap& bitmap, QSize client) {
    const QSize tile = bitmap.deviceIndependentSize().toSize();
    if (tile.isEmpty() || client.isEmpty()) return;

    dc.save();
    dc.setClipRect(QRect(QPoint(0, 0), client), dc.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    for (int y = 0; y < client.height(); y += tile.height())
        for (int x = 0; x < client.width(); x += tile.width()) dc.drawPixmap(x, y, bitmap);
    dc.restore();
}
