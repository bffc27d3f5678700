#include "ui/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QRect>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

// Watches a window until its frame is known, then sets its size and place once.
class FramePlacement : public QObject {
public:
    FramePlacement(QWidget& window, QSize frameSize)
        : QObject(&window), m_window(window), m_frameSize(frameSize) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Paint:
            case QEvent::WindowActivate:
                if (FrameKnown()) {
                    m_window.removeEventFilter(this);
                    // Not from inside the window's own event: placing may resize it.
                    QTimer::singleShot(0, this, [this] { Place(); });
                }
                break;
            case QEvent::Hide:
                deleteLater();
                break;
            default:
                break;
        }
        return false;
    }

private:
    [[nodiscard]] bool FrameKnown() const {
        const QWindow* handle = m_window.windowHandle();
        return handle != nullptr && !handle->frameMargins().isNull();
    }

    void Place() {
        MoveWindow(m_window, m_frameSize);
        CenterWindow(m_window);
        deleteLater();
    }

    QWidget& m_window;
    QSize m_frameSize;
};

}  // namespace

QMargins DialogFrame(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    const QMargins reported = handle != nullptr ? handle->frameMargins() : QMargins();
    // No frame at all is what is reported before the window manager has framed the window.
    return reported.isNull() ? kUsualDialogFrame : reported;
}

void MoveFrameTo(QWidget& window, QPoint topLeft) {
    // Once the window exists, QWidget::move places its client area; the window's own frame
    // position is the frame's wherever the window manager has got to.
    if (QWindow* handle = window.windowHandle())
        handle->setFramePosition(topLeft);
    else
        window.move(topLeft);
}

void MoveWindow(QWidget& window, QSize frameSize) {
    const QMargins frame = DialogFrame(window);
    const QSize client = frameSize.shrunkBy(frame);
    window.setFixedSize(client);
    MoveFrameTo(window, QPoint(0, 0));
}

void CenterWindow(QWidget& window) {
    const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QSize frameSize = window.size().grownBy(DialogFrame(window));
    const QRect area = screen->availableGeometry();
    MoveFrameTo(window, QPoint(area.x() + (area.width() - frameSize.width()) / 2,
                               area.y() + (area.height() - frameSize.height()) / 2));
}

void CentreOnceFramed(QWidget& window, QSize frameSize) {
    new FramePlacement(window, frameSize);
}
