#include "ui/window_placement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <QWindow>

QMargins DialogFrame(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    const QMargins reported = handle != nullptr ? handle->frameMargins() : QMargins();
    // No frame at all is what is reported before the window manager has framed the window.
    return reported.isNull() ? kUsualDialogFrame : reported;
}

void MoveWindow(QWidget& window, QSize frameSize) {
    const QMargins frame = DialogFrame(window);
    const QSize client = frameSize.shrunkBy(frame);
    window.setFixedSize(client);
    window.move(0, 0);
}

void CenterWindow(QWidget& window) {
    const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QSize frameSize = window.size().grownBy(DialogFrame(window));
    const QRect area = screen->availableGeometry();
    window.move(area.x() + (area.width() - frameSize.width()) / 2,
                area.y() + (area.height() - frameSize.height()) / 2);
}
