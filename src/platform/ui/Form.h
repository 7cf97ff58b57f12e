// Toolkit-free forms. A dialog of the system is a class derived from Form
// that holds the state of its controls and its event handlers; a UiHost
// shows it (headless in tests and on the command line, with real windows in
// the desktop host). Every live form is on its thread's list of loaded forms,
// so that shutdown can unload whatever is still open.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qz::ui {

struct Control;
struct Menu;

class Form {
public:
    explicit Form(std::string name, std::string caption = {});
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& Name() const noexcept { return name_; }

    std::string Caption;
    std::int32_t HelpContextID = 0;

    // The form's controls, in tab order, so that generic code (translation,
    // views) can walk them: those the form registered with control().
    const std::vector<Control*>& Controls() const noexcept { return controls_; }

    bool Visible() const noexcept { return visible_; }
    bool Loaded() const noexcept { return loaded_; }

    // Shows the form modally through the current host; returns when the form
    // is hidden (by a button's handler or by closing the window).
    void ShowModal();
    // Shows the form without waiting (a busy window, for example).
    void ShowModeless();
    void Hide() noexcept;
    // Hides the form and takes it off the list of loaded forms. The object
    // stays usable; showing it again loads it again.
    void Unload();

    // The user closed the window with its close box. The default hides it;
    // dialogs that treat closing as Cancel override this.
    virtual void OnClose() { Hide(); }

    // Focus. One control of the form has it (ActiveControl, none at first).
    // SetFocusTo moves it as the user does: the leaving control's Validate
    // runs first and may refuse (the focus stays and the result is false),
    // then its LostFocus, then the entering control's GotFocus. A disabled or
    // hidden control cannot take the focus (false). byTab says that the Tab
    // key moves the focus; TabKeyDown() answers it while the handlers run.
    bool SetFocusTo(Control& control, bool byTab = false);
    Control* ActiveControl() const noexcept { return active_; }
    bool TabKeyDown() const noexcept { return tabKeyDown_; }

    // A key typed into a control as the user types it: KeyDown with the key
    // code, then (for a key that makes a character) KeyPress with the
    // character. Returns the character that reaches the control, 0 when a
    // handler consumed the key. A character that reaches a text box that is
    // not locked replaces its selection and sets DataChanged (backspace
    // deletes the selection or the character before the caret).
    static int TypeKey(Control& control, int keyCode, int shift, int keyAscii);

    // Shows a popup menu at (x, y), the form's client pixels, with its
    // default item in bold; the chosen item's Click runs. Returns the chosen
    // item's name, "" when the menu was dismissed.
    std::string PopupMenu(Menu& menu, int x, int y, const std::string& defaultItem = {});

protected:
    // Registers a control of the form, naming it once: its name, and the next
    // place in the tab order (the order of registration).
    template <class C>
    C& control(C& c, std::string name) {
        c.Name = std::move(name);
        c.TabIndex = static_cast<int>(controls_.size());
        controls_.push_back(&c);
        return c;
    }

    // Runs when the form is (re)loaded: first creation or a show after Unload.
    virtual void OnLoad() {}
    // Runs when the form is unloaded.
    virtual void OnUnload() {}

private:
    friend class UiHost;
    void ensureLoaded();
    void setVisible(bool v) noexcept { visible_ = v; }

    std::string name_;
    std::vector<Control*> controls_;
    Control* active_ = nullptr;
    bool tabKeyDown_ = false;
    bool visible_ = false;
    bool loaded_ = false;
    bool everLoaded_ = false;
};

// The forms of this thread that are loaded, oldest first.
std::vector<Form*> loadedForms();
// Unloads every loaded form of this thread, oldest first; failures of one
// form do not stop the others.
void unloadAllForms() noexcept;

} // namespace qz::ui
