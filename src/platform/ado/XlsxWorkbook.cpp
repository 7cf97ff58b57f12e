// Office Open XML workbooks: a ZIP package (libzip) of XML parts (pugixml).
// The package's relationships lead to the workbook part, and from it to the
// worksheets, the shared strings and the styles; a cell's number format says
// whether its number is a date. Parts are read whole, within a size limit, so
// that a small damaged or hostile file cannot make the reader take the
// machine's memory.
#include "platform/ado/AdoTypes.h"
#include "platform/ado/Workbook.h"
#include "platform/automation/DecimalText.h"

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>

namespace qz::ado::workbook {

namespace {

constexpr const char* kSource = "Jet";
// No part of a workbook that can be read here is larger; nor has a sheet
// more cells.
constexpr zip_uint64_t kMaxPart = 256ull << 20;
constexpr std::size_t kMaxCells = 10'000'000;
constexpr int kMaxRow = 1'048'576, kMaxColumn = 16'384;

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

    // The part parsed as XML; nullopt when the package has no such part.
    std::optional<pugi::xml_document> xml(const std::string& part) const {
        zip_file_t* f = zip_fopen(zip_, part.c_str(), 0);
        if (!f) {
            if (!has(part)) return std::nullopt;
            damaged(path_, "its part " + part + " cannot be opened: " + zip_strerror(zip_));
        }
        std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(f, zip_fclose);
        std::string data;
        char buffer[65536];
        for (;;) {
            const zip_int64_t n = zip_fread(f, buffer, sizeof buffer);
            if (n < 0) damaged(path_, "its part " + part + " cannot be read: " + zip_file_strerror(f));
            if (n == 0) break;
            if (data.size() + static_cast<std::size_t>(n) > kMaxPart) damaged(path_, "its part " + part + " is too large");
            data.append(buffer, static_cast<std::size_t>(n));
        }
        std::optional<pugi::xml_document> doc(std::in_place);
        const pugi::xml_parse_result r = doc->load_buffer(data.data(), data.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
        if (!r) damaged(path_, "its part " + part + " is not well-formed XML: " + r.description());
        return doc;
    }

    // The relationships of a part: id -> (type, target part name).
    std::map<std::string, std::pair<std::string, std::string>> relationships(const std::string& part) const {
        const std::size_t slash = part.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? part : part.substr(slash + 1);
        std::map<std::string, std::pair<std::string, std::string>> out;
        const auto doc = xml(folder + "_rels/" + name + ".rels");
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

    std::string path_;
    zip_t* zip_ = nullptr;
};

// The text of a string item: its own text, or its runs' texts (phonetic
// guides left out).
std::string itemText(pugi::xml_node si) {
    if (pugi::xml_node t = child(si, "t")) return t.text().get();
    std::string out;
    eachChild(si, "r", [&](pugi::xml_node r) { out += child(r, "t").text().get(); });
    return out;
}

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

// Cell style index -> shows a date.
std::vector<bool> dateStyles(const Package& pkg, const std::string& stylesPart) {
    std::vector<bool> out;
    if (stylesPart.empty()) return out;
    const auto doc = pkg.xml(stylesPart);
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

// The cells of one worksheet, by row; each row as wide as its last cell.
struct SheetCells {
    std::map<int, std::vector<Cell>> rows;
    int firstRow = kMaxRow, lastRow = -1, firstColumn = kMaxColumn, lastColumn = -1;
};

struct Context {
    const std::string& path;
    std::vector<std::string> strings;
    std::vector<bool> dates;
    bool date1904 = false;
};

Cell readCell(pugi::xml_node c, const Context& ctx) {
    Cell cell;
    const std::string_view type = attr(c, "t");
    const pugi::xml_node v = child(c, "v");
    if (type == "inlineStr") {
        cell.kind = CellKind::Text;
        cell.text = itemText(child(c, "is"));
        return cell;
    }
    if (!v) return cell;
    const char* value = v.text().get();
    if (type == "s") {
        const auto index = smallNumber(value, 100'000'000);
        if (!index || static_cast<std::size_t>(*index) >= ctx.strings.size())
            damaged(ctx.path, std::string("a cell names the shared string ") + value + ", which is not there");
        cell.kind = CellKind::Text;
        cell.text = ctx.strings[static_cast<std::size_t>(*index)];
    } else if (type == "str") {
        cell.kind = CellKind::Text;
        cell.text = value;
    } else if (type == "b") {
        cell.kind = CellKind::Boolean;
        cell.text = std::string_view(value) == "1" || std::string_view(value) == "true" ? "1" : "0";
    } else if (type == "d") {
        double d = 0;
        if (parseIsoDateTime(value, d)) {
            cell.kind = CellKind::Date;
            cell.text = isoFromOleDate(d);
        } else {
            cell.kind = CellKind::Text;
            cell.text = value;
        }
    } else if (type == "e") {
        // An error value (#N/A, #DIV/0!...) reads as null.
    } else {
        double d = 0;
        if (!readDecimal(value, d) || !std::isfinite(d)) {
            cell.kind = CellKind::Text;
            cell.text = value;
            return cell;
        }
        const auto style = smallNumber(attr(c, "s"), 10'000'000).value_or(0);
        const bool date = static_cast<std::size_t>(style) < ctx.dates.size() && ctx.dates[static_cast<std::size_t>(style)];
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

SheetCells readSheet(const Package& pkg, const std::string& part, const Context& ctx, std::size_t& cells) {
    SheetCells out;
    const auto doc = pkg.xml(part);
    if (!doc) damaged(ctx.path, "its worksheet " + part + " is missing");
    const pugi::xml_node data = child(child(*doc, "worksheet"), "sheetData");
    int nextRow = 0;
    eachChild(data, "row", [&](pugi::xml_node r) {
        int row = nextRow;
        if (const char* n = attr(r, "r"); *n) {
            const auto v = smallNumber(n, kMaxRow);
            if (!v || *v == 0) damaged(ctx.path, std::string("a row is numbered ") + n);
            row = static_cast<int>(*v - 1);
        }
        nextRow = row + 1;
        int nextColumn = 0;
        eachChild(r, "c", [&](pugi::xml_node c) {
            int cellRow = row, column = nextColumn;
            if (const char* ref = attr(c, "r"); *ref && !parseCellRef(ref, cellRow, column))
                damaged(ctx.path, std::string("a cell is named ") + ref);
            nextColumn = column + 1;
            Cell cell = readCell(c, ctx);
            if (cell.kind == CellKind::Empty) return;
            if (++cells > kMaxCells) damaged(ctx.path, "it has more cells than can be read");
            std::vector<Cell>& cellsOfRow = out.rows[cellRow];
            if (cellsOfRow.size() <= static_cast<std::size_t>(column)) cellsOfRow.resize(static_cast<std::size_t>(column) + 1);
            cellsOfRow[static_cast<std::size_t>(column)] = std::move(cell);
            out.firstRow = std::min(out.firstRow, cellRow);
            out.lastRow = std::max(out.lastRow, cellRow);
            out.firstColumn = std::min(out.firstColumn, column);
            out.lastColumn = std::max(out.lastColumn, column);
        });
    });
    return out;
}

// The block of cells from (r0, c0) to (r1, c1): its first row, then the
// rows after it that hold a value.
Block cut(const SheetCells& s, std::string name, int r0, int c0, int r1, int c1) {
    Block b;
    b.name = std::move(name);
    // Columns past the last one used are empty: a range over whole rows
    // ("A1:XFD9") gives the columns that hold something.
    c1 = std::min(c1, std::max(c0, s.lastColumn));
    if (r1 < r0 || c1 < c0) return b;
    b.width = static_cast<std::size_t>(c1 - c0 + 1);
    auto rowOf = [&](const std::vector<Cell>& cells) {
        std::vector<Cell> row(b.width);
        bool any = false;
        for (int c = c0; c <= c1 && static_cast<std::size_t>(c) < cells.size(); ++c) {
            if (cells[static_cast<std::size_t>(c)].kind == CellKind::Empty) continue;
            row[static_cast<std::size_t>(c - c0)] = cells[static_cast<std::size_t>(c)];
            any = true;
        }
        return std::make_pair(std::move(row), any);
    };
    const auto first = s.rows.find(r0);
    b.rows.push_back(first == s.rows.end() ? std::vector<Cell>(b.width) : rowOf(first->second).first);
    for (auto it = s.rows.upper_bound(r0); it != s.rows.end() && it->first <= r1; ++it) {
        auto [row, any] = rowOf(it->second);
        if (any) b.rows.push_back(std::move(row));
    }
    return b;
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

std::vector<Block> readXlsx(const std::string& path) {
    Package pkg(path);
    std::string workbookPart;
    for (const auto& [id, rel] : pkg.relationships(""))
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
    const auto workbook = pkg.xml(workbookPart);
    if (!workbook) damaged(path, "its workbook part " + workbookPart + " is missing");
    const pugi::xml_node root = child(*workbook, "workbook");
    if (!root) damaged(path, "its workbook part has no workbook");

    Context ctx{path, {}, {}, false};
    const std::string_view date1904 = attr(child(root, "workbookPr"), "date1904");
    ctx.date1904 = date1904 == "1" || date1904 == "true";
    const auto rels = pkg.relationships(workbookPart);
    std::string stylesPart;
    for (const auto& [id, rel] : rels) {
        if (endsWith(rel.first, "/sharedStrings")) {
            if (const auto doc = pkg.xml(rel.second))
                eachChild(child(*doc, "sst"), "si", [&](pugi::xml_node si) { ctx.strings.push_back(itemText(si)); });
        } else if (endsWith(rel.first, "/styles")) {
            stylesPart = rel.second;
        }
    }
    ctx.dates = dateStyles(pkg, stylesPart);

    std::vector<Block> blocks;
    std::vector<std::pair<std::string, SheetCells>> sheets;  // by position, for local names
    std::size_t cells = 0;
    eachChild(child(root, "sheets"), "sheet", [&](pugi::xml_node s) {
        const auto rel = rels.find(relId(s));
        const std::string name = attr(s, "name");
        // Chart sheets and dialog sheets hold no cells.
        if (rel == rels.end() || !endsWith(rel->second.first, "/worksheet")) {
            sheets.emplace_back(name, SheetCells{});
            return;
        }
        SheetCells cellsOfSheet = readSheet(pkg, rel->second.second, ctx, cells);
        blocks.push_back(cut(cellsOfSheet, name + "$", cellsOfSheet.firstRow, cellsOfSheet.firstColumn,
                             cellsOfSheet.lastRow, cellsOfSheet.lastColumn));
        sheets.emplace_back(name, std::move(cellsOfSheet));
    });

    std::set<std::string> taken;
    for (const Block& b : blocks) taken.insert(lower(b.name));
    eachChild(child(root, "definedNames"), "definedName", [&](pugi::xml_node d) {
        const std::string name = attr(d, "name");
        // The workbook's own names (print areas, filters) are no tables.
        if (name.empty() || name.starts_with("_xlnm.") || name.starts_with("_xl")) return;
        const auto area = parseArea(d.text().get());
        if (!area) return;
        const SheetCells* s = nullptr;
        for (const auto& [sheetName, sheetCells] : sheets)
            if (lower(sheetName) == lower(area->sheet)) s = &sheetCells;
        if (!s) return;
        std::string table = name;
        if (const char* local = attr(d, "localSheetId"); *local) {
            const auto index = smallNumber(local, 100'000);
            if (!index || static_cast<std::size_t>(*index) >= sheets.size()) return;
            table = sheets[static_cast<std::size_t>(*index)].first + "$" + name;
        }
        if (!taken.insert(lower(table)).second) return;
        const int r0 = area->wholeColumns ? std::max(0, std::min(s->firstRow, s->lastRow)) : area->r0;
        const int r1 = area->wholeColumns ? s->lastRow : area->r1;
        blocks.push_back(cut(*s, table, r0, area->c0, r1, area->c1));
    });
    return blocks;
}

} // namespace qz::ado::workbook
