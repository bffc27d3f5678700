#include "ui/dialog_font.h"

#include <QFont>
#include <QStringList>
#include <QWidget>

void UseDialogFont(QWidget& dialog) {
    QFont font = dialog.font();
    font.setFamilies(
        {QStringLiteral("新細明體"), QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Sans CJK TC")});
    font.setPointSize(9);
    dialog.setFont(font);
}
