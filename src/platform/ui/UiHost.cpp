#include "platform/ui/UiHost.h"

#include <atomic>
#include <unistd.h>

namespace qz::ui {
namespace {

std::atomic<UiHost*> gHost{nullptr};

template <typename T>
bool popFront(std::mutex& m, std::deque<T>& q, T& out) {
    std::lock_guard<std::mutex> lock(m);
    if (q.empty()) return false;
    out = std::move(q.front());
    q.pop_front();
    return true;
}

} // namespace

int defaultMsgBoxResult(int style) noexcept {
    static constexpr int kButtons[6][3] = {
        {vbOK, vbOK, vbOK},
        {vbOK, vbCancel, vbOK},
        {vbAbort, vbRetry, vbIgnore},
        {vbYes, vbNo, vbCancel},
        {vbYes, vbNo, vbYes},
        {vbRetry, vbCancel, vbRetry},
    };
    int buttons = style & 0x7;
    if (buttons > 5) buttons = 0;
    int def = (style & 0xF00) >> 8;  // 0, 1 or 2
    if (def > 2) def = 0;
    return kButtons[buttons][def];
}

std::string helpTopicPath(const std::string& helpFile, HelpCommand command, std::int32_t data) {
    const auto readable = [](const std::string& p) { return !p.empty() && ::access(p.c_str(), R_OK) == 0; };
    if (command == HelpCloseAll || !readable(helpFile)) return {};
    if (command == HelpContext) {
        const auto slash = helpFile.rfind('/');
        const std::string dir = slash == std::string::npos ? std::string() : helpFile.substr(0, slash + 1);
        std::string page = dir + std::to_string(data) + ".html";
        if (readable(page)) return page;
    }
    return helpFile;
}

HeadlessUiHost& defaultHeadlessHost() {
    static HeadlessUiHost host;
    return host;
}

UiHost& currentHost() {
    UiHost* h = gHost.load(std::memory_order_acquire);
    return h ? *h : defaultHeadlessHost();
}

void setCurrentHost(UiHost* host) { gHost.store(host, std::memory_order_release); }

void HeadlessUiHost::queueFormAction(FormAction action) {
    std::lock_guard<std::mutex> lock(mutex_);
    formActions_.push_back(std::move(action));
}
void HeadlessUiHost::queueMsgBoxResult(int result) {
    std::lock_guard<std::mutex> lock(mutex_);
    msgBoxResults_.push_back(result);
}
void HeadlessUiHost::queueInputBox(std::optional<std::string> answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    inputAnswers_.push_back(std::move(answer));
}
void HeadlessUiHost::queueFileDialog(FileDialogResult result) {
    std::lock_guard<std::mutex> lock(mutex_);
    fileAnswers_.push_back(std::move(result));
}
void HeadlessUiHost::queueFolderDialog(std::optional<std::string> folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    folderAnswers_.push_back(std::move(folder));
}
void HeadlessUiHost::queuePrintDialog(PrintDialogResult result) {
    std::lock_guard<std::mutex> lock(mutex_);
    printAnswers_.push_back(std::move(result));
}

void HeadlessUiHost::queuePopupMenu(std::string itemName) {
    std::lock_guard<std::mutex> lock(mutex_);
    popupAnswers_.push_back(std::move(itemName));
}

std::string UiHost::popupMenu(Form&, const Menu&, int, int, const std::string&) { return {}; }

std::string HeadlessUiHost::popupMenu(Form& owner, const Menu& menu, int x, int y,
                                      const std::string& defaultItem) {
    UiRequest r;
    r.kind = UiRequest::PopupMenu;
    r.formName = owner.Name();
    r.prompt = menu.Name;
    r.text = defaultItem;
    r.x = x;
    r.y = y;
    record(std::move(r));
    std::string answer;
    popFront(mutex_, popupAnswers_, answer);
    return answer;
}

void HeadlessUiHost::record(UiRequest r) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(std::move(r));
}

std::vector<UiRequest> HeadlessUiHost::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool HeadlessUiHost::busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return busy_;
}

std::vector<UiRequest> HeadlessUiHost::requests(UiRequest::Kind kind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<UiRequest> out;
    for (const auto& r : requests_)
        if (r.kind == kind) out.push_back(r);
    return out;
}

void HeadlessUiHost::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
    formActions_.clear();
    msgBoxResults_.clear();
    inputAnswers_.clear();
    fileAnswers_.clear();
    folderAnswers_.clear();
    printAnswers_.clear();
    popupAnswers_.clear();
    busy_ = false;
}

void HeadlessUiHost::showModal(Form& form) {
    UiRequest r;
    r.kind = UiRequest::Modal;
    r.formName = form.Name();
    r.title = form.Caption;
    record(std::move(r));
    setFormVisible(form, true);
    // A modal show never returns with the form still up, not even when the
    // user's actions fail.
    struct HideOnExit {
        Form& f;
        ~HideOnExit() { setFormVisible(f, false); }
    } hide{form};
    FormAction action;
    if (popFront(mutex_, formActions_, action) && action) action(form);
    // Nobody pressed a button that hides the form: the user closes it.
    if (form.Visible()) form.OnClose();
}

void HeadlessUiHost::showModeless(Form& form) {
    UiRequest r;
    r.kind = UiRequest::Modeless;
    r.formName = form.Name();
    r.title = form.Caption;
    record(std::move(r));
    setFormVisible(form, true);
}

int HeadlessUiHost::msgBox(const std::string& prompt, int style, const std::string& title) {
    UiRequest r;
    r.kind = UiRequest::MsgBox;
    r.prompt = prompt;
    r.title = title;
    r.style = style;
    record(std::move(r));
    int result = 0;
    if (popFront(mutex_, msgBoxResults_, result)) return result;
    return defaultMsgBoxResult(style);
}

std::optional<std::string> HeadlessUiHost::inputBox(const std::string& prompt,
                                                    const std::string& title,
                                                    const std::string& defaultText) {
    UiRequest r;
    r.kind = UiRequest::InputBox;
    r.prompt = prompt;
    r.title = title;
    r.text = defaultText;
    record(std::move(r));
    std::optional<std::string> answer;
    if (popFront(mutex_, inputAnswers_, answer)) return answer;
    return defaultText;
}

FileDialogResult HeadlessUiHost::fileDialog(const FileDialogRequest& request) {
    UiRequest r;
    r.kind = UiRequest::FileDialog;
    r.title = request.title;
    r.text = request.initialFolder;
    r.file = request;
    record(std::move(r));
    FileDialogResult result;
    if (popFront(mutex_, fileAnswers_, result)) return result;
    return FileDialogResult{};
}

std::optional<std::string> HeadlessUiHost::folderDialog(const std::string& title,
                                                        const std::string& startFolder) {
    UiRequest r;
    r.kind = UiRequest::FolderDialog;
    r.title = title;
    r.text = startFolder;
    record(std::move(r));
    std::optional<std::string> answer;
    if (popFront(mutex_, folderAnswers_, answer)) return answer;
    return std::nullopt;
}

PrintDialogResult HeadlessUiHost::printDialog(const PrintDialogRequest& request) {
    UiRequest r;
    r.kind = UiRequest::PrintDialog;
    r.print = request;
    record(std::move(r));
    PrintDialogResult result;
    if (popFront(mutex_, printAnswers_, result)) return result;
    return PrintDialogResult{false, request.current};
}

void HeadlessUiHost::setBusyCursor(bool busy) {
    UiRequest r;
    r.kind = UiRequest::BusyCursor;
    r.style = busy ? 1 : 0;
    record(std::move(r));
    std::lock_guard<std::mutex> lock(mutex_);
    busy_ = busy;
}

std::intptr_t HeadlessUiHost::showHelp(const std::string& helpFile, HelpCommand command,
                                       std::int32_t data) {
    UiRequest r;
    r.kind = UiRequest::Help;
    r.prompt = helpFile;
    r.style = command;
    r.data = data;
    record(std::move(r));
    return helpTopicPath(helpFile, command, data).empty() ? 0 : 1;
}

} // namespace qz::ui
