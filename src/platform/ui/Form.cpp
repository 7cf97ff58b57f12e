#include "platform/ui/Form.h"

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

Form::~Form() { removeLoaded(this); }

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
    visible_ = false;
    if (!loaded_) return;
    loaded_ = false;
    everLoaded_ = false;
    removeLoaded(this);
    OnUnload();
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
