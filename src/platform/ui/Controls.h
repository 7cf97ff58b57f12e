// The state of the controls that forms hold: what the user sees and changes.
// Views bind widgets to these; tests set them as a user would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qz::ui {

struct Control {
    virtual ~Control() = default;
    std::string Name;
    bool Enabled = true;
    bool Visible = true;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int TabIndex = 0;
    std::string ToolTipText;
    std::string Tag;
    std::int32_t HelpContextID = 0;
    std::int32_t WhatsThisHelpID = 0;
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

// A strip of tabs; the selected tab counts from 0.
struct TabStrip : Control {
    std::vector<std::string> TabCaptions;
    int SelectedTab = 0;
};

} // namespace qz::ui
