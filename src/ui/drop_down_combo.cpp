#include "ui/drop_down_combo.h"

#include <algorithm>

#include <QComboBox>
#include <QFontMetrics>

void FitDropDownCombo(QComboBox& combo) {
    const int openHeight = combo.height();
    const int boxHeight = combo.sizeHint().height();
    const int entryHeight = std::max(1, combo.fontMetrics().height());
    combo.resize(combo.width(), boxHeight);
    combo.setMaxVisibleItems(std::max(1, (openHeight - boxHeight) / entryHeight));
}
