#include "views/host/ViewRegistry.h"

#include <algorithm>
#include <map>

namespace qz::views {

namespace {

// Built on first use, by whichever registration or look-up comes first.
std::map<std::string, ViewFactory>& registry() {
    static std::map<std::string, ViewFactory> r;
    return r;
}

} // namespace

void registerView(const std::string& formName, ViewFactory factory) {
    registry()[formName] = std::move(factory);
}

FormView* createView(ui::Form& form, QWidget* parent) {
    const auto it = registry().find(form.Name());
    return it == registry().end() ? nullptr : it->second(form, parent);
}

} // namespace qz::views
