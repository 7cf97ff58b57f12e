#include "platform/ui/Form.h"

#include "platform/ui/Controls.h"
#include "platform/ui/UiHost.h"

#include <algorithm>

namespace qz::ui {
namespace {

// Forms belong to the thread that made them, as the rest of the per-thread
// state does.
thread_local std::vector<Form*> tLoaded;

void removeLoaded(Form* f) {
    auto it = std::find(tLoaded.begin(), tLoaded.end(), f);
    if (it != tLoaded.end()) tLoaded.erase(it);
}

} // namespace

Form::Form(std::string name, std::string caption)
    : Caption(std::move(caption)), name_(std::move(name)) {
    loaded_ = true;
    tLoaded.push_back(this);
}

Form::~Form() {
    removeLoaded(this);
    currentHost().formDestroyed(*this);
}

void Form::Hide() noexcept {
    const bool wasVisible = visible_;
    visible_ = false;
    if (wasVisible) currentHost().formClosed(*this);
}

void Form::ensureLoaded() {
    if (!everLoaded_ || !loaded_) {
        if (!loaded_) {
            loaded_ = true;
            tLoaded.push_back(this);
        }
        everLoaded_ = true;
        OnLoad();
    }
}

void Form::ShowModal() {
    ensureLoaded();
    currentHost().showModal(*this);
}

void Form::ShowModeless() {
    ensureLoaded();
    currentHost().showModeless(*this);
}

void Form::Unload() {
    Hide();
    if (!loaded_) return;
    loaded_ = false;
    everLoaded_ = false;
    removeLoaded(this);
    OnUnload();
}

bool Form::SetFocusTo(Control& control, bool byTab) {
    if (active_ == &control) return true;
    if (!control.Enabled || !control.Visible) return false;
    struct TabFlag {
        bool& flag;
        ~TabFlag() { flag = false; }
    } tab{tabKeyDown_};
    tabKeyDown_ = byTab;
    Control* leaving = active_;
    if (leaving && leaving->Validate) {
        bool cancel = false;
        leaving->Validate(cancel);
        if (cancel) return false;
    }
    if (leaving && leaving->LostFocus) leaving->LostFocus();
    active_ = &control;
    if (control.GotFocus) control.GotFocus();
    return true;
}

int Form::TypeKey(Control& control, int keyCode, int shift, int keyAscii) {
    if (control.KeyDown) {
        control.KeyDown(keyCode, shift);
        if (keyCode == 0) return 0;
    }
    if (keyAscii == 0) return 0;
    if (control.KeyPress) control.KeyPress(keyAscii);
    auto* box = dynamic_cast<TextBox*>(&control);
    if (!box || box->Locked || keyAscii == 0) return keyAscii;
    if (keyAscii == 8) {
        if (box->SelLength == 0 && box->SelStart > 0) {
            --box->SelStart;
            box->SelLength = 1;
        }
        box->SetSelText({});
        box->DataChanged = true;
    } else if (keyAscii >= 32 || (keyAscii == 13 && box->MultiLine)) {
        std::string ch;
        if (keyAscii == 13) ch = "\r\n";
        else if (keyAscii < 0x80) ch = static_cast<char>(keyAscii);
        else if (keyAscii < 0x800) ch = {static_cast<char>(0xC0 | (keyAscii >> 6)), static_cast<char>(0x80 | (keyAscii & 0x3F))};
        else ch = {static_cast<char>(0xE0 | ((keyAscii >> 12) & 0x0F)), static_cast<char>(0x80 | ((keyAscii >> 6) & 0x3F)),
                   static_cast<char>(0x80 | (keyAscii & 0x3F))};
        auto chars = [](const std::string& t) {
            return std::count_if(t.begin(), t.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
        };
        if (box->MaxLength > 0 && chars(box->Text) - chars(box->SelText()) >= box->MaxLength) return keyAscii;
        box->SetSelText(ch);
        box->DataChanged = true;
    }
    return keyAscii;
}

std::string Form::PopupMenu(Menu& menu, int x, int y, const std::string& defaultItem) {
    const std::string chosen = currentHost().popupMenu(*this, menu, x, y, defaultItem);
    MenuItem* item = chosen.empty() ? nullptr : menu.Find(chosen);
    if (!item || !item->Enabled || !item->Visible || item->IsSeparator()) return {};
    if (item->Click) item->Click();
    return chosen;
}

std::vector<Form*> loadedForms() { return tLoaded; }

void unloadAllForms() noexcept {
    // Unloading may run handlers that create or unload other forms; work on a
    // copy and skip forms that are already gone.
    std::vector<Form*> forms = tLoaded;
    for (Form* f : forms) {
        if (std::find(tLoaded.begin(), tLoaded.end(), f) == tLoaded.end()) continue;
        try {
            f->Unload();
        } catch (...) {
            // A form that fails to unload is still taken off the list.
            removeLoaded(f);
        }
    }
}

} // namespace qz::ui
