// Routines that the designer and the dialogs share: connection strings made
// usable from any current folder, path comparison, the user's date formats
// and currency symbol, line breaks in code boxes, and the naming rule for
// connections and commands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

namespace ui {
class Form;
struct Control;
struct TextBox;
}

// Makes the data path of a stored connection string absolute against the
// template folder, just before the connection (or saved recordset) is opened;
// the stored text itself is never changed.
// - A Jet OLE DB connection string ("Microsoft.Jet.OLEDB" anywhere, any case)
//   whose "Data Source=" value is a relative path gets that value replaced by
//   the absolute path in the template folder; quotes around it stay.
// - With isFile true (the text is the file name of a saved recordset) and no
//   file at that name: the file of that name in the template folder, when it
//   exists.
// - Anything else comes back unchanged.
std::string AdjustConnectionString(std::string_view connection, bool isFile,
                                   std::string_view templateFolder);

// True when both paths name the same file by their absolute forms (letter
// case included); false when they differ or either is empty.
bool FileNameIdentical(std::string_view path1, std::string_view path2);

// Text-drawing flags that shorten a text to fit: an ellipsis in the middle
// (for paths), at the end, or at the end after the last whole word.
inline constexpr std::int32_t DT_PATH_ELLIPSIS = 0x4000;
inline constexpr std::int32_t DT_END_ELLIPSIS = 0x8000;
inline constexpr std::int32_t DT_WORD_ELLIPSIS = 0x40000;

// Shows a text in a label's caption or a text box's text so that it fits 97 %
// of the control's width in the control's font (measured by the current UI
// host): the full text goes to the control's Tag; with one of the ellipsis
// flags a text too long is shortened (DT_PATH_ELLIPSIS in its middle), and
// the tooltip then holds the full text (and is cleared when the text fits).
// Other controls fail with error 438; failures reach the caller.
void FitTextToControl(ui::Form& form, ui::Control& control, const std::string& text,
                      std::int32_t flags);

// The user's long (kind 0) or short (kind 1) date format; "dd mmmm yyyy" or
// "dd/mm/yyyy" when the locale gives none.
std::string GetLocaleDateFormat(std::int32_t kind);
// The user's currency symbol; "$" when the locale gives none.
std::string GetLocaleCurrencySymbol();

// A code box's text with every line break as CR LF, in place: CR LF pairs
// and lone CRs both become CR LF; a lone LF is left as it is.
void ManageCarriageReturn(ui::TextBox& box);

// The naming rule for connections and commands: ASCII letters, digits and
// "_", not starting with a digit or "_", and not empty. Callers show message
// 4027 when a name fails.
bool ValidCnOrCmdName(std::string_view name) noexcept;

} // namespace qz
