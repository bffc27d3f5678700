#pragma once

class QComboBox;

// A drop-down combo box's template gives the height of the box with its list open. The box
// itself takes its natural height; its list shows as many entries as fit in the rest.
void FitDropDownCombo(QComboBox& combo);
