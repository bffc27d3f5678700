#pragma once

class QWidget;

// Arrow keys move the focus within a group of a dialog's controls, as the platform's dialog
// manager has it. A group runs from a control whose "startsGroup" property is true (or the
// first control) to the control before the next such one, in template order. Up and Left go to
// the previous control of the group that can take the focus, Down and Right to the next, both
// wrapping around; hidden, disabled and static controls are passed over. Only buttons and check
// boxes hand their arrow keys on: lists and combo boxes keep theirs.
//
// Installs the keyboard handling on dialog's controls as they are now; the dialog owns it.
void InstallGroupNavigation(QWidget& dialog);
