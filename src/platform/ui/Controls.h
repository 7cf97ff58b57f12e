// The state of the controls that forms hold: what the user sees and changes.
// Views bind widgets to these; tests set them as a user would.
//
// Events other than a control's main one (a button's click, a box's change,
// which views take as bind() arguments) are std::function members of the
// control that the form sets, usually in its constructor:
//   txtLabel.KeyPress = [this](int& k) { txtLabel_KeyPress(k); };
// Focus events run in the order a user causes them (Form::SetFocusTo):
// the leaving control's Validate (which may refuse), its LostFocus, then the
// entering control's GotFocus. Keys run KeyDown (key code, shift state 1
// Shift, 2 Ctrl, 4 Alt) then KeyPress (character code); a handler that sets
// the code to 0 consumes the key. Mouse positions are in the control's client
// pixels; button 1 left, 2 right, 4 middle.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qz::ui {

// A rectangle in pixels: right and bottom lie just outside it.
struct Rect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const Rect&) const = default;
};

// A control's font. An empty name stands for the desktop's dialog font and a
// size of 0 for its size.
struct Font {
    std::string Name;
    double Size = 0;  // points
    bool Bold = false;
    bool Italic = false;
    bool operator==(const Font&) const = default;
};

struct Control {
    virtual ~Control() = default;
    std::string Name;
    bool Enabled = true;
    bool Visible = true;
    int TabIndex = 0;
    std::string ToolTipText;
    std::string Tag;
    std::int32_t HelpContextID = 0;
    std::int32_t WhatsThisHelpID = 0;
    ui::Font Font;

    std::function<void()> GotFocus, LostFocus;
    std::function<void(bool& cancel)> Validate;
    std::function<void(int& keyCode, int shift)> KeyDown;
    std::function<void(int& keyAscii)> KeyPress;
    std::function<void(int button, int shift, int x, int y)> MouseMove, MouseUp;
};

struct Label : Control {
    std::string Caption;
};

struct Frame : Control {
    std::string Caption;
};

struct CommandButton : Control {
    std::string Caption;
    bool Default = false;  // answers Enter
    bool Cancel = false;   // answers Escape
};

struct TextBox : Control {
    std::string Text;
    bool Locked = false;
    bool MultiLine = false;
    int MaxLength = 0;   // 0: no limit
    int SelStart = 0;    // caret, counted in characters from 0
    int SelLength = 0;
    std::int32_t ForeColor = 0;
    std::int32_t BackColor = static_cast<std::int32_t>(0x80000005u);
    // Set when the user changes the text (typing, pasting); code that sets
    // Text leaves it alone, and clears it when it has taken the change.
    bool DataChanged = false;

    // The selected text, and its replacement as typing or pasting does it
    // (the caret ends after the new text). Positions count characters.
    std::string SelText() const;
    void SetSelText(const std::string& text);
};

// 0 unchecked, 1 checked, 2 grayed.
struct CheckBox : Control {
    std::string Caption;
    int Value = 0;
};

struct OptionButton : Control {
    std::string Caption;
    bool Value = false;
};

// A combo box or list box: items with an integer datum each.
struct ComboBox : Control {
    struct Item {
        std::string text;
        std::int32_t data = 0;
    };
    std::vector<Item> Items;
    int ListIndex = -1;  // -1: no selection
    std::string Text;    // the edit part (a drop-down list mirrors the selection)
    bool Sorted = false;
    // 0 a drop-down whose text can be typed, 2 a drop-down list (choose only).
    int Style = 0;
    bool Locked = false;  // shown, but the user can neither choose nor type

    int ListCount() const noexcept { return static_cast<int>(Items.size()); }
    void Clear() noexcept { Items.clear(); ListIndex = -1; Text.clear(); }
    void AddItem(std::string text, std::int32_t data = 0) { Items.push_back({std::move(text), data}); }
    std::string List(int i) const { return valid(i) ? Items[i].text : std::string{}; }
    std::int32_t ItemData(int i) const { return valid(i) ? Items[i].data : 0; }
    // Selects an entry (or none with -1); the text follows the selection.
    void Select(int i) {
        ListIndex = valid(i) ? i : -1;
        if (ListIndex >= 0) Text = Items[ListIndex].text;
    }

private:
    bool valid(int i) const noexcept { return i >= 0 && i < ListCount(); }
};

using ListBox = ComboBox;

// A strip of tabs; the selected tab counts from 0. A disabled tab cannot be
// chosen by the user; TabEnabled may be shorter than TabCaptions (missing
// entries are enabled).
struct TabStrip : Control {
    std::vector<std::string> TabCaptions;
    int SelectedTab = 0;
    std::vector<bool> TabEnabled;

    bool TabIsEnabled(int i) const noexcept {
        return i < 0 || i >= static_cast<int>(TabEnabled.size()) || TabEnabled[i];
    }
    void SetTabEnabled(int i, bool enabled) {
        if (i < 0) return;
        if (i >= static_cast<int>(TabEnabled.size())) TabEnabled.resize(i + 1, true);
        TabEnabled[i] = enabled;
    }
};

// A popup (context) menu: items with a name, a caption ("-" for a separator)
// and a click handler. Form::PopupMenu shows it.
struct MenuItem {
    std::string Name;
    std::string Caption;
    bool Enabled = true;
    bool Checked = false;
    bool Visible = true;
    std::function<void()> Click;
    bool IsSeparator() const noexcept { return Caption == "-"; }
};

struct Menu {
    std::string Name;
    std::vector<MenuItem> Items;

    MenuItem& Add(std::string name, std::string caption, std::function<void()> click = {}) {
        Items.push_back({std::move(name), std::move(caption), true, false, true, std::move(click)});
        return Items.back();
    }
    // The item of that name (compared exactly), nullptr when there is none.
    MenuItem* Find(const std::string& name) noexcept {
        for (MenuItem& i : Items)
            if (i.Name == name) return &i;
        return nullptr;
    }
};

} // namespace qz::ui
