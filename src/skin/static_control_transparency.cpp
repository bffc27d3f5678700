#include "static_control_transparency.h"

#include <QCheckBox>
#include <QChildEvent>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace {

// Widgets whose children are separate controls of the window. Composite controls (lists,
// combo boxes, spin boxes) keep their internal widgets to themselves and are not entered.
bool IsContainer(const QWidget& widget) {
    const QMetaObject* type = widget.metaObject();
    return qobject_cast<const QGroupBox*>(&widget) != nullptr || type == &QWidget::staticMetaObject ||
           type == &QFrame::staticMetaObject;
}

void MakeTransparent(QWidget& control) {
    control.setAutoFillBackground(false);
    // Only labels get a transparent window colour as well. A group box's palette is inherited
    // by the controls inside it, which must keep their own colours; and check boxes and radio
    // buttons draw the outline of their indicator from the window colour, which would vanish.
    if (qobject_cast<QLabel*>(&control) == nullptr) return;
    QPalette palette = control.palette();
    palette.setColor(QPalette::Window, Qt::transparent);
    control.setPalette(palette);
}

}  // namespace

void StaticControlTransparency::Watch(QWidget& root) {
    root.installEventFilter(this);
    for (QObject* child : root.children())
        if (child->isWidgetType()) Handle(*static_cast<QWidget*>(child));
}

bool StaticControlTransparency::IsStaticControl(const QWidget& widget) {
    return qobject_cast<const QLabel*>(&widget) != nullptr ||
           qobject_cast<const QCheckBox*>(&widget) != nullptr ||
           qobject_cast<const QRadioButton*>(&widget) != nullptr ||
           qobject_cast<const QGroupBox*>(&widget) != nullptr;
}

bool StaticControlTransparency::eventFilter(QObject* watched, QEvent* event) {
    // ChildAdded arrives while a new widget is still being constructed, when its class
    // cannot be told yet; such a widget is handled at its ChildPolished instead.
    const bool polished = event->type() == QEvent::ChildPolished;
    const bool added = event->type() == QEvent::ChildAdded;
    if (polished || added) {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child != nullptr && child->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(child);
            if (polished || widget->testAttribute(Qt::WA_WState_Polished)) Handle(*widget);
        }
    }
    return QObject::eventFilter(watched, event);
}

void StaticControlTransparency::Handle(QWidget& widget) {
    if (widget.isWindow()) return;
    if (IsStaticControl(widget)) MakeTransparent(widget);
    if (IsContainer(widget)) Watch(widget);
}
