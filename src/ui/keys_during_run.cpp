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

KeysDuringRun::KeysDuringRun(QWidget& window) : m_window(window), m_focusBefore(window.focusWidget()) {
    // On the application: mnemonics are shortcuts, which reach their control without passing
    // through the focused one.
    QCoreApplication::instance()->installEventFilter(this);
    // Also when the window is not active: it then takes the focus here once it is.
    m_window.setFocus(Qt::OtherFocusReason);
}

KeysDuringRun::~KeysDuringRun() {
    QCoreApplication::instance()->removeEventFilter(this);
    // Unless the user has put the focus somewhere since.
    if (m_window.focusWidget() != &m_window) return;
    QWidget* before = m_focusBefore.data();
    if (before != nullptr && before != &m_window && before->isEnabled())
        before->setFocus(Qt::OtherFocusReason);
    else
        m_window.clearFocus();
}

bool KeysDuringRun::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::Shortcut) return false;
    const auto* receiver = qobject_cast<QWidget*>(watched);
    if (receiver == nullptr || receiver->window() != &m_window) return false;
    return type == QEvent::Shortcut || IsDialogKey(*static_cast<QKeyEvent*>(event), *receiver);
}

FocusStaysPut::~FocusStaysPut() {
    QWidget* focus = m_focus.data();
    (focus != nullptr && focus->isEnabled() ? *focus : m_window).setFocus(Qt::OtherFocusReason);
}
