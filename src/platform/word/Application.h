// The word processor's Application object: documents, the active window's
// view, command bars and templates.
#pragma once

#include "platform/automation/AutomationError.h"
#include "platform/word/Range.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qz::word {

// The word processor's own error numbers.
inline constexpr int kErrNoDocumentOpen = 4248;
inline constexpr int kErrBadFileName = 5152;
inline constexpr int kErrFileFormat = 5487;
inline constexpr int kErrFileOpen = 5174;
inline constexpr int kErrReadOnly = 5479;
inline constexpr int kErrChangedOnDisk = 5480;
// "<path>: <the system's reason>" for a file that could not be read or written.
std::string FileErrorDetail(const std::string& path, int err);
// Removes the lock file beside a document when no running process holds it
// (a word processor that died left it), as opening the document would take
// it over; a lock that is held stays.
void RemoveStaleLock(const std::string& fullName);
inline constexpr int kErrFieldBoundary = 4605;
inline constexpr int kErrBadParameter = 5941;
inline constexpr int kErrBadRtf = 4198;
inline constexpr int kErrTableEdit = 5991;
inline constexpr int kErrPicture = 5163;

// Raises the word processor's error with its own text.
[[noreturn]] void RaiseWordError(int number, const std::string& detail = {});

class Documents {
public:
    explicit Documents(Application* app) : app_(app) {}
    int Count() const { return static_cast<int>(docs_.size()); }
    Document& Item(int index); // 1-based
    // Opens an RTF file (or activates it when already open) and makes it active.
    Document& Open(const std::string& fileName);
    // A new empty document "DocumentN", made active.
    Document& Add();
    void Close(Document& doc);

private:
    Application* app_;
    std::vector<std::unique_ptr<Document>> docs_;
    int untitled_ = 0;
    friend class Application;
};

struct View {
    bool ShowFieldCodes = false;
    int Type = 3; // print layout
};

class Window {
public:
    View& GetView() { return view_; }

private:
    View view_;
};

class CommandBarControls;

class CommandBarControl {
public:
    CommandBarControl();
    ~CommandBarControl();
    int Type = 1; // 1 button, 10 popup
    std::string Caption;
    std::string ToolTipText;
    std::string OnAction;
    int Style = 0;
    bool Enabled = true;
    bool Temporary = false;
    int Index() const;
    // The controls of a popup.
    CommandBarControls& Controls() { return *controls_; }
    void Delete();

    CommandBarControls* parent = nullptr;

private:
    std::unique_ptr<CommandBarControls> controls_;
};

class CommandBarControls {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    CommandBarControl& Item(int index); // 1-based
    // By caption, ignoring "&" and letter case; nullptr when absent.
    CommandBarControl* Find(const std::string& caption);
    CommandBarControl& Item(const std::string& caption);
    // Adds before the 1-based position (0 = at the end).
    CommandBarControl& Add(int type = 1, bool temporary = false, int before = 0);
    void Remove(const CommandBarControl* c);
    int IndexOf(const CommandBarControl* c) const;

private:
    std::vector<std::unique_ptr<CommandBarControl>> items_;
};

class CommandBar {
public:
    std::string Name;
    bool Enabled = true;
    bool Visible = true;
    CommandBarControls& Controls() { return controls_; }

private:
    CommandBarControls controls_;
};

class CommandBars {
public:
    CommandBars();
    CommandBar& ActiveMenuBar() { return *bars_.front(); }
    int Count() const { return static_cast<int>(bars_.size()); }
    CommandBar& Item(int index); // 1-based
    CommandBar* Find(const std::string& name);
    CommandBar& Item(const std::string& name);
    CommandBar& Add(const std::string& name);

private:
    std::vector<std::unique_ptr<CommandBar>> bars_;
};

class Template {
public:
    std::string Name;
    bool Saved = true;
};

class Application {
public:
    Application();
    ~Application();
    Documents& GetDocuments() { return docs_; }
    // Raise 4248 when no document is open.
    Document& ActiveDocument();
    Selection& GetSelection();
    Window& ActiveWindow();
    bool ScreenUpdating = true;
    CommandBars& GetCommandBars() { return bars_; }
    Template* CustomizationContext = nullptr;
    // The template of that name, created on first use (the host loading it).
    Template& Templates(const std::string& name);
    // The loaded templates, in loading order: count, item by 1-based index,
    // and the template of a name (letter case ignored) or nullptr.
    int TemplatesCount() const { return static_cast<int>(templates_.size()); }
    Template& TemplatesItem(int index);
    Template* FindTemplate(const std::string& name);

    // Change notice for whoever shows the command bars. Controls and bars
    // are plain objects changed member by member, so the code that changes
    // them calls CommandBarsChanged once it is done; that bumps the counter
    // and runs OnCommandBarsChanged (when set), so that a window can rebuild
    // its menus and toolbars from the model.
    void CommandBarsChanged();
    std::uint64_t CommandBarsChangeCount() const { return barsChanges_; }
    std::function<void()> OnCommandBarsChanged;

    void Activate(Document* doc) { active_ = doc; }
    Document* Active() const { return active_; }

private:
    friend class Documents;
    Documents docs_;
    Document* active_ = nullptr;
    Window window_;
    CommandBars bars_;
    std::vector<std::unique_ptr<Template>> templates_;
    std::uint64_t barsChanges_ = 0;
};

} // namespace qz::word
