#include "platform/ui/Bars.h"

#include "platform/automation/AutomationError.h"

namespace qz::ui {
namespace {

[[noreturn]] void notFound(const char* source) { throw AutomationError(35601, source, "Element not found"); }

} // namespace

StatusPanel& StatusBar::AddPanel(std::string key, std::string text) {
    Panels.push_back({std::move(text), std::move(key), 0});
    return Panels.back();
}

StatusPanel& StatusBar::Panel(int index) {
    if (index < 1 || index > static_cast<int>(Panels.size()))
        throw AutomationError(35600, "StatusBar", "Index out of bounds");
    return Panels[static_cast<std::size_t>(index - 1)];
}

StatusPanel& StatusBar::Panel(const std::string& key) {
    for (StatusPanel& p : Panels)
        if (!key.empty() && p.Key == key) return p;
    notFound("StatusBar");
}

ToolButton& Toolbar::AddButton(std::string key, std::string toolTip, int style) {
    if (!key.empty() && Find(key)) throw AutomationError(35602, "Toolbar", "Key is not unique in collection");
    ToolButton b;
    b.Key = std::move(key);
    b.ToolTipText = std::move(toolTip);
    b.Style = style;
    Buttons.push_back(std::move(b));
    return Buttons.back();
}

ToolButton* Toolbar::Find(const std::string& key) noexcept {
    for (ToolButton& b : Buttons)
        if (!key.empty() && b.Key == key) return &b;
    return nullptr;
}

ToolButton& Toolbar::Button(const std::string& key) {
    if (ToolButton* b = Find(key)) return *b;
    notFound("Toolbar");
}

} // namespace qz::ui
