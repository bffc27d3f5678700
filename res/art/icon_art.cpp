#include "icon_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QImage PaintAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Every shape is laid out on a 48-unit grid and scaled, so the sizes stay alike.
    painter.scale(size / 48.0, size / 48.0);

    QLinearGradient tile(QPointF(0, 0), QPointF(0, 48));
    tile.setColorAt(0.0, QColor(74, 144, 217));
    tile.setColorAt(1.0, QColor(26, 78, 150));
    painter.setPen(QPen(QColor(18, 52, 104), 1.5));
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(2, 2, 44, 44), 8, 8);

    if (size >= 32) {
        // Sprocket holes down both sides of the tile.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 200));
        for (qreal y = 8; y < 42; y += 8) {
            painter.drawRect(QRectF(6, y, 4, 4));
            painter.drawRect(QRectF(38, y, 4, 4));
        }
    }

    // The play mark.
    QPainterPath play;
    play.moveTo(17, 13);
    play.lineTo(35, 24);
    play.lineTo(17, 35);
    play.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(play);

    if (size >= 32) {
        // The conversion arrow in the lower right corner.
        QPainterPath arrow;
        arrow.moveTo(26, 38);
        arrow.lineTo(36, 38);
        arrow.lineTo(36, 34);
        arrow.lineTo(44, 40.5);
        arrow.lineTo(36, 47);
        arrow.lineTo(36, 43);
        arrow.lineTo(26, 43);
        arrow.closeSubpath();
        painter.setPen(QPen(QColor(150, 70, 0), 1.0));
        painter.setBrush(QColor(255, 150, 30));
        painter.drawPath(arrow);
    }
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}
