// Math functions and the Rnd generator.
#include "Builtins.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace qz::script {
namespace {

// Rnd keeps a 24-bit linear congruential state per thread, seeded as the
// language seeds it, so that a seeded sequence repeats exactly.
thread_local std::uint32_t tRndState = 0x50000;

std::uint32_t rndStep(std::uint32_t s) { return (s * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu; }

float rndValue() { return static_cast<float>(tRndState) / 16777216.0f; }

void seedFromDouble(double d) {
    // The high 32 bits of the Double, folded to 16 bits, become the middle of
    // the state; its low byte is kept.
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    auto hi = static_cast<std::uint32_t>(bits >> 32);
    hi = ((hi & 0xFFFF) ^ (hi >> 16)) << 8;
    tRndState = (tRndState & 0xFF) | (hi & 0xFFFF00);
}

} // namespace

void randomize() { seedFromDouble(static_cast<float>(secondsSinceMidnight())); }

void randomize(const Variant& seed) {
    Variant v = valueOf(seed);
    if (v.isMissing()) return randomize();
    seedFromDouble(v.toDouble());
}

namespace fn {
namespace {

double number(const Variant& v) { return valueOf(v).toDouble(); }

Variant checked(double d) {
    if (std::isnan(d)) throwRuntimeError(err::InvalidCall);
    if (!std::isfinite(d)) throwRuntimeError(err::Overflow);
    return Variant(d);
}

// Round half to even at `digits` decimals, as Round does.
double roundDigits(double x, int digits) {
    if (digits == 0) return std::nearbyint(x);
    if (digits > 22) return x;
    double scale = std::pow(10.0, digits);
    double scaled = x * scale;
    if (!std::isfinite(scaled)) return x;
    return std::nearbyint(scaled) / scale;
}

} // namespace

Variant Abs(std::span<Variant> a) {
    Variant v = valueOf(a[0]);
    switch (v.type()) {
    case qz::VarType::Null: return Variant::null();
    case qz::VarType::Empty: return Variant(static_cast<std::int16_t>(0));
    case qz::VarType::Boolean: case qz::VarType::Integer: {
        std::int32_t x = v.integerValue();
        if (x == -32768) return Variant(std::int32_t{32768});
        return Variant(static_cast<std::int16_t>(x < 0 ? -x : x));
    }
    case qz::VarType::Byte: return v;
    case qz::VarType::Long: {
        std::int32_t x = v.longValue();
        if (x == INT32_MIN) return Variant(2147483648.0);
        return Variant(x < 0 ? -x : x);
    }
    case qz::VarType::Single: return Variant(std::fabs(v.singleValue()));
    case qz::VarType::Double: return Variant(std::fabs(v.doubleValue()));
    case qz::VarType::Date: return Variant::date(std::fabs(v.dateValue()));
    case qz::VarType::Currency: {
        std::int64_t c = v.currencyValue();
        if (c == INT64_MIN) throwRuntimeError(err::Overflow);
        return Variant::currency(c < 0 ? -c : c);
    }
    case qz::VarType::String: return Variant(std::fabs(v.toDouble()));
    case qz::VarType::Decimal: {
        DecimalNumber d = v.decimalValue();
        d.negative = false;
        return Variant::decimal(d);
    }
    default: throwRuntimeError(err::TypeMismatch);
    }
}

Variant Atn(std::span<Variant> a) { return checked(std::atan(number(a[0]))); }
Variant Cos(std::span<Variant> a) { return checked(std::cos(number(a[0]))); }
Variant Sin(std::span<Variant> a) { return checked(std::sin(number(a[0]))); }
Variant Tan(std::span<Variant> a) { return checked(std::tan(number(a[0]))); }
Variant Exp(std::span<Variant> a) { return checked(std::exp(number(a[0]))); }

Variant Log(std::span<Variant> a) {
    double x = number(a[0]);
    if (x <= 0) throwRuntimeError(err::InvalidCall);
    return checked(std::log(x));
}

Variant Sqr(std::span<Variant> a) {
    double x = number(a[0]);
    if (x < 0) throwRuntimeError(err::InvalidCall);
    return checked(std::sqrt(x));
}

Variant Sgn(std::span<Variant> a) {
    Variant v = valueOf(a[0]);
    if (v.isNull()) throwRuntimeError(err::InvalidNull);
    double x = v.toDouble();
    return Variant(static_cast<std::int16_t>(x > 0 ? 1 : (x < 0 ? -1 : 0)));
}

Variant Rnd(std::span<Variant> a) {
    if (given(a, 0)) {
        Variant v = valueOf(a[0]);
        float x = static_cast<float>(v.toDouble());
        if (x == 0) return Variant(rndValue());
        if (x < 0) {
            std::uint32_t bits;
            std::memcpy(&bits, &x, sizeof bits);
            tRndState = (bits + (bits >> 24)) & 0xFFFFFF;
        }
    }
    tRndState = rndStep(tRndState);
    return Variant(rndValue());
}

Variant Round(std::span<Variant> a) {
    Variant v = valueOf(a[0]);
    std::int32_t digits = longArg(a, 1, 0);
    if (digits < 0) throwRuntimeError(err::InvalidCall);
    if (v.type() == qz::VarType::Boolean) return v;  // a Boolean is whole already, and stays one
    return roundKeepingSubtype(v, [digits](double d) { return roundDigits(d, digits); },
                               [digits](std::int64_t c) {
                                   if (digits >= 4) return c;
                                   std::int64_t unit = 1;
                                   for (int i = digits; i < 4; ++i) unit *= 10;
                                   std::int64_t q = c / unit, r = c % unit, half = unit / 2;
                                   if (r > half || (r == half && (q & 1))) ++q;
                                   else if (r < -half || (r == -half && (q & 1))) --q;
                                   return currencyUnits(q, unit);
                               },
                               [digits](const DecimalNumber& d) { return roundDecimal(d, digits); });
}

} // namespace fn
} // namespace qz::script
