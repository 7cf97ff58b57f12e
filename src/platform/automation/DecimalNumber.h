// The exact decimal number of the automation Decimal subtype: a 96-bit
// magnitude divided by a power of ten (the scale, 0 to 28), and a sign. It
// holds 28 to 29 significant digits exactly, where a Double keeps 15.
//
// The operations give the exact result, rounded half to even to the most
// digits that fit; false means the result's whole part needs more than 96
// bits (the callers raise 6 "Overflow").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

struct DecimalNumber {
    unsigned __int128 magnitude = 0;  // below 2^96
    std::uint8_t scale = 0;           // 0 to 28
    bool negative = false;            // never set on a zero

    static constexpr int kMaxScale = 28;
    bool isZero() const noexcept { return magnitude == 0; }
};

DecimalNumber decimalFromInt(std::int64_t value) noexcept;
// A Currency (scaled by 10000), exactly.
DecimalNumber decimalFromCurrency(std::int64_t scaled) noexcept;
// A Double by its fifteen significant digits, as the coercion takes it.
bool decimalFromDouble(double value, DecimalNumber& out) noexcept;
double decimalToDouble(const DecimalNumber& d) noexcept;

// Reads the C form of a number: an optional sign, digits with at most one
// ".", an optional exponent ("e" or "E", an optional sign, digits), nothing
// around it. False when the text is no such number, has more than 40
// significant digits, or does not fit.
bool parseDecimalNumber(std::string_view text, DecimalNumber& out) noexcept;
// The C form: "-" for a negative number, all the digits, "." before the
// decimals, trailing zeros of the decimals dropped ("1234567890123456.7891").
std::string decimalNumberText(const DecimalNumber& d);

// The whole number nearest d (half to even), as a 128-bit integer.
__int128 roundDecimalToInteger(const DecimalNumber& d) noexcept;
// d rounded (half to even) to the given number of decimals.
DecimalNumber roundDecimal(const DecimalNumber& d, int decimals) noexcept;
// The whole part of d: toward zero, or toward minus infinity with `floor`.
DecimalNumber wholePart(const DecimalNumber& d, bool floor) noexcept;

int compareDecimal(const DecimalNumber& a, const DecimalNumber& b) noexcept;  // -1, 0, 1
bool addDecimal(const DecimalNumber& a, const DecimalNumber& b, DecimalNumber& out) noexcept;
bool multiplyDecimal(const DecimalNumber& a, const DecimalNumber& b, DecimalNumber& out) noexcept;
// b must not be zero.
bool divideDecimal(const DecimalNumber& a, const DecimalNumber& b, DecimalNumber& out) noexcept;
inline DecimalNumber negated(DecimalNumber d) noexcept {
    d.negative = !d.negative && !d.isZero();
    return d;
}

} // namespace qz
