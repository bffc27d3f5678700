#include "parent_background_capture.h"

#include <QList>
#include <QPainter>
#include <QWidget>

QPixmap CaptureParentBackground(const QWidget& widget) {
    const qreal ratio = widget.devicePixelRatioF();
    QPixmap capture(widget.size() * ratio);
    capture.setDevicePixelRatio(ratio);
    capture.fill(widget.palette().color(QPalette::Window));

    QList<QWidget*> ancestors;
    for (QWidget* ancestor = widget.parentWidget(); ancestor != nullptr;
         ancestor = ancestor->isWindow() ? nullptr : ancestor->parentWidget())
        ancestors.prepend(ancestor);

    QPainter painter(&capture);
    for (QWidget* ancestor : ancestors) {
        // Each ancestor draws only itself; rendering children would draw the widget, and so
        // ask for this capture again while it is being made.
        const QRect under(widget.mapTo(ancestor, QPoint(0, 0)), widget.size());
        const QRect visible = under & ancestor->rect();
        if (visible.isEmpty()) continue;
        const QWidget::RenderFlags flags =
            ancestor->isWindow() ? QWidget::DrawWindowBackground : QWidget::RenderFlags();
        ancestor->render(&painter, visible.topLeft() - under.topLeft(), QRegion(visible), flags);
    }
    return capture;
}
