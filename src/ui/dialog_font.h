#pragma once

class QFont;
class QWidget;

// The font of the dialog templates, "新細明體" at 9 points, falling back to AR PL UMing TW and
// then Noto Sans CJK TC where it is not installed; base gives everything else. Under English
// (text/message_catalogue.h) DejaVu Sans at 8 points, with the same fallbacks for Chinese names.
[[nodiscard]] QFont DialogFont(const QFont& base);

// Gives a dialog the font of its template. The controls inherit it.
void UseDialogFont(QWidget& dialog);
