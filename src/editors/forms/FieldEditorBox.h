// Pieces the statement and expression editors share over their label box,
// code box, data tree and status bar.
#pragma once

#include "editors/FieldDataTree.h"
#include "platform/ui/Bars.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <string>

namespace qz::editors {

// Status bar panels 1 (type word), 2 (line) and 3 (column).
void AddFieldStatusPanels(ui::StatusBar& bar);
// Panels 2 and 3 show "Line n" and "Col n" of the code box's caret.
void ShowCaretStatus(ui::StatusBar& bar, const ui::TextBox& code);
// Panels 2 and 3 read "Line" and "Col" while the code box has no focus.
void ClearCaretStatus(ui::StatusBar& bar);
// Replaces the box's selection with the text (inserts at the caret).
void InsertTextAtCaret(ui::TextBox& box, const std::string& text);
// The label key filter on a key press: a refused key is consumed.
void FilterLabelKey(std::int32_t& keyAscii);
// Entering the label box selects its whole text.
void SelectWholeText(ui::TextBox& box);
// The template's QZC file and folder, from the designer's state; raises
// message 4033 when there is no template.
std::string TemplateQzcPath();
std::string TemplateFolder();
// The wait pointer while a long step runs (opening every command of the
// template), the normal one again however the step ends.
struct BusyCursor {
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
// Opens a help context of the designer's help centre.
void OpenEditorHelp(std::int32_t context);
// Runs the print dialog, then prints the field with the busy cursor up.
void PrintField(ui::Form& owner, const std::string& label, const std::string& code);

} // namespace qz::editors
