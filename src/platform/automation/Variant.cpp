#include "Variant.h"

#include "DateTime.h"
#include "Dispatch.h"
#include "ErrorTexts.h"
#include "LocaleFormat.h"
#include "NumberText.h"
#include "Text.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace qz {

// ---------------------------------------------------------------------------
// Life cycle

// The constructors, copies and moves are inline in the header: the script
// engine makes and drops Variants on every step.

Variant::Variant(std::u16string s) : type_(VarType::String) {
    u_.str = new StringBox(std::move(s));
    u_.str->addRef();
}
Variant::Variant(std::u16string_view s) : type_(VarType::String) {
    u_.str = new StringBox(s);
    u_.str->addRef();
}
Variant::Variant(const char16_t* s) : Variant(std::u16string_view(s ? s : u"")) {}

Variant::Variant(Ref<Dispatch> obj) noexcept : type_(VarType::Object) {
    u_.i64 = 0;
    u_.obj = obj.detach();  // the reference moves into the Variant
}

Variant::Variant(Ref<SafeArray> arr) noexcept {
    if (!arr) {
        type_ = VarType::Empty;
        u_.i64 = 0;
        return;
    }
    type_ = static_cast<VarType>(static_cast<std::uint16_t>(VarType::Array) |
                                 static_cast<std::uint16_t>(VarType::Variant));
    u_.arr = arr.detach();  // the reference moves into the Variant
}

Variant Variant::null() noexcept {
    Variant v;
    v.type_ = VarType::Null;
    return v;
}

Variant Variant::nothing() noexcept {
    Variant v;
    v.type_ = VarType::Object;
    v.u_.obj = nullptr;
    return v;
}

Variant Variant::currency(std::int64_t scaled) noexcept {
    Variant v;
    v.type_ = VarType::Currency;
    v.u_.i64 = scaled;
    return v;
}

Variant Variant::decimal(const DecimalNumber& value) {
    Variant v;
    v.u_.dec = new DecimalBox(value);
    v.u_.dec->addRef();
    v.type_ = VarType::Decimal;
    return v;
}

Variant Variant::date(double days) noexcept {
    Variant v;
    v.type_ = VarType::Date;
    v.u_.f64 = days;
    return v;
}

Variant Variant::error(std::int32_t scode) noexcept {
    Variant v;
    v.type_ = VarType::Error;
    v.u_.i32 = scode;
    return v;
}

Variant Variant::fromUtf8(std::string_view utf8) { return Variant(qz::fromUtf8(utf8)); }

const std::u16string& Variant::emptyString() noexcept {
    static const std::u16string kEmpty;
    return kEmpty;
}

bool Variant::isNumeric() const noexcept {
    switch (type_) {
    case VarType::Integer: case VarType::Long: case VarType::Single: case VarType::Double:
    case VarType::Currency: case VarType::Decimal: case VarType::Byte:
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Coercions

Variant Variant::dereference() const {
    if (type_ != VarType::Object) return *this;
    Variant v = *this;
    // A default member may itself answer an object; follow a few steps.
    for (int depth = 0; depth < 8 && v.type_ == VarType::Object; ++depth) {
        if (!v.u_.obj) throwRuntimeError(err::ObjectNotSet);
        v = v.u_.obj->invoke(kDispidValue, kInvokeMethod | kInvokePropertyGet, {});
    }
    if (v.type_ == VarType::Object) throwRuntimeError(err::NoSuchMember);
    return v;
}

namespace {

[[noreturn]] void mismatch() { throwRuntimeError(err::TypeMismatch); }
[[noreturn]] void overflow() { throwRuntimeError(err::Overflow); }

double parseOrMismatch(const std::u16string& s) { return parseNumberOrRaise(s, currentLocale()); }

// Integer coercions round half to even (the default floating-point rounding
// mode) and check the range of the target.
template <class T>
T roundToInt(double d) {
    if (std::isnan(d)) overflow();
    double r = std::nearbyint(d);
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
        overflow();
    return static_cast<T>(r);
}

// Rounds a Currency (scaled by 10000) to an integer, half to even.
std::int64_t currencyToInt(std::int64_t c) {
    std::int64_t q = c / 10000, r = c % 10000;
    if (r > 5000 || (r == 5000 && (q & 1))) ++q;
    else if (r < -5000 || (r == -5000 && (q & 1))) --q;
    return q;
}

template <class T>
T checkedFromInt64(__int128 v) {
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) overflow();
    return static_cast<T>(v);
}

// Numeric coercions share one path: integers stay exact, the rest goes
// through double.
template <class T>
T toIntegral(const Variant& v) {
    switch (v.type()) {
    case VarType::Empty: return 0;
    case VarType::Null: throwRuntimeError(err::InvalidNull);
    case VarType::Boolean: return static_cast<T>(v.boolValue() ? -1 : 0) ;
    case VarType::Byte: return checkedFromInt64<T>(v.byteValue());
    case VarType::Integer: return checkedFromInt64<T>(v.integerValue());
    case VarType::Long: return checkedFromInt64<T>(v.longValue());
    case VarType::Single: return roundToInt<T>(v.singleValue());
    case VarType::Double: return roundToInt<T>(v.doubleValue());
    case VarType::Date: return roundToInt<T>(v.dateValue());
    case VarType::Currency: return checkedFromInt64<T>(currencyToInt(v.currencyValue()));
    case VarType::Decimal: return checkedFromInt64<T>(roundDecimalToInteger(v.decimalValue()));
    case VarType::String: return roundToInt<T>(parseOrMismatch(v.stringValue()));
    case VarType::Object: return toIntegral<T>(v.dereference());
    default: mismatch();
    }
}

} // namespace

bool Variant::toBool() const {
    switch (type_) {
    case VarType::Empty: return false;
    case VarType::Null: throwRuntimeError(err::InvalidNull);
    case VarType::Boolean: case VarType::Integer: return u_.i16 != 0;
    case VarType::Byte: return u_.u8 != 0;
    case VarType::Long: return u_.i32 != 0;
    case VarType::Single: return u_.f32 != 0;
    case VarType::Double: case VarType::Date: return u_.f64 != 0;
    case VarType::Currency: return u_.i64 != 0;
    case VarType::Decimal: return !u_.dec->value.isZero();
    case VarType::String: {
        const std::u16string& s = u_.str->value;
        bool b;
        if (parseBooleanText(s, b)) return b;
        return parseNumberOrRaise(s, currentLocale()) != 0;
    }
    case VarType::Object: return dereference().toBool();
    default: mismatch();
    }
}

std::uint8_t Variant::toByte() const {
    if (type_ == VarType::Boolean) {
        if (u_.i16 != 0) overflow(); // True is -1
        return 0;
    }
    return toIntegral<std::uint8_t>(*this);
}
std::int16_t Variant::toInteger() const { return toIntegral<std::int16_t>(*this); }
std::int32_t Variant::toLong() const { return toIntegral<std::int32_t>(*this); }

double Variant::toDouble() const {
    switch (type_) {
    case VarType::Empty: return 0;
    case VarType::Null: throwRuntimeError(err::InvalidNull);
    case VarType::Boolean: case VarType::Integer: return u_.i16;
    case VarType::Byte: return u_.u8;
    case VarType::Long: return u_.i32;
    case VarType::Single: return u_.f32;
    case VarType::Double: case VarType::Date: return u_.f64;
    case VarType::Currency: return static_cast<double>(u_.i64) / 10000.0;
    case VarType::Decimal: return decimalToDouble(u_.dec->value);
    case VarType::String: return parseOrMismatch(u_.str->value);
    case VarType::Object: return dereference().toDouble();
    default: mismatch();
    }
}

float Variant::toSingle() const {
    if (type_ == VarType::Single) return u_.f32;
    double d = toDouble();
    if (std::fabs(d) > FLT_MAX) overflow();
    return static_cast<float>(d);
}

std::int64_t Variant::toCurrency() const {
    switch (type_) {
    case VarType::Currency: return u_.i64;
    case VarType::Boolean: case VarType::Integer: return static_cast<std::int64_t>(u_.i16) * 10000;
    case VarType::Byte: return static_cast<std::int64_t>(u_.u8) * 10000;
    case VarType::Long: return static_cast<std::int64_t>(u_.i32) * 10000;
    case VarType::String: {
        std::int64_t c = 0;
        int r = parseCurrency(u_.str->value, currentLocale(), c);
        if (r == 0) mismatch();
        if (r < 0) overflow();
        return c;
    }
    case VarType::Decimal: {
        const DecimalNumber d = roundDecimal(u_.dec->value, 4);
        __int128 units = static_cast<__int128>(d.magnitude);
        for (int s = d.scale; s < 4; ++s) units *= 10;
        return checkedFromInt64<std::int64_t>(d.negative ? -units : units);
    }
    default: break;
    }
    double d = toDouble() * 10000.0;
    if (std::isnan(d)) overflow();
    double r = std::nearbyint(d);
    if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) overflow();
    return static_cast<std::int64_t>(r);
}

DecimalNumber Variant::toDecimal() const {
    switch (type_) {
    case VarType::Decimal: return u_.dec->value;
    case VarType::Currency: return decimalFromCurrency(u_.i64);
    case VarType::Object: return dereference().toDecimal();
    case VarType::Single: case VarType::Double: case VarType::Date: case VarType::String: {
        DecimalNumber d;
        if (!decimalFromDouble(toDouble(), d)) overflow();
        return d;
    }
    default: return decimalFromInt(toLong());  // Empty, Boolean, Byte, Integer, Long; Null raises
    }
}

double Variant::toDate() const {
    double d;
    switch (type_) {
    case VarType::Date: return u_.f64;
    case VarType::String:
        // Only a text that reads as a date converts (IsDate agrees).
        if (!parseDate(u_.str->value, currentLocale(), d)) mismatch();
        return d;
    case VarType::Object: return dereference().toDate();
    default: d = toDouble(); break;
    }
    if (!isValidDate(d)) overflow();
    return d;
}

std::u16string Variant::toString() const {
    switch (type_) {
    case VarType::Empty: return {};
    case VarType::Null: throwRuntimeError(err::InvalidNull);
    case VarType::Boolean: return u_.i16 ? u"True" : u"False";
    case VarType::Byte: return formatInteger(u_.u8);
    case VarType::Integer: return formatInteger(u_.i16);
    case VarType::Long: return formatInteger(u_.i32);
    case VarType::Single: return formatFloat(u_.f32, 7, currentLocale());
    case VarType::Double: return formatFloat(u_.f64, 15, currentLocale());
    case VarType::Currency: return formatCurrencyPlain(u_.i64, currentLocale());
    case VarType::Decimal: return formatDecimalPlain(u_.dec->value, currentLocale());
    case VarType::Date: return formatDateDefault(u_.f64, currentLocale());
    case VarType::String: return u_.str->value;
    case VarType::Object: return dereference().toString();
    default: mismatch();
    }
}

std::string Variant::toUtf8() const {
    if (type_ == VarType::String) return qz::toUtf8(u_.str->value);
    return qz::toUtf8(toString());
}

Ref<Dispatch> Variant::toObject() const {
    if (type_ != VarType::Object) throwRuntimeError(err::ObjectRequired);
    return Ref<Dispatch>(u_.obj);
}

Variant Variant::convertTo(VarType target) const {
    switch (target) {
    case VarType::Empty: return Variant();
    case VarType::Null: return null();
    case VarType::Boolean: return Variant(toBool());
    case VarType::Byte: return Variant(toByte());
    case VarType::Integer: return Variant(toInteger());
    case VarType::Long: return Variant(toLong());
    case VarType::Single: return Variant(toSingle());
    case VarType::Double: return Variant(toDouble());
    case VarType::Currency: return currency(toCurrency());
    case VarType::Decimal: return decimal(toDecimal());
    case VarType::Date: return date(toDate());
    case VarType::String: return Variant(toString());
    case VarType::Object: return Variant(toObject());
    case VarType::Variant: return *this;
    default: mismatch();
    }
}

} // namespace qz
