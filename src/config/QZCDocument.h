// Inside the QZC model: the shared document, the node helpers that every
// element class uses, the file reader and writer, and error raising.
#pragma once

#include "config/QZCNode.h"
#include "platform/automation/AutomationError.h"
#include "resources/MessageIds.h"

#include <pugixml.hpp>

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace qz {

struct QZCDocument {
    pugi::xml_document xml;
    std::string url; // the file it was loaded from; every save writes there
    // The file as it was read or last written here: a save refuses to
    // replace a file someone else changed since.
    struct Stamp {
        unsigned long long ino = 0, size = 0;
        long long sec = 0, nsec = 0;
        bool operator==(const Stamp&) const = default;
    };
    mutable Stamp disk;
};

namespace qzc {

// Message ids of the document errors.
inline constexpr std::int32_t kInvalidElement = msg::InvalidQzcElement;
inline constexpr std::int32_t kDuplicateCommandList = msg::DuplicateCommandList;
inline constexpr std::int32_t kDuplicateConnectionList = msg::DuplicateConnectionList;
inline constexpr std::int32_t kDuplicateTemplateProperties = msg::DuplicateTemplateProperties;
inline constexpr std::int32_t kRootNotFound = msg::QzcElementNotFound;
inline constexpr std::int32_t kInvalidFile = msg::InvalidQzcFile;
inline constexpr std::int32_t kCannotOpen = msg::CannotOpenQzcFile;

// Raises an error of the system's own: 0x80040000 + id with the message text.
[[noreturn]] void raiseMessage(std::int32_t id);
// Raises an error that has no message id of its own (a run-time error number
// such as 5, 13, 91, 457, or E_FAIL).
[[noreturn]] void raiseError(std::int32_t number, std::string description,
                             std::int32_t systemErrorCode = 0);

inline pugi::xml_node nodeOf(const QZCNode& n) noexcept { return pugi::xml_node(n.element); }
// The element of a bound object; an object not bound to an element fails (91).
pugi::xml_node boundNode(const QZCNode& n);
inline QZCNode bindTo(const QZCNode& parent, pugi::xml_node child) { return {parent.doc, child.internal_object()}; }

// A text node that holds only spaces, tabs and line breaks: indentation
// between elements, which the model does not keep.
bool isBlankText(pugi::xml_node node) noexcept;

// Calls visit(child) for every child node of a container element, dropping
// blank text nodes from the document on the way.
template <class F>
void forEachChild(pugi::xml_node element, F&& visit) {
    pugi::xml_node child = element.first_child();
    while (child) {
        pugi::xml_node next = child.next_sibling();
        if (isBlankText(child)) element.remove_child(child);
        else visit(child);
        child = next;
    }
}

// True for an element of exactly that name (names compare with letter case).
inline bool isElement(pugi::xml_node node, std::string_view name) noexcept {
    return node.type() == pugi::node_element && name == node.name();
}

// All text below the node, in document order.
std::string textOf(pugi::xml_node node);
// Replaces the node's content by the text.
void setText(pugi::xml_node node, std::string_view text);

// The "ID" attribute of an item element; a missing attribute fails.
std::string readId(pugi::xml_node element, const char* elementKind);

// Reads and parses a QZC file; 2018 when it cannot be read or is not
// well-formed, 2017 when its top level holds other than exactly one node.
// The path is matched without regard to letter case when no file has exactly
// that name.
std::shared_ptr<QZCDocument> readDocument(const std::string& path);

// Serialises the whole document (UTF-8, no declaration, no indentation) and
// replaces its file through a temporary file in the same folder. A failure
// leaves the old file as it was. The node `skip`, when given, is left out (an
// element about to be deleted).
void writeDocument(const QZCDocument& doc, pugi::xml_node skip = {});
std::string serialize(const pugi::xml_document& xml, pugi::xml_node skip = {});

} // namespace qzc
} // namespace qz
