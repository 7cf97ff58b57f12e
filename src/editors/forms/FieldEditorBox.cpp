#include "editors/forms/FieldEditorBox.h"

#include "core/DesignerState.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "core/ModGlobalControls.h"
#include "core/ModPrintDialog.h"
#include "editors/FieldCode.h"
#include "editors/ModFindReplace.h"
#include "platform/ui/UiHost.h"
#include "resources/MessageIds.h"

namespace qz::editors {

void AddFieldStatusPanels(ui::StatusBar& bar) {
    bar.Panels.clear();
    bar.AddPanel("type");
    bar.AddPanel("line");
    bar.AddPanel("col");
}

void ShowCaretStatus(ui::StatusBar& bar, const ui::TextBox& code) {
    bar.Panel(2).Text = "Line " + std::to_string(GetCaretLineOrColumn(1, code));
    bar.Panel(3).Text = "Col " + std::to_string(GetCaretLineOrColumn(2, code));
}

void ClearCaretStatus(ui::StatusBar& bar) {
    bar.Panel(2).Text = "Line";
    bar.Panel(3).Text = "Col";
}

void InsertTextAtCaret(ui::TextBox& box, const std::string& text) { box.SetSelText(text); }

void FilterLabelKey(std::int32_t& keyAscii) {
    if (!LabelKeyAllowed(keyAscii)) keyAscii = 0;
}

void SelectWholeText(ui::TextBox& box) {
    if (box.Text.empty()) return;
    box.SelStart = 0;
    box.SelLength = CharCount(box.Text);
}

std::string TemplateFolder() {
    if (!goDesigner || goDesigner->QzcFileName().empty()) RaiseError(msg::CannotFillDataTree);
    return goDesigner->TemplatePath();
}

std::string TemplateQzcPath() { return AddBackSlashInPath(TemplateFolder()) + goDesigner->QzcFileName(); }

BusyCursor::BusyCursor() { ui::currentHost().setBusyCursor(true); }
BusyCursor::~BusyCursor() { ui::currentHost().setBusyCursor(false); }

void OpenEditorHelp(std::int32_t context) {
    if (goDesigner) goDesigner->GetHelpCenter().OpenHelpCenter(0, context);
}

void PrintField(ui::Form& owner, const std::string& label, const std::string& code) {
    if (!ShowPrinterDialog(&owner, 0)) return;
    BusyCursor busy;
    PrintFieldCode(label, code);
}

} // namespace qz::editors
