// What LibreOffice reads from RTF documents, for tests that compare it:
// documents converted to flat ODF by soffice (its own profile), and the
// text of a flat ODF document with its tables' rows and cells marked.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The first line where two texts differ, for the failure message.
std::string FirstDifference(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    std::size_t from = a.rfind('\n', i == 0 ? 0 : i - 1);
    from = from == std::string::npos ? 0 : from + 1;
    auto line = [from](const std::string& s) { return s.substr(from, s.find('\n', from) - from); };
    return "\n  original: " + line(a) + "\n  saved:    " + line(b);
}

bool HaveSoffice() { return std::system("command -v soffice >/dev/null 2>&1") == 0; }

// Converts the .rtf files of a folder (all of them, or one) to flat ODF in
// the same folder.
void ToFlatOdf(const std::filesystem::path& dir, const std::filesystem::path& profile, const std::string& which = "*.rtf") {
    std::string cmd = "cd '" + dir.string() + "' && soffice -env:UserInstallation=file://" + profile.string() +
                      " --headless --convert-to fodt " + which + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (std::size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) s.replace(p, from.size(), to);
}

// An attribute's value in a tag ("" when it has none).
std::string Attribute(const std::string& tag, const std::string& name) {
    const std::size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos) return {};
    const std::size_t from = at + name.size() + 3;
    return tag.substr(from, tag.find('"', from) - from);
}

// The text of a flat ODF document's page styles (headers, footers) and body,
// a paragraph a line, table cells marked with their spans: other tags,
// pictures' data and formatting left out.
std::string OdfText(const std::string& xml) {
    std::string text;
    for (const std::string tag : {"office:master-styles", "office:body"}) {
        std::size_t b = xml.find("<" + tag + ">"), e = xml.find("</" + tag + ">");
        if (b == std::string::npos || e == std::string::npos || e < b) continue;
        std::string part = xml.substr(b, e - b);
        std::string out;
        for (std::size_t i = 0; i < part.size();) {
            if (part.compare(i, 20, "<office:binary-data>") == 0) {
                std::size_t end = part.find("</office:binary-data>", i);
                i = end == std::string::npos ? part.size() : end + 21;
                continue;
            }
            if (part[i] != '<') {
                out += part[i++];
                continue;
            }
            std::size_t end = part.find('>', i);
            if (end == std::string::npos) break;
            std::string t = part.substr(i, end + 1 - i);
            if (t.starts_with("<text:p") || t.starts_with("<text:h")) out += '\n';
            // Tables by their cells: merged ones with their spans, the cells they cover.
            else if (t.starts_with("<table:table-row")) out += "\n[row]";
            else if (t.starts_with("<table:covered-table-cell")) out += "[covered]";
            else if (t.starts_with("<table:table-cell")) out += "[cell" + Attribute(t, "table:number-columns-spanned") + "x" + Attribute(t, "table:number-rows-spanned") + "]";
            else if (t == "<text:tab/>") out += '\t';
            else if (t == "<text:line-break/>") out += '\n';
            else if (t == "<text:s/>") out += ' ';
            else if (t.starts_with("<text:s text:c=\"")) out.append(std::strtoul(t.c_str() + 15, nullptr, 10), ' ');
            i = end + 1;
        }
        text += out;
    }
    ReplaceAll(text, "&lt;", "<");
    ReplaceAll(text, "&gt;", ">");
    ReplaceAll(text, "&quot;", "\"");
    ReplaceAll(text, "&apos;", "'");
    ReplaceAll(text, "&amp;", "&");
    return text;
}

} // namespace
