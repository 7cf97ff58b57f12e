// The status bar and the tool bar of a window.
#pragma once

#include "platform/ui/Controls.h"

#include <string>
#include <vector>

namespace qz::ui {

struct StatusPanel {
    std::string Text;
    std::string Key;
    int Width = 0;  // 0: shares the room left
};

// Panels are numbered from 1, as windows name them ("panel 1").
struct StatusBar : Control {
    std::vector<StatusPanel> Panels;

    StatusPanel& AddPanel(std::string key = {}, std::string text = {});
    StatusPanel& Panel(int index);                // 35600 when out of range
    StatusPanel& Panel(const std::string& key);   // 35601 when there is none
};

enum ToolButtonStyle : int { tbrDefault = 0, tbrSeparator = 3 };

struct ToolButton {
    std::string Key;
    std::string Caption;
    std::string ToolTipText;
    int Image = 0;
    int Style = tbrDefault;
    bool Enabled = true;
    bool Visible = true;
};

// Buttons are found by key; a click reaches the window with the button's key.
struct Toolbar : Control {
    std::vector<ToolButton> Buttons;

    ToolButton& AddButton(std::string key, std::string toolTip = {}, int style = tbrDefault);
    ToolButton& Button(const std::string& key);   // 35601 when there is none
    ToolButton* Find(const std::string& key) noexcept;
};

} // namespace qz::ui
