#pragma once

class QComboBox;

// A drop-down box with an edit field, as the platform keeps it: its selection follows the text
// in the field. A text that names an entry (ignoring case) selects it; any other text leaves
// nothing selected (index -1). QComboBox on its own keeps the old index while the field shows
// something else, so the box would say one thing and its selection another.
void MakeSelectionFollowText(QComboBox& combo);
