// Variant: the automation value. Sixteen bytes, a subtype tag and a payload;
// strings, objects and arrays are shared through intrusive reference counts.
//
// Strings are UTF-16, as script programs see them (Len, Mid and AscW count
// UTF-16 code units); fromUtf8/toUtf8 convert at the edges of the system.
//
// Coercions follow the automation rules the script language relies on: they
// read the thread's current locale (LocaleFormat.h) where the result depends on
// it and throw AutomationError with the script run-time number on failure
// (13 type mismatch, 6 overflow, 94 invalid use of Null).
#pragma once

#include "AutomationError.h"
#include "DecimalNumber.h"
#include "MemoryMeter.h"
#include "Ref.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

// Subtype codes, as VarType() reports them.
enum class VarType : std::uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2,
    Long = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Object = 9,
    Error = 10,
    Boolean = 11,
    Variant = 12,
    Decimal = 14,
    Byte = 17,
    Array = 0x2000, // or'ed with the element type; script arrays are Array|Variant
};

class Dispatch;
class SafeArray;
class Variant;

// An immutable shared UTF-16 string (its only owner may append to it in
// place, then counts its room again). Every string counts what the heap
// holds for it: the box, and the text's own block once it is too long to
// live inside the box (millions of short texts take as much as a few long
// ones).
class StringBox final : public RefCounted {
public:
    // Taken by reference: a short text would otherwise be copied twice.
    explicit StringBox(std::u16string&& s) : value(std::move(s)) { retally(); }
    explicit StringBox(std::u16string_view s) : value(s) { retally(); }
    static constexpr std::size_t kInlineRoom = 15 / sizeof(char16_t);  // the string's own room
    void retally() noexcept {
        const std::size_t room = value.capacity();
        tally_.set(memory::heapBytes(sizeof(StringBox)) +
                   (room > kInlineRoom ? memory::heapBytes((room + 1) * sizeof(char16_t)) : 0));
    }
    std::u16string value;

private:
    // A text holds no other value, so deleting it can cause no other
    // deletion: it goes at once rather than through the queue that keeps
    // nested deletions off the stack (an array of millions of texts would
    // have queued them all).
    void lastReleased() noexcept override { delete this; }
    memory::Tally tally_;
};

// A Decimal's value, shared by the Variants that hold it: the number takes
// more room than the payload has, and a Variant stays sixteen bytes.
class DecimalBox final : public RefCounted {
public:
    explicit DecimalBox(const DecimalNumber& d) : value(d) {}
    const DecimalNumber value;
};

class Variant {
public:
    Variant() noexcept : type_(VarType::Empty) { u_.i64 = 0; }
    Variant(const Variant& o) noexcept : type_(o.type_), u_(o.u_) { if (isShared()) addRefPayload(); }
    Variant(Variant&& o) noexcept : type_(o.type_), u_(o.u_) { o.type_ = VarType::Empty; }
    [[gnu::always_inline]] Variant& operator=(const Variant& o) noexcept {
        // Take the new value before letting the old one go: releasing may
        // run code (a class terminate handler) that changes o.
        VarType t = o.type_;
        Payload p = o.u_;
        if (o.isShared()) o.addRefPayload();
        if (isShared()) releasePayload();
        type_ = t;
        u_ = p;
        return *this;
    }
    [[gnu::always_inline]] Variant& operator=(Variant&& o) noexcept {
        if (this != &o) {
            VarType t = o.type_;
            Payload p = o.u_;
            o.type_ = VarType::Empty;
            if (isShared()) releasePayload();
            type_ = t;
            u_ = p;
        }
        return *this;
    }
    [[gnu::always_inline]] ~Variant() { if (isShared()) releasePayload(); }

    // Constructors choose the subtype from the C++ type.
    // Each small value is stored as the whole 8-byte payload at once (the
    // same bytes as a zeroed payload with the value in its low part): a
    // Variant is often moved right after it is made, and reading 8 bytes
    // that were written by two stores of different sizes stalls the CPU.
    Variant(bool b) noexcept : type_(VarType::Boolean) { u_.i64 = b ? 0xFFFF : 0; }
    Variant(std::uint8_t v) noexcept : type_(VarType::Byte) { u_.i64 = v; }
    Variant(std::int16_t v) noexcept : type_(VarType::Integer) { u_.i64 = static_cast<std::uint16_t>(v); }
    Variant(std::int32_t v) noexcept : type_(VarType::Long) { u_.i64 = static_cast<std::uint32_t>(v); }
    Variant(float v) noexcept : type_(VarType::Single) { u_.i64 = std::bit_cast<std::uint32_t>(v); }
    Variant(double v) noexcept : type_(VarType::Double) { u_.f64 = v; }
    Variant(std::u16string s);                   // String
    Variant(std::u16string_view s);              // String
    Variant(const char16_t* s);                  // String
    Variant(Ref<Dispatch> obj) noexcept;         // Object (Nothing when null)
    Variant(Ref<SafeArray> arr) noexcept;        // Array|Variant
    Variant(const char*) = delete;               // use fromUtf8: no silent bool

    static Variant null() noexcept;
    static Variant nothing() noexcept;           // Object subtype, no object
    static Variant currency(std::int64_t scaledBy10000) noexcept;
    static Variant decimal(const DecimalNumber& value);
    static Variant date(double daysSince18991230) noexcept;
    static Variant error(std::int32_t scode) noexcept;  // Error subtype (missing argument, CVErr)
    static Variant fromUtf8(std::string_view utf8);
    // An omitted optional argument: the Error subtype with DISP_E_PARAMNOTFOUND.
    static Variant missing() noexcept { return error(kMissingScode); }
    static constexpr std::int32_t kMissingScode = static_cast<std::int32_t>(0x80020004u);

    // Subtype
    VarType type() const noexcept { return type_; }
    std::uint16_t varType() const noexcept { return static_cast<std::uint16_t>(type_); }
    bool isEmpty() const noexcept { return type_ == VarType::Empty; }
    bool isNull() const noexcept { return type_ == VarType::Null; }
    bool isString() const noexcept { return type_ == VarType::String; }
    bool isObject() const noexcept { return type_ == VarType::Object; }
    bool isArray() const noexcept {
        return (static_cast<std::uint16_t>(type_) & static_cast<std::uint16_t>(VarType::Array)) != 0;
    }
    // Integer, Long, Single, Double, Currency, Decimal, Byte (not Boolean, not Date).
    bool isNumeric() const noexcept;
    bool isMissing() const noexcept {
        return type_ == VarType::Error && u_.i32 == kMissingScode;
    }

    // Raw payload access; valid only for the matching subtype.
    bool boolValue() const noexcept { return u_.i16 != 0; }
    std::uint8_t byteValue() const noexcept { return u_.u8; }
    std::int16_t integerValue() const noexcept { return u_.i16; }
    std::int32_t longValue() const noexcept { return u_.i32; }
    float singleValue() const noexcept { return u_.f32; }
    double doubleValue() const noexcept { return u_.f64; }
    std::int64_t currencyValue() const noexcept { return u_.i64; }
    const DecimalNumber& decimalValue() const noexcept { return u_.dec->value; }
    double dateValue() const noexcept { return u_.f64; }
    std::int32_t errorValue() const noexcept { return u_.i32; }
    // The text of a String; an empty text for any other subtype.
    const std::u16string& stringValue() const noexcept {
        return type_ == VarType::String ? u_.str->value : emptyString();
    }
    // The text of a String that no other Variant shares, so that it can be
    // appended to in place (s = s & x in a loop); null for any other value.
    // After it grew, retallyString() counts its room again.
    std::u16string* uniqueString() noexcept {
        return type_ == VarType::String && u_.str->refCount() == 1 ? &u_.str->value : nullptr;
    }
    void retallyString() noexcept {
        if (type_ == VarType::String) u_.str->retally();
    }
    Dispatch* objectValue() const noexcept { return type_ == VarType::Object ? u_.obj : nullptr; }
    SafeArray* arrayValue() const noexcept { return isArray() ? u_.arr : nullptr; }

    // Coercions (CBool, CByte, CInt, CLng, CSng, CDbl, CCur, CDate, CStr).
    // An object is first asked for its default value.
    bool toBool() const;
    std::uint8_t toByte() const;
    std::int16_t toInteger() const;
    std::int32_t toLong() const;
    float toSingle() const;
    double toDouble() const;
    std::int64_t toCurrency() const;
    DecimalNumber toDecimal() const;
    double toDate() const;
    std::u16string toString() const;
    std::string toUtf8() const;
    Ref<Dispatch> toObject() const;        // 424 "Object required" unless Object subtype
    Variant convertTo(VarType target) const;

    // The default value of an object (its default member), or *this otherwise.
    Variant dereference() const;

private:
    static const std::u16string& emptyString() noexcept;
    // String, Object, Decimal or an array: one test of bits, no branches.
    bool isShared() const noexcept {
        const unsigned t = static_cast<std::uint16_t>(type_);
        constexpr unsigned kShared = 1u << 8 | 1u << 9 | 1u << 14;  // String, Object, Decimal
        return ((kShared >> (t & 31)) | (t >> 13)) & 1;
    }
    void releasePayload() noexcept;
    void addRefPayload() const noexcept;

    VarType type_;
    union Payload {
        std::int16_t i16;
        std::int32_t i32;
        std::int64_t i64;
        std::uint8_t u8;
        float f32;
        double f64;
        StringBox* str;
        DecimalBox* dec;
        Dispatch* obj;
        SafeArray* arr;
    } u_;
};

// A script array: up to 60 dimensions, each with a lower bound and a count,
// elements stored with the first index varying fastest. Arrays are assigned by
// value; the engine copies (or copies on write) before mutating a shared one.
class SafeArray final : public RefCounted {
public:
    struct Bound {
        std::int32_t lower = 0;
        std::int32_t count = 0;
    };
    static constexpr int kMaxDimensions = 60;

    std::vector<Bound> bounds;
    std::vector<Variant> data;

    // A one-dimensional array indexed from 0 holding the given items.
    static Ref<SafeArray> fromVector(std::vector<Variant> items) {
        Ref<SafeArray> a(new SafeArray);
        a->bounds.push_back({0, static_cast<std::int32_t>(items.size())});
        a->data = std::move(items);
        a->retally();
        return a;
    }
    // Counts the room of the elements again, once they are made or resized.
    void retally() noexcept {
        tally_.set(memory::heapBytes(sizeof(SafeArray)) + memory::heapBytes(data.capacity() * sizeof(Variant)) +
                   static_cast<std::int64_t>(bounds.capacity() * sizeof(Bound)));
    }
    // The flat position of an element, or -1 when an index is out of range
    // or the number of indices does not match the dimensions.
    std::ptrdiff_t offsetOf(std::span<const std::int32_t> indices) const noexcept {
        if (indices.size() != bounds.size()) return -1;
        std::ptrdiff_t offset = 0, stride = 1;
        for (std::size_t d = 0; d < bounds.size(); ++d) {
            std::int64_t i = static_cast<std::int64_t>(indices[d]) - bounds[d].lower;
            if (i < 0 || i >= bounds[d].count) return -1;
            offset += static_cast<std::ptrdiff_t>(i) * stride;
            stride *= bounds[d].count;
        }
        return offset;
    }
    bool fixedSize = false;  // declared with dimensions: ReDim refuses it
    int locks = 0;           // For Each / ByRef element in use: ReDim refuses it

private:
    memory::Tally tally_;
};

} // namespace qz

// Every user of Variant may hold objects: make Dispatch complete for Ref<Dispatch>.
#include "Dispatch.h"

