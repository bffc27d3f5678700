#pragma once

#include <QObject>

class QEvent;
class QWidget;

// While it lives, the keys with which a dialog moves between its controls and presses them do
// nothing in window: Escape, Enter, Tab and Shift+Tab, the arrow keys on buttons and check boxes,
// and Alt with a control's mnemonic. A conversion run serves the window's events without the
// dialog's keyboard handling, as its platform does. A focused control's own keys still act
// (Space on a button, the arrows in a list), and other windows (a message box, the About box)
// keep all of theirs.
class KeysDuringRun : public QObject {
public:
    explicit KeysDuringRun(QWidget& window);
    ~KeysDuringRun() override;
    KeysDuringRun(const KeysDuringRun&) = delete;
    KeysDuringRun& operator=(const KeysDuringRun&) = delete;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
};
