#include "ui/preview_area.h"

#include <cstring>
#include <utility>

#include <QMetaObject>
#include <QPainter>
#include <QPalette>

PreviewArea::PreviewArea(QWidget* parent) : QFrame(parent) {
    // Black, never the skin: the area a video is shown in.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);
}

PreviewArea::~PreviewArea() = default;

void PreviewArea::PresentPicture(const std::uint8_t* pixels, int width, int height, int stride) {
    if (pixels == nullptr || width <= 0 || height <= 0 || static_cast<long long>(stride) < 4LL * width)
        return;
    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull()) return;
    for (int row = 0; row < height; ++row)
        std::memcpy(picture.scanLine(row), pixels + static_cast<std::ptrdiff_t>(row) * stride,
                    static_cast<std::size_t>(width) * 4);

    const std::lock_guard lock(m_mutex);
    m_waiting = std::move(picture);
    if (std::exchange(m_showPending, true)) return;
    // Queued to this object, so a call still queued when the area goes is dropped with it.
    QMetaObject::invokeMethod(this, &PreviewArea::ShowWaitingPicture, Qt::QueuedConnection);
}

void PreviewArea::ShowWaitingPicture() {
    {
        const std::lock_guard lock(m_mutex);
        m_showPending = false;
        if (m_waiting.isNull()) return;
        m_shown = std::move(m_waiting);
        m_waiting = QImage();
    }
    update();
}

void PreviewArea::SetVideoRectangle(LONG left, LONG top, LONG width, LONG height) {
    m_videoRectangle = QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                             static_cast<int>(height));
    update();
}

void PreviewArea::SetVideoVisible(bool visible) {
    m_videoVisible = visible;
    update();
}

void PreviewArea::Clear() {
    {
        const std::lock_guard lock(m_mutex);
        m_waiting = QImage();
    }
    m_shown = QImage();
    m_videoRectangle = QRect();
    m_videoVisible = true;
    update();
}

void PreviewArea::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!m_videoVisible || m_shown.isNull()) return;
    const QRect area = m_videoRectangle.isEmpty() ? contentsRect() : m_videoRectangle;
    const QSize fitted = m_shown.size().scaled(area.size(), Qt::KeepAspectRatio);
    if (fitted.isEmpty()) return;
    const QRect target(area.x() + (area.width() - fitted.width()) / 2,
                       area.y() + (area.height() - fitted.height()) / 2, fitted.width(), fitted.height());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_shown);
}
