// The find-and-replace dialog over a code box ("Find Text" / "Replace Text"):
// find next, count matches, replace one, replace all. Its search state lives
// in the thread's FindReplaceState, so the next dialog starts with the last
// search and replace texts. The opener sets the state's search text and
// count mode, makes a new dialog, calls SetupInit and shows it modally.
#pragma once

#include "editors/ModFindReplace.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <array>
#include <string>
#include <vector>

namespace qz::editors {

class frmFindReplace : public ui::Form {
public:
    frmFindReplace();
    ~frmFindReplace() override;

    std::array<ui::Label, 3> Label1;          // "&Find What:", "Replace &With:", "&Direction:"
    ui::ComboBox cboSearch, cboReplace, cboDir;
    ui::CommandButton cmdFind, cmdCancel;
    std::array<ui::CommandButton, 2> cmdReplace;  // "   Replace..." / "Replace", "Replace &All "
    ui::CheckBox chkMatchCase, chkCountOnly, chkFindWhole;
    ui::Frame Frame1;
    std::array<ui::OptionButton, 2> optSearch;    // the whole text, the selected text

    // Binds the target box (once; a bound target stays), lays out find mode
    // or replace mode, offers "Selected Text" when the box has a selection
    // (chosen when `selection`). The window host places the dialog over the
    // window that opened it.
    void SetupInit(bool replaceMode, ui::TextBox* target, bool selection);

    void cmdFind_Click();
    void cmdReplace_Click(int index);
    void cmdCancel_Click() { Unload(); }
    void cboSearch_Change();
    void chkMatchCase_Click();
    void chkCountOnly_Click();
    void optSearch_Click(int index);
    void Form_KeyPress(int& keyAscii);

    void OnClose() override { Unload(); }

protected:
    void OnUnload() override;

private:
    void KeyPressHook();
    void FormLoad();
    void FormUnload();
    bool FindNextMatch(std::int32_t position);
    void CountMatches();
    void ResetSearchState();
    void ResetSearchText();
    void ApplyScope();
    void Message(const std::string& text);
    bool ReplaceMode() const { return cboReplace.Visible; }

    ui::TextBox* target_ = nullptr;
    std::int32_t nextPosition_ = 0;
    bool wrapped_ = false;  // the find went on from the region's top
    // The selection when the dialog opened, 1-based, end exclusive: the
    // region "Selected Text" searches (its end follows the replacements).
    std::int32_t selectionStart_ = 0, selectionEnd_ = 0;
};

} // namespace qz::editors
