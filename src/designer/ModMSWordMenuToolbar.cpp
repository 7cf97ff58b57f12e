#include "designer/ModMSWordMenuToolbar.h"

#include "core/ModErrors.h"
#include "designer/DesignerCommands.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <array>

namespace qz::designer {

namespace {

constexpr std::string_view kModule = "ModMSWordMenuToolbar";
constexpr int kButton = 1;
constexpr int kPopup = 10;
constexpr int kCaptionOnly = 2;

struct MenuItem {
    const char* caption;
    const char* toolTip;
    const char* onAction;  // "" for the Insert submenu
};

// The menu's eight items; the third is the Insert submenu.
constexpr std::array<MenuItem, 8> kMenuItems = {{
    {"&Template Properties...", "New Quorvane Template Properties", "CreateNewTemplate_Click"},
    {"&Data Sources...", "Quorvane Data Sources", "EditConnection_Click"},
    {"&Insert", "Insert", ""},
    {"&Open Selected Qz Field...", "Open the property window for the selected Quorvane field.", "OpenField_Click"},
    {"&Preview", "Preview Quorvane Document", "PreviewDocument_Click"},
    {"&Restore Fields Color", "Restore Quorvane Fields Color", "RestoreFieldColor_Click"},
    {"&About Quorvane Studio 2004...", "About Quorvane Studio 2004", "About_Click"},
    {"Quorvane Studio 2004 &Help", "Quorvane Studio 2004 Help", "Help_Click"},
}};
constexpr std::size_t kInsertItem = 2;

constexpr std::array<MenuItem, 4> kInsertItems = {{
    {"&Statement...", "Quorvane Statement", "InsertStatement_Click"},
    {"&Expression...", "Quorvane Expression", "InsertExpression_Click"},
    {"&Conditional Paragraph", "Insert Conditional Paragraph", "InsertConditionalParagraph_Click"},
    {"&Repeating Paragraph...", "Insert Repeating Paragraph", "InsertRepeatingParagraph_Click"},
}};

// The toolbar's four buttons (the caption is for hosts that show text).
constexpr std::array<MenuItem, 4> kToolBarButtons = {{
    {"Data Sources", "Quorvane Data Sources...", "EditConnectionToolBar_Click"},
    {"Statement", "Insert Quorvane Statement", "InsertStatementToolBar_Click"},
    {"Expression", "Insert Quorvane Expression", "InsertExpressionToolBar_Click"},
    {"Preview", "Preview Quorvane Document...", "PreviewDocumentToolBar_Click"},
}};

struct MacroCommand {
    const char* macro;
    std::int32_t id;
};

constexpr std::array<MacroCommand, 20> kMacroCommands = {{
    {"Menu_Click", qzCmdItemMenu},
    {"CreateNewTemplate_Click", qzCmdItemCreateNewTemplate},
    {"EditTemplateProperties_Click", qzCmdItemEditTemplateProperties},
    {"EditConnection_Click", qzCmdItemEditConnection},
    {"EditConnectionToolBar_Click", qzCmdItemEditConnection},
    {"InsertStatement_Click", qzCmdItemInsertStatement},
    {"InsertStatementToolBar_Click", qzCmdItemInsertStatement},
    {"InsertExpression_Click", qzCmdItemInsertExpression},
    {"InsertExpressionToolBar_Click", qzCmdItemInsertExpression},
    {"InsertConditionalParagraph_Click", qzCmdItemInsertConditionalParagraph},
    {"InsertRepeatingParagraph_Click", qzCmdItemInsertRepeatingParagraph},
    {"PreviewDocument_Click", qzCmdItemPreviewDocument},
    {"PreviewDocumentToolBar_Click", qzCmdItemPreviewDocument},
    {"OpenField_Click", qzCmdItemOpenField},
    {"RestoreFieldColor_Click", qzCmdItemRestoreFieldColor},
    {"About_Click", qzCmdItemAbout},
    {"Help_Click", qzCmdItemHelp},
    // The fields' own macros, run by a double click on a field.
    {"modStatementMacro", qzCmdItemEditStatement},
    {"modExpressionMacro", qzCmdItemEditExpression},
    // The document-change event has no macro of its own in the menu; hosts
    // that raise it by name use this one.
    {"DocumentChange", qzCmdItemDocumentChange},
}};

void Fill(word::CommandBarControl& c, const MenuItem& item) {
    c.Caption = item.caption;
    c.ToolTipText = item.toolTip;
    c.OnAction = item.onAction;
}

} // namespace

std::int32_t CommandIdOfMacro(const std::string& macroName) {
    for (const MacroCommand& m : kMacroCommands)
        if (equalsNoCaseAscii(m.macro, macroName)) return m.id;
    return 0;
}

word::Template& InstallAddinTemplate(word::Application& app) {
    word::Template& addin = app.Templates(kAddinTemplateName);
    word::CommandBars& bars = app.GetCommandBars();
    if (!bars.Find(kAddinToolBarName)) bars.Add(kAddinToolBarName);
    ModMSWordMenuToolbar(app).CreateToolbar();
    return addin;
}

void ModMSWordMenuToolbar::BeginQzCustomizationContext() {
    Handled(kModule, "BeginQzCustomizationContext", kErrLog | kErrRaise, [&] {
        const std::string wanted = toUpperAscii(kAddinTemplateName);
        word::Template* context = app_.CustomizationContext;
        if (!context || toUpperAscii(context->Name) != wanted) {
            for (int i = 1; i <= app_.TemplatesCount(); ++i) {
                word::Template& t = app_.TemplatesItem(i);
                if (toUpperAscii(t.Name) == wanted) {
                    app_.CustomizationContext = &t;
                    break;
                }
            }
        }
        menu_ = GetQzMenuHandle();
        toolBar_ = GetQzToolBarHandle();
    });
}

void ModMSWordMenuToolbar::MarkCustomizationSaved() {
    word::Template* context = app_.CustomizationContext;
    if (context && toUpperAscii(context->Name) == toUpperAscii(kAddinTemplateName)) context->Saved = true;
    app_.CommandBarsChanged();
}

word::CommandBarControl* ModMSWordMenuToolbar::GetQzMenuHandle() {
    return Handled(kModule, "GetQzMenuHandle", kErrLog | kErrRaise, [&]() -> word::CommandBarControl* {
        word::CommandBarControls& controls = app_.GetCommandBars().ActiveMenuBar().Controls();
        const std::string wanted = toUpperAscii(kAddinMenuCaption);
        for (int i = 1; i <= controls.Count(); ++i)
            if (toUpperAscii(controls.Item(i).Caption) == wanted) return &controls.Item(i);
        return nullptr;
    });
}

word::CommandBar* ModMSWordMenuToolbar::GetQzToolBarHandle() {
    return Handled(kModule, "GetQzToolBarHandle", kErrLog | kErrRaise, [&]() -> word::CommandBar* {
        word::CommandBars& bars = app_.GetCommandBars();
        const std::string wanted = toUpperAscii(kAddinToolBarName);
        for (int i = 1; i <= bars.Count(); ++i)
            if (toUpperAscii(bars.Item(i).Name) == wanted) return &bars.Item(i);
        return nullptr;
    });
}

std::int32_t ModMSWordMenuToolbar::FindQzMenuPosition() {
    return Handled(kModule, "FindQzMenuPosition", kErrLog | kErrRaise, [&] {
        word::CommandBarControls& controls = app_.GetCommandBars().ActiveMenuBar().Controls();
        std::int32_t pos = 0;
        for (int i = 1; i <= controls.Count(); ++i) {
            const word::CommandBarControl& c = controls.Item(i);
            if ((c.Caption == "&Help" || c.Caption == "&?") && c.Index() == controls.Count()) pos = c.Index();
        }
        if (pos == 0) pos = controls.Count() + 1;
        return pos;
    });
}

void ModMSWordMenuToolbar::CreateAddinMenu() {
    Handled(kModule, "CreateAddinMenu", kErrLog | kErrRaise, [&] {
        const std::int32_t pos = FindQzMenuPosition();
        word::CommandBarControls& controls = app_.GetCommandBars().ActiveMenuBar().Controls();
        // A position past the last control appends.
        word::CommandBarControl& menu = controls.Add(kPopup, true, pos > controls.Count() ? 0 : pos);
        menu.Caption = kAddinMenuCaption;
        menu.ToolTipText = "Quorvane Studio";
        menu.OnAction = "Menu_Click";
        menu_ = &menu;
    });
}

void ModMSWordMenuToolbar::CreateMenuElements() {
    Handled(kModule, "CreateMenuElements", kErrLog | kErrRaise, [&] {
        word::CommandBarControls& items = menu_->Controls();
        for (std::size_t i = 0; i < kMenuItems.size(); ++i) {
            word::CommandBarControl& c = items.Add(i == kInsertItem ? kPopup : kButton);
            Fill(c, kMenuItems[i]);
            if (i != kInsertItem) c.Style = kCaptionOnly;
        }
        word::CommandBarControls& insert = items.Item(std::string("Insert")).Controls();
        for (const MenuItem& item : kInsertItems) Fill(insert.Add(kButton), item);
    });
}

void ModMSWordMenuToolbar::SetToolBarButtons(bool enabled) {
    if (!toolBar_) return;
    toolBar_->Enabled = true;
    word::CommandBarControls& buttons = toolBar_->Controls();
    for (int i = 1; i <= std::min(4, buttons.Count()); ++i) buttons.Item(i).Enabled = enabled;
}

void ModMSWordMenuToolbar::SetLayout(bool templateLayout) {
    word::CommandBarControls& items = menu_->Controls();
    if (items.Count() == 0) return;
    word::CommandBarControl& first = items.Item(1);
    if (templateLayout) {
        first.Caption = "&Template Properties...";
        first.ToolTipText = "Quorvane Template Properties";
        first.OnAction = "EditTemplateProperties_Click";
    } else {
        first.Caption = "New &Template...";
        first.ToolTipText = "New Quorvane Template Properties";
        first.OnAction = "CreateNewTemplate_Click";
    }
    // Items 2 to 6 work on a template; About and Help always work.
    for (int i = 2; i <= std::min(8, items.Count()); ++i) items.Item(i).Enabled = templateLayout || i > 6;
    SetToolBarButtons(templateLayout);
}

void ModMSWordMenuToolbar::SetEditTemplatePropertiesMenu() {
    Handled(kModule, "SetEditTemplatePropertiesMenu", kErrLog | kErrRaise, [&] {
        SetLayout(true);
    });
}

void ModMSWordMenuToolbar::SetNewTemplateMenu() {
    Handled(kModule, "SetNewTemplateMenu", kErrLog | kErrRaise, [&] {
        SetLayout(false);
    });
}

void ModMSWordMenuToolbar::ToggleMenuElements(bool templateLayout) {
    Handled(kModule, "ToggleMenuElements", kErrLog | kErrRaise, [&] {
        BeginQzCustomizationContext();
        // A host that asks for the menu before any document event still gets one.
        if (!menu_) CreateAddinMenu();
        if (menu_->Controls().Count() == 0) CreateMenuElements();
        if (templateLayout) SetEditTemplatePropertiesMenu();
        else SetNewTemplateMenu();
        MarkCustomizationSaved();
    });
}

void ModMSWordMenuToolbar::SetMenuEnabled(bool enabled) noexcept {
    // No menu bar or a locked context must not stop the designer: each step
    // is tried on its own.
    Quietly([&] { BeginQzCustomizationContext(); });
    Quietly([&] { if (!menu_) CreateAddinMenu(); });
    Quietly([&] { if (menu_) menu_->Enabled = enabled; });
    Quietly([&] { MarkCustomizationSaved(); });
}

void ModMSWordMenuToolbar::EnableFirstItem(bool enabled) noexcept {
    Quietly([&] {
        if (menu_ && menu_->Controls().Count() > 0) menu_->Controls().Item(1).Enabled = enabled;
    });
}

void ModMSWordMenuToolbar::EnableMenu() noexcept { SetMenuEnabled(true); }
void ModMSWordMenuToolbar::DisableMenu() noexcept { SetMenuEnabled(false); }

void ModMSWordMenuToolbar::EnableToolBar() {
    Handled(kModule, "EnableToolBar", kErrLog | kErrRaise, [&] {
        BeginQzCustomizationContext();
        SetToolBarButtons(true);
        MarkCustomizationSaved();
    });
}

void ModMSWordMenuToolbar::DisableToolBar() {
    Handled(kModule, "DisableToolBar", kErrLog | kErrRaise, [&] {
        BeginQzCustomizationContext();
        SetToolBarButtons(false);
        MarkCustomizationSaved();
    });
}

void ModMSWordMenuToolbar::CreateToolbar() {
    Handled(kModule, "CreateToolbar", kErrLog | kErrRaise, [&] {
        BeginQzCustomizationContext();
        if (!toolBar_) return;
        word::CommandBarControls& buttons = toolBar_->Controls();
        for (std::size_t i = 0; i < kToolBarButtons.size(); ++i) {
            const int position = static_cast<int>(i) + 1;
            word::CommandBarControl& b = position <= buttons.Count() ? buttons.Item(position) : buttons.Add(kButton);
            if (b.Caption.empty()) b.Caption = kToolBarButtons[i].caption;
            b.ToolTipText = kToolBarButtons[i].toolTip;
            b.OnAction = kToolBarButtons[i].onAction;
        }
        MarkCustomizationSaved();
    });
}

void ModMSWordMenuToolbar::ReleaseAddinCommandBars() noexcept {
    menu_ = nullptr;
    toolBar_ = nullptr;
}

} // namespace qz::designer
