#include "ui/dialog_item.h"

#include <QVariant>
#include <QWidget>

QWidget* GetDlgItem(const QWidget& dialog, int id) {
    const auto controls = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
        const QVariant controlId = control->property("controlId");
        if (controlId.isValid() && controlId.toInt() == id) return control;
    }
    return nullptr;
}
