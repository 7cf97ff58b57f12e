// The desktop host: every question the system asks the user becomes a real
// window. Forms are shown through the view registered for their name; message
// and input boxes and the common dialogs are Qt's; help opens in one help
// window per process. Every member runs on the GUI thread: a call from
// another thread is handed to it and waits for the answer.
#pragma once

#include "platform/ui/UiHost.h"

#include <QPointer>

#include <map>

class QWidget;

namespace qz::views {

class FormView;

class QtUiHost : public ui::UiHost {
public:
    QtUiHost();
    // Closes the windows it still keeps, gives back the busy cursors it set,
    // and uninstalls itself when it is the current host.
    ~QtUiHost() override;
    QtUiHost(const QtUiHost&) = delete;
    QtUiHost& operator=(const QtUiHost&) = delete;

    // Fails with an automation error when no view is registered for the form.
    void showModal(ui::Form& form) override;
    void showModeless(ui::Form& form) override;
    int msgBox(const std::string& prompt, int style, const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    ui::FileDialogResult fileDialog(const ui::FileDialogRequest& request) override;
    std::optional<std::string> folderDialog(const std::string& title,
                                            const std::string& startFolder) override;
    ui::PrintDialogResult printDialog(const ui::PrintDialogRequest& request) override;
    // Counted: every "busy" needs its "not busy"; extra ones are ignored.
    void setBusyCursor(bool busy) override;
    std::intptr_t showHelp(const std::string& helpFile, ui::HelpCommand command,
                           std::int32_t data) override;
    void formClosed(const ui::Form& form) noexcept override;
    void formDestroyed(const ui::Form& form) noexcept override;
    // A QMenu at the point of the form's window.
    std::string popupMenu(ui::Form& owner, const ui::Menu& menu, int x, int y,
                          const std::string& defaultItem) override;
    void setClipboardText(const std::string& text) override;
    std::string clipboardText() const override;
    std::string toolkitVersion() const override;

    // The window that shows the form now (modal or modeless), or nullptr.
    FormView* viewOf(const ui::Form& form) const;
    // The help window, or nullptr when none is open.
    QWidget* helpWindow() const { return help_; }

private:
    struct Entry {
        QPointer<FormView> view;
        bool modal = false;
    };
    // A new view of the form; fails when none is registered for its name.
    FormView* makeView(ui::Form& form);
    // Lets the window of a form go (ends its modal loop, or closes it).
    void dropView(const ui::Form* key, bool destroyed = false);

    std::map<const ui::Form*, Entry> views_;
    QPointer<QWidget> help_;
    int busyDepth_ = 0;
};

} // namespace qz::views
