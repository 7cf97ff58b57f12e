// The QZC file: the configuration document of one template (root "QZC" with
// "TemplateProperties" and "ConnectionList"), lying beside the template with
// the template's base name and the extension ".qzc".
//
//   QZCFile file;
//   file.Load(path);                      // or CreateNew(path) for a new template
//   auto props = file.TemplateProperties(); // may be null when the element is missing
//   auto list = file.ConnectionList();      // may be null likewise
//
// QZCFile has no save of its own: each element object writes the whole
// document (Save, Delete). Writes go to a temporary file in the same folder
// that then replaces the old file, so a failed write leaves the old file whole.
// Failures are raised as AutomationError: the document errors with
// 0x80040000 + message id (2012-2018), others with their own numbers.
#pragma once

#include "config/QZCConnection.h"
#include "config/QZCTemplateProperties.h"

#include <memory>
#include <string>

namespace qz {

class QZCFile {
public:
    const std::shared_ptr<QZCTemplateProperties>& TemplateProperties() const noexcept { return props_; }
    const std::shared_ptr<QZCConnectionList>& ConnectionList() const noexcept { return connections_; }

    // Reads the file and builds the model. Fails with 2018 when the file cannot
    // be read or is not well-formed XML, 2017 when its top level is not one
    // node, 2016 when that node is not "QZC", 2015/2014 for a second
    // "TemplateProperties"/"ConnectionList", 2012 for any other node, and with
    // the errors of the nested loads. A failed load leaves no objects.
    void Load(const std::string& path);

    // Writes a new skeleton file at the path (replacing any file there), then
    // loads it: nine empty template properties and an empty connection list.
    // A failure (a folder that does not exist, a read-only file) leaves no
    // objects.
    void CreateNew(const std::string& path);

private:
    std::shared_ptr<QZCTemplateProperties> props_;
    std::shared_ptr<QZCConnectionList> connections_;
};

} // namespace qz
