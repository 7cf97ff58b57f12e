#include "query/forms/QBControls.h"

namespace qz::query {

void QBSetCurSel(ui::ComboBox& combo, int index) {
    if (index >= 0 && index < combo.ListCount()) {
        combo.Select(index);
        return;
    }
    combo.ListIndex = -1;
    combo.Text.clear();
}

bool QBTextBoxChanged(const ui::TextBox& box) { return box.DataChanged; }

} // namespace qz::query
