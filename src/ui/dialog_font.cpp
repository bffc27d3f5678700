#include "ui/dialog_font.h"

#include <QFont>
#include <QStringList>
#include <QWidget>

#include "text/message_catalogue.h"

QFont DialogFont(const QFont& base) {
    QFont font = base;
    if (CurrentMessageLanguage() == MessageLanguage::English) {
        // The CJK fonts' Latin letters are a typewriter's; file names may still be Chinese. At 8
        // points, as English dialogs of the templates' kind are set, the texts fit their controls.
        font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("AR PL UMing TW"),
                          QStringLiteral("Noto Sans CJK TC")});
        font.setPointSize(8);
    } else {
        font.setFamilies(
            {QStringLiteral("新細明體"), QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Sans CJK TC")});
        font.setPointSize(9);
    }
    return font;
}

void UseDialogFont(QWidget& dialog) {
    dialog.setFont(DialogFont(dialog.font()));
}
