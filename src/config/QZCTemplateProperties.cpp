#include "config/QZCTemplateProperties.h"

#include "config/QZCDocument.h"
#include "core/ModErrors.h"

#include <array>

namespace qz {

namespace {

constexpr const char* kObject = "QZCTemplateProperties";

// The property elements in the order the system writes them.
constexpr std::array<const char*, 9> kNames = {
    "Version", "FileName", "RevisionKeep", "Locale", "DateTimeFormat",
    "StringFormat", "NumberFormat", "CurrencyFormat", "PercentFormat"};

// The position of a property element's name in kNames, or -1.
int propertyIndex(pugi::xml_node child) noexcept {
    if (child.type() != pugi::node_element) return -1;
    std::string_view name = child.name();
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (name == kNames[i]) return static_cast<int>(i);
    }
    return -1;
}

std::array<std::string*, 9> members(QZCTemplateProperties& p) {
    return {&p.Version, &p.filename, &p.RevisionKeep, &p.Locale, &p.DateTimeFormat,
            &p.StringFormat, &p.NumberFormat, &p.CurrencyFormat, &p.PercentFormat};
}

} // namespace

void QZCTemplateProperties::Load() {
    Handled(kObject, "Load", kErrLog | kErrRaise, [&] {
        pugi::xml_node element = qzc::boundNode(element_);
        // Read into a copy: a refused element leaves the properties as they were.
        QZCTemplateProperties read = *this;
        auto slots = members(read);
        qzc::forEachChild(element, [&](pugi::xml_node child) {
            int i = propertyIndex(child);
            if (i < 0) qzc::raiseMessage(qzc::kInvalidElement);
            *slots[static_cast<std::size_t>(i)] = qzc::textOf(child); // the last one wins
        });
        auto mine = members(*this);
        for (std::size_t i = 0; i < mine.size(); ++i) *mine[i] = std::move(*slots[i]);
    });
}

void QZCTemplateProperties::Save() {
    Handled(kObject, "Save", kErrLog | kErrRaise, [&] {
        pugi::xml_node element = qzc::boundNode(element_);
        // Check every child before changing any, so that a refused save leaves
        // the document in memory as it was.
        std::array<bool, 9> present{};
        qzc::forEachChild(element, [&](pugi::xml_node child) {
            int i = propertyIndex(child);
            if (i < 0) qzc::raiseMessage(qzc::kInvalidElement);
            present[static_cast<std::size_t>(i)] = true;
        });
        auto mine = members(*this);
        for (pugi::xml_node child : element.children()) {
            qzc::setText(child, *mine[static_cast<std::size_t>(propertyIndex(child))]);
        }
        // A property with a value but no element gets one, in its place in the
        // written order, rather than being lost.
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            if (present[i] || mine[i]->empty()) continue;
            pugi::xml_node before;
            for (pugi::xml_node child : element.children()) {
                if (propertyIndex(child) > static_cast<int>(i)) {
                    before = child;
                    break;
                }
            }
            pugi::xml_node added = before ? element.insert_child_before(kNames[i], before)
                                          : element.append_child(kNames[i]);
            qzc::setText(added, *mine[i]);
        }
        qzc::writeDocument(*element_.doc);
    });
}

void QZCTemplateProperties::CreateNew() {
    Handled(kObject, "CreateNew", kErrLog | kErrRaise, [&] {
        pugi::xml_node element = qzc::boundNode(element_);
        for (const char* name : kNames) element.append_child(name);
    });
}

} // namespace qz
