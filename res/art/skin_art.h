#pragma once

#include <QImage>
#include <QSize>

// Paints the window skin: a light, low-contrast picture, so that 9 pt labels drawn straight
// over it stay legible, with its stronger shapes kept to the edges and the lower right.
[[nodiscard]] QImage PaintSkin(QSize size);
