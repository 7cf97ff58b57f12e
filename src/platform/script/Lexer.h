// Lexer of VBScript source: tokens with their 1-based line and column.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qz::script {

enum class Tok : std::uint8_t {
    End,        // end of the text
    Newline,    // end of a line, or a ":" (ival 1)
    Ident,      // a name or a keyword (see Token::kw)
    Integer,    // integer literal (value in ival; isLong tells Integer from Long)
    Double,     // floating literal (dval)
    String,     // string literal (text)
    Date,       // date literal (dval: days since 30 Dec 1899)
    LParen, RParen, Comma, Dot,
    // operators
    Plus, Minus, Star, Slash, Backslash, Caret, Amp,
    Eq, Ne, Lt, Le, Gt, Ge,
};

// Words the parser treats specially. kwNone: an ordinary name.
enum Kw : std::uint8_t {
    kwNone, kwAnd, kwByRef, kwByVal, kwCall, kwCase, kwClass, kwConst, kwDefault, kwDim, kwDo,
    kwEach, kwElse, kwElseIf, kwEmpty, kwEnd, kwEqv, kwErase, kwError, kwExit, kwExplicit,
    kwFalse, kwFor, kwFunction, kwGet, kwGoTo, kwIf, kwImp, kwIn, kwIs, kwLet, kwLoop, kwMe,
    kwMod, kwNew, kwNext, kwNot, kwNothing, kwNull, kwOn, kwOption, kwOr, kwPreserve,
    kwPrivate, kwProperty, kwPublic, kwRedim, kwRem, kwResume, kwSelect, kwSet, kwStep,
    kwStop, kwSub, kwThen, kwTo, kwTrue, kwUntil, kwWend, kwWhile, kwWith, kwXor,
};

struct Token {
    Tok type = Tok::End;
    Kw kw = kwNone;
    bool spaceBefore = false; // whitespace right before the token ("f (x)" versus "f(x)")
    bool isLong = false;      // Integer token of Long subtype
    std::int32_t line = 1;
    std::int32_t col = 1;
    std::int64_t ival = 0;
    double dval = 0;
    std::u16string text;      // name as written, or string literal value
};

// A compilation error found while reading the source.
struct CompileError {
    std::int32_t number;
    std::int32_t line;
    std::int32_t col;
};

// Splits UTF-16 source into tokens. Throws CompileError.
std::vector<Token> tokenize(std::u16string_view src);

// Keyword of a name (case-insensitive), kwNone when it is none.
Kw keywordOf(std::u16string_view name);

// Lower-cases ASCII letters and the Latin-1 range; names compare this way.
std::u16string foldName(std::u16string_view name);

// Text of a compile error number ("Syntax error", "Expected 'End'", ...).
const char* compileErrorText(std::int32_t number);

// Parses a date literal's text (US order: m/d/y, or y-m-d; optional time).
// Returns false when the text is not a valid date.
bool parseDateLiteral(std::u16string_view text, double& out);

} // namespace qz::script
