// What the data-source windows share: the designer's template state as they
// read it, the error dialog with a number, opening a connection to test it,
// and saving a model item so that a failed write leaves nothing behind.
#pragma once

#include "platform/automation/AutomationError.h"

#include <functional>
#include <string>

namespace qz::datasources {

// The active template's state (goDesigner); read-only and "" without a designer.
bool TemplateReadOnly();
void MarkTemplateReadOnly();
std::string TemplateFolder();
// The full name of the active template's QZC file.
std::string QzcFullName();

// Shows "Error Number: " + the number (signed decimal) + CR LF +
// "Description: " + the description in the error dialog.
void ShowNumberedError(const AutomationError& error);

// Opens the connection for real and closes it at once. When it cannot be
// opened, the provider's errors are shown in the error dialog, one line each
// (number, a space, the description), or the error's own description when
// the provider gave none, and the result is false. Passwords never appear.
bool OpenAndCloseConnection(const std::string& connectionString);

// A failed write of the QZC file, raised again: when the file may not be
// written (read-only, or its folder is), the template is marked read-only and
// the error becomes message 4008 followed, on the next line, by "The Qzc file
// '<path>' is read-only."; any other failure is raised as it is.
[[noreturn]] void RaiseFailedWrite(AutomationError error);

// Before a write: a QZC file that has gone since it was loaded (the template
// moved or deleted meanwhile) is not made again from the window's copy; that
// raises 2018 "Unable to open qzc file." naming the file.
void RequireQzcFile();

// The number of characters of a UTF-8 text.
int CharCount(const std::string& text);

// Runs a write of the QZC file (a Save, a Delete); a failure is raised as
// RaiseFailedWrite raises it, after `undo` (when given) has put the window's
// copy of the file back as the file holds it, so that no later save of
// another item writes the refused change.
void WriteOrRaise(const std::function<void()>& write, const std::function<void()>& undo = {});

// A Save of an item as WriteOrRaise runs it, where `restore` puts the item's
// members back and the save is tried once more.
void SaveOrRestore(const std::function<void()>& save, const std::function<void()>& restore);

} // namespace qz::datasources
