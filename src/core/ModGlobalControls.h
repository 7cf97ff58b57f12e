// The routines the dialogs share over their combo boxes and text boxes: the
// locale lists, the digit and True/False lists, type-ahead in a combo box and
// the caret's line and column in a code box.
#pragma once

#include "platform/ui/Controls.h"

#include <chrono>
#include <cstdint>
#include <functional>

namespace qz {

// Entry 0 is "<System Default>" (mode 0) or "<Template Default>" (mode 1)
// with item datum -1, then every installed locale by name with its LCID.
void FillInstalledLocaleCombo(ui::ComboBox& combo, std::int32_t mode);
// Selects the entry of the LCID (-1: entry 0). Entry 0 is never matched by an
// LCID; an LCID not in the list leaves the selection as it is.
void SelectQzTemplateLocaleItem(ui::ComboBox& combo, std::int32_t lcid);

// Type-ahead for a combo's key-press handler. Keys 32 to 127 extend the typed
// prefix (a new prefix starts after a pause of 0.25 s or in another combo),
// select the first entry that begins with it, letter case aside, and are
// consumed (keyAscii becomes 0). Other keys pass through unchanged.
void ComboIncrementalSearch(ui::ComboBox& combo, std::int32_t& keyAscii);
// The clock type-ahead measures pauses with (for tests); an empty function
// restores the steady clock.
void SetIncrementalSearchClock(std::function<std::chrono::steady_clock::time_point()> clock);

// "0" to "9", each with its digit as item datum.
void FillNumberOfDigitsCombo(ui::ComboBox& combo);
// "True" (-1) and "False" (0).
void FillNumberCombo(ui::ComboBox& combo);
// Selects the first entry whose item datum is the value; when none is, an
// editable combo shows the value as its text (a list-only combo is left).
void SelectNumberOption(ui::ComboBox& combo, std::int32_t value);

// The caret's line (mode 1) or column (any other mode) in a text box, both
// counted from 1. The caret is the end of the selection; a line ends at CR
// LF, a lone CR or a lone LF, and a CR LF counts two characters.
std::int32_t GetCaretLineOrColumn(std::int32_t mode, const ui::TextBox& box);

} // namespace qz
