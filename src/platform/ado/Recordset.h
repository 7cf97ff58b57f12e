// Client-side recordsets: every row is fetched when the recordset opens, so the
// recordset stays usable after its connection closes. Templates reach it by
// member name (Orders.Fields("Total").Value, Orders("Total"), Orders.EOF,
// Orders.MoveNext, For Each f In Orders.Fields); C++ callers use the same
// object through its typed members.
#pragma once

#include "platform/ado/AdoTypes.h"
#include "platform/automation/Dispatch.h"
#include "platform/automation/MemoryMeter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace qz::ado {

class Connection;
class Field;
class Fields;

class RecordsetData;

struct Column {
    std::string name;          // UTF-8
    std::u16string name16;     // as scripts compare it
    std::int32_t type = adVarWChar;
    std::int32_t definedSize = 0;
    std::int32_t precision = 0;
    std::int32_t numericScale = 0;
    bool floating = false;     // a Currency column that the driver gives as floating numbers
    // For a child-recordset column (adChapter): the child's columns, known
    // even when no row holds a child recordset.
    Ref<RecordsetData> chapter;
    Column() = default;
    Column(std::string n, std::int32_t t, std::int32_t size);
};

// One value of a row in sixteen bytes. Numbers, dates, booleans and Null are
// held as they are; a text is held as UTF-8 in the recordset's text store and
// becomes a String when it is read (a String costs two allocations, and most
// texts of a large recordset are read once or never); any other value (a
// child recordset, a byte array) is a Variant in the recordset's side list.
// Cells own nothing, so rows are copied and freed as plain memory; Cell{} is
// an Empty scalar. A Date read from a text of the common forms keeps the parts
// packedIsoDate gives (size kDateParts) and becomes a day number when it is
// read: the arithmetic is spent only on the dates a caller asks for.
struct Cell {
    enum Kind : std::uint8_t { kScalar, kText, kVariant };
    static constexpr std::uint32_t kDateParts = 1;
    union {
        std::int64_t i;
        double d;
        float f;
        const char* text;
        std::size_t index;
    } u;
    std::uint32_t size; // bytes of a text; for a Date, kDateParts or 0
    VarType type;
    Kind kind;
};
static_assert(sizeof(Cell) == 16 && std::is_trivial_v<Cell>);

// The rows and the position, shared by the recordset and its field objects
// (a script may keep a Field after it dropped the recordset).
class RecordsetData final : public RefCounted {
public:
    std::vector<Column> columns;
    std::size_t rowCount = 0;
    std::int64_t pos = 0;       // -1 before the first row, rowCount after the last
    bool open = false;

    bool eof() const { return rowCount == 0 || pos >= static_cast<std::int64_t>(rowCount); }
    bool bof() const { return rowCount == 0 || pos < 0; }

    // Appends one row of Empty values for the caller to fill with set,
    // setString or setText. The pointer stays valid until the next addRow.
    Cell* addRow() {
        const std::size_t n = columns.size();
        ++rowCount;
        if (n == 0) return nullptr; // rows without columns hold nothing
        if (lastUsed_ + n > lastSize_) growRows();
        Cell* r = blocks_.back().get() + lastUsed_;
        std::fill_n(r, n, Cell{});
        lastUsed_ += n;
        return r;
    }
    Cell* row(std::size_t r) { return blocks_[r >> rowShift_].get() + (r & rowMask_) * columns.size(); }
    const Cell* row(std::size_t r) const {
        return blocks_[r >> rowShift_].get() + (r & rowMask_) * columns.size();
    }
    void clearRows();
    // Rows read on another thread count on this one from now on.
    void countHere() noexcept { tally_.moveHere(); }

    void set(Cell& cell, Variant v);
    // A String, kept as UTF-8 until it is read. A text that fits the current
    // text block (the common case of a fetch) is copied in here.
    void setString(Cell& cell, std::string_view utf8) {
        if (utf8.size() - 1 >= textLeft_) return setStringElsewhere(cell, utf8); // empty, or no room
        cell.kind = Cell::kText;
        cell.type = VarType::String;
        cell.size = static_cast<std::uint32_t>(utf8.size());
        cell.u.text = textFree_;
        std::memcpy(textFree_, utf8.data(), utf8.size());
        textFree_ += utf8.size();
        textLeft_ -= utf8.size();
    }
    // A text converted to the subtype of a field type as valueFromText does;
    // one that does not fit the type is kept as a String. False when the text
    // is a number beyond the range of a Currency column (it is then kept as
    // a Double): the caller decides whether that is an error.
    bool setText(Cell& cell, std::string_view text, std::int32_t type);

    Variant value(const Cell& cell) const;
    Variant value(std::size_t r, std::size_t col) const { return value(row(r)[col]); }
    // The value of a column in the current row (3021 at BOF or EOF). This is
    // what a template's loop asks for on every row: it stays inline.
    Variant current(std::size_t col) const {
        if (!open || static_cast<std::uint64_t>(pos) >= rowCount) [[unlikely]] noCurrentRecord();
        const Cell& cell = row(static_cast<std::size_t>(pos))[col];
        return cell.kind == Cell::kText ? currentText(cell, col) : value(cell);
    }
    // Moves to the next row (the caller checked eof). A template's loop
    // reads the fields of each row soon after it moves there, and rows lie
    // far from the script's own data: the row after the new one, and the
    // texts of the new one, are fetched into the cache ahead.
    void moveNext() {
        const auto p = static_cast<std::size_t>(++pos);
        if (columns.empty()) return; // rows without columns hold nothing
        if (p + 1 < rowCount) {
            const Cell* next = row(p + 1);
            __builtin_prefetch(next);
            __builtin_prefetch(next + columns.size() - 1);
        }
        if (p < rowCount)
            for (const Cell *c = row(p), *end = c + columns.size(); c != end; ++c)
                if (c->kind == Cell::kText) __builtin_prefetch(c->u.text);
    }
    // Index of a column by name without regard to case, or -1.
    std::int64_t find(std::u16string_view name) const;

private:
    [[noreturn]] void noCurrentRecord() const;
    Variant currentText(const Cell& cell, std::size_t col) const;
    void setStringElsewhere(Cell& cell, std::string_view utf8);
    const char* storeText(std::string_view text);
    void growRows();
    void keep(Cell& cell, Variant v); // in the side list

    // Rows live in blocks of 2^rowShift_ rows (about 64 KB each), so that a
    // large fetch neither copies its rows as it grows nor asks the system for
    // fresh pages; the first block grows from a few rows, so that a small
    // recordset stays small.
    std::vector<std::unique_ptr<Cell[]>> blocks_;
    std::size_t lastUsed_ = 0; // cells in use and allocated in the last block
    std::size_t lastSize_ = 0;
    unsigned rowShift_ = 0;
    std::size_t rowMask_ = 0;
    // Texts, packed one after the other in blocks that never move.
    std::vector<std::unique_ptr<char[]>> textBlocks_;
    char* textFree_ = nullptr;
    std::size_t textLeft_ = 0;
    std::size_t textBlockSize_ = 0;
    std::vector<Variant> variants_;
    // What the row and text blocks take, counted against the memory ceiling
    // before each block is allocated.
    memory::Tally tally_;
    std::int64_t blockBytes_ = 0;
    void countBlock(std::int64_t bytes);
    // The last String read from each column, and the cell it was read from.
    // A script reads a text field, uses it and lets it go before the next
    // row: when nothing else holds the String any more, the next row's text
    // is written into it, so that the loop neither allocates nor frees. The
    // same cell read again (a template tests a field for Null before it
    // prints it) gives the same String without converting the text again: a
    // String is changed in place only by its one holder, and a row does not
    // change once it is read.
    struct LastText {
        Variant text;
        const Cell* cell = nullptr;
    };
    mutable std::vector<LastText> texts_;
};

class Recordset final : public Dispatch {
public:
    Recordset();
    ~Recordset() override;

    // Opens the recordset over rows a provider has read (it stays closed when
    // they have no columns); connection, when given, is the one that read
    // them, which ActiveConnection then gives back.
    void attach(Ref<RecordsetData> data, std::u16string source = {}, Ref<Dispatch> connection = {});

    // The ADO Open: source text, active connection (a Connection object or a
    // connection string), cursor type, lock type, options (256: a saved file).
    void open(const Variant& source, const Variant& activeConnection, std::int32_t options);
    void close();

    bool isOpen() const { return data_ && data_->open; }
    std::int32_t state() const { return isOpen() ? adStateOpen : adStateClosed; }
    bool eof() const;
    bool bof() const;
    std::int64_t recordCount() const;
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();
    void move(std::int64_t n);
    std::size_t fieldCount() const;
    const Column& column(std::size_t i) const;
    // The value in the current row (3021 at BOF/EOF, 3265 for no such field).
    Variant value(std::size_t col) const;
    Variant value(std::u16string_view name) const;
    RecordsetData* data() const { return data_.get(); }

    // Automation
    std::int32_t memberId(std::u16string_view name) override;
    Variant invoke(std::int32_t memberId, std::uint8_t kind, std::span<Variant> args) override;
    std::u16string typeName() const override { return u"Recordset"; }
    bool pureGet(std::int32_t memberId) const override;

    Ref<Fields> fields();

private:
    void requireOpen() const;
    Fields& fieldsOf();
    Variant invokeMember(std::int32_t memberId, std::uint8_t kind, std::span<Variant> args);

    Ref<RecordsetData> data_;
    Ref<Fields> fields_;
    Ref<Dispatch> activeConnection_;
    Variant activeConnectionArg_; // as last set: a Connection or a connection string
    std::u16string source_;
    std::int32_t cursorLocation_ = 2;
    std::int32_t cursorType_ = 0;
    std::int32_t lockType_ = 1;
};

class Field final : public Dispatch {
public:
    Field(Ref<RecordsetData> data, std::size_t index) : data_(std::move(data)), index_(index) {}
    const Column& column() const { return data_->columns[index_]; }
    Variant value() const { return data_->current(index_); }

    std::int32_t memberId(std::u16string_view name) override;
    Variant invoke(std::int32_t memberId, std::uint8_t kind, std::span<Variant> args) override;
    std::u16string typeName() const override { return u"Field"; }
    bool pureGet(std::int32_t memberId) const override;

private:
    Variant invokeMember(std::int32_t memberId, std::uint8_t kind);

    Ref<RecordsetData> data_;
    std::size_t index_;
};

class Fields final : public Dispatch {
public:
    explicit Fields(Ref<RecordsetData> data);
    std::size_t count() const { return items_.size(); }
    // By position (a number) or by name (a text), 3265 when there is none.
    Ref<Field> item(const Variant& index);
    Field& find(const Variant& index) { return fieldOf(entry(index)); }
    // The same Field as the object Variant a call returns.
    const Variant& entry(const Variant& index);
    Ref<Field> at(std::size_t i) { return Ref<Field>(&fieldOf(items_.at(i))); }

    std::int32_t memberId(std::u16string_view name) override;
    Variant invoke(std::int32_t memberId, std::uint8_t kind, std::span<Variant> args) override;
    std::u16string typeName() const override { return u"Fields"; }
    bool pureGet(std::int32_t memberId) const override;
    Ref<Enumerator> newEnum() override;

private:
    static Field& fieldOf(const Variant& item) { return *static_cast<Field*>(item.objectValue()); }
    const Variant& entryByName(const Variant& name, std::size_t slot);
    const Variant& entryOther(const Variant& index);

    Ref<RecordsetData> data_;
    // The fields as object Variants: a call hands out a copy of one, which
    // costs one reference.
    std::vector<Variant> items_;
    // Names a script passed lately, known by the address of their text (see
    // entry): open addressing over a power-of-two table.
    struct NameHit {
        const char16_t* key = nullptr;
        const Variant* item = nullptr;
        Variant text; // holds the text, so that its address stays its own
    };
    std::vector<NameHit> hits_;
    std::size_t hitMask_ = 0;
    unsigned hitShift_ = 0; // 64 less the bits of a slot number
};

// Reads a recordset saved in the XML persistence format (schema, rows and
// nested rows of child recordsets) from a file or from a text.
Ref<Recordset> loadSavedRecordset(const std::string& path);
Ref<Recordset> parseSavedRecordset(std::string_view xml, std::string_view sourceName);

} // namespace qz::ado
