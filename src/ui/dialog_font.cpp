#include "ui/dialog_font.h"

#include <QFont>
#include <QStringList>
#include <QWidget>

QFont DialogFont(const QFont& base) {
    QFont font = base;
    font.setFamilies(
        {QStringLiteral("新細明體"), QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Sans CJK TC")});
    font.setPointSize(9);
    return font;
}

void UseDialogFont(QWidget& dialog) {
    dialog.setFont(DialogFont(dialog.font()));
}
