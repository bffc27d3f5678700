#include "ui/combo_selection.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

void MakeSelectionFollowText(QComboBox& combo) {
    QObject::connect(&combo, &QComboBox::editTextChanged, &combo, [&combo](const QString& text) {
        const int named = combo.findText(text, Qt::MatchFixedString);
        if (named == combo.currentIndex()) return;
        // Changing the index rewrites the field; what the user typed, and where, stays.
        QLineEdit* field = combo.lineEdit();
        const int cursor = field != nullptr ? field->cursorPosition() : 0;
        const QSignalBlocker quiet(combo);
        combo.setCurrentIndex(named);
        if (field != nullptr && field->text() != text) {
            field->setText(text);
            field->setCursorPosition(cursor);
        }
    });
}
