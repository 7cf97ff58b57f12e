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
