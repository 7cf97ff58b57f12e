#include "editors/forms/frmFindReplace.h"

#include "platform/ui/UiHost.h"

namespace qz::editors {

frmFindReplace::frmFindReplace() : ui::Form("frmFindReplace", "Find Text") {
    control(Label1[0], "Label10").Caption = "&Find What:";
    control(cboSearch, "cboSearch");
    control(Label1[1], "Label11").Caption = "Replace &With:";
    control(cboReplace, "cboReplace");
    control(cmdFind, "cmdFind").Caption = "Find &Next ";
    cmdFind.Default = true;
    control(cmdCancel, "cmdCancel").Caption = "Cancel ";
    cmdCancel.Cancel = true;
    control(cmdReplace[0], "cmdReplace0").Caption = "   Replace...";
    control(cmdReplace[1], "cmdReplace1").Caption = "Replace &All ";
    control(chkMatchCase, "chkMatchCase").Caption = "&Match Case ";
    control(chkCountOnly, "chkCountOnly").Caption = "Count Matches Only ";
    control(Frame1, "Frame1").Caption = "Search";
    control(optSearch[0], "optSearch0").Caption = "&Current Window ";
    control(optSearch[1], "optSearch1").Caption = "Selected &Text ";
    control(chkFindWhole, "chkFindWhole").Caption = "Find Whole Word &Only";
    chkFindWhole.Visible = false;
    control(Label1[2], "Label12").Caption = "&Direction:";
    Label1[2].Visible = false;
    control(cboDir, "cboDir");
    cboDir.Style = 2;
    for (const char* d : {"All", "Down", "Up"}) cboDir.AddItem(d);
    cboDir.Visible = false;

    KeyPressHook();
}

frmFindReplace::~frmFindReplace() {
    if (target_) FormUnload();
}

void frmFindReplace::KeyPressHook() {
    for (ui::Control* c : Controls())
        if (!c->KeyPress) c->KeyPress = [this](int& k) { Form_KeyPress(k); };
}

void frmFindReplace::FormLoad() {
    FindReplaceState& s = TheFindReplaceState();
    optSearch[0].Value = true;
    optSearch[1].Value = false;
    cboSearch.Text.clear();
    cboReplace.Text.clear();
    if (!s.search.empty()) cboSearch.Text = s.search;
    s.currentPosition = target_->SelStart == 0 ? 1 : target_->SelStart;
    s.startPosition = s.currentPosition;
    s.compareMode = chkMatchCase.Value == 1 ? kCompareBinary : kCompareText;
    ResetSearchText();
    cboReplace.Text = s.replace;
    nextPosition_ = 0;
    cboSearch_Change();
}

void frmFindReplace::FormUnload() {
    ResetSearchState();
    TheFindReplaceState().regionStart = TheFindReplaceState().regionEnd = 0;
    target_ = nullptr;
}

void frmFindReplace::OnUnload() {
    if (target_) FormUnload();
}

void frmFindReplace::ResetSearchText() {
    FindReplaceState& s = TheFindReplaceState();
    s.text = target_->Text;
    if (FindFrom(s.text, s.search, 1, s.compareMode) != 0)
        s.currentPosition = s.fromTop ? 1 : s.startPosition;
}

void frmFindReplace::SetupInit(bool replaceMode, ui::TextBox* target, bool selection) {
    if (!target_ && target) {
        target_ = target;
        selectionStart_ = target->SelStart + 1;
        selectionEnd_ = target->SelStart + target->SelLength + 1;
        FormLoad();
    }
    if (!target_) return;
    if (target_->SelLength > 0 && target) {
        optSearch[1].Enabled = selection;
        optSearch[1].Value = selection;
        optSearch[0].Value = !selection;
    } else if (target) {
        optSearch[1].Enabled = false;
    }
    if (replaceMode) {
        cmdReplace[0].Caption = "Replace";
        cmdReplace[1].Visible = true;
        Label1[1].Visible = true;
        cboReplace.Visible = true;
        Caption = "Replace Text";
    } else {
        cmdReplace[0].Caption = "   Replace...";
        cmdReplace[0].Enabled = true;
        cmdReplace[1].Visible = true;
        cmdReplace[1].Enabled = false;
        Label1[1].Visible = false;
        cboReplace.Visible = false;
        Caption = "Find Text";
    }
    ApplyScope();
}

void frmFindReplace::ApplyScope() {
    FindReplaceState& s = TheFindReplaceState();
    const bool selected = optSearch[1].Value && optSearch[1].Enabled;
    s.regionStart = selected ? selectionStart_ : 0;
    s.regionEnd = selected ? selectionEnd_ : 0;
}

void frmFindReplace::optSearch_Click(int index) {
    optSearch[0].Value = index == 0;
    optSearch[1].Value = index == 1;
    ApplyScope();
}

bool frmFindReplace::FindNextMatch(std::int32_t position) {
    FindReplaceState& s = TheFindReplaceState();
    if (position < 1) position = 1;
    if (position < s.regionStart) position = s.regionStart;
    const std::int32_t q = FindFrom(s.text, s.search, position, s.compareMode, s.regionEnd);
    if (q == 0) return false;
    const std::int32_t l = CharCount(s.search);
    nextPosition_ = q + l;
    target_->SelStart = q - 1;
    target_->SelLength = l;
    if (!s.replacing) ++s.matchCount;
    return true;
}

void frmFindReplace::cmdFind_Click() {
    FindReplaceState& s = TheFindReplaceState();
    if (!target_) return;
    s.search = cboSearch.Text;
    if (s.search.empty()) return;
    if (s.countMode) {
        CountMatches();
        return;
    }
    if (nextPosition_ >= s.currentPosition) s.currentPosition = nextPosition_;
    // A search that began after the region's top wraps: at the end it goes
    // on from the top, and the region is searched once it comes back to
    // where it began.
    const std::int32_t top = std::max(1, s.regionStart);
    const bool wraps = s.startPosition > top;
    const std::int32_t count = s.matchCount;
    auto beforeStart = [&] { return target_->SelStart + 1 < s.startPosition; };
    if (FindNextMatch(s.currentPosition) && (!wrapped_ || beforeStart())) return;
    if (wraps && !wrapped_) {
        wrapped_ = true;
        nextPosition_ = 0;
        s.currentPosition = top;
        if (FindNextMatch(top) && beforeStart()) return;
    }
    s.matchCount = count;
    Message("The specified region has been searched. Matches found: " + std::to_string(s.matchCount));
    ResetSearchState();
    SetFocusTo(cboSearch);
}

void frmFindReplace::CountMatches() {
    FindReplaceState& s = TheFindReplaceState();
    s.text = target_->Text;
    const std::int32_t l = CharCount(s.search);
    for (std::int32_t q = FindFrom(s.text, s.search, std::max(1, s.regionStart), s.compareMode, s.regionEnd); q != 0;
         q = FindFrom(s.text, s.search, q + l, s.compareMode, s.regionEnd))
        ++s.matchCount;
    Message(std::to_string(s.matchCount) + " matches found for ' " + s.search + " '");
    ResetSearchState();
}

void frmFindReplace::cmdReplace_Click(int index) {
    FindReplaceState& s = TheFindReplaceState();
    if (!target_) return;
    s.replacing = true;
    s.search = cboSearch.Text;
    s.replace = cboReplace.Text;
    if (index == 0 && cmdReplace[0].Caption == "   Replace...") {
        cmdReplace[0].Caption = "Replace";
        cmdReplace[1].Enabled = !s.search.empty();
        SetupInit(true, nullptr, false);
    } else if (s.search.empty()) {
        // Nothing to search for: nothing is replaced.
    } else if (index == 0) {
        bool found = FindNextMatch(s.currentPosition);
        if (found) {
            const std::int32_t q = target_->SelStart + 1;
            const std::int32_t l = CharCount(s.search), r = CharCount(s.replace);
            target_->SetSelText(s.replace);
            ++s.matchCount;
            ++s.changeCount;
            s.text = target_->Text;
            if (s.regionEnd > 0) s.regionEnd += r - l;
            if (selectionEnd_ > 0 && s.regionEnd > 0) selectionEnd_ = s.regionEnd;
            // Just after the inserted text: it is not searched again, and an
            // occurrence right after it is not skipped.
            s.currentPosition = q + r;
            found = FindNextMatch(s.currentPosition);
        }
        if (!found) {
            Message("The document has been searched. " + std::to_string(s.matchCount) + " matches found; " +
                    std::to_string(s.changeCount) + " changes made.");
            ResetSearchState();
        }
    } else {
        ui::currentHost().setBusyCursor(true);
        if (ReplaceAllInText(s) > 0) {
            target_->Text = s.text;
            target_->SelStart = 0;
            target_->SelLength = 0;
            if (s.regionEnd > 0) selectionEnd_ = s.regionEnd;
        }
        ui::currentHost().setBusyCursor(false);
        Message("The document has been searched. " + std::to_string(s.changeCount) + " changes made.");
    }
    s.replacing = false;
}

void frmFindReplace::ResetSearchState() {
    FindReplaceState& s = TheFindReplaceState();
    s.currentPosition = 1;
    s.countMode = chkCountOnly.Value == 1;
    s.startPosition = 0;
    s.compareMode = chkMatchCase.Value == 1 ? kCompareBinary : kCompareText;
    s.fromTop = true;
    s.matchCount = 0;
    s.changeCount = 0;
    nextPosition_ = 0;
    wrapped_ = false;
}

void frmFindReplace::cboSearch_Change() {
    const bool any = !cboSearch.Text.empty();
    const bool count = chkCountOnly.Value == 1;
    cmdFind.Enabled = any;
    cmdReplace[0].Enabled = any && !count;
    if (cboReplace.Visible) cmdReplace[1].Enabled = any && !count;
}

void frmFindReplace::chkMatchCase_Click() {
    TheFindReplaceState().compareMode = chkMatchCase.Value == 1 ? kCompareBinary : kCompareText;
}

void frmFindReplace::chkCountOnly_Click() {
    FindReplaceState& s = TheFindReplaceState();
    if (chkCountOnly.Value == 1) {
        s.countMode = true;
        chkMatchCase.Value = 0;
        chkFindWhole.Value = 0;
        chkMatchCase.Enabled = false;
        chkFindWhole.Enabled = false;
        s.compareMode = kCompareText;
        s.matchCount = 0;
        cmdFind.Caption = "Count";
    } else {
        s.countMode = false;
        chkMatchCase.Enabled = true;
        chkFindWhole.Enabled = true;
        cmdFind.Caption = "Find &Next";
    }
    cboReplace.Enabled = !s.countMode;
    cmdReplace[0].Enabled = !s.countMode && !cboSearch.Text.empty();
    cmdReplace[1].Enabled = ReplaceMode() && cboReplace.Enabled && !cboSearch.Text.empty();
}

void frmFindReplace::Form_KeyPress(int& keyAscii) {
    if (keyAscii == 27) {
        keyAscii = 0;
        Unload();
    }
}

void frmFindReplace::Message(const std::string& text) {
    ui::currentHost().msgBox(text, ui::vbOKOnly | ui::vbInformation, "Find/Replace");
}

} // namespace qz::editors
