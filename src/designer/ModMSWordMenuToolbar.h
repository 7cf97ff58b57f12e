// The designer's part of the word processor's interface: the temporary
// top-level menu "&QzStudio" on the active menu bar, and the add-in toolbar
// "Quorvane Studio" with its four buttons. Every item names a macro of the
// add-in template (its OnAction text); the host turns a click into a command
// id (CommandIdOfMacro) and hands it to Designer::HandleCmd.
//
// Each routine that changes the interface first points the customization
// context at the add-in template "qzStudio.Dot" and looks the menu and the
// toolbar up anew; afterwards it marks the template saved and tells the
// application that the command bars changed.
#pragma once

#include "platform/word/Application.h"

#include <cstdint>
#include <string>

namespace qz::designer {

inline constexpr const char* kAddinTemplateName = "qzStudio.Dot";
inline constexpr const char* kAddinToolBarName = "Quorvane Studio";
inline constexpr const char* kAddinMenuCaption = "&QzStudio";

// The command id of an add-in macro name (menu items and toolbar buttons,
// letter case ignored); 0 for a name that is none of them.
std::int32_t CommandIdOfMacro(const std::string& macroName);

// What the add-in template brings when the host loads it: the template
// "qzStudio.Dot" and the toolbar "Quorvane Studio" with its four buttons
// (Data Sources, Statement, Expression, Preview). Returns the template; a
// second call changes nothing.
word::Template& InstallAddinTemplate(word::Application& app);

class ModMSWordMenuToolbar {
public:
    explicit ModMSWordMenuToolbar(word::Application& app) : app_(app) {}

    // Fills an empty menu once, then sets the template (true) or
    // no-template layout. A menu never made yet is made first.
    void ToggleMenuElements(bool templateLayout);
    // The whole menu on or off (made when missing); every failure ignored.
    void EnableMenu() noexcept;
    void DisableMenu() noexcept;
    // The menu's first item, New Template in the no-template layout, on or
    // off: it turns the active document into a template and needs one.
    // Every failure ignored.
    void EnableFirstItem(bool enabled) noexcept;
    // The toolbar stays enabled; its four buttons are enabled or disabled.
    // A missing toolbar is no failure.
    void EnableToolBar();
    void DisableToolBar();
    // Drops the references to the menu and the toolbar; the menu stays on
    // the menu bar, as a temporary control, until the application ends.
    void ReleaseAddinCommandBars() noexcept;

    void BeginQzCustomizationContext();
    void MarkCustomizationSaved();
    void CreateAddinMenu();
    // The position before which the menu goes: before a Help menu ("&Help"
    // or "&?", exactly) that ends the bar, else after the last menu.
    std::int32_t FindQzMenuPosition();
    void CreateMenuElements();
    void SetEditTemplatePropertiesMenu();
    void SetNewTemplateMenu();
    word::CommandBarControl* GetQzMenuHandle();
    word::CommandBar* GetQzToolBarHandle();
    // Gives an existing toolbar its four buttons' tooltips and macros
    // (adding missing buttons); nothing without a toolbar.
    void CreateToolbar();

    word::CommandBarControl* Menu() const noexcept { return menu_; }
    word::CommandBar* ToolBar() const noexcept { return toolBar_; }

private:
    void SetLayout(bool templateLayout);
    void SetToolBarButtons(bool enabled);
    void SetMenuEnabled(bool enabled) noexcept;

    word::Application& app_;
    word::CommandBarControl* menu_ = nullptr;
    word::CommandBar* toolBar_ = nullptr;
};

} // namespace qz::designer
