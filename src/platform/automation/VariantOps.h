// The script language's operators on Variants, with its result-type rules:
// Integer arithmetic that overflows becomes Long, then Double; Byte becomes
// Integer; Currency stays exact; Date plus a number stays a Date; Null
// propagates (with three-valued logic for And, Or and Imp); Empty acts as 0 or
// "". Objects are replaced by their default value first.
//
// Numeric operators allocate nothing; only & and + on strings build a string.
#pragma once

#include "Variant.h"

namespace qz::ops {

enum class CompareMode : std::uint8_t { Binary = 0, Text = 1 };

Variant add(const Variant& a, const Variant& b);        // +
Variant subtract(const Variant& a, const Variant& b);   // -
Variant multiply(const Variant& a, const Variant& b);   // *
Variant divide(const Variant& a, const Variant& b);     // /
Variant intDivide(const Variant& a, const Variant& b);  // backslash
Variant mod(const Variant& a, const Variant& b);        // Mod
Variant power(const Variant& a, const Variant& b);      // ^
Variant negate(const Variant& a);                        // unary -
Variant concat(const Variant& a, const Variant& b);     // &
// Appends the text & takes of a value that is not an object (Null adds nothing).
void appendText(std::u16string& s, const Variant& v);

Variant notOp(const Variant& a);
Variant andOp(const Variant& a, const Variant& b);
Variant orOp(const Variant& a, const Variant& b);
Variant xorOp(const Variant& a, const Variant& b);
Variant eqvOp(const Variant& a, const Variant& b);
Variant impOp(const Variant& a, const Variant& b);

// Comparison. A number compared with a string is less than it, unless one
// side is a literal of the program (the engine says which through the flags):
// then a numeric string is compared as a number.
inline constexpr std::uint8_t kLeftIsLiteral = 1;
inline constexpr std::uint8_t kRightIsLiteral = 2;
inline constexpr int kCompareNull = 2;

// -1, 0, 1, or kCompareNull when either side is Null.
int compare(const Variant& a, const Variant& b, CompareMode mode = CompareMode::Binary,
            std::uint8_t literalFlags = 0);

enum class Relation : std::uint8_t { Eq, Ne, Lt, Gt, Le, Ge };
// Boolean, or Null when either side is Null.
Variant relate(Relation r, const Variant& a, const Variant& b,
               CompareMode mode = CompareMode::Binary, std::uint8_t literalFlags = 0);

// Is: both sides must be objects (Nothing included), else 424.
bool is(const Variant& a, const Variant& b);

// Equality as Dictionary keys and Filter/InStr-style lookups need it, without
// raising: numbers by value, strings by the mode, objects by identity.
bool sameKey(const Variant& a, const Variant& b, CompareMode mode) noexcept;

} // namespace qz::ops
