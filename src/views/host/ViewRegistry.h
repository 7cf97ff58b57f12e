// From form name to the view that shows it. The program registers the views
// at start-up (registerFormViews, views/FormViews.h); the Qt host asks for a
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

} // namespace qz::views
