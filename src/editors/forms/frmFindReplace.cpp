#include "editors/forms/frmFindReplace.h"

#include "core/InstalledLocales.h"
#include "platform/ui/UiHost.h"

namespace qz::editors {

namespace {

void Place(ui::Control& c, std::string name, int left, int top, int width, int height) {
    c.Name = std::move(name);
    c.Left = left;
    c.Top = top;
    c.Width = width;
    c.Height = height;
}

} // namespace

frmFindReplace::frmFindReplace() : ui::Form("frmFindReplace", "Find Text") {
    Width = 5730;
    Height = 2250;
    const char* labels[3] = {"&Find What:", "Replace &With:", "&Direction:"};
    for (int i = 0; i < 3; ++i) {
        Place(Label1[i], "Label1" + std::to_string(i), 90, 150 + 420 * i, 1050, 255);
        Label1[i].Caption = labels[i];
    }
    Label1[2].Visible = false;
    Place(cboSearch, "cboSearch", 1170, 120, 3120, 315);
    Place(cboReplace, "cboReplace", 1170, 540, 3120, 315);
    Place(cboDir, "cboDir", 1170, 960, 1200, 315);
    cboDir.Style = 2;
    for (const char* d : {"All", "Down", "Up"}) cboDir.AddItem(d);
    cboDir.Visible = false;

    Place(cmdFind, "cmdFind", 4410, 120, 1230, 375);
    cmdFind.Caption = "Find &Next ";
    cmdFind.Default = true;
    Place(cmdCancel, "cmdCancel", 4410, 555, 1230, 375);
    cmdCancel.Caption = "Cancel ";
    cmdCancel.Cancel = true;
    Place(cmdReplace[0], "cmdReplace0", 4410, 990, 1230, 375);
    cmdReplace[0].Caption = "   Replace...";
    Place(cmdReplace[1], "cmdReplace1", 4410, 1410, 1230, 375);
    cmdReplace[1].Caption = "Replace &All ";

    Place(chkMatchCase, "chkMatchCase", 2070, 1125, 2040, 240);
    chkMatchCase.Caption = "&Match Case ";
    Place(chkCountOnly, "chkCountOnly", 2070, 1395, 2040, 240);
    chkCountOnly.Caption = "Count Matches Only ";
    Place(chkFindWhole, "chkFindWhole", 2070, 1665, 2040, 240);
    chkFindWhole.Caption = "Find Whole Word &Only";
    chkFindWhole.Visible = false;

    Place(Frame1, "Frame1", 90, 900, 1860, 900);
    Frame1.Caption = "Search";
    Place(optSearch[0], "optSearch0", 210, 1170, 1650, 240);
    optSearch[0].Caption = "&Current Window ";
    Place(optSearch[1], "optSearch1", 210, 1470, 1650, 240);
    optSearch[1].Caption = "Selected &Text ";

    KeyPressHook();
}

frmFindReplace::~frmFindReplace() {
    if (target_) FormUnload();
}

void frmFindReplace::KeyPressHook() {
    for (ui::Control* c : Controls())
        if (!c->KeyPress) c->KeyPress = [this](int& k) { Form_KeyPress(k); };
}

std::vector<ui::Control*> frmFindReplace::Controls() {
    return {&Label1[0], &cboSearch, &Label1[1], &cboReplace, &cmdFind, &cmdCancel, &cmdReplace[0], &cmdReplace[1],
            &chkMatchCase, &chkCountOnly, &Frame1, &optSearch[0], &optSearch[1], &chkFindWhole, &Label1[2], &cboDir};
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

void frmFindReplace::SetupInit(bool replaceMode, ui::TextBox* target, ui::Form* owner, bool selection) {
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
    Frame1.Top = 900;
    cmdReplace[0].Top = 990;
    cmdReplace[1].Top = cmdReplace[0].Top + cmdReplace[0].Height + 45;
    chkMatchCase.Top = 1125;
    chkCountOnly.Top = chkMatchCase.Top + chkMatchCase.Height + 30;
    Height = IsWindowsXP() ? 2350 : 2270;
    if (owner) CenterFormOnForm(*this, *owner);
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
        SetupInit(true, nullptr, nullptr, false);
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
