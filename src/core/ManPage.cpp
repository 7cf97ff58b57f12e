#include "core/ManPage.h"

namespace qz {

namespace {

// Text as man(7) prints it: a backslash is written "\e", a hyphen "\-" (so
// that option names can be searched for and copied), and a line may not
// begin with a control character.
std::string Escaped(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
        lineStart = c == '\n';
    }
    return out;
}

// Paragraphs separated by an empty line become paragraphs of the page.
void AddParagraphs(std::string& out, const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\n\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) out += ".PP\n" + Escaped(text.substr(start, end - start)) + "\n";
        start = end + 2;
    }
}

} // namespace

std::string ManPageText(const ManPage& page) {
    std::string out = ".TH " + page.name + " 1 \"\" \"" + Escaped(page.source) + "\" \"User Commands\"\n.nh\n.ad l\n";
    out += ".SH NAME\n" + Escaped(page.name) + " \\- " + Escaped(page.summary) + "\n.SH SYNOPSIS\n";
    for (std::size_t i = 0; i < page.synopsis.size(); ++i) {
        if (i) out += ".br\n";
        out += ".B " + Escaped(page.name) + "\n" + Escaped(page.synopsis[i]) + "\n";
    }
    for (const ManPageSection& section : page.sections) {
        out += ".SH " + Escaped(section.title) + "\n";
        AddParagraphs(out, section.text);
        for (const ManPageEntry& entry : section.entries)
            out += ".TP\n.B " + Escaped(entry.term) + "\n" + Escaped(entry.text) + "\n";
    }
    return out;
}

} // namespace qz
