// The files of a template and small text helpers shared by the engine.
//
// A template is three files side by side: the document, its QZC file and an
// optional script module. The companions are named from the template's path
// without its last four characters (whatever they are) and ".qzc" or ".vbs";
// file names compare without regard to letter case, as they did where
// templates are made.
#pragma once

#include "platform/automation/Text.h"

#include <string>
#include <string_view>

namespace qz::production {

// The template's path without its last four characters, followed by extension.
inline std::string CompanionName(const std::string& templateFile, std::string_view extension) {
    return templateFile.substr(0, templateFile.size() >= 4 ? templateFile.size() - 4 : 0) +
           std::string(extension);
}

// What a file is of the template ("the template", "the template's QZC file",
// "the template's script module"), whether it exists yet or not: the same
// folder and the same name without regard to case; "" when it is none.
std::string TemplateFileKind(const std::string& file, const std::string& templateFile);

// The path of an existing regular file whose name equals the given path's
// name without regard to case (the exact name first), or "" when none.
std::string FindFileNoCase(const std::string& path);

} // namespace qz::production
