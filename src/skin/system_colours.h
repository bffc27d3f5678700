#pragma once

#include <QColor>
#include <QPalette>

// The Windows system colours that the skinned controls paint with, read from a Qt palette.
namespace system_colours {

inline QColor ButtonFace(const QPalette& palette) {
    return palette.color(QPalette::Button);
}
inline QColor ButtonText(const QPalette& palette) {
    return palette.color(QPalette::ButtonText);
}
inline QColor ButtonHighlight(const QPalette& palette) {
    return palette.color(QPalette::Light);
}
inline QColor Light3d(const QPalette& palette) {
    return palette.color(QPalette::Midlight);
}

// Dark rather than Mid: Qt's Windows platform theme stores the button shadow colour in Dark
// and derives Mid from the face, and Qt's Windows-style bevels draw their inner shadow line
// with Dark, so Dark is the colour that a desktop theme means for this line.
inline QColor ButtonShadow(const QPalette& palette) {
    return palette.color(QPalette::Dark);
}

inline QColor DarkShadow3d(const QPalette& palette) {
    return palette.color(QPalette::Shadow);
}

}  // namespace system_colours
