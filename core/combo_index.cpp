#include "core/combo_index.h"

#include <QComboBox>

int SelectedIndex(const QComboBox* combo)
{
    const int index = combo->currentIndex();
    if (!combo->isEditable())
        return index;
    if (index >= 0 && combo->itemText(index) == combo->currentText())
        return index;
    return combo->findText(combo->currentText(), Qt::MatchExactly);
}
