// A program's manual page (man(7) markup), written at build time by the
// program itself from the option definitions and texts its --help prints, so
// that the page and the help say the same.
#pragma once

#include <string>
#include <vector>

namespace qz {

struct ManPageEntry {
    std::string term;  // as --help shows it: "-o, --output FILE"
    std::string text;
};

struct ManPageSection {
    std::string title;  // "OPTIONS"
    std::string text;   // paragraphs, "\n\n" between them
    std::vector<ManPageEntry> entries;
};

struct ManPage {
    std::string name;     // "qzstudio"
    std::string summary;  // the line of NAME after the dash
    std::string source;   // "Quorvane Studio 8.2.2"
    std::vector<std::string> synopsis;  // what follows the name, one line each
    std::vector<ManPageSection> sections;
};

// The page in man(7) markup: the title line, NAME, SYNOPSIS and the sections
// in their order. Text is escaped, so that no "\" or leading "." or "'" of a
// description is read as markup.
std::string ManPageText(const ManPage& page);

} // namespace qz
