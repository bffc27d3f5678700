#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QEvent;

// While it lives, the keys with which a dialog moves between its controls and presses them do
// nothing in window: Escape, Enter, Tab and Shift+Tab, the arrow keys on buttons and check boxes,
// and Alt with a control's mnemonic. A conversion run serves the window's events without the
// dialog's keyboard handling, as its platform does. A focused control's own keys still act
// (Space on a button, the arrows in a list), and other windows (a message box, the About box)
// keep all of theirs.
//
// The keyboard focus is parked on the window itself meanwhile, where no key does anything, and
// goes back when it ends, unless the user has clicked it elsewhere since.
class KeysDuringRun : public QObject {
public:
    explicit KeysDuringRun(QWidget& window);
    ~KeysDuringRun() override;
    KeysDuringRun(const KeysDuringRun&) = delete;
    KeysDuringRun& operator=(const KeysDuringRun&) = delete;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    QPointer<QWidget> m_focusBefore;  // where the focus goes back to; null when it was elsewhere
};

// While it lives, controls of window may be disabled without moving the focus: when it goes, the
// focus is back where it was, or parked on the window itself when that control is now disabled.
// A disabled skinned button passes the focus on to the next control whether or not it had it, and
// a key meant for Start would then press that one (Clear lists, after Browse, which would drop
// every job after the running one).
class FocusStaysPut {
public:
    explicit FocusStaysPut(QWidget& window) : m_window(window), m_focus(window.focusWidget()) {}
    ~FocusStaysPut();
    FocusStaysPut(const FocusStaysPut&) = delete;
    FocusStaysPut& operator=(const FocusStaysPut&) = delete;

private:
    QWidget& m_window;
    QPointer<QWidget> m_focus;
};
