#pragma once

#include <QImage>

// Paints the application icon at one size (16, 32 or 48 pixels): a blue tile holding a
// film frame and a play mark, with an orange arrow for "convert" where there is room.
[[nodiscard]] QImage PaintAppIcon(int size);
