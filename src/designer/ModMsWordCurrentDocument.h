// Small routines on the word processor's active document: name, saved and
// read-only state, folder, the "QzVersion" property, marking the document
// changed, saving it, and whether a file is open already.
#pragma once

#include "platform/word/Application.h"

#include <cstdint>
#include <string>

namespace qz::designer {

// The custom document property that marks a template of the system.
inline constexpr const char* kVersionProperty = "QzVersion";

class ModMsWordCurrentDocument {
public:
    explicit ModMsWordCurrentDocument(word::Application& app) : app_(app) {}

    std::string GetActiveDocumentName();
    // Saved and saved once (it has a folder).
    bool IsActiveDocumentSaved();
    bool IsActiveDocumentReadOnly();
    // The document's folder, or the user's documents folder when never saved.
    std::string CurrentDocumentPath();
    // The "QzVersion" value, or "" when the document has none.
    std::string RetrieveCustomDocumentProperty();
    // Exact (case-sensitive) match of a custom property name.
    bool PropertyExist(const std::string& name);
    // Marks the document changed; its text and selection stay as they are.
    void ModifyCurrentDocument();
    // 1: save as name (RTF), 2: save, other: nothing.
    void SaveCurrentDocument(std::int32_t mode, const std::string& name);
    // Whether an open document is that file (compared as canonical paths,
    // so a relative or linked spelling finds the open document).
    bool DocumentAlreadyOpen(const std::string& name);
    // Why a document may not be saved under this name ("" when it may): the
    // name is that of another open document, or a companion (QZC file or
    // script module, in any letter case) of an open document.
    std::string SaveAsRefusal(const std::string& name);
    void UpdateCustomDocumentProperty(const std::string& value);

private:
    word::Application& app_;
};

} // namespace qz::designer
