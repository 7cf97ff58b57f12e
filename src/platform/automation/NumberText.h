// Numbers to text and back, as the automation coercions do them: text is read
// with the locale's separators and currency symbol, numbers are written with
// the locale's decimal separator and no grouping.
#pragma once

#include "DecimalNumber.h"
#include "LocaleFormat.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

// Parses a number the way string-to-number coercion does: surrounding blanks,
// a leading or trailing sign, parentheses for negative, the currency symbol,
// group separators in the integer part, a decimal separator, an exponent
// (E or D), and &H / &O radix forms. Returns false when the text is not a
// number (the caller raises type mismatch).
bool parseNumber(std::u16string_view text, const LocaleFormat& locale, double& out);
// The same for a coercion: raises 13 when the text is not a number and 6 when
// it is one beyond the range of a Double ("1E+400").
double parseNumberOrRaise(std::u16string_view text, const LocaleFormat& locale);

// Reads the texts a Boolean is written as: "True" and "False" (as CStr writes
// them) and "#TRUE#" and "#FALSE#" (as files hold them), in any letter case.
// The one text-to-Boolean step of every coercion and operator.
bool parseBooleanText(std::u16string_view text, bool& out);

// Parses a number to a Currency (scaled by 10000) without going through a
// Double, so that all fifteen integer digits survive. Returns 1 on success,
// 0 when the text is not a number, -1 when it is out of the Currency range.
int parseCurrency(std::u16string_view text, const LocaleFormat& locale, std::int64_t& out);

// The text CStr gives for a Double (15 significant digits) or a Single (7):
// plain notation for exponents -5 < e < precision, else "1.5E+20" / "1E-05".
std::u16string formatFloat(double value, int significantDigits, const LocaleFormat& locale);

// The text CStr gives for a Currency (value scaled by 10000): up to four
// decimals, trailing zeros dropped.
std::u16string formatCurrencyPlain(std::int64_t scaled, const LocaleFormat& locale);

// The text CStr gives for a Decimal: all its digits, trailing zeros of the
// decimals dropped.
std::u16string formatDecimalPlain(const DecimalNumber& value, const LocaleFormat& locale);

// Decimal text of an integer.
std::u16string formatInteger(std::int64_t value);

// The same texts appended to out, without a string of their own (the &
// operator and in-place appends build long strings from many numbers).
void appendFloat(std::u16string& out, double value, int significantDigits, const LocaleFormat& locale);
void appendCurrencyPlain(std::u16string& out, std::int64_t scaled, const LocaleFormat& locale);
void appendInteger(std::u16string& out, std::int64_t value);

} // namespace qz
