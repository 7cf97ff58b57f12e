#include "VariantOps.h"

#include "Dispatch.h"
#include "ErrorTexts.h"
#include "LocaleFormat.h"
#include "NumberText.h"
#include "Text.h"
#include "DateTime.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace qz::ops {
namespace {

using VT = VarType;

[[noreturn]] void mismatch() { throwRuntimeError(err::TypeMismatch); }
[[noreturn]] void overflow() { throwRuntimeError(err::Overflow); }

// Operands reduced to what arithmetic works on: Empty, Null, a number subtype
// or a String; objects give their default value.
inline const Variant& operand(const Variant& v, Variant& holder) {
    if (v.type() == VT::Object) {
        holder = v.dereference();
        return holder;
    }
    return v;
}

inline bool isIntegral(VT t) {
    return t == VT::Byte || t == VT::Integer || t == VT::Long || t == VT::Boolean;
}

inline std::int64_t intOf(const Variant& v) {
    switch (v.type()) {
    case VT::Byte: return v.byteValue();
    case VT::Integer: case VT::Boolean: return v.integerValue();
    case VT::Long: return v.longValue();
    default: return 0;
    }
}

// Double value of a numeric operand (strings are parsed by the locale).
inline double dblOf(const Variant& v) {
    switch (v.type()) {
    case VT::Empty: return 0;
    case VT::Byte: return v.byteValue();
    case VT::Integer: case VT::Boolean: return v.integerValue();
    case VT::Long: return v.longValue();
    case VT::Single: return v.singleValue();
    case VT::Double: case VT::Date: return v.doubleValue();
    case VT::Currency: return static_cast<double>(v.currencyValue()) / 10000.0;
    case VT::Decimal: return v.toDouble();
    case VT::String: return parseNumberOrRaise(v.stringValue(), currentLocale());
    default: mismatch();
    }
}

// The Decimal result of an operation, or 6 when it does not fit.
Variant decimalResult(bool fits, const DecimalNumber& d) {
    if (!fits) overflow();
    return Variant::decimal(d);
}

// The smallest of Byte, Integer, Long, Double (starting at `from`) that holds v.
Variant fitInteger(std::int64_t v, VT from) {
    if (from == VT::Byte && v >= 0 && v <= 255) return Variant(static_cast<std::uint8_t>(v));
    if ((from == VT::Byte || from == VT::Integer) && v >= -32768 && v <= 32767)
        return Variant(static_cast<std::int16_t>(v));
    if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int32_t>(v));
    return Variant(static_cast<double>(v));
}

Variant checkedDouble(double d) {
    if (!std::isfinite(d)) overflow();
    return Variant(d);
}

Variant checkedDate(double d) {
    if (!std::isfinite(d) || !isValidDate(d)) overflow();
    return Variant::date(d);
}

Variant singleOrDouble(double d) {
    if (!std::isfinite(d)) overflow();
    if (std::fabs(d) > FLT_MAX) return Variant(d);
    return Variant(static_cast<float>(d));
}

std::int64_t curOf(const Variant& v) { return v.toCurrency(); }

Variant currencyResult(__int128 scaled) {
    if (scaled > std::numeric_limits<std::int64_t>::max() ||
        scaled < std::numeric_limits<std::int64_t>::min())
        overflow();
    return Variant::currency(static_cast<std::int64_t>(scaled));
}

// Divides and rounds half to even.
__int128 divRoundEven(__int128 n, __int128 d) {
    __int128 q = n / d, r = n % d;
    __int128 twice = (r < 0 ? -r : r) * 2, ad = d < 0 ? -d : d;
    if (twice > ad || (twice == ad && (q & 1))) q += ((n < 0) != (d < 0)) ? -1 : 1;
    return q;
}

// Rank of a numeric subtype for the +, -, * result type: a Decimal operand
// makes the result Decimal, whatever the other one is.
enum Rank { kByte, kInteger, kLong, kSingle, kDouble, kDate, kCurrency, kDecimal };

inline Rank rankOf(VT t) {
    switch (t) {
    case VT::Byte: return kByte;
    case VT::Integer: case VT::Boolean: return kInteger;
    case VT::Long: return kLong;
    case VT::Single: return kSingle;
    case VT::Double: case VT::String: return kDouble;
    case VT::Date: return kDate;
    case VT::Currency: return kCurrency;
    case VT::Decimal: return kDecimal;
    default: mismatch();
    }
}

enum class Arith { Add, Sub, Mul };

Variant arithmetic(Arith op, const Variant& a0, const Variant& b0) {
    const VT ta0 = a0.type(), tb0 = b0.type();
    // Fast path: the common Integer / Long cases.
    if ((ta0 == VT::Integer || ta0 == VT::Long) && (tb0 == VT::Integer || tb0 == VT::Long)) {
        std::int64_t x = intOf(a0), y = intOf(b0);
        std::int64_t r = op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y;
        return fitInteger(r, (ta0 == VT::Long || tb0 == VT::Long) ? VT::Long : VT::Integer);
    }
    if (ta0 == VT::Double && tb0 == VT::Double) {
        double x = a0.doubleValue(), y = b0.doubleValue();
        return checkedDouble(op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y);
    }
    Variant ha, hb;
    const Variant& a = operand(a0, ha);
    const Variant& b = operand(b0, hb);
    VT ta = a.type(), tb = b.type();
    if (ta == VT::Null || tb == VT::Null) return Variant::null();
    if (op == Arith::Add) {
        if (ta == VT::String && (tb == VT::String || tb == VT::Empty))
            return tb == VT::Empty ? a : Variant(a.stringValue() + b.stringValue());
        if (ta == VT::Empty && tb == VT::String) return b;
    }
    if (ta == VT::Empty && tb == VT::Empty) return Variant(static_cast<std::int16_t>(0));
    if (a.isArray() || b.isArray() || ta == VT::Error || tb == VT::Error) mismatch();
    // Empty takes the other side's type as a zero.
    Rank ra = ta == VT::Empty ? rankOf(tb) : rankOf(ta);
    Rank rb = tb == VT::Empty ? rankOf(ta) : rankOf(tb);
    Rank r = ra > rb ? ra : rb;
    // Single with Long is computed as Double.
    if (r == kSingle && (ra == kLong || rb == kLong)) r = kDouble;
    if (op == Arith::Mul && r == kDate) r = kDouble;
    // For * a Double (or a number read from text) outranks Currency; for +
    // and - Currency outranks Double.
    if (op == Arith::Mul && r == kCurrency && (ra == kDouble || rb == kDouble || ra == kDate || rb == kDate))
        r = kDouble;

    switch (r) {
    case kByte: case kInteger: case kLong: {
        std::int64_t x = intOf(a), y = intOf(b);
        std::int64_t v = op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y;
        return fitInteger(v, r == kByte ? VT::Byte : r == kInteger ? VT::Integer : VT::Long);
    }
    case kSingle: {
        float x = static_cast<float>(dblOf(a)), y = static_cast<float>(dblOf(b));
        return singleOrDouble(op == Arith::Add ? double(x) + y
                              : op == Arith::Sub ? double(x) - y : double(x) * y);
    }
    case kDouble: {
        double x = dblOf(a), y = dblOf(b);
        return checkedDouble(op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y);
    }
    case kDate: {
        double x = dblOf(a), y = dblOf(b);
        if (op == Arith::Sub && ta == VT::Date && tb == VT::Date) return checkedDouble(x - y);
        return checkedDate(op == Arith::Add ? x + y : x - y);
    }
    case kCurrency: {
        if (op == Arith::Mul) {
            bool ca = ta == VT::Currency, cb = tb == VT::Currency;
            if (ca && cb)
                return currencyResult(divRoundEven(static_cast<__int128>(a.currencyValue()) *
                                                   b.currencyValue(), 10000));
            const Variant& c = ca ? a : b;
            const Variant& o = ca ? b : a;
            if (isIntegral(o.type()) || o.type() == VT::Empty)
                return currencyResult(static_cast<__int128>(c.currencyValue()) * intOf(o));
            double d = static_cast<double>(c.currencyValue()) * dblOf(o); // a Single
            if (!std::isfinite(d) || std::fabs(d) >= 9.2233720368547758e18) overflow();
            return Variant::currency(static_cast<std::int64_t>(std::nearbyint(d)));
        }
        __int128 x = curOf(a), y = curOf(b);
        return currencyResult(op == Arith::Add ? x + y : x - y);
    }
    case kDecimal: {
        const DecimalNumber x = a.toDecimal(), y = b.toDecimal();
        DecimalNumber d;
        const bool fits = op == Arith::Mul ? multiplyDecimal(x, y, d)
                                           : addDecimal(x, op == Arith::Sub ? negated(y) : y, d);
        return decimalResult(fits, d);
    }
    }
    mismatch();
}

// Operands of \ and Mod: rounded to Byte, Integer or Long.
struct IntOperand {
    std::int64_t value;
    Rank rank;
};

IntOperand integerOperand(const Variant& v) {
    switch (v.type()) {
    case VT::Empty: return {0, kInteger};
    case VT::Byte: return {v.byteValue(), kByte};
    case VT::Integer: case VT::Boolean: return {v.integerValue(), kInteger};
    case VT::Long: return {v.longValue(), kLong};
    case VT::Single: case VT::Double: case VT::Date: case VT::Currency: case VT::Decimal: case VT::String:
        return {v.toLong(), kLong};
    default: mismatch();
    }
}

Variant integerDivision(const Variant& a0, const Variant& b0, bool wantMod) {
    Variant ha, hb;
    const Variant& a = operand(a0, ha);
    const Variant& b = operand(b0, hb);
    if (a.isNull() || b.isNull()) return Variant::null();
    if (a.isArray() || b.isArray()) mismatch();
    IntOperand x = integerOperand(a), y = integerOperand(b);
    if (y.value == 0) throwRuntimeError(err::DivisionByZero);
    std::int64_t r = wantMod ? x.value % y.value : x.value / y.value;
    Rank rank = x.rank > y.rank ? x.rank : y.rank;
    if (rank == kByte) return Variant(static_cast<std::uint8_t>(r));
    if (rank == kInteger && r >= -32768 && r <= 32767) return Variant(static_cast<std::int16_t>(r));
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
        overflow();
    if (rank == kInteger) overflow(); // -32768 \ -1
    return Variant(static_cast<std::int32_t>(r));
}

// Operands of the logical operators.
struct Logical {
    bool null;
    std::int32_t value;
    VT type; // Boolean, Byte, Integer or Long
};

Logical logicalOperand(const Variant& v0) {
    Variant h;
    const Variant& v = operand(v0, h);
    switch (v.type()) {
    case VT::Null: return {true, 0, VT::Null};
    case VT::Empty: return {false, 0, VT::Integer};
    case VT::Boolean: return {false, v.integerValue(), VT::Boolean};
    case VT::Byte: return {false, v.byteValue(), VT::Byte};
    case VT::Integer: return {false, v.integerValue(), VT::Integer};
    case VT::Long: return {false, v.longValue(), VT::Long};
    case VT::String: {
        double d;
        if (parseNumber(v.stringValue(), currentLocale(), d)) return {false, Variant(d).toLong(), VT::Long};
        bool b;
        if (parseBooleanText(v.stringValue(), b)) return {false, b ? -1 : 0, VT::Boolean};
        mismatch();
    }
    case VT::Single: case VT::Double: case VT::Date: case VT::Currency: case VT::Decimal:
        return {false, v.toLong(), VT::Long};
    default: mismatch();
    }
}

VT logicalResultType(VT a, VT b) {
    if (a == VT::Null) return b;
    if (b == VT::Null) return a;
    if (a == b) return a;
    if (a == VT::Long || b == VT::Long) return VT::Long;
    return VT::Integer; // mixes of Boolean, Byte and Integer
}

std::int32_t allOnes(VT t) { return t == VT::Byte ? 0xFF : -1; }

Variant makeLogical(std::int32_t v, VT t) {
    switch (t) {
    case VT::Boolean: return Variant(v != 0);
    case VT::Byte: return Variant(static_cast<std::uint8_t>(v));
    case VT::Integer: return Variant(static_cast<std::int16_t>(v));
    default: return Variant(v);
    }
}

enum class Logic { And, Or, Xor, Eqv, Imp };

Variant logical(Logic op, const Variant& a0, const Variant& b0) {
    if (a0.type() == VT::Boolean && b0.type() == VT::Boolean) {
        bool x = a0.boolValue(), y = b0.boolValue();
        switch (op) {
        case Logic::And: return Variant(x && y);
        case Logic::Or: return Variant(x || y);
        case Logic::Xor: return Variant(x != y);
        case Logic::Eqv: return Variant(x == y);
        case Logic::Imp: return Variant(!x || y);
        }
    }
    Logical a = logicalOperand(a0), b = logicalOperand(b0);
    VT t = logicalResultType(a.type, b.type);
    std::int32_t mask = allOnes(t);
    if (a.null || b.null) {
        if (a.null && b.null) return Variant::null();
        const Logical& other = a.null ? b : a;
        std::int32_t o = other.value & mask;
        switch (op) {
        case Logic::And:
            return o == 0 ? makeLogical(0, t) : Variant::null();
        case Logic::Or:
            return o == mask ? makeLogical(o, t) : Variant::null();
        case Logic::Imp:
            // Null Imp y is y when y is all ones; x Imp Null is all ones when x is 0.
            if (a.null) return o == mask ? makeLogical(o, t) : Variant::null();
            return o == 0 ? makeLogical(mask, t) : Variant::null();
        default:
            return Variant::null();
        }
    }
    std::int32_t x = a.value, y = b.value, r = 0;
    switch (op) {
    case Logic::And: r = x & y; break;
    case Logic::Or: r = x | y; break;
    case Logic::Xor: r = x ^ y; break;
    case Logic::Eqv: r = ~(x ^ y); break;
    case Logic::Imp: r = ~x | y; break;
    }
    return makeLogical(r & mask, t);
}

// Comparison helpers.
int cmpNum(double x, double y) { return x < y ? -1 : (x > y ? 1 : 0); }
int cmpInt(std::int64_t x, std::int64_t y) { return x < y ? -1 : (x > y ? 1 : 0); }

int cmpStr(const std::u16string& x, const std::u16string& y, CompareMode mode) {
    return mode == CompareMode::Text ? compareText(x, y, currentLocale().lcid) : compareBinary(x, y);
}

bool isNumberLike(VT t) {
    switch (t) {
    case VT::Byte: case VT::Integer: case VT::Long: case VT::Single: case VT::Double:
    case VT::Currency: case VT::Decimal: case VT::Date: case VT::Boolean:
        return true;
    default:
        return false;
    }
}

bool exactOf(const Variant& v, DecimalNumber& d) {
    const VT t = v.type();
    if (t == VT::Decimal || t == VT::Currency || isIntegral(t)) {
        d = v.toDecimal();
        return true;
    }
    return decimalFromDouble(dblOf(v), d);
}

int cmpNumbers(const Variant& a, const Variant& b) {
    VT ta = a.type(), tb = b.type();
    if (isIntegral(ta) && isIntegral(tb)) return cmpInt(intOf(a), intOf(b));
    if (ta == VT::Currency && tb == VT::Currency) return cmpInt(a.currencyValue(), b.currencyValue());
    if ((ta == VT::Currency && isIntegral(tb)) || (tb == VT::Currency && isIntegral(ta)))
        return cmpInt(a.toCurrency(), b.toCurrency());
    if (ta == VT::Decimal || tb == VT::Decimal) {
        // Exactly, unless the other side is a Double beyond the Decimal range.
        DecimalNumber x, y;
        if (exactOf(a, x) && exactOf(b, y)) return compareDecimal(x, y);
    }
    return cmpNum(dblOf(a), dblOf(b));
}

} // namespace

Variant add(const Variant& a, const Variant& b) { return arithmetic(Arith::Add, a, b); }
Variant subtract(const Variant& a, const Variant& b) { return arithmetic(Arith::Sub, a, b); }
Variant multiply(const Variant& a, const Variant& b) { return arithmetic(Arith::Mul, a, b); }

Variant divide(const Variant& a0, const Variant& b0) {
    Variant ha, hb;
    const Variant& a = operand(a0, ha);
    const Variant& b = operand(b0, hb);
    VT ta = a.type(), tb = b.type();
    if (ta == VT::Null || tb == VT::Null) return Variant::null();
    if (a.isArray() || b.isArray() || ta == VT::Error || tb == VT::Error) mismatch();
    if (ta == VT::Decimal || tb == VT::Decimal) {
        const DecimalNumber x = a.toDecimal(), y = b.toDecimal();
        if (y.isZero()) throwRuntimeError(x.isZero() ? err::Overflow : err::DivisionByZero);
        DecimalNumber d;
        return decimalResult(divideDecimal(x, y, d), d);
    }
    double x = dblOf(a), y = dblOf(b);
    if (y == 0) throwRuntimeError(x == 0 ? err::Overflow : err::DivisionByZero);
    auto small = [](VT t) {
        return t == VT::Single || t == VT::Byte || t == VT::Integer || t == VT::Boolean ||
               t == VT::Empty;
    };
    if ((ta == VT::Single || tb == VT::Single) && small(ta) && small(tb))
        return singleOrDouble(static_cast<double>(static_cast<float>(x) / static_cast<float>(y)));
    return checkedDouble(x / y);
}

Variant intDivide(const Variant& a, const Variant& b) { return integerDivision(a, b, false); }
Variant mod(const Variant& a, const Variant& b) { return integerDivision(a, b, true); }

Variant power(const Variant& a0, const Variant& b0) {
    Variant ha, hb;
    const Variant& a = operand(a0, ha);
    const Variant& b = operand(b0, hb);
    if (a.isNull() || b.isNull()) return Variant::null();
    if (a.isArray() || b.isArray()) mismatch();
    double x = dblOf(a), y = dblOf(b);
    if (x == 0 && y < 0) throwRuntimeError(err::InvalidCall);
    double r = std::pow(x, y);
    if (std::isnan(r)) throwRuntimeError(err::InvalidCall);
    return checkedDouble(r);
}

Variant negate(const Variant& a0) {
    Variant h;
    const Variant& a = operand(a0, h);
    switch (a.type()) {
    case VT::Null: return Variant::null();
    case VT::Empty: return Variant(static_cast<std::int16_t>(0));
    case VT::Boolean: case VT::Integer: return fitInteger(-static_cast<std::int64_t>(a.integerValue()), VT::Integer);
    case VT::Byte: return Variant(static_cast<std::int16_t>(-a.byteValue()));
    case VT::Long: return fitInteger(-static_cast<std::int64_t>(a.longValue()), VT::Long);
    case VT::Single: return Variant(-a.singleValue());
    case VT::Double: return Variant(-a.doubleValue());
    case VT::Date: return checkedDate(-a.dateValue());
    case VT::Currency:
        if (a.currencyValue() == std::numeric_limits<std::int64_t>::min()) overflow();
        return Variant::currency(-a.currencyValue());
    case VT::Decimal: return Variant::decimal(negated(a.decimalValue()));
    case VT::String: return Variant(-dblOf(a));
    default: mismatch();
    }
}

namespace {

// A long text grown by many small appends (s = s & x in a loop) takes four
// times its room when full, up to a bound: fewer copies of the whole text and
// fewer fresh pages than doubling, and the room not yet written is mostly not
// yet backed by memory. Past the bound it doubles as usual.
constexpr std::size_t kLongText = 32 * 1024, kFourfoldBound = 8 * 1024 * 1024; // code units

[[gnu::noinline]] void growLongText(std::u16string& s, std::size_t n) {
    if (s.capacity() < kFourfoldBound) s.reserve(std::max(s.size() + n, s.capacity() * 4));
}

} // namespace

// The text & gives a value: Null is empty, and numbers (the common "k" & i)
// are written straight into the result without a string of their own.
void appendText(std::u16string& s, const Variant& v) {
    if (s.size() >= kLongText) {
        const std::size_t n = v.isString() ? v.stringValue().size() : 24; // a number's text is shorter
        if (s.capacity() - s.size() < n) growLongText(s, n);
    }
    switch (v.type()) {
    case VT::String: s += v.stringValue(); return;
    case VT::Null: return;
    case VT::Integer: appendInteger(s, v.integerValue()); return;
    case VT::Long: appendInteger(s, v.longValue()); return;
    case VT::Byte: appendInteger(s, v.byteValue()); return;
    case VT::Double: appendFloat(s, v.doubleValue(), 15, currentLocale()); return;
    case VT::Single: appendFloat(s, v.singleValue(), 7, currentLocale()); return;
    case VT::Currency: appendCurrencyPlain(s, v.currencyValue(), currentLocale()); return;
    default: s += v.toString(); return;
    }
}

Variant concat(const Variant& a0, const Variant& b0) {
    Variant ha, hb;
    const Variant& a = operand(a0, ha);
    const Variant& b = operand(b0, hb);
    if (a.isNull() && b.isNull()) return Variant::null();
    std::u16string s;
    // Room for both sides at once when a long string is one of them (a
    // number takes at most 24 units), rather than growing after the first.
    const std::size_t la = a.isString() ? a.stringValue().size() : 0;
    const std::size_t lb = b.isString() ? b.stringValue().size() : 0;
    if (la + lb > 7) s.reserve(la + lb + (a.isString() && b.isString() ? 0 : 24));
    appendText(s, a);
    appendText(s, b);
    return Variant(std::move(s));
}

Variant notOp(const Variant& a0) {
    if (a0.type() == VT::Boolean) return Variant(!a0.boolValue());
    Logical a = logicalOperand(a0);
    if (a.null) return Variant::null();
    return makeLogical(~a.value & allOnes(a.type), a.type);
}

Variant andOp(const Variant& a, const Variant& b) { return logical(Logic::And, a, b); }
Variant orOp(const Variant& a, const Variant& b) { return logical(Logic::Or, a, b); }
Variant xorOp(const Variant& a, const Variant& b) { return logical(Logic::Xor, a, b); }
Variant eqvOp(const Variant& a, const Variant& b) { return logical(Logic::Eqv, a, b); }
Variant impOp(const Variant& a, const Variant& b) { return logical(Logic::Imp, a, b); }

int compare(const Variant& a0, const Variant& b0, CompareMode mode, std::uint8_t literalFlags) {
    VT ta0 = a0.type(), tb0 = b0.type();
    if (ta0 == VT::Integer && tb0 == VT::Integer) return cmpInt(a0.integerValue(), b0.integerValue());
    if (ta0 == VT::Long && tb0 == VT::Long) return cmpInt(a0.longValue(), b0.longValue());
    if (ta0 == VT::Double && tb0 == VT::Double) return cmpNum(a0.doubleValue(), b0.doubleValue());
    if (ta0 == VT::String && tb0 == VT::String) return cmpStr(a0.stringValue(), b0.stringValue(), mode);
    Variant ha, hb;
    const Variant& a = operand(a0, ha);
    const Variant& b = operand(b0, hb);
    VT ta = a.type(), tb = b.type();
    if (ta == VT::Null || tb == VT::Null) return kCompareNull;
    if (a.isArray() || b.isArray() || ta == VT::Error || tb == VT::Error) mismatch();
    if (ta == VT::Empty && tb == VT::Empty) return 0;
    if (ta == VT::String && tb == VT::String) return cmpStr(a.stringValue(), b.stringValue(), mode);
    if (ta == VT::Empty) {
        if (tb == VT::String) return b.stringValue().empty() ? 0 : -1;
        return cmpNum(0, dblOf(b));
    }
    if (tb == VT::Empty) {
        if (ta == VT::String) return a.stringValue().empty() ? 0 : 1;
        return cmpNum(dblOf(a), 0);
    }
    if (ta == VT::String || tb == VT::String) {
        // One number, one string.
        const bool stringIsLeft = ta == VT::String;
        if (literalFlags) {
            // A literal meets the other side on its terms: the string is read
            // as a date, a Boolean or a number, as the other side is.
            const Variant& s = stringIsLeft ? a : b;
            const Variant& other = stringIsLeft ? b : a;
            const std::u16string& text = s.stringValue();
            double d;
            bool ok, b;
            if (other.type() == VT::Date) {
                ok = parseDate(text, currentLocale(), d);
            } else if (other.type() == VT::Boolean && parseBooleanText(text, b)) {
                ok = true, d = b ? -1 : 0;
            } else {
                ok = parseNumber(text, currentLocale(), d);
            }
            if (ok) {
                double n = dblOf(other);
                return stringIsLeft ? cmpNum(d, n) : cmpNum(n, d);
            }
        }
        return stringIsLeft ? 1 : -1;
    }
    if (isNumberLike(ta) && isNumberLike(tb)) return cmpNumbers(a, b);
    mismatch();
}

Variant relate(Relation r, const Variant& a, const Variant& b, CompareMode mode,
               std::uint8_t literalFlags) {
    int c = compare(a, b, mode, literalFlags);
    if (c == kCompareNull) return Variant::null();
    switch (r) {
    case Relation::Eq: return Variant(c == 0);
    case Relation::Ne: return Variant(c != 0);
    case Relation::Lt: return Variant(c < 0);
    case Relation::Gt: return Variant(c > 0);
    case Relation::Le: return Variant(c <= 0);
    case Relation::Ge: return Variant(c >= 0);
    }
    return Variant(false);
}

bool is(const Variant& a, const Variant& b) {
    if (!a.isObject() || !b.isObject()) throwRuntimeError(err::ObjectRequired);
    return a.objectValue() == b.objectValue();
}

bool sameKey(const Variant& a, const Variant& b, CompareMode mode) noexcept {
    VT ta = a.type(), tb = b.type();
    if (ta == VT::String || tb == VT::String) {
        if (ta != tb) return false;
        // Equality that agrees with hashNoCase, for hashed keys.
        return mode == CompareMode::Text ? equalsNoCase(a.stringValue(), b.stringValue())
                                         : a.stringValue() == b.stringValue();
    }
    if (ta == VT::Object || tb == VT::Object) return ta == tb && a.objectValue() == b.objectValue();
    if (isNumberLike(ta) && isNumberLike(tb)) {
        try {
            return cmpNumbers(a, b) == 0;
        } catch (...) {
            return false;
        }
    }
    return ta == tb && (ta == VT::Empty || ta == VT::Null);
}

} // namespace qz::ops
