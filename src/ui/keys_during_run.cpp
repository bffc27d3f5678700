#include "ui/keys_during_run.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace {

bool IsDialogKey(const QKeyEvent& key, const QWidget& receiver) {
    switch (key.key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
            // Between buttons the arrows move the focus; lists and combo boxes keep theirs.
            return qobject_cast<const QAbstractButton*>(&receiver) != nullptr;
        default:
            return false;
    }
}

}  // namespace

KeysDuringRun::KeysDuringRun(QWidget& window) : m_window(window) {
    // On the application: mnemonics are shortcuts, which reach their control without passing
    // through the focused one.
    QCoreApplication::instance()->installEventFilter(this);
}

KeysDuringRun::~KeysDuringRun() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool KeysDuringRun::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::Shortcut) return false;
    const auto* receiver = qobject_cast<QWidget*>(watched);
    if (receiver == nullptr || receiver->window() != &m_window) return false;
    return type == QEvent::Shortcut || IsDialogKey(*static_cast<QKeyEvent*>(event), *receiver);
}
