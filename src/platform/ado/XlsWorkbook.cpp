// Workbooks of Excel 97 to 2003 (.xls), read from the records of the
// compound file's workbook stream: the worksheets' cells (shared and inline
// texts, numbers, dates by their cells' number formats, booleans, and the
// results that formula cells keep of their last calculation) and the defined
// names, each of one block of cells a table as in the later format. Every
// part of the file is read once, in time linear in its size, with the
// deadline heard as it goes; what is kept counts against the memory ceiling.
#include "platform/ado/AdoTypes.h"
#include "platform/ado/Workbook.h"
#include "platform/automation/Text.h"
#include "platform/system/Deadline.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>

namespace qz::ado::workbook {

namespace {

constexpr const char* kSource = "Jet";
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu, kFree = 0xFFFFFFFFu;

std::uint16_t u16(std::string_view b, std::size_t at) {
    return at + 2 <= b.size() ? static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                                           static_cast<unsigned char>(b[at + 1]) << 8)
                              : 0;
}
std::uint32_t u32(std::string_view b, std::size_t at) {
    return at + 4 <= b.size() ? static_cast<std::uint32_t>(u16(b, at)) | static_cast<std::uint32_t>(u16(b, at + 2)) << 16
                              : 0;
}

// Hears the deadline at the first step of a loop over the file and every
// 4096 steps after.
class Ticker {
public:
    void tick() {
        if ((steps_++ & 0xFFF) == 0 && sys::deadlinePassed()) raiseTimeout(kSource);
    }

private:
    unsigned steps_ = 0;
};

// What in a compound file no writer makes and that a reader would have to
// guess past: the reason, raised as the file's fault.
struct Fault {
    std::string why;
};

// The streams of a compound file that the workbook's reader needs. Sector n
// lies at (n + 1) sector sizes: the header takes the first sector, of which
// it uses 512 bytes when sectors are 4096 bytes. The allocation table is
// made of the sectors the header and its extension chain list, each listed
// once; every chain is followed once, must stay within the file and must not
// go round in a loop.
class CompoundFile {
public:
    explicit CompoundFile(std::string_view f) : f_(f) {}

    // Whether the bytes are a compound file at all.
    bool isOne() const { return f_.size() >= 512 && u32(f_, 0) == 0xE011CFD0u && u32(f_, 4) == 0xE11AB1A1u; }

    // The stream named "Workbook" (or "Book"), "" when there is none;
    // `encrypted` tells whether the file is a later version's workbook
    // protected by a password (its package encrypted in a stream).
    std::string workbook(bool& encrypted) {
        const unsigned shift = u16(f_, 0x1E);
        if (shift != 9 && shift != 12)
            throw Fault{"its sectors are of " + std::to_string(shift < 32 ? std::uint64_t{1} << shift : 0) +
                        " bytes, where the format has 512 or 4096"};
        size_ = std::size_t{1} << shift;
        readAllocationTable();
        const std::string dir = readChain(u32(f_, 0x30), fat_, size_, f_, size_, "its directory", kNoLength);
        std::uint32_t rootStart = kEndOfChain, rootLength = 0, start = kEndOfChain, length = 0;
        bool found = false;
        encrypted = false;
        for (std::size_t e = 0; e + 128 <= dir.size(); e += 128) {
            ticker_.tick();
            const int type = static_cast<unsigned char>(dir[e + 0x42]);
            if (type == 0) continue;  // an unused entry
            const std::size_t nameBytes = u16(dir, e + 0x40);
            if (nameBytes > 64)
                throw Fault{"entry " + std::to_string(e / 128 + 1) + " of its directory gives a name of " +
                            std::to_string(nameBytes) + " bytes, where at most 64 fit"};
            std::u16string name;
            for (std::size_t k = 0; k + 1 < nameBytes && u16(dir, e + k) != 0; k += 2)
                name += static_cast<char16_t>(u16(dir, e + k));
            if (e == 0) {
                if (type != 5) throw Fault{"its directory does not begin with the root entry"};
                rootStart = u32(dir, e + 0x74);
                rootLength = u32(dir, e + 0x78);
            } else if (type == 2 && !found && (equalsNoCase(name, u"Workbook") || equalsNoCase(name, u"Book"))) {
                start = u32(dir, e + 0x74);
                length = u32(dir, e + 0x78);
                found = true;
            } else if (type == 2 && equalsNoCase(name, u"EncryptedPackage")) {
                encrypted = true;
            }
        }
        if (!found) return {};
        // A stream shorter than the cut-off lives in the root entry's mini
        // stream, by the mini allocation table.
        if (length >= u32(f_, 0x38) || u32(f_, 0x40) == 0)
            return readChain(start, fat_, size_, f_, size_, "its workbook stream", length);
        const std::string root = readChain(rootStart, fat_, size_, f_, size_, "the mini stream of its root entry", rootLength);
        if (root.size() < rootLength)
            throw Fault{"its root entry gives its mini stream " + std::to_string(rootLength) +
                        " bytes, more than its sectors hold"};
        const std::string table = readChain(u32(f_, 0x3C), fat_, size_, f_, size_, "its mini allocation table", kNoLength);
        std::vector<std::uint32_t> miniFat(table.size() / 4);
        for (std::size_t i = 0; i < miniFat.size(); ++i) miniFat[i] = u32(table, i * 4);
        return readChain(start, miniFat, 64, root, 0, "its workbook stream", length);
    }

private:
    static constexpr std::size_t kNoLength = static_cast<std::size_t>(-1);

    // The position of a sector the file holds whole.
    std::optional<std::size_t> sectorAt(std::uint32_t s) const {
        const std::size_t at = (static_cast<std::size_t>(s) + 1) * size_;
        if (at > f_.size() || f_.size() - at < size_) return std::nullopt;
        return at;
    }

    void addFatSector(std::uint32_t s) {
        const auto at = sectorAt(s);
        if (!at) throw Fault{"its allocation table lists sector " + std::to_string(s) + ", which the file does not hold"};
        if (!listed_.insert(s).second)
            throw Fault{"its allocation table lists sector " + std::to_string(s) + " more than once"};
        for (std::size_t k = 0; k < size_ / 4; ++k) fat_.push_back(u32(f_, *at + k * 4));
    }

    void readAllocationTable() {
        for (std::size_t k = 0; k < 109; ++k)
            if (const std::uint32_t s = u32(f_, 0x4C + k * 4); s != kFree) addFatSector(s);
        std::set<std::uint32_t> seen;
        std::uint32_t next = u32(f_, 0x44);
        for (std::uint32_t read = 0, blocks = u32(f_, 0x48); read < blocks && next != kEndOfChain; ++read) {
            ticker_.tick();
            const auto at = sectorAt(next);
            if (!at) throw Fault{"the chain of its allocation table's sectors leaves the file"};
            if (!seen.insert(next).second) throw Fault{"the chain of its allocation table's sectors goes round in a loop"};
            for (std::size_t k = 0; k + 1 < size_ / 4; ++k)
                if (const std::uint32_t v = u32(f_, *at + k * 4); v != kFree) addFatSector(v);
            next = u32(f_, *at + size_ - 4);
        }
    }

    // The bytes of a chain of `unit`-byte sectors of `from` (the file, its
    // sectors after the header's `base` bytes, or the mini stream), up to
    // `length` bytes or to the chain's end.
    std::string readChain(std::uint32_t s, const std::vector<std::uint32_t>& table, std::size_t unit,
                          std::string_view from, std::size_t base, const std::string& what, std::size_t length) {
        std::string out;
        std::vector<bool> seen(table.size());
        while (s != kEndOfChain && out.size() < length) {
            ticker_.tick();
            const std::size_t at = base + static_cast<std::size_t>(s) * unit;
            if (s >= table.size() || at > from.size() || from.size() - at < unit)
                throw Fault{"the chain of sectors of " + what + " leaves the file"};
            if (seen[s]) throw Fault{"the chain of sectors of " + what + " goes round in a loop"};
            seen[s] = true;
            out.append(from.substr(at, unit));
            s = table[s];
        }
        if (out.size() > length) out.resize(length);
        return out;
    }

    std::string_view f_;
    std::size_t size_ = 512;
    std::vector<std::uint32_t> fat_;
    std::set<std::uint32_t> listed_;
    Ticker ticker_;
};

// A text of the records: `count` characters, one byte each or (flag 1)
// two, after the flags byte at `at`.
std::string recordText(std::string_view r, std::size_t at, std::size_t count) {
    if (at >= r.size()) return {};
    const bool wide = r[at] & 1;
    std::u16string s;
    for (std::size_t k = 0, p = at + 1; k < count && p + (wide ? 2 : 1) <= r.size(); ++k, p += wide ? 2 : 1)
        s += wide ? static_cast<char16_t>(u16(r, p)) : static_cast<char16_t>(static_cast<unsigned char>(r[p]));
    return toUtf8(s);
}

struct Record {
    std::uint16_t type = 0;
    std::string_view data;
};

// The records of the stream from one position to another, one at a time.
class Records {
public:
    Records(std::string_view stream, std::size_t from, std::size_t to)
        : s_(stream.substr(0, std::min(to, stream.size()))), p_(from) {}
    bool next(Record& r) {
        ticker_.tick();
        if (p_ + 4 > s_.size()) return false;
        const std::size_t len = u16(s_, p_ + 2);
        if (p_ + 4 + len > s_.size()) return false;
        r = {u16(s_, p_), s_.substr(p_ + 4, len)};
        p_ += 4 + len;
        return true;
    }
    std::uint16_t peekType() const { return p_ + 4 <= s_.size() ? u16(s_, p_) : 0; }

private:
    std::string_view s_;
    std::size_t p_;
    Ticker ticker_;
};

// The shared strings: the SST record's data and that of the CONTINUE
// records after it, read as one run of bytes, except that a string's
// characters cut by the end of a record go on after a new flags byte (one
// byte or two a character). The formatting runs and the phonetic block of a
// string are skipped by the counts its header gives. Reading stops at the
// first string the records do not hold whole.
class SharedStrings {
public:
    explicit SharedStrings(std::vector<std::string_view> parts) : parts_(std::move(parts)) {}

    void read(Contents& book) {
        std::uint32_t total = 0, unique = 0;
        if (!number(total, 4) || !number(unique, 4)) return;
        Ticker ticker;
        for (std::uint32_t i = 0; i < unique; ++i) {
            ticker.tick();
            std::uint32_t count = 0, runs = 0, phonetic = 0;
            unsigned char flags = 0;
            if (!number(count, 2) || !byte(flags)) break;
            if ((flags & 0x08) && !number(runs, 2)) break;
            if ((flags & 0x04) && !number(phonetic, 4)) break;
            std::u16string text;
            if (!characters(count, flags & 1, text) || !skip(std::uint64_t{runs} * 4 + phonetic)) break;
            book.addString(toUtf8(text));
        }
    }

private:
    bool atEnd() {
        while (part_ < parts_.size() && at_ >= parts_[part_].size()) {
            ++part_;
            at_ = 0;
        }
        return part_ >= parts_.size();
    }
    bool byte(unsigned char& b) {
        if (atEnd()) return false;
        b = static_cast<unsigned char>(parts_[part_][at_++]);
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
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, parts_[part_].size() - at_));
            at_ += take;
            n -= take;
        }
        return true;
    }
    bool characters(std::uint32_t count, bool wide, std::u16string& text) {
        for (std::uint32_t k = 0; k < count; ++k) {
            if (part_ >= parts_.size()) return false;
            if (at_ >= parts_[part_].size()) { // cut here: the next record starts with new flags
                if (++part_ >= parts_.size() || parts_[part_].empty()) return false;
                wide = parts_[part_][0] & 1;
                at_ = 1;
            }
            const std::string_view p = parts_[part_];
            if (wide && at_ + 2 > p.size()) return false;
            text += wide ? static_cast<char16_t>(u16(p, at_)) : static_cast<char16_t>(static_cast<unsigned char>(p[at_]));
            at_ += wide ? 2 : 1;
        }
        return true;
    }

    std::vector<std::string_view> parts_;
    std::size_t part_ = 0, at_ = 0;
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

// A sheet as the workbook's globals list it.
struct SheetEntry {
    std::uint32_t start = 0;
    std::string name;
    bool worksheet = false;
};

// What the workbook's globals say: number formats, sheets, the references
// of defined names and the names themselves.
struct Globals {
    std::map<std::uint16_t, std::string> formats;
    std::vector<std::uint16_t> xfFormats;
    std::vector<SheetEntry> sheets;
    std::vector<std::array<std::uint16_t, 3>> externSheets; // supporting book, first and last sheet
    std::vector<bool> selfBook;
    std::vector<std::string_view> names;
    bool date1904 = false;
    bool protectedByPassword = false;
};

Globals readGlobals(std::string_view stream, Contents& book) {
    Globals g;
    Records rs(stream, 0, stream.size());
    for (Record r; rs.next(r) && r.type != 0x000A;) {  // to the globals' EOF
        const std::string_view d = r.data;
        switch (r.type) {
        case 0x002F: g.protectedByPassword = true; return g;  // FILEPASS: the rest is encrypted
        case 0x0022: g.date1904 = u16(d, 0) == 1; break;
        case 0x041E: g.formats[u16(d, 0)] = recordText(d, 4, u16(d, 2)); break;
        case 0x00E0: g.xfFormats.push_back(u16(d, 2)); break;
        case 0x0085:
            // Worksheets only hold cells: charts and macro sheets do not.
            g.sheets.push_back({u32(d, 0), recordText(d, 7, d.size() > 7 ? static_cast<unsigned char>(d[6]) : 0),
                                d.size() > 7 && static_cast<unsigned char>(d[5]) == 0});
            break;
        case 0x01AE: g.selfBook.push_back(d.size() == 4 && u16(d, 2) == 0x0401); break;
        case 0x0017:
            for (std::size_t k = 0, n = u16(d, 0); k < n && 2 + k * 6 + 6 <= d.size(); ++k)
                g.externSheets.push_back({u16(d, 2 + k * 6), u16(d, 4 + k * 6), u16(d, 6 + k * 6)});
            break;
        case 0x0018: g.names.push_back(d); break;
        case 0x00FC: {
            std::vector<std::string_view> parts{d};
            for (Record c; rs.peekType() == 0x003C && rs.next(c);) parts.push_back(c.data);
            SharedStrings(std::move(parts)).read(book);
            break;
        }
        default: break;
        }
    }
    return g;
}

// Where a worksheet's cells are kept, and its size.
struct SheetPlace {
    std::size_t cells = static_cast<std::size_t>(-1);
    int height = 0, width = 0;
};

// The cells of one worksheet's records, from its BOF to its EOF or to where
// the next sheet begins; only the cells within the sheet's size count.
// Gives the sheet's size.
void readSheet(std::string_view stream, std::size_t from, std::size_t to, const Globals& g,
               Contents& book, SheetPlace& place) {
    SheetCells& out = book.sheets[place.cells];
    auto isDateXf = [&](std::uint16_t xf) { return xf < g.xfFormats.size() && isDateNumberFormat(g.xfFormats[xf], g.formats); };
    // A number, a date when the cell's format shows one.
    auto numberCell = [&](double v, std::uint16_t xf) -> Cell {
        if (!std::isfinite(v)) return {};
        const double ole = g.date1904 ? v + 1462 : v;
        if (isDateXf(xf) && ole >= -657434 && ole < 2958466) return {CellKind::Date, -1, isoFromOleDate(ole)};
        return {CellKind::Number, -1, numberText(v)};
    };
    auto rkCell = [&](std::uint32_t rk, std::uint16_t xf) -> Cell {
        if ((rk & 3) == 2 && !isDateXf(xf)) return {CellKind::Number, -1, std::to_string(static_cast<std::int32_t>(rk) >> 2)};
        return numberCell(rkNumber(rk), xf);
    };
    int& height = place.height;
    int& width = place.width;
    auto put = [&](std::uint16_t row, std::uint16_t column, Cell cell) {
        if (row < height && column < width) book.put(out, row, column, std::move(cell));
    };
    auto number = [](std::string_view d) {
        double v;
        std::memcpy(&v, d.data() + 6, 8);
        return v;
    };
    // A formula's text result is in the STRING record that follows it.
    int pendingRow = -1, pendingColumn = 0, pendingFor = 0;
    Records rs(stream, from, to);
    for (Record r; rs.next(r) && r.type != 0x000A;) {
        const std::string_view d = r.data;
        const std::uint16_t row = u16(d, 0), column = u16(d, 2), xf = u16(d, 4);
        if (pendingRow >= 0 && r.type == 0x0207) {
            put(static_cast<std::uint16_t>(pendingRow), static_cast<std::uint16_t>(pendingColumn),
                {CellKind::Text, -1, recordText(d, 2, u16(d, 0))});
            pendingRow = -1;
        } else if (pendingRow >= 0 && --pendingFor == 0) {
            pendingRow = -1;
        }
        switch (r.type) {
        case 0x0200: // the sheet's size: one past its last row and column
            if (d.size() >= 14) {
                height = static_cast<int>(std::min<std::uint32_t>(u32(d, 4), 65536));
                width = std::min<int>(u16(d, 10), 256);
            }
            break;
        case 0x00FD: // a shared string; one the table does not hold is no value
            if (d.size() >= 10 && u32(d, 6) < book.strings.size())
                put(row, column, {CellKind::Text, static_cast<std::int32_t>(u32(d, 6)), {}});
            break;
        case 0x0204:
            if (d.size() >= 9) put(row, column, {CellKind::Text, -1, recordText(d, 8, u16(d, 6))});
            break;
        case 0x0203:
            if (d.size() >= 14) put(row, column, numberCell(number(d), xf));
            break;
        case 0x027E:
            if (d.size() >= 10) put(row, column, rkCell(u32(d, 6), xf));
            break;
        case 0x00BD: // several RK values of one row: format and value from the first column on
            for (std::size_t e = 4, c = column; e + 6 + 2 <= d.size() && c < 256; e += 6, ++c)
                put(row, static_cast<std::uint16_t>(c), rkCell(u32(d, e + 2), u16(d, e)));
            break;
        case 0x0205: // a boolean or an error value (read as nothing)
            if (d.size() >= 8 && d[7] == 0) put(row, column, {CellKind::Boolean, -1, d[6] ? "1" : "0"});
            break;
        case 0x0006: // a formula: the result of its last calculation
            if (d.size() < 14) break;
            if (u16(d, 12) != 0xFFFF) put(row, column, numberCell(number(d), xf));
            else if (d[6] == 0) pendingRow = row, pendingColumn = column, pendingFor = 3;
            else if (d[6] == 1) put(row, column, {CellKind::Boolean, -1, d[8] ? "1" : "0"});
            else if (d[6] == 3) put(row, column, {CellKind::Text, -1, ""});
            break;  // otherwise an error value
        default: break;
        }
    }
    if (width > 0) out.lastColumn = std::max(out.lastColumn, width - 1);
}

// A table of each worksheet, every sheet read once however many sheets the
// globals place at its position, and only as far as the next sheet begins.
// Returns where each sheet, by position, is kept.
std::vector<SheetPlace> readSheets(std::string_view stream, const Globals& g, Contents& book) {
    std::vector<std::uint32_t> starts;
    for (const SheetEntry& s : g.sheets) starts.push_back(s.start);
    std::sort(starts.begin(), starts.end());
    std::map<std::uint32_t, SheetPlace> read;  // by position in the stream
    std::vector<SheetPlace> out(g.sheets.size());
    std::set<std::string> names;
    for (std::size_t i = 0; i < g.sheets.size(); ++i) {
        const SheetEntry& s = g.sheets[i];
        if (!names.insert(toLowerAscii(s.name)).second)
            raiseProvider(kSource, "The workbook '" + book.path() + "' is damaged and cannot be read (two sheets are named '" +
                                       s.name + "').");
        if (!s.worksheet) continue;
        auto [it, added] = read.try_emplace(s.start);
        SheetPlace& place = it->second;
        if (added) {
            if (u16(stream, s.start) != 0x0809)
                raiseProvider(kSource, "The workbook '" + book.path() + "' is damaged and cannot be read (its sheet '" +
                                           s.name + "' does not begin where the workbook says).");
            const auto next = std::upper_bound(starts.begin(), starts.end(), s.start);
            place.cells = book.sheets.size();
            book.sheets.emplace_back();
            readSheet(stream, s.start, next == starts.end() ? stream.size() : *next, g, book, place);
        }
        out[i] = place;
        book.tables.push_back({s.name + "$", place.cells, 0, 0, place.height - 1, place.width - 1});
    }
    return out;
}

// Defined names of one area of one sheet (the token of a 3-D area); a
// sheet's own one is "Sheet$Name", as the later format's are.
void readNames(const Globals& g, const std::vector<SheetPlace>& sheets, Contents& book) {
    std::set<std::string> taken;
    for (const TableArea& t : book.tables) taken.insert(toLowerAscii(t.name));
    for (const std::string_view d : g.names) {
        if (d.size() < 15 || (u16(d, 0) & 0x0020)) continue; // built-in names: print areas, filters
        const std::size_t nameLength = static_cast<unsigned char>(d[3]);
        const std::size_t formulaAt = 14 + 1 + nameLength * ((d[14] & 1) ? 2 : 1);
        const std::string name = recordText(d, 14, nameLength);
        if (name.empty() || formulaAt + 11 > d.size() || u16(d, 4) != 11) continue;
        const unsigned char token = static_cast<unsigned char>(d[formulaAt]);
        if (token != 0x3B && token != 0x5B && token != 0x7B) continue;
        const std::uint16_t ixti = u16(d, formulaAt + 1);
        if (ixti >= g.externSheets.size()) continue;
        const auto& e = g.externSheets[ixti];
        if (e[0] >= g.selfBook.size() || !g.selfBook[e[0]] || e[1] != e[2] || e[1] >= sheets.size()) continue;
        const SheetPlace& sheet = sheets[e[1]];
        if (sheet.cells == static_cast<std::size_t>(-1)) continue;
        const std::size_t local = u16(d, 8);  // counted from 1; 0 for a name of the workbook
        std::string table = local > 0 && local <= g.sheets.size() ? g.sheets[local - 1].name + "$" + name : name;
        if (!taken.insert(toLowerAscii(table)).second) continue;
        book.tables.push_back({std::move(table), sheet.cells, u16(d, formulaAt + 3), u16(d, formulaAt + 7) & 0xFF,
                               std::min<int>(u16(d, formulaAt + 5), sheet.height - 1),
                               std::min<int>(u16(d, formulaAt + 9) & 0xFF, sheet.width - 1)});
    }
}

[[noreturn]] void raiseProtected(const std::string& path) {
    raiseProvider(kSource, "The workbook '" + path + "' is protected by a password and cannot be read; save it "
                           "without a password to read it.");
}

// The workbook stream of the file, read whole once its size is known to fit
// within the memory ceiling, the file and the stream counted while held.
std::string workbookStream(const std::string& path, Contents& book) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::is_regular_file(path, ec) ? std::filesystem::file_size(path, ec) : 0;
    const std::int64_t bytes = ec ? 0 : static_cast<std::int64_t>(size);
    if (memory::wouldPass(2 * bytes))
        raiseOutOfMemory(kSource, "the workbook '" + path + "' (" + std::to_string(bytes >> 20) + " MB)");
    book.hold(bytes);
    std::string f(static_cast<std::size_t>(bytes), '\0');
    std::ifstream(path, std::ios::binary).read(f.data(), bytes);
    std::string stream;
    bool encrypted = false;
    CompoundFile file(f);
    try {
        if (file.isOne()) stream = file.workbook(encrypted);
    } catch (const Fault& fault) {
        raiseProvider(kSource, "The file '" + path + "' is not an Excel workbook that can be read (" + fault.why + ").");
    }
    if (encrypted && stream.empty()) raiseProtected(path);
    book.hold(static_cast<std::int64_t>(stream.size()));
    book.release(bytes);
    return stream;
}

} // namespace

std::unique_ptr<Contents> readXls(const std::string& path) {
    auto book = std::make_unique<Contents>(path);
    const std::string stream = workbookStream(path, *book);
    if (u16(stream, 0) != 0x0809 || u16(stream, 4) != 0x0600)
        raiseProvider(kSource, "The file '" + path + "' is not an Excel workbook that can be read (neither "
                               "the .xls format of Excel 97 to 2003 nor the .xlsx format of later versions).");
    const Globals globals = readGlobals(stream, *book);
    if (globals.protectedByPassword) raiseProtected(path);
    const auto sheets = readSheets(stream, globals, *book);
    if (book->tables.empty())
        raiseProvider(kSource, "The workbook '" + path + "' holds no worksheet, so it has no table to read.");
    readNames(globals, sheets, *book);
    book->release(static_cast<std::int64_t>(stream.size()));
    return book;
}

} // namespace qz::ado::workbook
