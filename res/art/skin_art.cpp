#include "skin_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

// A soft diagonal band of light, brightest along its middle line.
void PaintLightBand(QPainter& painter, QSize size, qreal startX, qreal width, int peakAlpha) {
    const qreal h = size.height();
    QPainterPath band;
    band.moveTo(startX, h);
    band.lineTo(startX + width, h);
    band.lineTo(startX + width + h * 0.75, 0);
    band.lineTo(startX + h * 0.75, 0);
    band.closeSubpath();

    QLinearGradient light(QPointF(startX, h), QPointF(startX + width, h));
    light.setColorAt(0.0, QColor(255, 255, 255, 0));
    light.setColorAt(0.5, QColor(255, 255, 255, peakAlpha));
    light.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.fillPath(band, light);
}

// A flowing line across the lower part of the picture, like the trail of a moving frame.
void PaintTrail(QPainter& painter, QSize size, qreal baseY, qreal swing, qreal phase, QColor colour,
                qreal width) {
    const qreal w = size.width();
    QPainterPath trail;
    trail.moveTo(-20, baseY);
    trail.cubicTo(w * (0.25 + phase), baseY - swing, w * (0.55 - phase), baseY + swing, w + 20,
                  baseY - swing * 0.6);
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(trail);
}

// A row of faint rounded frames along the bottom edge: a film strip seen from far away.
void PaintFilmStrip(QPainter& painter, QSize size) {
    const qreal top = size.height() - 26.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(120, 150, 185, 26));
    painter.drawRect(QRectF(0, top, size.width(), 22));
    painter.setBrush(QColor(255, 255, 255, 70));
    for (qreal x = 6; x < size.width(); x += 16) painter.drawRoundedRect(QRectF(x, top + 4, 8, 5), 1.5, 1.5);
    for (qreal x = 6; x < size.width(); x += 16) painter.drawRoundedRect(QRectF(x, top + 13, 8, 5), 1.5, 1.5);
}

}  // namespace

QImage PaintSkin(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // Base: a cool, pale wash, slightly darker towards the bottom right.
    QLinearGradient base(QPointF(0, 0), QPointF(size.width(), size.height()));
    base.setColorAt(0.0, QColor(242, 246, 251));
    base.setColorAt(0.5, QColor(224, 233, 243));
    base.setColorAt(1.0, QColor(190, 208, 230));
    painter.fillRect(image.rect(), base);

    // A gentle glow behind the upper left, where the labels start.
    QRadialGradient glow(QPointF(size.width() * 0.18, size.height() * 0.12), size.width() * 0.6);
    glow.setColorAt(0.0, QColor(255, 255, 255, 120));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.fillRect(image.rect(), glow);

    PaintLightBand(painter, size, size.width() * 0.05, 120, 70);
    PaintLightBand(painter, size, size.width() * 0.42, 60, 60);
    PaintLightBand(painter, size, size.width() * 0.62, 170, 80);

    const qreal h = size.height();
    PaintTrail(painter, size, h * 0.80, 40, 0.00, QColor(130, 165, 210, 90), 2.0);
    PaintTrail(painter, size, h * 0.84, 55, 0.06, QColor(100, 145, 200, 80), 4.0);
    PaintTrail(painter, size, h * 0.88, 30, 0.12, QColor(255, 255, 255, 170), 1.5);
    PaintTrail(painter, size, h * 0.30, 25, 0.18, QColor(160, 190, 222, 40), 1.5);

    PaintFilmStrip(painter, size);

    // A thin darker edge at the top, so the skin meets the title bar cleanly.
    painter.fillRect(QRectF(0, 0, size.width(), 1), QColor(180, 195, 215));
    painter.end();
    return image.convertToFormat(QImage::Format_RGB32);
}
