#include "config/QZCDocument.h"

#include "core/ModErrors.h"
#include "platform/automation/Text.h"
#include "platform/system/Files.h"
#include "platform/system/SystemError.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace qz::qzc {

namespace {

// --- reading ---------------------------------------------------------------

// The path of an existing file whose name matches without regard to ASCII
// letter case, when exactly one does; otherwise the path as given. Files
// written on Windows may name the extension ".Qzc" or ".QZC".
std::string resolveCaseInsensitive(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return path;
    std::filesystem::path p(path);
    std::string wanted = toLowerAscii(p.filename().string());
    std::filesystem::path dir = p.parent_path();
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return path;
    std::string found;
    int matches = 0;
    while (dirent* e = ::readdir(d)) {
        if (toLowerAscii(e->d_name) == wanted) {
            found = e->d_name;
            ++matches;
        }
    }
    ::closedir(d);
    if (matches != 1) return path;
    return (dir / found).string();
}

// True for text in UTF-16 or UTF-32 (by byte-order mark or by the zero bytes
// around the first "<"), which the parser converts itself.
bool isWideEncoding(std::string_view s) {
    if (s.size() < 2) return false;
    auto b0 = static_cast<unsigned char>(s[0]), b1 = static_cast<unsigned char>(s[1]);
    return (b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF) || b0 == 0 || b1 == 0;
}

// The deepest nesting of elements in the document. The XML library frees
// subtrees recursively, so documents nested deeper than any real QZC file
// (five levels) are refused rather than risking the stack.
constexpr int kMaxDepth = 256;

bool nestedTooDeep(const pugi::xml_document& xml) {
    int depth = 0;
    pugi::xml_node cur = xml.first_child();
    while (cur) {
        if (cur.first_child()) {
            cur = cur.first_child();
            if (++depth > kMaxDepth) return true;
            continue;
        }
        while (cur && !cur.next_sibling()) {
            cur = cur.parent();
            --depth;
            if (!cur || cur.type() == pugi::node_document) return false;
        }
        if (cur) cur = cur.next_sibling();
    }
    return false;
}

// True when a value or an attribute of the document is no UTF-8. The bytes
// of the file are checked before parsing, but the parser decodes character
// references without a check: "&#xD800;" (a surrogate) or "&#x110000;"
// (beyond Unicode) become bytes that are no UTF-8. Such a value would be
// written back as those bytes and the saved file could not be read again, so
// the file is refused as the bytes themselves would be.
bool holdsInvalidText(const pugi::xml_document& xml) {
    pugi::xml_node cur = xml.first_child();
    while (cur) {
        if (!isValidUtf8(cur.value())) return true;
        for (pugi::xml_attribute a : cur.attributes())
            if (!isValidUtf8(a.value())) return true;
        if (cur.first_child()) {
            cur = cur.first_child();
            continue;
        }
        while (cur && !cur.next_sibling()) {
            cur = cur.parent();
            if (!cur || cur.type() == pugi::node_document) return false;
        }
        if (cur) cur = cur.next_sibling();
    }
    return false;
}

// --- writing ---------------------------------------------------------------

void appendEscaped(std::string& out, std::string_view text, bool attribute) {
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        // A carriage return is written as a reference, so that CR LF line
        // breaks in values (SQL text) survive a reader's end-of-line handling.
        case '\r': out += "&#13;"; break;
        case '"':
            if (attribute) out += "&quot;";
            else out += ch;
            break;
        case '\n':
            if (attribute) out += "&#10;";
            else out += ch;
            break;
        case '\t':
            if (attribute) out += "&#9;";
            else out += ch;
            break;
        default:
            if (c < 0x20) {
                static const char hex[] = "0123456789ABCDEF";
                out += "&#x";
                if (c >= 0x10) out += hex[c >> 4];
                out += hex[c & 0xF];
                out += ';';
            } else {
                out += ch;
            }
        }
    }
}

void appendAttributes(std::string& out, pugi::xml_node node) {
    for (pugi::xml_attribute a : node.attributes()) {
        out += ' ';
        out += a.name();
        out += "=\"";
        appendEscaped(out, a.value(), true);
        out += '"';
    }
}

void appendStartTag(std::string& out, pugi::xml_node node, bool empty) {
    out += '<';
    out += node.name();
    appendAttributes(out, node);
    out += empty ? "/>" : ">";
}

// Writes one node that has no children of its own (or the opening of an element).
void appendLeaf(std::string& out, pugi::xml_node node) {
    switch (node.type()) {
    case pugi::node_pcdata:
    case pugi::node_cdata:
        // Character data is written escaped: the same text, and no "]]>" trouble.
        appendEscaped(out, node.value(), false);
        break;
    case pugi::node_comment:
        out += "<!--";
        out += node.value();
        out += "-->";
        break;
    case pugi::node_pi:
        out += "<?";
        out += node.name();
        if (*node.value()) {
            out += ' ';
            out += node.value();
        }
        out += "?>";
        break;
    case pugi::node_declaration:
        out += "<?";
        out += node.name();
        appendAttributes(out, node);
        out += "?>";
        break;
    case pugi::node_doctype:
        out += "<!DOCTYPE ";
        out += node.value();
        out += '>';
        break;
    default:
        break;
    }
}

[[noreturn]] void raiseWriteError(const std::string& path, int code) {
    raiseError(kErrorFail, "Cannot write the qzc file '" + path + "': " + sys::errnoText(code), code);
}

} // namespace

[[noreturn]] void raiseMessage(std::int32_t id) { RaiseError(id); }

[[noreturn]] void raiseError(std::int32_t number, std::string description, std::int32_t systemErrorCode) {
    throw AutomationError(number, std::string(kErrorSource), std::move(description), {}, 0, systemErrorCode);
}

pugi::xml_node boundNode(const QZCNode& n) {
    if (!n) raiseError(91, "The object is not bound to a qzc element.");
    return nodeOf(n);
}

bool isBlankText(pugi::xml_node node) noexcept {
    if (node.type() != pugi::node_pcdata) return false;
    for (const char* p = node.value(); *p; ++p) {
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') return false;
    }
    return true;
}

std::string textOf(pugi::xml_node node) {
    std::string out;
    pugi::xml_node cur = node.first_child();
    while (cur) {
        if (cur.type() == pugi::node_pcdata || cur.type() == pugi::node_cdata) out += cur.value();
        if (cur.first_child()) {
            cur = cur.first_child();
            continue;
        }
        while (cur && !cur.next_sibling() && cur != node) cur = cur.parent();
        if (!cur || cur == node) break;
        cur = cur.next_sibling();
    }
    return out;
}

void setText(pugi::xml_node node, std::string_view text) {
    node.remove_children();
    if (!text.empty()) node.append_child(pugi::node_pcdata).set_value(std::string(text).c_str());
}

std::string readId(pugi::xml_node element, const char* elementKind) {
    pugi::xml_attribute id = element.attribute("ID");
    if (!id) {
        std::string name = element.type() == pugi::node_element ? element.name() : "(not an element)";
        raiseError(91, std::string("The qzc ") + elementKind + " item '" + name +
                           "' has no ID attribute.");
    }
    return id.value();
}

namespace {

QZCDocument::Stamp stampOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return {};
    return {static_cast<unsigned long long>(st.st_ino), static_cast<unsigned long long>(st.st_size),
            st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

} // namespace

[[noreturn]] void raiseCannotOpen(const std::string& path, const std::string& why) { throw QzcCannotOpenError(path, why); }

std::shared_ptr<QZCDocument> readDocument(const std::string& path) {
    std::string resolved = resolveCaseInsensitive(path);
    std::string bytes;
    // Memory that runs short is said as such, not as a file that cannot be opened.
    if (const int e = sys::readWholeFile(resolved, bytes); e != 0) {
        if (e == ENOMEM) throw std::bad_alloc();
        raiseCannotOpen(resolved, "cannot be read: " + sys::errnoText(e));
    }
    if (!isWideEncoding(bytes)) {
        std::string_view body = bytes;
        if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
        if (!isValidUtf8(body)) raiseCannotOpen(resolved, "is not UTF-8 text");
    }

    auto doc = std::make_shared<QZCDocument>();
    // The fragment mode keeps text that stands outside the root, so that it
    // can be refused; whitespace-only text is kept while parsing because a
    // value may consist of spaces alone, and dropped from containers later.
    constexpr unsigned kFlags = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_wconv_attribute |
                                pugi::parse_declaration | pugi::parse_doctype | pugi::parse_pi |
                                pugi::parse_comments | pugi::parse_ws_pcdata | pugi::parse_fragment;
    pugi::xml_parse_result r = doc->xml.load_buffer(bytes.data(), bytes.size(), kFlags, pugi::encoding_auto);
    if (r.status == pugi::status_out_of_memory) throw std::bad_alloc();
    if (!r)
        raiseCannotOpen(resolved, std::string("is not well-formed XML (") + r.description() + " at byte " +
                                      std::to_string(r.offset) + ")");
    if (nestedTooDeep(doc->xml)) raiseCannotOpen(resolved, "nests its elements too deeply");
    if (holdsInvalidText(doc->xml)) raiseCannotOpen(resolved, "holds a character reference that is no character");

    // A well-formed document has exactly one top-level element and no text
    // outside it; anything else beside it (declaration, comment, processing
    // instruction, document type) is refused as an invalid qzc file.
    int elements = 0, nodes = 0;
    pugi::xml_node top = doc->xml.first_child();
    while (top) {
        pugi::xml_node next = top.next_sibling();
        if (isBlankText(top)) {
            doc->xml.remove_child(top);
        } else {
            if (top.type() == pugi::node_pcdata || top.type() == pugi::node_cdata)
                raiseCannotOpen(resolved, "holds text outside its root element");
            if (top.type() == pugi::node_element) ++elements;
            ++nodes;
        }
        top = next;
    }
    if (elements != 1) raiseCannotOpen(resolved, elements == 0 ? "has no root element" : "has more than one root element");
    if (nodes != 1) raiseMessage(kInvalidFile);
    doc->disk = stampOf(resolved);
    doc->url = std::move(resolved);
    return doc;
}

std::string serialize(const pugi::xml_document& xml, pugi::xml_node skip) {
    std::string out;
    pugi::xml_node cur = xml.first_child();
    while (cur) {
        if (cur == skip) {
            // left out
        } else if (cur.type() == pugi::node_element) {
            bool hasChildren = static_cast<bool>(cur.first_child());
            appendStartTag(out, cur, !hasChildren);
            if (hasChildren) {
                cur = cur.first_child();
                continue;
            }
        } else {
            appendLeaf(out, cur);
        }
        // Climb out of finished elements, closing each.
        while (cur && !cur.next_sibling()) {
            cur = cur.parent();
            if (!cur || cur.type() == pugi::node_document) return out;
            out += "</";
            out += cur.name();
            out += '>';
        }
        if (cur) cur = cur.next_sibling();
    }
    return out;
}

void writeDocument(const QZCDocument& doc, pugi::xml_node skip) {
    const std::string data = serialize(doc.xml, skip);

    // A file without write permission is read-only for us too, even for a
    // user whom the system would let write it.
    if (sys::fileIsReadOnly(doc.url)) raiseWriteError(doc.url, EACCES);
    // Another studio's save since this one read the file is not undone.
    if (doc.disk != QZCDocument::Stamp{} && stampOf(doc.url) != doc.disk)
        raiseError(kErrorFail, "The qzc file '" + doc.url +
                                   "' was changed by someone else since it was read here; it was not replaced. "
                                   "Open it again to see their changes.");
    if (int e = sys::replaceFile(doc.url, data)) raiseWriteError(doc.url, e);
    doc.disk = stampOf(doc.url);
}

} // namespace qz::qzc
