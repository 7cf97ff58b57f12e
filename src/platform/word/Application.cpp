#include "platform/word/Application.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace qz::word {

namespace fs = std::filesystem;

void RaiseWordError(int number, const std::string& detail) {
    std::string text;
    switch (number) {
    case kErrNoDocumentOpen: text = "This command is not available because no document is open."; break;
    case kErrBadFileName: text = "This is not a valid file name."; break;
    case kErrFileFormat: text = "The document can be saved only as Rich Text Format (format 6)."; break;
    case kErrFileOpen: text = "The file could not be opened or written."; break;
    case kErrReadOnly: text = "The document is read-only and cannot be saved under this name."; break;
    case kErrChangedOnDisk:
        text = "The file was changed by someone else since it was opened here; it was not replaced.";
        break;
    case kErrFieldBoundary: text = "The range cannot be changed because it holds only part of a field."; break;
    case kErrBadRtf: text = "The file is not a valid Rich Text Format document."; break;
    case kErrTableEdit: text = "The table cannot be changed that way."; break;
    case kErrPicture: text = "The picture cannot be inserted."; break;
    default: text = "The value is out of range."; break;
    }
    if (!detail.empty()) text += " (" + detail + ")";
    throw AutomationError(number, "WordProcessor", text);
}

// ---------------------------------------------------------------------------
// Documents

Document& Documents::Item(int index) {
    if (index < 1 || index > Count()) RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
    return *docs_[static_cast<std::size_t>(index - 1)];
}

Document& Documents::Open(const std::string& fileName) {
    std::error_code ec;
    fs::path canon = fs::weakly_canonical(fs::path(fileName), ec);
    if (ec || !fs::is_regular_file(canon, ec)) {
        const int err = ec ? ec.value() : !fs::exists(canon, ec) ? ENOENT : fs::is_directory(canon, ec) ? EISDIR : EINVAL;
        RaiseWordError(kErrFileOpen, FileErrorDetail(fileName, err));
    }
    for (auto& d : docs_) {
        if (d->Path().empty()) continue;
        std::error_code ec2;
        if (fs::weakly_canonical(fs::path(d->FullName()), ec2) == canon && !ec2) {
            app_->Activate(d.get());
            return *d;
        }
    }
    auto doc = std::make_unique<Document>(app_);
    doc->LoadRtf(fileName);
    docs_.push_back(std::move(doc));
    app_->Activate(docs_.back().get());
    return *docs_.back();
}

Document& Documents::Add() {
    auto doc = std::make_unique<Document>(app_);
    doc->SetUntitledName("Document" + std::to_string(++untitled_));
    docs_.push_back(std::move(doc));
    app_->Activate(docs_.back().get());
    return *docs_.back();
}

void Documents::Close(Document& doc) {
    auto it = std::find_if(docs_.begin(), docs_.end(), [&](auto& d) { return d.get() == &doc; });
    if (it == docs_.end()) return;
    bool wasActive = app_->Active() == &doc;
    docs_.erase(it);
    if (wasActive) app_->Activate(docs_.empty() ? nullptr : docs_.back().get());
}

// ---------------------------------------------------------------------------
// Command bars

CommandBarControl::CommandBarControl() : controls_(std::make_unique<CommandBarControls>()) {}
CommandBarControl::~CommandBarControl() = default;

int CommandBarControl::Index() const { return parent ? parent->IndexOf(this) : 0; }

void CommandBarControl::Delete() {
    if (parent) parent->Remove(this); // destroys this control
}

CommandBarControl& CommandBarControls::Item(int index) {
    if (index < 1 || index > Count()) RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
    return *items_[static_cast<std::size_t>(index - 1)];
}

namespace {
std::string CaptionKey(const std::string& s) {
    std::string k;
    for (char c : s)
        if (c != '&') k += toLowerAscii(c);
    return k;
}
} // namespace

CommandBarControl* CommandBarControls::Find(const std::string& caption) {
    std::string key = CaptionKey(caption);
    for (auto& c : items_)
        if (CaptionKey(c->Caption) == key) return c.get();
    return nullptr;
}

CommandBarControl& CommandBarControls::Item(const std::string& caption) {
    if (auto* c = Find(caption)) return *c;
    RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
}

CommandBarControl& CommandBarControls::Add(int type, bool temporary, int before) {
    if (type != 1 && type != 10) RaiseWordError(kErrBadParameter, "The control type is not supported.");
    auto c = std::make_unique<CommandBarControl>();
    c->Type = type;
    c->Temporary = temporary;
    c->parent = this;
    std::size_t at = items_.size();
    if (before >= 1 && before <= Count()) at = static_cast<std::size_t>(before - 1);
    else if (before != 0) RaiseWordError(kErrBadParameter, "The position is out of range.");
    auto it = items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(c));
    return **it;
}

void CommandBarControls::Remove(const CommandBarControl* c) {
    items_.erase(std::remove_if(items_.begin(), items_.end(), [&](auto& p) { return p.get() == c; }),
                 items_.end());
}

int CommandBarControls::IndexOf(const CommandBarControl* c) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == c) return static_cast<int>(i + 1);
    return 0;
}

CommandBars::CommandBars() {
    auto menu = std::make_unique<CommandBar>();
    menu->Name = "Menu Bar";
    bars_.push_back(std::move(menu));
}

CommandBar& CommandBars::Item(int index) {
    if (index < 1 || index > Count()) RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
    return *bars_[static_cast<std::size_t>(index - 1)];
}

CommandBar* CommandBars::Find(const std::string& name) {
    for (auto& b : bars_)
        if (CaptionKey(b->Name) == CaptionKey(name)) return b.get();
    return nullptr;
}

CommandBar& CommandBars::Item(const std::string& name) {
    if (auto* b = Find(name)) return *b;
    RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
}

CommandBar& CommandBars::Add(const std::string& name) {
    if (Find(name)) RaiseWordError(kErrBadParameter, "A command bar of that name exists.");
    auto b = std::make_unique<CommandBar>();
    b->Name = name;
    bars_.push_back(std::move(b));
    return *bars_.back();
}

// ---------------------------------------------------------------------------
// Application

Application::Application() : docs_(this) {}
Application::~Application() = default;

Document& Application::ActiveDocument() {
    if (!active_) RaiseWordError(kErrNoDocumentOpen);
    return *active_;
}

Selection& Application::GetSelection() { return ActiveDocument().GetSelection(); }

Window& Application::ActiveWindow() {
    if (!active_) RaiseWordError(kErrNoDocumentOpen);
    return window_;
}

Template& Application::Templates(const std::string& name) {
    for (auto& t : templates_)
        if (t->Name == name) return *t;
    templates_.push_back(std::make_unique<Template>());
    templates_.back()->Name = name;
    return *templates_.back();
}

Template& Application::TemplatesItem(int index) {
    if (index < 1 || index > TemplatesCount()) RaiseWordError(kErrBadParameter, "The requested member of the collection does not exist.");
    return *templates_[static_cast<std::size_t>(index - 1)];
}

Template* Application::FindTemplate(const std::string& name) {
    for (auto& t : templates_)
        if (equalsNoCaseAscii(t->Name, name)) return t.get();
    return nullptr;
}

void Application::CommandBarsChanged() {
    ++barsChanges_;
    if (OnCommandBarsChanged) OnCommandBarsChanged();
}

} // namespace qz::word
