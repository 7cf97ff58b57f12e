// Workbooks of Excel 97 to 2003 (.xls), read from the records of the
// compound file's workbook stream: the worksheets' cells (shared and inline
// texts, numbers, dates by their cells' number formats, booleans, and the
// results that formula cells keep of their last calculation) and the defined
// names, each of one block of cells a table as in the later format.
#include "platform/ado/AdoTypes.h"
#include "platform/ado/Workbook.h"
#include "platform/automation/Text.h"

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
    // Each sector of the table counts once: one listed again and again
    // would have the table grow with the square of the file's size.
    std::vector<std::uint32_t> fat;
    std::vector<bool> inFat(sectors);
    for (std::uint32_t s : fatSectors) {
        if (s >= sectors || inFat[s]) continue;
        inFat[s] = true;
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

// What in a compound file no writer makes and that a reader would have to
// guess past, refused with its reason rather than read in part: the
// allocation table, made of the sectors the header lists and those the
// DIFAT chain lists (sector n lies at (n + 1) sector sizes), each listed
// once; the entries of the directory's first sector, whose names are at most
// 64 bytes; and the chain of the stream "Workbook" (or "Book"), or of the
// root entry's mini stream when the workbook is no longer than the mini
// streams' cut-off, which must hold the length the root entry gives.
// "" when nothing is wrong.
std::string containerFault(const std::string& f) {
    if (f.size() < 512 || u32(f, 0) != 0xE011CFD0u || u32(f, 4) != 0xE11AB1A1u) return {};
    const unsigned shift = u16(f, 0x1E);
    if (shift != 9 && shift != 12)
        return "its sectors are of " + std::to_string(shift < 32 ? std::uint64_t{1} << shift : 0) +
               " bytes, where the format has 512 or 4096";
    const std::size_t size = std::size_t{1} << shift;
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    auto sectorAt = [&](std::uint32_t s) { // its position when the file holds it whole
        const std::size_t at = (static_cast<std::size_t>(s) + 1) * size;
        return at <= f.size() && f.size() - at >= size ? at : kNone;
    };
    // The allocation table; a sector listed twice is a damaged file.
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
    // The chain of the workbook, or of the root entry's mini stream, which
    // holds as much as the entry gives.
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

// The shared strings: the SST record's data and that of the CONTINUE
// records after it, read as one run of bytes, except that a string's
// characters cut by the end of a record go on after a new flags byte (one
// byte or two a character). The formatting runs and the phonetic block of a
// string are skipped by the counts its header gives. Reading stops at the
// first string the records do not hold whole.
class SharedStrings {
public:
    explicit SharedStrings(std::vector<const std::string*> parts) : parts_(std::move(parts)) {}

    std::vector<std::string> read() {
        std::vector<std::string> out;
        std::uint32_t total = 0, unique = 0;
        if (!number(total, 4) || !number(unique, 4)) return out;
        for (std::uint32_t i = 0; i < unique; ++i) {
            std::uint32_t count = 0, runs = 0, phonetic = 0;
            unsigned char flags = 0;
            if (!number(count, 2) || !byte(flags)) break;
            if ((flags & 0x08) && !number(runs, 2)) break;
            if ((flags & 0x04) && !number(phonetic, 4)) break;
            std::u16string text;
            if (!characters(count, flags & 1, text) || !skip(std::uint64_t{runs} * 4 + phonetic)) break;
            out.push_back(toUtf8(text));
        }
        return out;
    }

private:
    bool atEnd() {
        while (part_ < parts_.size() && at_ >= parts_[part_]->size()) {
            ++part_;
            at_ = 0;
        }
        return part_ >= parts_.size();
    }
    bool byte(unsigned char& b) {
        if (atEnd()) return false;
        b = static_cast<unsigned char>((*parts_[part_])[at_++]);
        return true;
    }
    bool number(std::uint32_t& v, int bytes) {
        v = 0;
        for (int k = 0; k < bytes; ++k) {
            unsigned char b = 0;
            if (!byte(b)) return false;
            v |= static_cast<std::uint32_t>(b) << (8 * k);
        }
        return true;
    }
    bool skip(std::uint64_t n) {
        while (n > 0) {
            if (atEnd()) return false;
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, parts_[part_]->size() - at_));
            at_ += take;
            n -= take;
        }
        return true;
    }
    bool characters(std::uint32_t count, bool wide, std::u16string& text) {
        for (std::uint32_t k = 0; k < count; ++k) {
            if (part_ >= parts_.size()) return false;
            if (at_ >= parts_[part_]->size()) { // cut here: the next record starts with new flags
                if (++part_ >= parts_.size() || parts_[part_]->empty()) return false;
                wide = (*parts_[part_])[0] & 1;
                at_ = 1;
            }
            const std::string& p = *parts_[part_];
            if (wide && at_ + 2 > p.size()) return false;
            text += wide ? static_cast<char16_t>(u16(p, at_)) : static_cast<char16_t>(static_cast<unsigned char>(p[at_]));
            at_ += wide ? 2 : 1;
        }
        return true;
    }

    std::vector<const std::string*> parts_;
    std::size_t part_ = 0, at_ = 0;
};

// A sheet's rows that hold a value, by number.
struct Grid {
    int width = 0;
    int height = 0;
    std::map<int, std::vector<Cell>> rows;
};

// What the workbook's records hold: its worksheets' cells and the defined
// names, each of one block of cells a table as in the later format.
struct Book {
    std::vector<std::pair<std::string, Grid>> grids; // worksheets in their order
    struct Name {
        std::string name;
        int localSheet = -1; // a sheet's own name: the sheet's position
        std::string sheet;
        int r0, c0, r1, c1;
    };
    std::vector<Name> names;
    std::vector<std::string> sheets; // every sheet by position, "" for those that hold no cells
};

bool isDateNumberFormat(std::uint16_t id, const std::map<std::uint16_t, std::string>& custom) {
    const auto it = custom.find(id);
    return it != custom.end() ? isDateFormat(it->second) : isBuiltinDateFormat(id);
}

// The number an RK value packs: a 30-bit integer or the high 30 bits of a
// double, either of them divided by 100 when its lowest bit is set.
double rkNumber(std::uint32_t rk) {
    double v;
    if (rk & 2) {
        v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, 8);
    }
    return (rk & 1) ? v / 100 : v;
}

Book readBook(const std::string& stream) {
    Book x;
    std::map<std::uint16_t, std::string> formats;
    std::vector<std::uint16_t> xfFormats;
    std::vector<std::pair<std::uint32_t, std::string>> sheetStarts;
    std::vector<std::array<std::uint16_t, 3>> externSheets; // supporting book, first and last sheet
    std::vector<bool> selfBook;
    std::vector<Record> names;
    std::vector<std::string> strings;
    bool date1904 = false;
    const std::vector<Record> globals = records(stream, 0, true);
    for (std::size_t i = 0; i < globals.size(); ++i) {
        const Record& r = globals[i];
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
        case 0x00FC: {
            std::vector<const std::string*> parts{&d};
            while (i + 1 < globals.size() && globals[i + 1].type == 0x003C) parts.push_back(&globals[++i].data);
            strings = SharedStrings(std::move(parts)).read();
            break;
        }
        default: break;
        }
    }
    auto isDateXf = [&](std::uint16_t xf) { return xf < xfFormats.size() && isDateNumberFormat(xfFormats[xf], formats); };
    // A number, a date when the cell's format shows one.
    auto numberCell = [&](double v, std::uint16_t xf) -> Cell {
        if (!std::isfinite(v)) return {};
        const double ole = date1904 ? v + 1462 : v;
        if (isDateXf(xf) && ole >= -657434 && ole < 2958466) return {CellKind::Date, isoFromOleDate(ole)};
        return {CellKind::Number, numberText(v)};
    };
    auto rkCell = [&](std::uint32_t rk, std::uint16_t xf) -> Cell {
        if ((rk & 3) == 2 && !isDateXf(xf)) return {CellKind::Number, std::to_string(static_cast<std::int32_t>(rk) >> 2)};
        return numberCell(rkNumber(rk), xf);
    };
    for (const auto& [start, sheet] : sheetStarts) {
        std::map<std::pair<int, int>, Cell> cells; // (row, column) -> value
        Grid grid;
        auto put = [&](std::uint16_t row, std::uint16_t column, Cell cell) {
            if (cell.kind != CellKind::Empty) cells[{row, column}] = std::move(cell);
        };
        const std::vector<Record> rs = records(stream, start, true);
        for (std::size_t k = 0; k < rs.size(); ++k) {
            const std::string& d = rs[k].data;
            const std::uint16_t row = u16(d, 0), column = u16(d, 2), xf = u16(d, 4);
            switch (rs[k].type) {
            case 0x0200: // the sheet's size: one past its last row and column
                if (d.size() >= 14) {
                    grid.height = static_cast<int>(std::min<std::uint32_t>(u32(d, 4), 65536));
                    grid.width = std::min<int>(u16(d, 10), 256);
                }
                break;
            case 0x00FD: // a shared string; one the table does not hold is no value
                if (d.size() >= 10 && u32(d, 6) < strings.size()) put(row, column, {CellKind::Text, strings[u32(d, 6)]});
                break;
            case 0x0204:
                if (d.size() >= 9) put(row, column, {CellKind::Text, recordText(d, 8, u16(d, 6))});
                break;
            case 0x0203:
                if (d.size() >= 14) {
                    double v;
                    std::memcpy(&v, d.data() + 6, 8);
                    put(row, column, numberCell(v, xf));
                }
                break;
            case 0x027E:
                if (d.size() >= 10) put(row, column, rkCell(u32(d, 6), xf));
                break;
            case 0x00BD: // several RK values of one row: format and value from the first column on
                for (std::size_t e = 4, c = column; e + 6 + 2 <= d.size() && c < 256; e += 6, ++c)
                    put(row, static_cast<std::uint16_t>(c), rkCell(u32(d, e + 2), u16(d, e)));
                break;
            case 0x0205: // a boolean or an error value (read as nothing)
                if (d.size() >= 8 && d[7] == 0) put(row, column, {CellKind::Boolean, d[6] ? "1" : "0"});
                break;
            case 0x0006: { // a formula: the result of its last calculation
                if (d.size() < 14) break;
                if (u16(d, 12) != 0xFFFF) {
                    double v;
                    std::memcpy(&v, d.data() + 6, 8);
                    put(row, column, numberCell(v, xf));
                    break;
                }
                switch (d[6]) {
                case 0: // a text, in the STRING record that follows
                    for (std::size_t s = k + 1; s < rs.size() && s <= k + 3; ++s)
                        if (rs[s].type == 0x0207) {
                            put(row, column, {CellKind::Text, recordText(rs[s].data, 2, u16(rs[s].data, 0))});
                            break;
                        }
                    break;
                case 1: put(row, column, {CellKind::Boolean, d[8] ? "1" : "0"}); break;
                case 3: put(row, column, {CellKind::Text, ""}); break;
                default: break; // an error value
                }
                break;
            }
            default: break;
            }
        }
        // Only the cells within the sheet's size count, each row as wide as the sheet.
        for (auto& [at, cell] : cells) {
            if (at.first >= grid.height || at.second >= grid.width) continue;
            auto& line = grid.rows[at.first];
            if (line.empty()) line.resize(static_cast<std::size_t>(grid.width));
            line[static_cast<std::size_t>(at.second)] = std::move(cell);
        }
        x.grids.emplace_back(sheet, std::move(grid));
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
        Book::Name n{name, static_cast<int>(u16(d, 8)) - 1, x.sheets[e[1]],
                     u16(d, formulaAt + 3), u16(d, formulaAt + 7) & 0xFF, u16(d, formulaAt + 5),
                     u16(d, formulaAt + 9) & 0xFF};
        if (n.sheet.empty()) continue;
        x.names.push_back(std::move(n));
    }
    return x;
}

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
    // A damaged container is refused with its reason first.
    if (const std::string fault = containerFault(bytes); !fault.empty())
        raiseProvider(kSource, "The file '" + path + "' is not an Excel workbook that can be read (" + fault + ").");
    const std::string stream = workbookStream(bytes);
    bytes.clear();
    if (u16(stream, 0) != 0x0809 || u16(stream, 4) != 0x0600)
        raiseProvider(kSource, "The file '" + path + "' is not an Excel workbook that can be read (neither "
                               "the .xls format of Excel 97 to 2003 nor the .xlsx format of later versions).");
    const Book book = readBook(stream);

    std::vector<Block> blocks;
    for (const auto& [name, grid] : book.grids)
        blocks.push_back(cutGrid(grid, name + "$", 0, 0, grid.height - 1, grid.width - 1));
    // The defined names: a sheet's own one is "Sheet$Name", as the later
    // format's are.
    std::set<std::string> taken;
    for (const Block& b : blocks) taken.insert(toLowerAscii(b.name));
    for (const Book::Name& n : book.names) {
        for (const auto& [sheet, grid] : book.grids) {
            if (sheet != n.sheet) continue;
            const bool local = n.localSheet >= 0 && static_cast<std::size_t>(n.localSheet) < book.sheets.size();
            std::string table = local ? book.sheets[static_cast<std::size_t>(n.localSheet)] + "$" + n.name : n.name;
            if (!taken.insert(toLowerAscii(table)).second) break;
            blocks.push_back(cutGrid(grid, std::move(table), n.r0, n.c0, n.r1, n.c1));
            break;
        }
    }
    return blocks;
}

} // namespace qz::ado::workbook
