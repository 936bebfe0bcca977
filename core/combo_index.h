#pragma once

class QComboBox;

// The item index a combo box stands at, as the classic desktop combo reports
// it: -1 once the user has typed a text into an editable combo that matches
// no item, so that no item counts as selected.
int SelectedIndex(const QComboBox* combo);
