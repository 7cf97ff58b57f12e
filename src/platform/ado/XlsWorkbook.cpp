// Workbooks of Excel 97 to 2003 (.xls): the cells FreeXL reads, and what it
// leaves out, read from the workbook's own records: the results that formula
// cells keep of their last calculation (numbers, dates, texts, booleans),
// boolean cells, and the defined names, each of one block of cells a table as
// in the later format.
#include "platform/ado/AdoTypes.h"
#include "platform/ado/Workbook.h"
#include "platform/automation/Text.h"

#include <freexl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>

namespace qz::ado::workbook {

namespace {

constexpr const char* kSource = "Jet";

std::uint16_t u16(const std::string& b, std::size_t at) {
    return at + 2 <= b.size() ? static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                                           static_cast<unsigned char>(b[at + 1]) << 8)
                              : 0;
}
std::uint32_t u32(const std::string& b, std::size_t at) {
    return at + 4 <= b.size() ? static_cast<std::uint32_t>(u16(b, at)) | static_cast<std::uint32_t>(u16(b, at + 2)) << 16
                              : 0;
}

// The stream named "Workbook" of a compound file, "" when there is none or
// the file's structure does not hold together. Every sector chain is checked
// against the file's size and for loops.
std::string workbookStream(const std::string& f) {
    if (f.size() < 512 || u32(f, 0) != 0xE011CFD0u || u32(f, 4) != 0xE11AB1A1u) return {};
    const unsigned shift = u16(f, 0x1E), miniShift = u16(f, 0x20);
    if (shift < 9 || shift > 16 || miniShift > shift) return {};
    const std::size_t sector = std::size_t{1} << shift, mini = std::size_t{1} << miniShift;
    const std::size_t sectors = (f.size() - 512 + sector - 1) / sector;
    auto at = [&](std::uint32_t s) { return 512 + static_cast<std::size_t>(s) * sector; };
    // The allocation table, from the sectors the header and its extension list.
    std::vector<std::uint32_t> fatSectors;
    for (std::size_t i = 0; i < 109; ++i) fatSectors.push_back(u32(f, 0x4C + i * 4));
    for (std::uint32_t d = u32(f, 0x44), n = 0; d < sectors && n < sectors; ++n) {
        for (std::size_t i = 0; i + 1 < sector / 4; ++i) fatSectors.push_back(u32(f, at(d) + i * 4));
        d = u32(f, at(d) + sector - 4);
    }
    std::vector<std::uint32_t> fat;
    for (std::uint32_t s : fatSectors) {
        if (s >= sectors) continue;
        for (std::size_t i = 0; i < sector / 4; ++i) fat.push_back(u32(f, at(s) + i * 4));
    }
    auto chain = [&](std::uint32_t s, const std::vector<std::uint32_t>& table, std::size_t limit) {
        std::vector<std::uint32_t> out;
        while (s < table.size() && out.size() < limit) {
            out.push_back(s);
            s = table[s];
        }
        return out;
    };
    auto read = [&](std::uint32_t first, std::size_t size) {
        std::string out;
        for (std::uint32_t s : chain(first, fat, sectors)) {
            if (s >= sectors || out.size() >= size) break;
            out.append(f, at(s), std::min(sector, f.size() - at(s)));
        }
        out.resize(std::min(out.size(), size));
        return out;
    };
    const std::string dir = read(u32(f, 0x30), sectors * sector);
    std::string root, found;
    std::uint32_t start = 0;
    std::size_t size = 0;
    for (std::size_t e = 0; e + 128 <= dir.size(); e += 128) {
        const std::size_t nameBytes = std::min<std::size_t>(u16(dir, e + 0x40), 64);
        std::u16string name;
        for (std::size_t k = 0; k + 1 < nameBytes; k += 2) name += static_cast<char16_t>(u16(dir, e + k));
        while (!name.empty() && name.back() == 0) name.pop_back();
        const int type = static_cast<unsigned char>(dir[e + 0x42]);
        if (type == 5) root = read(u32(dir, e + 0x74), u32(dir, e + 0x78));
        if (type == 2 && equalsNoCase(name, u"Workbook")) {
            start = u32(dir, e + 0x74);
            size = u32(dir, e + 0x78);
            found = "1";
        }
    }
    if (found.empty() || size > f.size()) return {};
    if (size >= u32(f, 0x38)) return read(start, size);
    // A small stream lives in the mini stream, by the mini allocation table.
    std::vector<std::uint32_t> miniFat;
    const std::string miniTable = read(u32(f, 0x3C), sectors * sector);
    for (std::size_t i = 0; i + 4 <= miniTable.size(); i += 4) miniFat.push_back(u32(miniTable, i));
    std::string out;
    for (std::uint32_t s : chain(start, miniFat, root.size() / mini + 1)) {
        if (static_cast<std::size_t>(s) * mini >= root.size() || out.size() >= size) break;
        out.append(root, static_cast<std::size_t>(s) * mini, mini);
    }
    out.resize(std::min(out.size(), size));
    return out;
}

// What in a compound file would have the FreeXL library read past its own
// buffers, keep memory it took or go round a loop: the file is given to the
// library only when there is none. What the library reads is checked, and
// anything there that no writer makes is refused, wherever the library
// itself would stop: the allocation table, made of the sectors the header
// lists and those the DIFAT chain lists (sector n lies at (n + 1) sector
// sizes); the entries of the directory's first sector, whose names it
// converts by the length each entry gives (up to 65,535 bytes, although an
// entry holds 64); and the chain of the stream "Workbook" (or "Book"), or of
// the root entry's mini stream when the workbook is no longer than the mini
// streams' cut-off (the library copies the mini stream whole into memory of
// the length the root entry gives). "" when nothing is wrong.
std::string containerFault(const std::string& f) {
    if (f.size() < 512 || u32(f, 0) != 0xE011CFD0u || u32(f, 4) != 0xE11AB1A1u) return {};
    const unsigned shift = u16(f, 0x1E);
    if (shift != 9 && shift != 12) return {}; // the library reads no sectors
    const std::size_t size = std::size_t{1} << shift;
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    auto sectorAt = [&](std::uint32_t s) { // its position when the file holds it whole
        const std::size_t at = (static_cast<std::size_t>(s) + 1) * size;
        return at <= f.size() && f.size() - at >= size ? at : kNone;
    };
    // The allocation table; a sector listed twice would have the library
    // grow it without bound.
    std::vector<std::uint32_t> fat;
    std::vector<bool> listed(f.size() / size + 1);
    std::string fault;
    auto addFatSector = [&](std::uint32_t s) {
        const std::size_t at = sectorAt(s);
        if (at == kNone) fault = "its allocation table lists sector " + std::to_string(s) + ", which the file does not hold";
        else if (listed[at / size]) fault = "its allocation table lists sector " + std::to_string(s) + " more than once";
        if (!fault.empty()) return false;
        listed[at / size] = true;
        for (std::size_t k = 0; k < size / 4; ++k) fat.push_back(u32(f, at + k * 4));
        return true;
    };
    for (std::size_t k = 0; k < 109; ++k)
        if (const std::uint32_t s = u32(f, 0x4C + k * 4); s != 0xFFFFFFFFu && !addFatSector(s)) return fault;
    if (const std::uint32_t blocks = u32(f, 0x48); blocks > 0) {
        std::vector<bool> seen(listed.size());
        std::uint32_t next = u32(f, 0x44), read = 0;
        for (bool end = false; read < blocks && !end; ++read) {
            const std::size_t at = sectorAt(next);
            if (at == kNone) return "the chain of its allocation table's sectors leaves the file";
            if (seen[at / size]) return "the chain of its allocation table's sectors goes round in a loop";
            seen[at / size] = true;
            for (std::size_t k = 0; k < size / 4 && !end; ++k) {
                const std::uint32_t v = u32(f, at + k * 4);
                if (v == 0xFFFFFFFEu) end = true;
                else if (k == size / 4 - 1) next = v;
                else if (v != 0xFFFFFFFFu && !addFatSector(v)) return fault;
            }
        }
    }
    const std::size_t dir = sectorAt(u32(f, 0x30));
    if (dir == kNone) return "its directory starts at a sector the file does not hold";
    std::uint32_t rootStart = 0, rootLength = 0, bookStart = 0, bookLength = 0;
    bool book = false;
    for (std::size_t e = 0; e < size / 128 && !book; ++e) {
        const std::size_t at = dir + e * 128, length = u16(f, at + 0x40);
        if (length > 64)
            return "entry " + std::to_string(e + 1) + " of its directory gives a name of " + std::to_string(length) +
                   " bytes, where at most 64 fit";
        std::u16string name;
        for (std::size_t k = 0; k + 1 < length && u16(f, at + k) != 0; k += 2) name += static_cast<char16_t>(u16(f, at + k));
        if (name == u"Root Entry") {
            rootStart = u32(f, at + 0x74);
            rootLength = u32(f, at + 0x78);
        }
        if (name == u"Workbook" || name == u"Book") {
            bookStart = u32(f, at + 0x74);
            bookLength = u32(f, at + 0x78);
            book = true;
        }
    }
    if (!book) return {};
    const std::uint32_t cutOff = u32(f, 0x40) > 0 ? u32(f, 0x38) : 0;
    const bool mini = bookLength <= cutOff;
    // The chain the library reads: it copies the root entry's mini stream
    // into memory of the length the entry gives.
    std::vector<bool> seen(fat.size());
    std::uint64_t have = 0;
    const std::uint32_t length = mini ? rootLength : bookLength;
    const std::string what = mini ? "the mini stream of its root entry" : "its workbook stream";
    for (std::uint32_t s = mini ? rootStart : bookStart; have < length; s = fat[s]) {
        if (sectorAt(s) == kNone || s >= fat.size())
            return "the chain of sectors of " + what + " (" + std::to_string(length) + " bytes) leaves the file";
        if (seen[s]) return "the chain of sectors of " + what + " goes round in a loop";
        seen[s] = true;
        have += size;
        if (fat[s] == 0xFFFFFFFEu) break;
    }
    if (mini && have < length)
        return "its root entry gives its mini stream " + std::to_string(length) + " bytes, more than its sectors hold";
    return {};
}

// A text of the records: `count` characters, one byte each or (flag 1)
// two, after the flags byte at `at`.
std::string recordText(const std::string& r, std::size_t at, std::size_t count) {
    if (at >= r.size()) return {};
    const bool wide = r[at] & 1;
    std::u16string s;
    for (std::size_t k = 0, p = at + 1; k < count && p + (wide ? 2 : 1) <= r.size(); ++k, p += wide ? 2 : 1)
        s += wide ? static_cast<char16_t>(u16(r, p)) : static_cast<char16_t>(static_cast<unsigned char>(r[p]));
    return toUtf8(s);
}

struct Record {
    std::uint16_t type;
    std::string data;
};

std::vector<Record> records(const std::string& stream, std::size_t from, bool toEof) {
    std::vector<Record> out;
    for (std::size_t p = from; p + 4 <= stream.size();) {
        const std::uint16_t type = u16(stream, p), len = u16(stream, p + 2);
        if (p + 4 + len > stream.size()) break;
        out.push_back({type, stream.substr(p + 4, len)});
        p += 4 + len;
        if (toEof && type == 0x000A) break; // EOF of the sheet
    }
    return out;
}

// What the workbook's records add to FreeXL's cells.
struct Extras {
    std::map<std::string, std::map<std::pair<int, int>, Cell>> cells; // sheet -> (row, column) -> value
    struct Name {
        std::string name;
        int localSheet = -1; // a sheet's own name: the sheet's position
        std::string sheet;
        int r0, c0, r1, c1;
    };
    std::vector<Name> names;
    std::vector<std::string> sheets; // worksheets by position
};

bool isDateNumberFormat(std::uint16_t id, const std::map<std::uint16_t, std::string>& custom) {
    const auto it = custom.find(id);
    return it != custom.end() ? isDateFormat(it->second) : isBuiltinDateFormat(id);
}

Extras readExtras(const std::string& stream) {
    Extras x;
    std::map<std::uint16_t, std::string> formats;
    std::vector<std::uint16_t> xfFormats;
    std::vector<std::pair<std::uint32_t, std::string>> sheetStarts;
    std::vector<std::array<std::uint16_t, 3>> externSheets; // supporting book, first and last sheet
    std::vector<bool> selfBook;
    std::vector<Record> names;
    bool date1904 = false;
    for (const Record& r : records(stream, 0, true)) {
        const std::string& d = r.data;
        switch (r.type) {
        case 0x0022: date1904 = u16(d, 0) == 1; break;
        case 0x041E: formats[u16(d, 0)] = recordText(d, 4, u16(d, 2)); break;
        case 0x00E0: xfFormats.push_back(u16(d, 2)); break;
        case 0x0085:
            // Worksheets only: charts and macro sheets hold no cells.
            if (d.size() > 7 && static_cast<unsigned char>(d[5]) == 0)
                sheetStarts.emplace_back(u32(d, 0), recordText(d, 7, static_cast<unsigned char>(d[6])));
            x.sheets.push_back(d.size() > 7 && static_cast<unsigned char>(d[5]) == 0
                                   ? recordText(d, 7, static_cast<unsigned char>(d[6]))
                                   : std::string());
            break;
        case 0x01AE: selfBook.push_back(d.size() == 4 && u16(d, 2) == 0x0401); break;
        case 0x0017:
            for (std::size_t k = 0, n = u16(d, 0); k < n && 2 + k * 6 + 6 <= d.size(); ++k)
                externSheets.push_back({u16(d, 2 + k * 6), u16(d, 4 + k * 6), u16(d, 6 + k * 6)});
            break;
        case 0x0018: names.push_back(r); break;
        default: break;
        }
    }
    auto isDateXf = [&](std::uint16_t xf) { return xf < xfFormats.size() && isDateNumberFormat(xfFormats[xf], formats); };
    for (const auto& [start, sheet] : sheetStarts) {
        auto& cells = x.cells[sheet];
        const std::vector<Record> rs = records(stream, start, true);
        for (std::size_t k = 0; k < rs.size(); ++k) {
            const std::string& d = rs[k].data;
            if ((rs[k].type != 0x0006 && rs[k].type != 0x0205) || d.size() < 8) continue;
            Cell cell;
            const std::uint16_t xf = u16(d, 4);
            if (rs[k].type == 0x0205) { // a boolean or an error value (read as null)
                if (d[7] == 0) cell = {CellKind::Boolean, d[6] ? "1" : "0"};
            } else if (d.size() >= 14 && u16(d, 12) == 0xFFFF) {
                switch (d[6]) {
                case 0: // a text, in the STRING record that follows
                    for (std::size_t s = k + 1; s < rs.size() && s <= k + 3; ++s)
                        if (rs[s].type == 0x0207) {
                            cell = {CellKind::Text, recordText(rs[s].data, 2, u16(rs[s].data, 0))};
                            break;
                        }
                    break;
                case 1: cell = {CellKind::Boolean, d[8] ? "1" : "0"}; break;
                case 3: cell = {CellKind::Text, ""}; break;
                default: break; // an error value
                }
            } else if (d.size() >= 14) {
                double v;
                std::memcpy(&v, d.data() + 6, 8);
                const double ole = date1904 ? v + 1462 : v;
                if (!std::isfinite(v)) continue;
                if (isDateXf(xf) && ole >= -657434 && ole < 2958466) cell = {CellKind::Date, isoFromOleDate(ole)};
                else cell = {CellKind::Number, numberText(v)};
            }
            if (cell.kind != CellKind::Empty) cells[{u16(d, 0), u16(d, 2)}] = std::move(cell);
        }
    }
    // Defined names of one area of one sheet (the token of a 3-D area).
    for (const Record& r : names) {
        const std::string& d = r.data;
        if (d.size() < 15 || (u16(d, 0) & 0x0020)) continue; // built-in names: print areas, filters
        const std::size_t nameLength = static_cast<unsigned char>(d[3]);
        const std::size_t formulaAt = 14 + 1 + nameLength * ((d[14] & 1) ? 2 : 1);
        const std::string name = recordText(d, 14, nameLength);
        if (name.empty() || formulaAt + 11 > d.size() || u16(d, 4) != 11) continue;
        const unsigned char token = static_cast<unsigned char>(d[formulaAt]);
        if (token != 0x3B && token != 0x5B && token != 0x7B) continue;
        const std::uint16_t ixti = u16(d, formulaAt + 1);
        if (ixti >= externSheets.size()) continue;
        const auto& e = externSheets[ixti];
        if (e[0] >= selfBook.size() || !selfBook[e[0]] || e[1] != e[2] || e[1] >= x.sheets.size()) continue;
        Extras::Name n{name, static_cast<int>(u16(d, 8)) - 1, x.sheets[e[1]],
                       u16(d, formulaAt + 3), u16(d, formulaAt + 7) & 0xFF, u16(d, formulaAt + 5),
                       u16(d, formulaAt + 9) & 0xFF};
        if (n.sheet.empty()) continue;
        x.names.push_back(std::move(n));
    }
    return x;
}

// A sheet's rows that hold a value, by number.
struct Grid {
    int width = 0;
    int height = 0;
    std::map<int, std::vector<Cell>> rows;
};

// The rows of a sheet from r0 to r1 and columns c0 to c1: its first row,
// then those that hold a value.
Block cutGrid(const Grid& grid, std::string name, int r0, int c0, int r1, int c1) {
    Block b;
    b.name = std::move(name);
    r1 = std::min(r1, grid.height - 1);
    c1 = std::min(c1, grid.width - 1);
    if (r1 < r0 || c1 < c0) return b;
    b.width = static_cast<std::size_t>(c1 - c0 + 1);
    b.rows.emplace_back(b.width);
    for (auto it = grid.rows.lower_bound(r0); it != grid.rows.end() && it->first <= r1; ++it) {
        std::vector<Cell> row(it->second.begin() + c0, it->second.begin() + c1 + 1);
        const bool any = std::any_of(row.begin(), row.end(), [](const Cell& c) { return c.kind != CellKind::Empty; });
        if (it->first == r0) b.rows.front() = std::move(row);
        else if (any) b.rows.push_back(std::move(row));
    }
    return b;
}

} // namespace

std::vector<Block> readXls(const std::string& path) {
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    // What the library would read beyond the file's own data is refused first.
    if (const std::string fault = containerFault(bytes); !fault.empty())
        raiseProvider(kSource, "The file '" + path + "' is not an Excel workbook that can be read (" + fault + ").");
    const void* xls = nullptr;
    if (freexl_open(path.c_str(), &xls) != FREEXL_OK) {
        if (xls) freexl_close(xls);
        raiseProvider(kSource, "The file '" + path + "' is not an Excel workbook that can be read (neither "
                               "the .xls format of Excel 97 to 2003 nor the .xlsx format of later versions).");
    }
    struct Closer { const void* h; ~Closer() { freexl_close(h); } } closer{xls};
    const Extras extras = readExtras(workbookStream(bytes));
    bytes.clear();

    std::vector<Block> blocks;
    std::vector<std::pair<std::string, Grid>> grids;
    unsigned int sheets = 0;
    freexl_get_info(xls, FREEXL_BIFF_SHEET_COUNT, &sheets);
    // The cell reader stops at what it cannot read (a cell's empty text among
    // it) and then knows fewer sheets, or none, than the workbook lists: the
    // workbook is refused rather than read as one without them.
    const auto listed = std::count_if(extras.sheets.begin(), extras.sheets.end(),
                                      [](const std::string& n) { return !n.empty(); });
    if (sheets < static_cast<unsigned int>(listed))
        raiseProvider(kSource, "The workbook '" + path + "' cannot be read in the format of Excel 97 to 2003 "
                               "(a cell whose text is empty is one cause); saved as .xlsx it can.");
    for (unsigned short s = 0; s < sheets; ++s) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(xls, s, &name) != FREEXL_OK || !name) continue;
        if (freexl_select_active_worksheet(xls, s) != FREEXL_OK) continue;
        unsigned int rows = 0;
        unsigned short cols = 0;
        if (freexl_worksheet_dimensions(xls, &rows, &cols) != FREEXL_OK) continue;
        const auto more = extras.cells.find(name);
        Grid grid;
        grid.width = cols;
        grid.height = static_cast<int>(rows);
        for (unsigned int r = 0; r < rows; ++r) {
            std::vector<Cell> row(cols);
            bool any = false;
            for (unsigned short c = 0; c < cols; ++c) {
                FreeXL_CellValue v;
                Cell& cell = row[c];
                if (freexl_get_cell_value(xls, r, c, &v) != FREEXL_OK) continue;
                switch (v.type) {
                case FREEXL_CELL_INT: cell = {CellKind::Number, std::to_string(v.value.int_value)}; break;
                case FREEXL_CELL_DOUBLE: cell = {CellKind::Number, numberText(v.value.double_value)}; break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                    if (v.value.text_value) cell = {CellKind::Text, v.value.text_value};
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    if (v.value.text_value) cell = {CellKind::Date, v.value.text_value};
                    break;
                default: break;
                }
                // A formula's last result, which FreeXL reads as nothing, or a
                // boolean, which it reads as a number.
                if (more != extras.cells.end())
                    if (const auto it = more->second.find({static_cast<int>(r), static_cast<int>(c)}); it != more->second.end())
                        cell = it->second;
                any |= cell.kind != CellKind::Empty;
            }
            if (any) grid.rows.emplace(static_cast<int>(r), std::move(row));
        }
        blocks.push_back(cutGrid(grid, std::string(name) + "$", 0, 0, grid.height - 1, grid.width - 1));
        grids.emplace_back(name, std::move(grid));
    }
    // The defined names: a sheet's own one is "Sheet$Name", as the later
    // format's are.
    std::set<std::string> taken;
    for (const Block& b : blocks) taken.insert(toLowerAscii(b.name));
    for (const Extras::Name& n : extras.names) {
        for (const auto& [sheet, grid] : grids) {
            if (sheet != n.sheet) continue;
            const bool local = n.localSheet >= 0 && static_cast<std::size_t>(n.localSheet) < extras.sheets.size();
            std::string table = local ? extras.sheets[static_cast<std::size_t>(n.localSheet)] + "$" + n.name : n.name;
            if (!taken.insert(toLowerAscii(table)).second) break;
            blocks.push_back(cutGrid(grid, std::move(table), n.r0, n.c0, n.r1, n.c1));
            break;
        }
    }
    return blocks;
}

} // namespace qz::ado::workbook
