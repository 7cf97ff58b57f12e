// The XML element that an object of the QZC model is bound to, together with
// the document that holds it. Every object of one loaded file shares the
// document, which lives as long as any of them does.
#pragma once

#include <memory>
#include <string>

namespace pugi {
struct xml_node_struct;
}

namespace qz {

// One QZC document in memory and the file it was loaded from (every save of
// any object of the document writes the whole document to that file).
struct QZCDocument;

struct QZCNode {
    std::shared_ptr<QZCDocument> doc;
    pugi::xml_node_struct* element = nullptr;

    explicit operator bool() const noexcept { return doc && element; }
};

} // namespace qz
