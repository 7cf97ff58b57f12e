// From form name to the view that shows it. Each view registers its factory
// once, at start-up (QZ_REGISTER_VIEW in its own file); the Qt host asks for a
// view when a form is shown.
#pragma once

#include "views/host/FormView.h"

#include <functional>
#include <string>

namespace qz::views {

using ViewFactory = std::function<FormView*(ui::Form&, QWidget* parent)>;

// Registers the view of a form name (a later registration replaces it).
void registerView(const std::string& formName, ViewFactory factory);
// A new view of the form, or nullptr when no view is registered for its name.
FormView* createView(ui::Form& form, QWidget* parent);

// Registers View (constructed from the form class FormClass and a parent)
// as the view of FormClass's forms under the name Name.
#define QZ_REGISTER_VIEW(Name, FormClass, View)                                              \
    namespace {                                                                              \
    [[maybe_unused]] const bool registered_##View = [] {                                     \
        ::qz::views::registerView(Name, [](::qz::ui::Form& f, QWidget* parent) {             \
            return static_cast<::qz::views::FormView*>(new View(static_cast<FormClass&>(f), parent)); \
        });                                                                                  \
        return true;                                                                         \
    }();                                                                                     \
    }

} // namespace qz::views
