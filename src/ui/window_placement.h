#pragma once

#include <QMargins>
#include <QPoint>
#include <QSize>

class QWidget;

// Window placement by the outer frame, as the platform places windows.
//
// A window manager frames a window only once it is shown, so before that its frame is not
// known. Until it is, the frame is taken to be the platform's usual one for a dialog with a
// caption: 3 pixels at the sides and the bottom, 26 pixels at the top with the caption. Once the
// window manager has framed the window, PlaceWhenFramed sets size and place again by the frame
// it really drew.
inline constexpr QMargins kUsualDialogFrame(3, 26, 3, 3);

// The frame of window as the window system reports it, or kUsualDialogFrame while unknown.
[[nodiscard]] QMargins DialogFrame(const QWidget& window);

// Places window's frame, not its client area, with its top-left corner at topLeft.
void MoveFrameTo(QWidget& window, QPoint topLeft);

// Gives window the fixed outer size frameSize (client = frameSize less the frame) and places its
// frame's top-left corner at (0, 0).
void MoveWindow(QWidget& window, QSize frameSize);

// Centres window's frame on the available area of its screen.
void CenterWindow(QWidget& window);

// When the window manager has framed window (at its first showing), gives it the outer size
// frameSize and centres it again, by the frame as drawn. Nothing happens where no window manager
// frames windows; nothing happens after that first time, so the user's own moves stand.
void CentreOnceFramed(QWidget& window, QSize frameSize);
