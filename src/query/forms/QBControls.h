// The query builder's two control routines, shared by its windows.
#pragma once

#include "platform/ui/Controls.h"

namespace qz::query {

// Makes entry `index` (from 0) the combo box's selection without raising its
// Click, as selections that mirror the model are set; -1 or an index out of
// range leaves no selection and an empty text.
void QBSetCurSel(ui::ComboBox& combo, int index);
// True when the user has changed the box's text since its modified flag
// (DataChanged) was last cleared.
bool QBTextBoxChanged(const ui::TextBox& box);

} // namespace qz::query
