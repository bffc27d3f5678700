#pragma once

class QWidget;

// Gives a dialog the font of its template, "新細明體" at 9 points, falling back to AR PL UMing TW
// and then Noto Sans CJK TC where it is not installed. The controls inherit it.
void UseDialogFont(QWidget& dialog);
