#include "platform/ado/Recordset.h"

#include "platform/ado/Connection.h"
#include "platform/ado/ConnectionString.h"
#include "platform/ado/Members.h"

#include <algorithm>
#include <cstring>

namespace qz::ado {

void raiseNotSupported(std::string_view source) {
    throw AutomationError(438, std::string(source), "Object doesn't support this property or method");
}

Column::Column(std::string n, std::int32_t t, std::int32_t size)
    : name(std::move(n)), type(t), definedSize(size) {
    name16 = Variant::fromUtf8(name).stringValue();
}

namespace {

constexpr std::size_t kBlockCells = 4096;     // 64 KB of cells
constexpr std::size_t kFirstBlockRows = 2;
constexpr std::size_t kTextBlock = 64 * 1024;
constexpr std::size_t kFirstTextBlock = 64;

bool wellFormedUtf16(std::u16string_view w) {
    for (std::size_t i = 0; i < w.size(); ++i) {
        const char16_t c = w[i];
        if (c < 0xD800 || c > 0xDFFF) continue;
        if (c > 0xDBFF || i + 1 == w.size() || w[i + 1] < 0xDC00 || w[i + 1] > 0xDFFF) return false;
        ++i;
    }
    return true;
}

} // namespace

void RecordsetData::growRows() {
    const std::size_t n = columns.size();
    if (blocks_.empty()) {
        // Rows per block: a power of two, so that a row is found by a shift.
        rowShift_ = 0;
        while ((std::size_t{2} << rowShift_) * n <= kBlockCells) ++rowShift_;
        rowMask_ = (std::size_t{1} << rowShift_) - 1;
    }
    const std::size_t full = (rowMask_ + 1) * n;
    texts_.clear(); // cells are about to move or to be reused
    if (blocks_.size() == 1 && lastSize_ < full) {
        // The first block grows by doubling (to exactly a full block, both
        // being powers of two rows).
        countBlock(static_cast<std::int64_t>(lastSize_ * sizeof(Cell)));
        auto bigger = std::make_unique_for_overwrite<Cell[]>(lastSize_ * 2);
        std::copy_n(blocks_[0].get(), lastUsed_, bigger.get());
        blocks_[0] = std::move(bigger);
        lastSize_ *= 2;
        return;
    }
    lastSize_ = blocks_.empty() ? std::min(rowMask_ + 1, kFirstBlockRows) * n : full;
    countBlock(static_cast<std::int64_t>(lastSize_ * sizeof(Cell)));
    blocks_.push_back(std::make_unique_for_overwrite<Cell[]>(lastSize_));
    lastUsed_ = 0;
}

void RecordsetData::countBlock(std::int64_t bytes) {
    reserveLoad(bytes, "ADODB.Recordset", "the rows of a recordset");
    blockBytes_ += bytes;
    tally_.set(blockBytes_);
}

void RecordsetData::clearRows() {
    blockBytes_ = 0;
    tally_.set(0);
    blocks_.clear();
    lastUsed_ = 0;
    lastSize_ = 0;
    textBlocks_.clear();
    textFree_ = nullptr;
    textLeft_ = 0;
    textBlockSize_ = 0;
    variants_.clear();
    texts_.clear();
    rowCount = 0;
}

const char* RecordsetData::storeText(std::string_view text) {
    if (text.size() > textLeft_) {
        // A long text gets a block of its own; the current one stays in use.
        if (text.size() >= kTextBlock / 4) {
            countBlock(static_cast<std::int64_t>(text.size()));
            textBlocks_.push_back(std::make_unique_for_overwrite<char[]>(text.size()));
            std::memcpy(textBlocks_.back().get(), text.data(), text.size());
            return textBlocks_.back().get();
        }
        textBlockSize_ = std::min(kTextBlock, std::max(kFirstTextBlock, textBlockSize_ * 2));
        while (textBlockSize_ < text.size()) textBlockSize_ *= 2;
        countBlock(static_cast<std::int64_t>(textBlockSize_));
        textBlocks_.push_back(std::make_unique_for_overwrite<char[]>(textBlockSize_));
        textFree_ = textBlocks_.back().get();
        textLeft_ = textBlockSize_;
    }
    char* p = textFree_;
    std::memcpy(p, text.data(), text.size());
    textFree_ += text.size();
    textLeft_ -= text.size();
    return p;
}

void RecordsetData::setStringElsewhere(Cell& cell, std::string_view utf8) {
    if (utf8.size() > UINT32_MAX) return keep(cell, stringValue(utf8));
    cell.kind = Cell::kText;
    cell.type = VarType::String;
    cell.size = static_cast<std::uint32_t>(utf8.size());
    cell.u.text = utf8.empty() ? nullptr : storeText(utf8);
}

namespace {

// The digits at t[i...] as a number (at most 18 of them); i moves past them.
bool digitsAt(std::string_view t, std::size_t& i, std::int64_t& v, int& count) {
    count = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++count) {
        if (count == 18) return false;
        v = v * 10 + (t[i] - '0');
    }
    return true;
}

// A whole number written plainly: [-]digits.
bool plainWhole(std::string_view t, std::int64_t& v) {
    const bool negative = !t.empty() && t[0] == '-';
    std::size_t i = negative ? 1 : 0;
    std::int64_t n = 0;
    int count = 0;
    if (!digitsAt(t, i, n, count) || count == 0 || i != t.size()) return false;
    v = negative ? -n : n;
    return true;
}

} // namespace

bool RecordsetData::setText(Cell& cell, std::string_view text, std::int32_t type) {
    // The plain texts of the common types (a saved file's whole numbers and
    // amounts) go straight into the cell; any other text is read by the
    // rules of valueFromText.
    std::int64_t n = 0;
    if (type == adInteger && plainWhole(text, n) && n >= INT32_MIN && n <= INT32_MAX) {
        cell = Cell{};
        cell.type = VarType::Long;
        cell.u.i = n;
        return true;
    }
    if (type == adCurrency && plainCurrencyUnits(text, n)) {
        cell = Cell{};
        cell.type = VarType::Currency;
        cell.u.i = n;
        return true;
    }
    Variant v;
    if (!scalarFromText(text, type, v)) {
        setString(cell, text);
        return true;
    }
    // A number in a Currency column becomes a Double only when Currency
    // cannot hold it.
    const bool fits = type != adCurrency || v.type() == VarType::Currency;
    set(cell, std::move(v));
    return fits;
}

void RecordsetData::set(Cell& cell, Variant v) {
    cell = Cell{};
    cell.type = v.type();
    switch (v.type()) {
    case VarType::Empty:
    case VarType::Null: return;
    case VarType::Integer: cell.u.i = v.integerValue(); return;
    case VarType::Long: cell.u.i = v.longValue(); return;
    case VarType::Error: cell.u.i = v.errorValue(); return;
    case VarType::Byte: cell.u.i = v.byteValue(); return;
    case VarType::Boolean: cell.u.i = v.boolValue(); return;
    case VarType::Currency: cell.u.i = v.currencyValue(); return;
    case VarType::Single: cell.u.f = v.singleValue(); return;
    case VarType::Double: cell.u.d = v.doubleValue(); return;
    case VarType::Date: cell.u.d = v.dateValue(); return;
    case VarType::String:
        // Kept as UTF-8 too (a String takes two allocations and two bytes a
        // character), unless it holds a lone surrogate, which UTF-8 cannot carry.
        if (const std::u16string& w = v.stringValue(); wellFormedUtf16(w)) return setString(cell, toUtf8(w));
        [[fallthrough]];
    default: return keep(cell, std::move(v));
    }
}

void RecordsetData::keep(Cell& cell, Variant v) {
    cell = Cell{};
    cell.kind = Cell::kVariant;
    cell.type = v.type();
    cell.u.index = variants_.size();
    variants_.push_back(std::move(v));
}

Variant RecordsetData::value(const Cell& cell) const {
    if (cell.kind == Cell::kText) return stringValue(std::string_view(cell.u.text, cell.size));
    if (cell.kind == Cell::kVariant) return variants_[cell.u.index];
    switch (cell.type) {
    case VarType::Null: return Variant::null();
    case VarType::Integer: return Variant(static_cast<std::int16_t>(cell.u.i));
    case VarType::Long: return Variant(static_cast<std::int32_t>(cell.u.i));
    case VarType::Error: return Variant::error(static_cast<std::int32_t>(cell.u.i));
    case VarType::Byte: return Variant(static_cast<std::uint8_t>(cell.u.i));
    case VarType::Boolean: return Variant(cell.u.i != 0);
    case VarType::Currency: return Variant::currency(cell.u.i);
    case VarType::Single: return Variant(cell.u.f);
    case VarType::Double: return Variant(cell.u.d);
    case VarType::Date: return Variant::date(cell.size == Cell::kDateParts ? dateOfPacked(cell.u.i) : cell.u.d);
    default: return Variant();
    }
}

void RecordsetData::noCurrentRecord() const {
    if (!open) raiseAdo(kErrObjectClosed, "ADODB.Field");
    raiseAdo(kErrNoCurrentRecord, "ADODB.Field");
}

Variant RecordsetData::currentText(const Cell& cell, std::size_t col) const {
    if (col >= texts_.size()) texts_.resize(columns.size());
    LastText& last = texts_[col];
    if (last.cell == &cell) return last.text;
    last.cell = nullptr;
    const std::string_view text(cell.u.text, cell.size);
    // Written in place only when this is the String's one holder; one whose
    // room is far larger than the text (a long memo read earlier) is let go.
    if (std::u16string* s = last.text.uniqueString(); s && s->capacity() <= 2 * text.size() + 64)
        assignUtf8(*s, text);
    else last.text = stringValue(text);
    last.cell = &cell;
    return last.text;
}

std::int64_t RecordsetData::find(std::u16string_view name) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name16.size() == name.size() && equalsFolded(columns[i].name16, name))
            return static_cast<std::int64_t>(i);
    return -1;
}

// ---------------------------------------------------------------- Recordset

namespace {

enum RsMember : std::int32_t {
    kRsFields = kDispidValue, kRsEOF = 1, kRsBOF, kRsRecordCount, kRsMoveFirst, kRsMoveNext,
    kRsMovePrevious, kRsMoveLast, kRsMove, kRsAbsolutePosition, kRsState, kRsClose, kRsOpen,
    kRsCursorLocation, kRsCursorType, kRsLockType, kRsSource, kRsActiveConnection, kRsCollect,
};

constexpr MemberName kRsMembers[] = {
    {u"Fields", kRsFields}, {u"EOF", kRsEOF}, {u"BOF", kRsBOF},
    {u"RecordCount", kRsRecordCount}, {u"MoveFirst", kRsMoveFirst}, {u"MoveNext", kRsMoveNext},
    {u"MovePrevious", kRsMovePrevious}, {u"MoveLast", kRsMoveLast}, {u"Move", kRsMove},
    {u"AbsolutePosition", kRsAbsolutePosition}, {u"State", kRsState}, {u"Close", kRsClose},
    {u"Open", kRsOpen}, {u"CursorLocation", kRsCursorLocation},
    {u"CursorType", kRsCursorType}, {u"LockType", kRsLockType}, {u"Source", kRsSource},
    {u"ActiveConnection", kRsActiveConnection}, {u"Collect", kRsCollect},
};

constexpr const char* kRsSourceName = "ADODB.Recordset";

Variant arg(std::span<Variant> args, std::size_t i) {
    return isMissing(args, i) ? Variant() : args[i].dereference();
}

std::int32_t argLong(std::span<Variant> args, std::size_t i, std::int32_t dflt) {
    return isMissing(args, i) ? dflt : args[i].toLong();
}

} // namespace

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::attach(Ref<RecordsetData> data, std::u16string source, Ref<Dispatch> connection) {
    data_ = std::move(data);
    activeConnection_ = std::move(connection);
    // A statement that gives no columns (INSERT, UPDATE...) leaves the
    // recordset closed, as its callers test through State.
    data_->open = !data_->columns.empty();
    data_->pos = 0;
    fields_.reset();
    source_ = std::move(source);
}

void Recordset::requireOpen() const {
    if (!isOpen()) raiseAdo(kErrObjectClosed, kRsSourceName);
}

void Recordset::open(const Variant& source, const Variant& activeConnection, std::int32_t options) {
    if (isOpen()) raiseAdo(kErrObjectOpen, kRsSourceName);
    if (source.isObject() || source.isArray()) raiseAdo(kErrInvalidArgument, kRsSourceName);
    if (options < 0) options = 0; // adOptionUnspecified
    const std::string text = source.isEmpty() ? std::string() : source.toUtf8();
    std::string connText;
    Connection* conn = nullptr;
    if (activeConnection.isObject()) {
        conn = dynamic_cast<Connection*>(activeConnection.objectValue());
        if (!conn) raiseAdo(kErrInvalidArgument, kRsSourceName);
    } else if (!activeConnection.isEmpty() && !activeConnection.isNull()) {
        connText = activeConnection.toUtf8();
    }
    const bool saved = (options & adCmdFile) != 0 ||
                       (!conn && equalsNoCaseAscii(findValue(connText, "Provider"), "MSPersist"));
    // A table name as the source (adCmdTable, adCmdTableDirect); a name that
    // is not a plain identifier goes in brackets (SQLite and the Jet sources).
    std::string command = text;
    if ((options & 0xFF) == 2 || (options & 512)) {
        bool plain = !text.empty() && !(text[0] >= '0' && text[0] <= '9');
        for (char c : text)
            plain = plain && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
        command = "SELECT * FROM " + (plain ? text : "[" + text + "]");
    }
    Ref<Recordset> result;
    if (saved) {
        if (text.empty()) raiseAdo(kErrInvalidArgument, kRsSourceName);
        result = loadSavedRecordset(text);
    } else if (conn) {
        result = conn->execute(command);
    } else if (!connText.empty()) {
        Ref<Connection> own = makeRef<Connection>();
        own->open(connText);
        result = own->execute(command);
        own->close();
    } else {
        raiseAdo(kErrInvalidConnection, kRsSourceName);
    }
    attach(Ref<RecordsetData>(result->data()), source.isEmpty() ? std::u16string() : source.toString(),
           conn ? Ref<Dispatch>(conn) : Ref<Dispatch>());
}

void Recordset::close() {
    requireOpen();
    data_->open = false;
    activeConnection_.reset();
    activeConnectionArg_ = Variant();
}

bool Recordset::eof() const { requireOpen(); return data_->eof(); }
bool Recordset::bof() const { requireOpen(); return data_->bof(); }
std::int64_t Recordset::recordCount() const {
    requireOpen();
    return static_cast<std::int64_t>(data_->rowCount);
}

void Recordset::moveFirst() { requireOpen(); data_->pos = 0; }
void Recordset::moveLast() {
    requireOpen();
    data_->pos = data_->rowCount ? static_cast<std::int64_t>(data_->rowCount) - 1 : 0;
}
void Recordset::moveNext() {
    requireOpen();
    if (data_->eof()) raiseAdo(kErrNoCurrentRecord, kRsSourceName);
    data_->moveNext();
}
void Recordset::movePrevious() {
    requireOpen();
    if (data_->bof()) raiseAdo(kErrNoCurrentRecord, kRsSourceName);
    --data_->pos;
}
void Recordset::move(std::int64_t n) {
    requireOpen();
    if (n == 0) return;
    if ((n > 0 && data_->eof()) || (n < 0 && data_->bof())) raiseAdo(kErrNoCurrentRecord, kRsSourceName);
    std::int64_t p = data_->pos + n;
    const auto count = static_cast<std::int64_t>(data_->rowCount);
    data_->pos = p < 0 ? -1 : (p > count ? count : p);
}

std::size_t Recordset::fieldCount() const { requireOpen(); return data_->columns.size(); }
const Column& Recordset::column(std::size_t i) const {
    requireOpen();
    if (i >= data_->columns.size()) raiseAdo(kErrItemNotFound, kRsSourceName);
    return data_->columns[i];
}
Variant Recordset::value(std::size_t col) const {
    requireOpen();
    if (col >= data_->columns.size()) raiseAdo(kErrItemNotFound, kRsSourceName);
    return data_->current(col);
}
Variant Recordset::value(std::u16string_view name) const {
    requireOpen();
    const std::int64_t i = data_->find(name);
    if (i < 0) raiseAdo(kErrItemNotFound, kRsSourceName);
    return data_->current(static_cast<std::size_t>(i));
}

Ref<Fields> Recordset::fields() { return Ref<Fields>(&fieldsOf()); }

Fields& Recordset::fieldsOf() {
    requireOpen();
    if (!fields_) fields_ = makeRef<Fields>(data_);
    return *fields_;
}

std::int32_t Recordset::memberId(std::u16string_view name) { return findMember(kRsMembers, name); }

Variant Recordset::invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) {
    // What a template's loop calls on every row (Orders.EOF, Orders.MoveNext,
    // Orders("Total"), Orders.Fields("Total")) is answered here, in a frame of
    // its own; everything else, and every failure, in invokeMember.
    if ((kind & (kInvokePropertyPut | kInvokePropertyPutRef)) == 0 && data_ && data_->open) {
        RecordsetData& d = *data_;
        switch (id) {
        case kRsEOF: return Variant(d.eof());
        case kRsMoveNext:
            if (d.eof()) break;
            d.moveNext();
            return Variant();
        case kRsFields:
            if (args.empty() || !fields_ || !args[0].isString()) break;
            return fields_->entry(args[0]);
        default: break;
        }
    }
    return invokeMember(id, kind, args);
}

// Reading a field, its collection or the cursor's ends moves nothing.
bool Recordset::pureGet(std::int32_t id) const {
    return id == kRsFields || id == kRsCollect || id == kRsEOF || id == kRsBOF;
}

Variant Recordset::invokeMember(std::int32_t id, std::uint8_t kind, std::span<Variant> args) {
    const bool put = (kind & (kInvokePropertyPut | kInvokePropertyPutRef)) != 0;
    if (put && args.empty()) raiseAdo(kErrInvalidArgument, kRsSourceName);
    switch (id) {
    case kRsFields:
    case kRsCollect: {
        if (put) break;
        if (id == kRsFields && isMissing(args, 0)) return Variant(Ref<Dispatch>(&fieldsOf()));
        // Held here: an object given as the index is asked for its value,
        // which may run a script's code that reopens this recordset.
        const Ref<Fields> fields(&fieldsOf());
        const Variant& item = fields->entry(isMissing(args, 0) ? Variant() : args[0]);
        return id == kRsFields ? item : static_cast<Field*>(item.objectValue())->value();
    }
    case kRsEOF: if (!put) return Variant(eof()); break;
    case kRsBOF: if (!put) return Variant(bof()); break;
    case kRsRecordCount:
        if (!put) {
            const std::int64_t n = recordCount();
            return n <= INT32_MAX ? Variant(static_cast<std::int32_t>(n)) : Variant(static_cast<double>(n));
        }
        break;
    case kRsMoveFirst: moveFirst(); return Variant();
    case kRsMoveNext: moveNext(); return Variant();
    case kRsMovePrevious: movePrevious(); return Variant();
    case kRsMoveLast: moveLast(); return Variant();
    case kRsMove: move(argLong(args, 0, 0)); return Variant();
    case kRsAbsolutePosition:
        requireOpen();
        if (put) {
            const std::int32_t p = args.back().toLong();
            if (p < 1 || static_cast<std::size_t>(p) > data_->rowCount)
                raiseAdo(kErrInvalidArgument, kRsSourceName);
            data_->pos = p - 1;
            return Variant();
        }
        // -1 unknown, -2 BOF, -3 EOF, as the library reports them
        if (data_->rowCount == 0) return Variant(std::int32_t{-1});
        if (data_->pos < 0) return Variant(std::int32_t{-2});
        if (data_->eof()) return Variant(std::int32_t{-3});
        return Variant(static_cast<std::int32_t>(data_->pos + 1));
    case kRsState: if (!put) return Variant(state()); break;
    case kRsClose: close(); return Variant();
    case kRsOpen:
        // The connection argument stays an object: its default member would
        // give its connection string.
        // Without one, the connection set beforehand (ActiveConnection).
        open(arg(args, 0), isMissing(args, 1) ? activeConnectionArg_ : args[1], argLong(args, 4, 0));
        if (!isMissing(args, 2)) cursorType_ = args[2].toLong();
        if (!isMissing(args, 3)) lockType_ = args[3].toLong();
        return Variant();
    case kRsCursorLocation:
        if (put) { cursorLocation_ = args.back().toLong(); return Variant(); }
        return Variant(cursorLocation_);
    case kRsCursorType:
        if (put) { cursorType_ = args.back().toLong(); return Variant(); }
        return Variant(cursorType_);
    case kRsLockType:
        if (put) { lockType_ = args.back().toLong(); return Variant(); }
        return Variant(lockType_);
    case kRsSource:
        if (put) { if (isOpen()) raiseAdo(kErrObjectOpen, kRsSourceName); source_ = args.back().toString(); return Variant(); }
        return Variant(source_);
    case kRsActiveConnection:
        if (put) {
            if (isOpen()) raiseAdo(kErrObjectOpen, kRsSourceName);
            activeConnectionArg_ = args.back();
            activeConnection_ = args.back().isObject() ? args.back().toObject() : Ref<Dispatch>();
            return Variant();
        }
        if (activeConnection_) return Variant(activeConnection_);
        return activeConnectionArg_.isString() ? activeConnectionArg_ : Variant::nothing();
    default: break;
    }
    raiseNotSupported(kRsSourceName);
}

// ---------------------------------------------------------------- Field

namespace {

enum FieldMember : std::int32_t {
    kFValue = kDispidValue, kFName = 1, kFType, kFDefinedSize, kFActualSize, kFPrecision,
    kFNumericScale, kFOriginalValue, kFUnderlyingValue, kFAttributes,
};

constexpr MemberName kFieldMembers[] = {
    {u"Value", kFValue}, {u"Name", kFName}, {u"Type", kFType},
    {u"DefinedSize", kFDefinedSize}, {u"ActualSize", kFActualSize},
    {u"Precision", kFPrecision}, {u"NumericScale", kFNumericScale},
    {u"OriginalValue", kFOriginalValue}, {u"UnderlyingValue", kFUnderlyingValue},
    {u"Attributes", kFAttributes},
};

} // namespace

std::int32_t Field::memberId(std::u16string_view name) { return findMember(kFieldMembers, name); }

bool Field::pureGet(std::int32_t id) const { return id == kFValue || id == kFName; }

Variant Field::invoke(std::int32_t id, std::uint8_t kind, std::span<Variant>) {
    // Value (and the field as its own default value) on every row of a loop.
    if (id == kFValue && (kind & (kInvokePropertyPut | kInvokePropertyPutRef)) == 0) return value();
    return invokeMember(id, kind);
}

Variant Field::invokeMember(std::int32_t id, std::uint8_t kind) {
    if (kind & (kInvokePropertyPut | kInvokePropertyPutRef)) {
        if (id == kFValue) raiseAdo(kErrNotUpdatable, "ADODB.Field");
        raiseNotSupported("ADODB.Field");
    }
    if (!data_->open) raiseAdo(kErrObjectClosed, "ADODB.Field");
    const Column& c = column();
    switch (id) {
    case kFValue:
    case kFOriginalValue:
    case kFUnderlyingValue: return value();
    case kFName: return Variant(c.name16);
    case kFType: return Variant(c.type);
    case kFDefinedSize: return Variant(c.definedSize);
    case kFActualSize: {
        const Variant& v = value();
        if (v.isNull()) return Variant(std::int32_t{-1});
        if (v.isString()) {
            const std::size_t n = v.stringValue().size();
            return Variant(static_cast<std::int32_t>(isStringType(c.type) && c.type >= adWChar ? n * 2 : n));
        }
        if (v.isArray()) return Variant(static_cast<std::int32_t>(v.arrayValue()->data.size()));
        return Variant(c.definedSize);
    }
    case kFPrecision: return Variant(static_cast<std::uint8_t>(c.precision));
    case kFNumericScale: return Variant(static_cast<std::uint8_t>(c.numericScale));
    case kFAttributes: return Variant(std::int32_t{0x60}); // may be null, unknown updatability
    default: break;
    }
    raiseNotSupported("ADODB.Field");
}

// ---------------------------------------------------------------- Fields

namespace {

enum FieldsMember : std::int32_t { kFsItem = kDispidValue, kFsCount = 1, kFsRefresh };

constexpr MemberName kFieldsMembers[] = {
    {u"Item", kFsItem}, {u"Count", kFsCount}, {u"Refresh", kFsRefresh},
};

class FieldsEnum final : public Enumerator {
public:
    explicit FieldsEnum(Ref<Fields> f) : fields_(std::move(f)) {}
    bool next(Variant& out) override {
        if (i_ >= fields_->count()) return false;
        out = Variant(Ref<Dispatch>(fields_->at(i_++)));
        return true;
    }

private:
    Ref<Fields> fields_;
    std::size_t i_ = 0;
};

} // namespace

namespace {

// Slots of the name table looked at for one name before its first one is
// taken over.
constexpr std::size_t kNameProbes = 4;

} // namespace

Fields::Fields(Ref<RecordsetData> data) : data_(std::move(data)) {
    items_.reserve(data_->columns.size());
    // Room for about four names per column (a power of two, 8 to 256 slots),
    // so that a few names seldom meet in a slot.
    unsigned bits = 3;
    while (bits < 8 && (std::size_t{1} << bits) < 4 * data_->columns.size()) ++bits;
    hits_.resize(std::size_t{1} << bits);
    hitMask_ = hits_.size() - 1;
    hitShift_ = 64 - bits;
    for (std::size_t i = 0; i < data_->columns.size(); ++i)
        items_.emplace_back(Ref<Dispatch>(makeRef<Field>(data_, i)));
}

Ref<Field> Fields::item(const Variant& index) { return Ref<Field>(&find(index)); }

const Variant& Fields::entry(const Variant& arg) {
    if (arg.isString() && data_->open) [[likely]] {
        // A script passes the same text object on every pass of its loop (the
        // literal "Total"): names seen lately are known by the address of that
        // text. The address is mixed by a multiplication, as texts allocated
        // one after the other differ only in a few of its bits.
        const char16_t* key = arg.stringValue().data();
        const std::size_t slot =
            static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(key) * 0x9E3779B97F4A7C15ull) >> hitShift_);
        for (std::size_t k = 0; k < kNameProbes; ++k) {
            const NameHit& h = hits_[(slot + k) & hitMask_];
            if (h.key == key) return *h.item;
            if (!h.key) break;
        }
        return entryByName(arg, slot);
    }
    return entryOther(arg);
}

const Variant& Fields::entryByName(const Variant& name, std::size_t slot) {
    const std::int64_t i = data_->find(name.stringValue());
    if (i < 0) raiseAdo(kErrItemNotFound, "ADODB.Fields");
    // The name goes into the first free slot of its probes, or in place of
    // the first one. The entry holds the text, so that it can neither be freed
    // (and its address taken by another text) nor changed in place.
    NameHit* h = &hits_[slot & hitMask_];
    for (std::size_t k = 0; k < kNameProbes; ++k)
        if (!hits_[(slot + k) & hitMask_].key) {
            h = &hits_[(slot + k) & hitMask_];
            break;
        }
    h->key = name.stringValue().data();
    h->item = &items_[static_cast<std::size_t>(i)];
    h->text = name;
    return *h->item;
}

const Variant& Fields::entryOther(const Variant& arg) {
    if (!data_->open) raiseAdo(kErrObjectClosed, "ADODB.Fields");
    if (arg.isObject()) {
        // An object stands for its default value (a Field for its Value).
        const Variant v = arg.dereference();
        if (v.isObject()) raiseAdo(kErrItemNotFound, "ADODB.Fields");
        return entry(v);
    }
    if (arg.isEmpty() || arg.isNull() || arg.isMissing()) raiseAdo(kErrItemNotFound, "ADODB.Fields");
    const std::int32_t i = arg.toLong();
    if (i < 0 || static_cast<std::size_t>(i) >= items_.size()) raiseAdo(kErrItemNotFound, "ADODB.Fields");
    return items_[static_cast<std::size_t>(i)];
}

std::int32_t Fields::memberId(std::u16string_view name) { return findMember(kFieldsMembers, name); }

bool Fields::pureGet(std::int32_t id) const { return id == kFsItem || id == kFsCount; }

Variant Fields::invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) {
    if (kind & (kInvokePropertyPut | kInvokePropertyPutRef)) raiseNotSupported("ADODB.Fields");
    switch (id) {
    case kFsItem:
        if (isMissing(args, 0)) raiseAdo(kErrItemNotFound, "ADODB.Fields");
        return entry(args[0]);
    case kFsCount: return Variant(static_cast<std::int32_t>(items_.size()));
    case kFsRefresh: return Variant();
    default: break;
    }
    raiseNotSupported("ADODB.Fields");
}

Ref<Enumerator> Fields::newEnum() { return makeRef<FieldsEnum>(Ref<Fields>(this)); }

} // namespace qz::ado
