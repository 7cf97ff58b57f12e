// The user interface that the system's code reaches: modal and modeless
// forms, message and input boxes, the common dialogs, the busy cursor and the
// help viewer. The process has one current host; it starts as a headless host
// that answers from scripted answers, and the desktop application installs a
// windowed one.
#pragma once

#include "platform/ui/Controls.h"
#include "platform/ui/Form.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qz::ui {

// Message box buttons, icons, default button and results, as the script's
// MsgBox numbers them.
enum MsgBoxStyle : int {
    vbOKOnly = 0, vbOKCancel = 1, vbAbortRetryIgnore = 2, vbYesNoCancel = 3, vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16, vbQuestion = 32, vbExclamation = 48, vbInformation = 64,
    vbDefaultButton1 = 0, vbDefaultButton2 = 256, vbDefaultButton3 = 512,
};
enum MsgBoxResult : int {
    vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7,
};

// The result the default button of a style gives (Enter pressed at once).
int defaultMsgBoxResult(int style) noexcept;

struct FileDialogRequest {
    bool save = false;                // false: open
    std::string title;
    // (description, pattern) pairs, e.g. {"Rich Text Format (*.rtf)", "*.rtf"}
    std::vector<std::pair<std::string, std::string>> filters;
    int filterIndex = 1;              // counted from 1
    std::string initialFolder;
    std::string defaultExt;
    std::string fileName;             // proposed name
    bool overwritePrompt = false;
    bool fileMustExist = false;
};

struct FileDialogResult {
    enum Outcome { Ok, Cancelled, Failed } outcome = Cancelled;
    std::string path;                 // set when Ok
    int errorCode = 0;                // set when Failed
};

struct PrintSettings {
    std::string printerName;
    int copies = 1;
    int orientation = 1;              // 1 portrait, 2 landscape
    int paperSize = 1;                // 1 letter, 9 A4, ...
    int duplex = 1;                   // 1 simplex, 2 vertical, 3 horizontal
    int printQuality = -4;            // -4 high ... -1 draft, or dots per inch
    int colorMode = 2;                // 1 monochrome, 2 colour
    int defaultSource = 7;            // 7 automatic
    std::string outputFile;           // print to this file ("" a printer device)
};

struct PrintDialogRequest {
    PrintSettings current;            // what the dialog opens with
    std::vector<std::string> printers;
    bool allowSelection = false;      // offer "Selection" as a print range
};

struct PrintDialogResult {
    bool ok = false;
    PrintSettings settings;
};

// Help viewer commands.
enum HelpCommand : int { HelpDisplayTopic = 0, HelpContext = 15, HelpCloseAll = 18 };

class UiHost {
public:
    virtual ~UiHost() = default;

    // Shows the form modally; returns when the form is hidden or unloaded.
    virtual void showModal(Form& form) = 0;
    virtual void showModeless(Form& form) = 0;
    virtual int msgBox(const std::string& prompt, int style, const std::string& title) = 0;
    // The typed text, or nothing when the user cancelled.
    virtual std::optional<std::string> inputBox(const std::string& prompt,
                                                const std::string& title,
                                                const std::string& defaultText) = 0;
    virtual FileDialogResult fileDialog(const FileDialogRequest& request) = 0;
    // The chosen folder, or nothing when the user cancelled.
    virtual std::optional<std::string> folderDialog(const std::string& title,
                                                    const std::string& startFolder) = 0;
    virtual PrintDialogResult printDialog(const PrintDialogRequest& request) = 0;
    // The busy (hourglass) cursor on or off.
    virtual void setBusyCursor(bool busy) = 0;
    // Opens the help file at a topic, a context id, or closes all help
    // windows. Returns a non-zero handle of the help window, 0 on failure.
    virtual std::intptr_t showHelp(const std::string& helpFile, HelpCommand command,
                                   std::int32_t data) = 0;
    // A shown form was hidden, unloaded or destroyed, by whatever code: a
    // host that keeps a window for it lets the window go. It must not throw
    // and must not touch the form beyond its address.
    virtual void formClosed(const Form& form) noexcept {}
    // The form is being destroyed (its controls are already gone): as
    // formClosed, and a window kept for it must not touch its controls again.
    virtual void formDestroyed(const Form& form) noexcept { formClosed(form); }
    // Shows a popup menu over the form at (x, y) in its client pixels, the
    // default item in bold, and returns the name of the item chosen, "" when
    // the menu was dismissed. A host without menus answers "".
    virtual std::string popupMenu(Form& owner, const Menu& menu, int x, int y,
                                  const std::string& defaultItem);
    // The desktop's clipboard; a host without a desktop keeps the text itself.
    virtual void setClipboardText(const std::string& text) { clipboard_ = text; }
    virtual std::string clipboardText() const { return clipboard_; }
    // The version of the toolkit (Qt) that draws the windows ("6.4.2"); ""
    // for a host without windows.
    virtual std::string toolkitVersion() const { return {}; }

protected:
    // Hosts mark a form shown or hidden as its window appears or goes.
    static void setFormVisible(Form& form, bool visible) noexcept { form.setVisible(visible); }

private:
    std::string clipboard_;
};

// The page a help request opens: the help file itself for its default topic;
// for a context id the page "<id>.html" beside the help file when there is
// one, else the help file (its general page). Empty when the page cannot be
// read or the command opens nothing.
std::string helpTopicPath(const std::string& helpFile, HelpCommand command, std::int32_t data);

// The process-wide current host; never null. Until one is installed this is
// a HeadlessUiHost.
UiHost& currentHost();
// Installs a host (nullptr restores the default headless one). The caller
// keeps the host alive while it is installed.
void setCurrentHost(UiHost* host);

// What a headless host was asked, one record per call.
struct UiRequest {
    enum Kind { Modal, Modeless, MsgBox, InputBox, FileDialog, FolderDialog, PrintDialog,
                BusyCursor, Help, PopupMenu } kind;
    std::string formName;   // Modal, Modeless
    std::string prompt;     // MsgBox, InputBox; help file for Help
    std::string title;      // MsgBox, InputBox, FolderDialog, FileDialog
    int style = 0;          // MsgBox style; Help command; BusyCursor 1/0
    std::string text;       // InputBox default; FolderDialog start; FileDialog folder
    FileDialogRequest file; // FileDialog
    PrintDialogRequest print;
    std::int32_t data = 0;  // Help data
    int x = 0, y = 0;       // PopupMenu: the point; prompt the menu's name, text the default item
};

// A host without windows. Each kind of question is answered from its own
// queue of scripted answers, first in first out; with no answer queued it
// answers as a user who presses Enter at once would (the default button, the
// default text, Cancel for the common dialogs). Every call is recorded. It
// may be called from several threads.
class HeadlessUiHost : public UiHost {
public:
    // What the "user" does while a modal form is up: drive its controls and
    // press its buttons. When the form is still visible afterwards, it is
    // closed with its close box (Form::OnClose).
    using FormAction = std::function<void(Form&)>;

    void queueFormAction(FormAction action);
    void queueMsgBoxResult(int result);
    void queueInputBox(std::optional<std::string> answer);
    void queueFileDialog(FileDialogResult result);
    void queueFolderDialog(std::optional<std::string> folder);
    void queuePrintDialog(PrintDialogResult result);
    // The name of the item the user chooses from the next popup menu ("":
    // dismissed, the answer when none is queued).
    void queuePopupMenu(std::string itemName);

    // Every request so far, in order.
    std::vector<UiRequest> requests() const;
    // The requests of one kind, in order.
    std::vector<UiRequest> requests(UiRequest::Kind kind) const;
    bool busy() const;
    // Forgets the recorded requests and every queued answer.
    void clear();

    void showModal(Form& form) override;
    void showModeless(Form& form) override;
    int msgBox(const std::string& prompt, int style, const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    FileDialogResult fileDialog(const FileDialogRequest& request) override;
    std::optional<std::string> folderDialog(const std::string& title,
                                            const std::string& startFolder) override;
    PrintDialogResult printDialog(const PrintDialogRequest& request) override;
    void setBusyCursor(bool busy) override;
    // Succeeds (a non-zero handle) when the help file exists and is readable.
    std::intptr_t showHelp(const std::string& helpFile, HelpCommand command,
                           std::int32_t data) override;
    std::string popupMenu(Form& owner, const Menu& menu, int x, int y,
                          const std::string& defaultItem) override;

private:
    void record(UiRequest r);
    mutable std::mutex mutex_;
    std::vector<UiRequest> requests_;
    std::deque<FormAction> formActions_;
    std::deque<int> msgBoxResults_;
    std::deque<std::optional<std::string>> inputAnswers_;
    std::deque<FileDialogResult> fileAnswers_;
    std::deque<std::optional<std::string>> folderAnswers_;
    std::deque<PrintDialogResult> printAnswers_;
    std::deque<std::string> popupAnswers_;
    bool busy_ = false;
};

// The default host, installed while no other host is.
HeadlessUiHost& defaultHeadlessHost();

} // namespace qz::ui
