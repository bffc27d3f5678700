#pragma once

class QWidget;

// The control of dialog whose template id is id (its "controlId" property), or null.
[[nodiscard]] QWidget* GetDlgItem(const QWidget& dialog, int id);
