// Office Open XML workbooks: a ZIP package (libzip) of XML parts. The
// package's relationships lead to the workbook part, and from it to the
// worksheets, the shared strings and the styles; a cell's number format says
// whether its number is a date. The small parts (relationships, workbook,
// styles) are read whole (pugixml); worksheets and shared strings, which can
// be large, are read as a stream (expat) and only their cells are kept, row by
// row and only the cells that hold a value. What is inflated is bounded per
// part, for the whole package and in its ratio to the compressed size, and
// what is kept counts against the memory ceiling, so that a small damaged or
// hostile file cannot make the reader take the machine's time or memory.
#include "platform/ado/AdoTypes.h"
#include "platform/ado/Workbook.h"
#include "platform/automation/DecimalText.h"
#include "platform/automation/MemoryMeter.h"
#include "platform/automation/Text.h"
#include "platform/system/Deadline.h"

#include <expat.h>
#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>

namespace qz::ado::workbook {

namespace {

constexpr const char* kSource = "Jet";
// No part of a workbook that can be read here is larger, nor the parts read
// together; a part read whole (not as a stream) is smaller still. Deflate
// packs the XML of real workbooks some 5 to 50 times; beyond its first
// megabyte no part may inflate to more than kMaxRatio times what it takes in
// the package (runs of blanks, overlapping entries).
constexpr zip_uint64_t kMaxPart = 256ull << 20;
constexpr zip_uint64_t kMaxWholePart = 64ull << 20;
constexpr zip_uint64_t kMaxInflated = 1ull << 30;
constexpr zip_uint64_t kRatioFree = 1ull << 20, kMaxRatio = 200;
// Excel keeps sheet names to 31 characters; other writers go further, but
// not this far.
constexpr std::size_t kMaxSheetName = 255;

[[noreturn]] void damaged(const std::string& path, const std::string& why) {
    raiseProvider(kSource, "The workbook '" + path + "' is damaged and cannot be read (" + why + ").");
}

std::string_view localName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

// Children and attributes by local name: writers differ in the namespace
// prefixes they use.
pugi::xml_node child(pugi::xml_node node, std::string_view name) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && localName(c.name()) == name) return c;
    return {};
}
template <typename F>
void eachChild(pugi::xml_node node, std::string_view name, F f) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && localName(c.name()) == name) f(c);
}
const char* attr(pugi::xml_node node, std::string_view name) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        if (localName(a.name()) == name) return a.value();
    return "";
}
// The relationship id of an element ("r:id"), whatever its prefix.
const char* relId(pugi::xml_node node) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        if (std::strchr(a.name(), ':') && localName(a.name()) == "id") return a.value();
    return "";
}

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// A non-negative decimal number no larger than `max`, or nullopt.
std::optional<long> smallNumber(std::string_view s, long max) {
    if (s.empty() || s.size() > 10) return std::nullopt;
    long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v > max) return std::nullopt;
    return v;
}

class Package {
public:
    explicit Package(const std::string& path) : path_(path) {
        int error = 0;
        zip_ = zip_open(path.c_str(), ZIP_RDONLY, &error);
        if (!zip_) {
            zip_error_t e;
            zip_error_init_with_code(&e, error);
            const std::string why = zip_error_strerror(&e);
            zip_error_fini(&e);
            raiseProvider(kSource, "The file '" + path + "' is not an Excel workbook that can be read (" + why +
                                       ").");
        }
    }
    ~Package() { zip_discard(zip_); }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    bool has(const std::string& part) const { return zip_name_locate(zip_, part.c_str(), 0) >= 0; }

    // Inflates a part piece by piece into sink(data, size); false when the
    // package has no such part.
    template <typename Sink>
    bool stream(const std::string& part, zip_uint64_t limit, Sink&& sink) {
        const zip_int64_t index = zip_name_locate(zip_, part.c_str(), 0);
        if (index < 0) return false;
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &st) != 0)
            damaged(path_, "its part " + part + " cannot be opened: " + zip_strerror(zip_));
        const zip_uint64_t packed = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
        zip_file_t* f = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
        if (!f) damaged(path_, "its part " + part + " cannot be opened: " + zip_strerror(zip_));
        std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(f, zip_fclose);
        std::unique_ptr<char[]> buffer(new char[kChunk]);
        zip_uint64_t got = 0;
        for (;;) {
            const zip_int64_t n = zip_fread(f, buffer.get(), kChunk);
            if (n < 0) damaged(path_, "its part " + part + " cannot be read: " + zip_file_strerror(f));
            if (n == 0) break;
            got += static_cast<zip_uint64_t>(n);
            inflated_ += static_cast<zip_uint64_t>(n);
            if (got > limit)
                damaged(path_, "its part " + part + " is larger than " + std::to_string(limit >> 20) + " MB");
            if (got > kRatioFree && got / kMaxRatio > packed)
                damaged(path_, "its part " + part + " inflates to more than " + std::to_string(kMaxRatio) +
                                   " times its packed size");
            if (inflated_ > kMaxInflated)
                damaged(path_, "its parts inflate to more than " + std::to_string(kMaxInflated >> 20) + " MB");
            if (sys::deadlinePassed()) raiseTimeout(kSource);
            sink(buffer.get(), static_cast<std::size_t>(n));
        }
        return true;
    }

    // The part parsed as XML; nullopt when the package has no such part.
    std::optional<pugi::xml_document> xml(const std::string& part, Contents& book) {
        std::string data;
        const bool found = stream(part, kMaxWholePart, [&](const char* p, std::size_t n) {
            book.hold(static_cast<std::int64_t>(n) * 4);  // the text and the tree made of it
            data.append(p, n);
        });
        if (!found) return std::nullopt;
        std::optional<pugi::xml_document> doc(std::in_place);
        const pugi::xml_parse_result r = doc->load_buffer(data.data(), data.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
        if (!r) damaged(path_, "its part " + part + " is not well-formed XML: " + r.description());
        return doc;
    }

    // The relationships of a part: id -> (type, target part name).
    std::map<std::string, std::pair<std::string, std::string>> relationships(const std::string& part,
                                                                             Contents& book) {
        const std::size_t slash = part.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? part : part.substr(slash + 1);
        std::map<std::string, std::pair<std::string, std::string>> out;
        const auto doc = xml(folder + "_rels/" + name + ".rels", book);
        if (!doc) return out;
        eachChild(child(*doc, "Relationships"), "Relationship", [&](pugi::xml_node r) {
            if (std::string_view(attr(r, "TargetMode")) == "External") return;
            out[attr(r, "Id")] = {attr(r, "Type"), resolve(folder, attr(r, "Target"))};
        });
        return out;
    }

private:
    // A target relative to a folder of the package, ".." followed.
    static std::string resolve(const std::string& folder, std::string_view target) {
        std::string joined = target.starts_with('/') ? std::string(target.substr(1)) : folder + std::string(target);
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (start <= joined.size()) {
            std::size_t end = joined.find('/', start);
            if (end == std::string::npos) end = joined.size();
            const std::string piece = joined.substr(start, end - start);
            if (piece == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!piece.empty() && piece != ".") {
                parts.push_back(piece);
            }
            start = end + 1;
        }
        std::string out;
        for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
        return out;
    }

    static constexpr std::size_t kChunk = 64 * 1024;
    std::string path_;
    zip_t* zip_ = nullptr;
    zip_uint64_t inflated_ = 0;
};

} // namespace

// A number format shows a date or a time when, outside quoted text, escaped
// characters and bracketed parts (colours, locales), it has a day, month,
// year, hour or second letter; elapsed times ("[h]:mm") count too.
bool isDateFormat(std::string_view code) {
    if (code.empty()) return false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') {
            const std::size_t end = code.find('"', i + 1);
            if (end == std::string_view::npos) return false;
            i = end;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            const std::size_t end = code.find(']', i + 1);
            if (end == std::string_view::npos) return false;
            const std::string_view inside = code.substr(i + 1, end - i - 1);
            if (!inside.empty() && std::strchr("hHmMsS", inside[0])) return true;
            i = end;
        } else if (c == ';') {
            break;  // the first section decides
        } else if (std::strchr("dDmMyYhHsS", c)) {
            return true;  // "General" and an exponent ("E+") hold none of these
        }
    }
    return false;
}

bool isBuiltinDateFormat(long id) {
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

namespace {

// Cell style index -> shows a date.
std::vector<bool> dateStyles(Package& pkg, const std::string& stylesPart, Contents& book) {
    std::vector<bool> out;
    if (stylesPart.empty()) return out;
    const auto doc = pkg.xml(stylesPart, book);
    if (!doc) return out;
    const pugi::xml_node sheet = child(*doc, "styleSheet");
    std::map<long, bool> custom;
    eachChild(child(sheet, "numFmts"), "numFmt", [&](pugi::xml_node f) {
        if (auto id = smallNumber(attr(f, "numFmtId"), 1'000'000)) custom[*id] = isDateFormat(attr(f, "formatCode"));
    });
    eachChild(child(sheet, "cellXfs"), "xf", [&](pugi::xml_node xf) {
        const long id = smallNumber(attr(xf, "numFmtId"), 1'000'000).value_or(0);
        const auto it = custom.find(id);
        out.push_back(it != custom.end() ? it->second : isBuiltinDateFormat(id));
    });
    return out;
}

// "AB12" -> column 27 (counted from 0), row 11; false when it is no cell reference.
bool parseCellRef(std::string_view ref, int& row, int& column) {
    std::size_t i = 0;
    if (i < ref.size() && ref[i] == '$') ++i;
    long c = 0;
    const std::size_t letters = i;
    for (; i < ref.size() && std::isalpha(static_cast<unsigned char>(ref[i])); ++i) {
        c = c * 26 + (std::toupper(static_cast<unsigned char>(ref[i])) - 'A' + 1);
        if (c > kMaxColumn) return false;
    }
    if (i == letters) return false;
    if (i < ref.size() && ref[i] == '$') ++i;
    const auto r = smallNumber(ref.substr(i), kMaxRow);
    if (!r || *r == 0) return false;
    row = static_cast<int>(*r - 1);
    column = static_cast<int>(c - 1);
    return true;
}

// A part read as a stream of elements, by their names without prefixes. The
// handlers must not throw through the parser (a C library): what they raise
// is kept, the parser stopped, and the error raised again once it returns.
class XmlStream {
public:
    XmlStream(Package& pkg, const std::string& path) : pkg_(pkg), path_(path), parser_(XML_ParserCreate(nullptr)) {
        if (!parser_) throw std::bad_alloc();
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &XmlStream::onStart, &XmlStream::onEnd);
        XML_SetCharacterDataHandler(parser_, &XmlStream::onText);
        // A workbook's parts declare no document type; entities declared in
        // one could only make a small part large.
        XML_SetStartDoctypeDeclHandler(parser_, &XmlStream::onDoctype);
    }
    virtual ~XmlStream() { XML_ParserFree(parser_); }
    XmlStream(const XmlStream&) = delete;
    XmlStream& operator=(const XmlStream&) = delete;

    // Reads the part through; false when the package has no such part.
    bool read(const std::string& part) {
        part_ = &part;
        const bool found = pkg_.stream(part, kMaxPart, [&](const char* p, std::size_t n) {
            if (XML_Parse(parser_, p, static_cast<int>(n), XML_FALSE) != XML_STATUS_OK) failed();
        });
        if (found && XML_Parse(parser_, nullptr, 0, XML_TRUE) != XML_STATUS_OK) failed();
        return found;
    }

protected:
    virtual void start(std::string_view name, const XML_Char** attributes) = 0;
    virtual void end(std::string_view name) = 0;
    // Text of the element being collected goes to collect_.
    std::string* collect_ = nullptr;

    static const char* attribute(const XML_Char** attributes, std::string_view name) {
        for (int i = 0; attributes[i]; i += 2)
            if (localName(attributes[i]) == name) return attributes[i + 1];
        return "";
    }
    const std::string& path() const { return path_; }

private:
    [[noreturn]] void failed() {
        if (error_) std::rethrow_exception(error_);
        damaged(path_, "its part " + *part_ + " is not well-formed XML: " + XML_ErrorString(XML_GetErrorCode(parser_)) +
                           " at line " + std::to_string(XML_GetCurrentLineNumber(parser_)));
    }
    template <typename F>
    static void guarded(void* self, F f) {
        auto* s = static_cast<XmlStream*>(self);
        if (s->error_) return;
        try {
            f(*s);
        } catch (...) {
            s->error_ = std::current_exception();
            XML_StopParser(s->parser_, XML_FALSE);
        }
    }
    static void onStart(void* self, const XML_Char* name, const XML_Char** attributes) {
        guarded(self, [&](XmlStream& s) { s.start(localName(name), attributes); });
    }
    static void onEnd(void* self, const XML_Char* name) {
        guarded(self, [&](XmlStream& s) { s.end(localName(name)); });
    }
    static void onText(void* self, const XML_Char* text, int length) {
        auto* s = static_cast<XmlStream*>(self);
        if (!s->collect_ || s->error_) return;
        guarded(self, [&](XmlStream& st) { st.collect_->append(text, static_cast<std::size_t>(length)); });
    }
    static void onDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        guarded(self, [](XmlStream& s) { damaged(s.path_, "its part " + *s.part_ + " declares a document type"); });
    }

    Package& pkg_;
    const std::string& path_;
    const std::string* part_ = nullptr;
    XML_Parser parser_;
    std::exception_ptr error_;
};

// A text as a workbook writes it: a character XML cannot hold, and the
// underscore that would start such an escape, is _xHHHH_ (its UTF-16 unit;
// the two halves of a surrogate pair one after the other).
std::string unescapeText(std::string text) {
    if (text.find("_x") == std::string::npos) return text;
    auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::string out;
    std::u16string units; // escaped units in a row, written together so that a pair joins
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i + 7 <= text.size() && text[i] == '_' && text[i + 1] == 'x' && text[i + 6] == '_') {
            int v = 0;
            for (std::size_t k = i + 2; k < i + 6 && v >= 0; ++k) v = hex(text[k]) < 0 ? -1 : v * 16 + hex(text[k]);
            if (v >= 0) {
                units.push_back(static_cast<char16_t>(v));
                i += 6;
                continue;
            }
        }
        if (!units.empty()) {
            out += toUtf8(units);
            units.clear();
        }
        if (i < text.size()) out += text[i];
    }
    return out;
}

// The shared strings: each item's text, or its runs' texts (phonetic guides
// left out).
class SharedStrings final : public XmlStream {
public:
    SharedStrings(Package& pkg, Contents& out) : XmlStream(pkg, out.path()), out_(out) {}

private:
    void start(std::string_view name, const XML_Char**) override {
        if (name == "si") {
            inItem_ = true;
            text_.clear();
        } else if (name == "rPh") {
            ++phonetic_;
        } else if (name == "t" && inItem_ && phonetic_ == 0) {
            collect_ = &text_;
        }
    }
    void end(std::string_view name) override {
        if (name == "t") {
            collect_ = nullptr;
        } else if (name == "rPh") {
            --phonetic_;
        } else if (name == "si" && inItem_) {
            out_.addString(unescapeText(std::move(text_)));
            text_.clear();
            inItem_ = false;
        }
    }

    Contents& out_;
    std::string text_;
    bool inItem_ = false;
    int phonetic_ = 0;
};

struct Context {
    Contents& book;
    const std::string& path;
    std::vector<bool> dates;
    bool date1904 = false;
};

// A cell's value from its type ("t"), style ("s"), value ("v", when it has
// one) and inline text.
Cell readCell(std::string_view type, std::string_view style, const std::string* value, std::string& inlineText,
                   const Context& ctx) {
    Cell cell;
    if (type == "inlineStr") {
        cell.kind = CellKind::Text;
        cell.text = unescapeText(std::move(inlineText));
        return cell;
    }
    // A formula saved without its value (<v></v>, as some writers leave it)
    // has none.
    if (!value || value->empty()) return cell;
    if (type == "s") {
        const auto index = smallNumber(*value, 100'000'000);
        if (!index || static_cast<std::size_t>(*index) >= ctx.book.strings.size())
            damaged(ctx.path, "a cell names the shared string " + value->substr(0, 20) + ", which is not there");
        cell.kind = CellKind::Text;
        cell.shared = static_cast<std::int32_t>(*index);
    } else if (type == "str") {
        cell.kind = CellKind::Text;
        cell.text = unescapeText(*value);
    } else if (type == "b") {
        cell.kind = CellKind::Boolean;
        cell.text = *value == "1" || *value == "true" ? "1" : "0";
    } else if (type == "d") {
        double d = 0;
        if (parseIsoDateTime(*value, d)) {
            cell.kind = CellKind::Date;
            cell.text = isoFromOleDate(d);
        } else {
            cell.kind = CellKind::Text;
            cell.text = *value;
        }
    } else if (type == "e") {
        // An error value (#N/A, #DIV/0!...) reads as null.
    } else {
        double d = 0;
        if (!readDecimal(*value, d) || !std::isfinite(d)) {
            cell.kind = CellKind::Text;
            cell.text = *value;
            return cell;
        }
        const auto styleIndex = smallNumber(style, 10'000'000).value_or(0);
        const bool date =
            static_cast<std::size_t>(styleIndex) < ctx.dates.size() && ctx.dates[static_cast<std::size_t>(styleIndex)];
        const double ole = ctx.date1904 ? d + 1462 : d;
        if (date && ole >= -657434 && ole < 2958466) {  // 100-01-01 to 9999-12-31
            cell.kind = CellKind::Date;
            cell.text = isoFromOleDate(ole);
        } else {
            cell.kind = CellKind::Number;
            cell.text = numberText(d);
        }
    }
    return cell;
}

// One worksheet, read as a stream: only the cells that hold a value are kept.
class SheetReader final : public XmlStream {
public:
    SheetReader(Package& pkg, const Context& ctx, SheetCells& out) : XmlStream(pkg, ctx.path), ctx_(ctx), out_(out) {}

private:
    void start(std::string_view name, const XML_Char** attributes) override {
        if (name == "sheetData") {
            inData_ = true;
        } else if (!inData_) {
        } else if (name == "row") {
            row_ = nextRow_;
            if (const char* n = attribute(attributes, "r"); *n) {
                const auto v = smallNumber(n, kMaxRow);
                if (!v || *v == 0) damaged(path(), "a row is numbered " + std::string(n).substr(0, 20));
                row_ = static_cast<int>(*v - 1);
            }
            nextRow_ = row_ + 1;
            nextColumn_ = 0;
        } else if (name == "c") {
            inCell_ = true;
            cellRow_ = row_;
            column_ = nextColumn_;
            if (const char* ref = attribute(attributes, "r"); *ref && !parseCellRef(ref, cellRow_, column_))
                damaged(path(), "a cell is named " + std::string(ref).substr(0, 20));
            nextColumn_ = column_ + 1;
            type_ = attribute(attributes, "t");
            style_ = attribute(attributes, "s");
            value_.clear();
            inline_.clear();
            hasValue_ = false;
        } else if (!inCell_) {
        } else if (name == "v") {
            hasValue_ = true;
            value_.clear();
            collect_ = &value_;
        } else if (name == "is") {
            inInline_ = true;
        } else if (name == "rPh") {
            ++phonetic_;
        } else if (name == "t" && inInline_ && phonetic_ == 0) {
            collect_ = &inline_;
        }
    }

    void end(std::string_view name) override {
        if (name == "v" || name == "t") {
            collect_ = nullptr;
        } else if (name == "rPh" && phonetic_ > 0) {
            --phonetic_;
        } else if (name == "is") {
            inInline_ = false;
        } else if (name == "sheetData") {
            inData_ = false;
        } else if (name == "c" && inCell_) {
            inCell_ = false;
            ctx_.book.put(out_, cellRow_, column_, readCell(type_, style_, hasValue_ ? &value_ : nullptr, inline_, ctx_));
        }
    }


    const Context& ctx_;
    SheetCells& out_;
    bool inData_ = false, inCell_ = false, inInline_ = false, hasValue_ = false;
    int phonetic_ = 0;
    int nextRow_ = 0, row_ = 0, nextColumn_ = 0, cellRow_ = 0, column_ = 0;
    std::string type_, style_, value_, inline_;
};

void readSheet(Package& pkg, const std::string& part, const Context& ctx, SheetCells& out) {
    SheetReader reader(pkg, ctx, out);
    if (!reader.read(part)) damaged(ctx.path, "its worksheet " + part + " is missing");
}

// A defined name's reference as one block: "Sheet1!$A$1:$C$9", "'My
// sheet'!B2", "Sheet1!$A:$C" (whole columns, cut to the used rows).
struct Area {
    std::string sheet;
    int r0 = 0, c0 = 0, r1 = 0, c1 = 0;
    bool wholeColumns = false;
};
std::optional<Area> parseArea(std::string_view ref) {
    Area a;
    std::size_t bang = ref.rfind('!');
    if (bang == std::string_view::npos) return std::nullopt;
    std::string_view sheet = ref.substr(0, bang);
    if (sheet.size() >= 2 && sheet.front() == '\'' && sheet.back() == '\'') {
        std::string s(sheet.substr(1, sheet.size() - 2));
        for (std::size_t p = s.find("''"); p != std::string::npos; p = s.find("''", p + 1)) s.erase(p, 1);
        a.sheet = s;
    } else {
        if (sheet.find_first_of("'[], ") != std::string_view::npos) return std::nullopt;
        a.sheet = std::string(sheet);
    }
    const std::string_view cells = ref.substr(bang + 1);
    const std::size_t colon = cells.find(':');
    const std::string_view from = cells.substr(0, colon);
    const std::string_view to = colon == std::string_view::npos ? from : cells.substr(colon + 1);
    if (parseCellRef(from, a.r0, a.c0) && parseCellRef(to, a.r1, a.c1)) {
        if (a.r1 < a.r0) std::swap(a.r0, a.r1);
        if (a.c1 < a.c0) std::swap(a.c0, a.c1);
        return a;
    }
    // Whole columns: "$A:$C".
    auto column = [](std::string_view s, int& c) {
        int row = 0;
        return !s.empty() && parseCellRef(std::string(s) + "1", row, c);
    };
    if (colon != std::string_view::npos && column(from, a.c0) && column(to, a.c1)) {
        if (a.c1 < a.c0) std::swap(a.c0, a.c1);
        a.wholeColumns = true;
        return a;
    }
    return std::nullopt;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::unique_ptr<Contents> readXlsx(const std::string& path) {
    Package pkg(path);
    auto book = std::make_unique<Contents>(path);
    std::string workbookPart;
    for (const auto& [id, rel] : pkg.relationships("", *book))
        if (endsWith(rel.first, "/officeDocument")) workbookPart = rel.second;
    if (workbookPart.empty()) {
        if (!pkg.has("xl/workbook.xml"))
            raiseProvider(kSource, "The file '" + path + "' is not an Excel workbook that can be read (the "
                                   "package holds no workbook).");
        workbookPart = "xl/workbook.xml";
    }
    if (!endsWith(workbookPart, ".xml"))
        raiseProvider(kSource, "The workbook '" + path + "' is in the binary format (.xlsb), which cannot be "
                               "read; save it as an .xlsx workbook.");
    const auto workbook = pkg.xml(workbookPart, *book);
    if (!workbook) damaged(path, "its workbook part " + workbookPart + " is missing");
    const pugi::xml_node root = child(*workbook, "workbook");
    if (!root) damaged(path, "its workbook part has no workbook");

    Context ctx{*book, path, {}, false};
    const std::string_view date1904 = attr(child(root, "workbookPr"), "date1904");
    ctx.date1904 = date1904 == "1" || date1904 == "true";
    const auto rels = pkg.relationships(workbookPart, *book);
    std::string stylesPart;
    for (const auto& [id, rel] : rels) {
        if (endsWith(rel.first, "/sharedStrings")) {
            SharedStrings(pkg, *book).read(rel.second);
        } else if (endsWith(rel.first, "/styles")) {
            stylesPart = rel.second;
        }
    }
    ctx.dates = dateStyles(pkg, stylesPart, *book);

    // Sheet names are tables' names: Excel keeps them unique without regard
    // to case, and so does a table's name.
    std::vector<std::string> sheets;  // by position, for local names
    std::set<std::string> sheetNames;
    eachChild(child(root, "sheets"), "sheet", [&](pugi::xml_node s) {
        const std::string name = attr(s, "name");
        if (name.empty()) damaged(path, "a sheet has no name");
        if (name.size() > kMaxSheetName)
            damaged(path, "a sheet's name is " + std::to_string(name.size()) + " characters long; at most " +
                              std::to_string(kMaxSheetName) + " are read");
        if (!sheetNames.insert(lower(name)).second) damaged(path, "two sheets are named '" + name + "'");
        sheets.push_back(name);
    });
    book->sheets.resize(sheets.size());
    std::size_t position = 0;
    eachChild(child(root, "sheets"), "sheet", [&](pugi::xml_node s) {
        const std::size_t at = position++;
        // Chart sheets and dialog sheets hold no cells.
        const auto rel = rels.find(relId(s));
        if (rel == rels.end() || !endsWith(rel->second.first, "/worksheet")) return;
        SheetCells& cells = book->sheets[at];
        readSheet(pkg, rel->second.second, ctx, cells);
        book->tables.push_back({sheets[at] + "$", at, cells.firstRow, cells.firstColumn, cells.lastRow, cells.lastColumn});
    });

    std::set<std::string> taken;
    for (const TableArea& t : book->tables) taken.insert(lower(t.name));
    std::map<std::string, std::size_t> byName;
    for (std::size_t i = 0; i < sheets.size(); ++i) byName.emplace(lower(sheets[i]), i);
    eachChild(child(root, "definedNames"), "definedName", [&](pugi::xml_node d) {
        const std::string name = attr(d, "name");
        // The workbook's own names (print areas, filters) are no tables.
        if (name.empty() || name.starts_with("_xlnm.") || name.starts_with("_xl")) return;
        const auto area = parseArea(d.text().get());
        if (!area) return;
        const auto found = byName.find(lower(area->sheet));
        if (found == byName.end()) return;
        const SheetCells& s = book->sheets[found->second];
        std::string table = name;
        if (const char* local = attr(d, "localSheetId"); *local) {
            const auto index = smallNumber(local, 100'000);
            if (!index || static_cast<std::size_t>(*index) >= sheets.size()) return;
            table = sheets[static_cast<std::size_t>(*index)] + "$" + name;
        }
        if (!taken.insert(lower(table)).second) return;
        const int r0 = area->wholeColumns ? std::max(0, std::min(s.firstRow, s.lastRow)) : area->r0;
        const int r1 = area->wholeColumns ? s.lastRow : area->r1;
        book->tables.push_back({table, found->second, r0, area->c0, r1, area->c1});
    });
    return book;
}

} // namespace qz::ado::workbook
