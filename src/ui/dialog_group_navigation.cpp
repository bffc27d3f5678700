#include "ui/dialog_group_navigation.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QList>
#include <QObject>
#include <QWidget>

namespace {

class GroupNavigation : public QObject {
public:
    explicit GroupNavigation(QWidget& dialog) : QObject(&dialog), m_dialog(dialog) {
        for (QWidget* control : Controls())
            if (qobject_cast<QAbstractButton*>(control) != nullptr) control->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        const bool previous = key->key() == Qt::Key_Up || key->key() == Qt::Key_Left;
        const bool next = key->key() == Qt::Key_Down || key->key() == Qt::Key_Right;
        if (!previous && !next) return false;
        auto* control = qobject_cast<QWidget*>(watched);
        if (control == nullptr) return false;
        if (QWidget* target = Neighbour(*control, next))
            target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }

private:
    // The dialog's controls in template order; windows of their own (menus, tooltips) aren't.
    [[nodiscard]] QList<QWidget*> Controls() const {
        QList<QWidget*> controls;
        for (QObject* child : m_dialog.children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (widget != nullptr && !widget->isWindow()) controls << widget;
        }
        return controls;
    }

    static bool StartsGroup(const QWidget& control) { return control.property("startsGroup").toBool(); }

    static bool CanTakeFocus(const QWidget& control) {
        return control.isVisible() && control.isEnabled() && control.focusPolicy() != Qt::NoFocus;
    }

    // The control that the arrow key moves the focus to from control, or null.
    [[nodiscard]] QWidget* Neighbour(QWidget& control, bool forward) const {
        const QList<QWidget*> controls = Controls();
        const qsizetype at = controls.indexOf(&control);
        if (at < 0) return nullptr;
        qsizetype first = at;
        while (first > 0 && !StartsGroup(*controls[first])) --first;
        qsizetype end = at + 1;
        while (end < controls.size() && !StartsGroup(*controls[end])) ++end;

        const qsizetype size = end - first;
        for (qsizetype step = 1; step < size; ++step) {
            const qsizetype offset = ((at - first) + (forward ? step : size - step)) % size;
            QWidget* candidate = controls[first + offset];
            if (CanTakeFocus(*candidate)) return candidate;
        }
        return nullptr;
    }

    QWidget& m_dialog;
};

}  // namespace

void InstallGroupNavigation(QWidget& dialog) {
    new GroupNavigation(dialog);
}
