// Conversion, type-information and array functions.
#include "Builtins.h"

#include "platform/automation/DateTime.h"
#include "platform/automation/LocaleFormat.h"
#include "platform/automation/NumberText.h"
#include "platform/automation/Text.h"

#include <cmath>

namespace qz::script {

namespace fn {

Variant CBool(std::span<Variant> a) { return Variant(a[0].toBool()); }
Variant CByte(std::span<Variant> a) {
    // True (-1) keeps its low byte: 255.
    if (a[0].type() == qz::VarType::Boolean) return Variant(static_cast<std::uint8_t>(a[0].boolValue() ? 255 : 0));
    return Variant(a[0].toByte());
}
Variant CInt(std::span<Variant> a) { return Variant(a[0].toInteger()); }
Variant CLng(std::span<Variant> a) { return Variant(a[0].toLong()); }
Variant CSng(std::span<Variant> a) { return Variant(a[0].toSingle()); }
Variant CDbl(std::span<Variant> a) { return Variant(a[0].toDouble()); }
Variant CCur(std::span<Variant> a) { return Variant::currency(a[0].toCurrency()); }
Variant CDate(std::span<Variant> a) {
    // A text that is no date but a number is that serial day ("2": 1 Jan 1900).
    double d;
    if (a[0].isString() && !parseDate(a[0].stringValue(), currentLocale(), d) &&
        parseNumber(a[0].stringValue(), currentLocale(), d)) {
        if (!isValidDate(d)) throwRuntimeError(err::Overflow);
        return Variant::date(d);
    }
    return Variant::date(a[0].toDate());
}
Variant CStr(std::span<Variant> a) { return Variant(a[0].toString()); }

namespace {

// Hex and Oct: Integer-sized values print 16 bits, the rest 32.
Variant radixText(const Variant& arg, int base) {
    Variant v = valueOf(arg);
    if (v.isNull()) return Variant::null();
    std::uint32_t bits;
    switch (v.type()) {
    case qz::VarType::Empty: bits = 0; break;
    case qz::VarType::Byte: bits = v.byteValue(); break;
    case qz::VarType::Integer: case qz::VarType::Boolean:
        bits = static_cast<std::uint16_t>(v.integerValue());
        break;
    default: bits = static_cast<std::uint32_t>(v.toLong()); break;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, base == 16 ? "%X" : "%o", bits);
    return Variant(std::u16string(buf, buf + std::char_traits<char>::length(buf)));
}

// Fix and Int keep the numeric subtype of their argument.
Variant truncateNumber(const Variant& arg, bool floorIt) {
    Variant v = valueOf(arg);
    return roundKeepingSubtype(
        v, [floorIt](double d) { return floorIt ? std::floor(d) : std::trunc(d); },
        [floorIt](std::int64_t c) {
            std::int64_t q = c / 10000, r = c % 10000;
            if (floorIt && r < 0) --q;
            return currencyUnits(q, 10000);
        },
        [floorIt](const DecimalNumber& d) { return wholePart(d, floorIt); });
}

std::u16string typeNameOf(qz::VarType t) {
    switch (t) {
    case qz::VarType::Empty: return u"Empty";
    case qz::VarType::Null: return u"Null";
    case qz::VarType::Integer: return u"Integer";
    case qz::VarType::Long: return u"Long";
    case qz::VarType::Single: return u"Single";
    case qz::VarType::Double: return u"Double";
    case qz::VarType::Currency: return u"Currency";
    case qz::VarType::Decimal: return u"Decimal";
    case qz::VarType::Date: return u"Date";
    case qz::VarType::String: return u"String";
    case qz::VarType::Object: return u"Object";
    case qz::VarType::Error: return u"Error";
    case qz::VarType::Boolean: return u"Boolean";
    case qz::VarType::Variant: return u"Variant";
    case qz::VarType::Byte: return u"Byte";
    default: return u"Unknown";
    }
}

SafeArray& arrayArg(const Variant& v) {
    SafeArray* a = v.arrayValue();
    if (!a) throwRuntimeError(err::TypeMismatch);
    return *a;
}

const SafeArray::Bound& boundArg(std::span<Variant> args) {
    SafeArray& a = arrayArg(args[0]);
    std::int32_t dim = longArg(args, 1, 1);
    if (dim < 1 || dim > static_cast<std::int32_t>(a.bounds.size()))
        throwRuntimeError(err::SubscriptOutOfRange);
    return a.bounds[dim - 1];
}

} // namespace

Variant Hex(std::span<Variant> a) { return radixText(a[0], 16); }
Variant Oct(std::span<Variant> a) { return radixText(a[0], 8); }
Variant Fix(std::span<Variant> a) { return truncateNumber(a[0], false); }
Variant Int(std::span<Variant> a) { return truncateNumber(a[0], true); }

Variant IsArray(std::span<Variant> a) { return Variant(a[0].isArray()); }
Variant IsEmpty(std::span<Variant> a) { return Variant(inquiryValue(a[0]).isEmpty()); }
Variant IsNull(std::span<Variant> a) { return Variant(inquiryValue(a[0]).isNull()); }
Variant IsObject(std::span<Variant> a) { return Variant(a[0].isObject()); }

Variant IsDate(std::span<Variant> a) {
    const Variant v = inquiryValue(a[0]);
    if (v.type() == qz::VarType::Date) return Variant(true);
    if (!v.isString()) return Variant(false);
    double d;
    return Variant(parseDate(v.stringValue(), currentLocale(), d));
}

Variant IsNumeric(std::span<Variant> a) {
    const Variant v = inquiryValue(a[0]);
    switch (v.type()) {
    case qz::VarType::Empty: case qz::VarType::Boolean: case qz::VarType::Byte: case qz::VarType::Integer:
    case qz::VarType::Long: case qz::VarType::Single: case qz::VarType::Double: case qz::VarType::Currency:
    case qz::VarType::Decimal:
        return Variant(true);
    case qz::VarType::String: {
        double d;
        return Variant(parseNumber(v.stringValue(), currentLocale(), d));
    }
    default:
        return Variant(false);
    }
}

Variant TypeName(std::span<Variant> a) {
    const Variant& v = a[0];
    if (v.isObject()) {
        Dispatch* d = v.objectValue();
        return Variant(d ? d->typeName() : std::u16string(u"Nothing"));
    }
    if (v.isArray()) {
        auto elem = static_cast<qz::VarType>(v.varType() & ~static_cast<std::uint16_t>(qz::VarType::Array));
        return Variant(typeNameOf(elem) + u"()");
    }
    return Variant(typeNameOf(v.type()));
}

Variant VarType(std::span<Variant> a) {
    return Variant(static_cast<std::int16_t>(inquiryValue(a[0]).varType()));
}

Variant Array(std::span<Variant> a) {
    std::vector<Variant> items(a.begin(), a.end());
    return Variant(SafeArray::fromVector(std::move(items)));
}

Variant LBound(std::span<Variant> a) { return Variant(boundArg(a).lower); }

Variant UBound(std::span<Variant> a) {
    const SafeArray::Bound& b = boundArg(a);
    return Variant(static_cast<std::int32_t>(static_cast<std::int64_t>(b.lower) + b.count - 1));
}

Variant RGB(std::span<Variant> a) {
    std::int32_t c[3];
    for (int i = 0; i < 3; ++i) {
        c[i] = a[i].toLong();
        if (c[i] < 0) throwRuntimeError(err::InvalidCall);
        if (c[i] > 255) c[i] = 255;
    }
    return Variant(c[0] + c[1] * 256 + c[2] * 65536);
}

} // namespace fn

Variant inquiryValue(const Variant& v) {
    if (!v.objectValue()) return v;
    try {
        return v.dereference();
    } catch (const AutomationError& e) {
        if (e.Number != err::NoSuchMember && e.Number != err::WrongArgCount) throw;
    }
    return v;
}

} // namespace qz::script
