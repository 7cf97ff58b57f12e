// The Access functions and operators on SQLite: the script run time's own
// built-ins where it has them (one implementation of each), called with the
// row's values as the script would see them; Nz, Val, Format, Like and the
// text join (&), which the script language lacks, are here.
//
// Dates are kept as text on these databases ('YYYY-MM-DD', with
// ' HH:MM:SS' when they have a time of day): a function that takes a date
// reads such a text as one, and a function that gives a date writes it so.
#include "platform/ado/JetSql.h"

#include "platform/ado/AdoTypes.h"
#include "platform/ado/Workbook.h"
#include "platform/automation/DateTime.h"
#include "platform/automation/LocaleFormat.h"
#include "platform/automation/Text.h"
#include "platform/automation/VariantOps.h"
#include "platform/script/runtime/Builtins.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace qz::ado {

namespace {

namespace fn = script::fn;

std::string_view textOf(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return {p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

Variant wholeValue(sqlite3_int64 i) {
    if (i >= INT32_MIN && i <= INT32_MAX) return Variant(static_cast<std::int32_t>(i));
    return Variant(static_cast<double>(i));
}

// A value of the row as the script sees it; with `dates`, a text in the form
// dates are kept in is a Date.
Variant valueOf(sqlite3_value* v, bool dates) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return Variant::null();
    case SQLITE_INTEGER: return wholeValue(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return Variant(sqlite3_value_double(v));
    default: {
        const std::string_view text = textOf(v);
        if (dates)
            if (const std::int64_t packed = packedIsoDate(text); packed >= 0) return Variant::date(dateOfPacked(packed));
        return Variant::fromUtf8(text);
    }
    }
}

void dateResult(sqlite3_context* ctx, double date) {
    const std::string t = workbook::isoFromOleDate(date, true);
    sqlite3_result_text(ctx, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}

void setResult(sqlite3_context* ctx, const Variant& r) {
    switch (r.type()) {
    case VarType::Empty:
    case VarType::Null: return sqlite3_result_null(ctx);
    case VarType::Boolean: return sqlite3_result_int(ctx, r.boolValue() ? -1 : 0);
    case VarType::Byte: return sqlite3_result_int(ctx, r.byteValue());
    case VarType::Integer: return sqlite3_result_int(ctx, r.integerValue());
    case VarType::Long: return sqlite3_result_int(ctx, r.longValue());
    case VarType::Single: return sqlite3_result_double(ctx, r.singleValue());
    case VarType::Double: return sqlite3_result_double(ctx, r.doubleValue());
    case VarType::Currency: return sqlite3_result_double(ctx, static_cast<double>(r.currencyValue()) / 10000.0);
    case VarType::Date: return dateResult(ctx, r.dateValue());
    case VarType::String: {
        const std::string t = r.toUtf8();
        return sqlite3_result_text(ctx, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    }
    default: sqlite3_result_error(ctx, "The function gives a value that a query cannot hold", -1);
    }
}

// Runs a function's body; an error it raises fails the statement, named
// (and false is returned).
template <class F>
bool guarded(sqlite3_context* ctx, std::string_view name, F&& body) {
    std::string why;
    try {
        body();
        return true;
    } catch (const AutomationError& e) {
        why = e.Description;
    } catch (const script::ScriptAbort& a) {
        why = a.outOfMemory ? "Out of memory" : "The time-out passed";
    } catch (const std::exception& e) {
        why = e.what();
    }
    why += " (in ";
    why += name;
    why += ")";
    sqlite3_result_error(ctx, why.data(), static_cast<int>(why.size()));
    return false;
}

// ---------------------------------------------------------------- built-ins

struct Builtin {
    const char* name;
    script::BuiltinFn fn;
    int minArgs, maxArgs;
    bool dates;    // its arguments may be dates
    bool anyDb;    // also on SQLite files, under its own name
    bool volatile_; // a new value on every call (the clock)
};

constexpr Builtin kBuiltins[] = {
    {"Abs", fn::Abs, 1, 1, false, false, false},
    {"Asc", fn::Asc, 1, 1, false, false, false},
    {"AscW", fn::AscW, 1, 1, false, false, false},
    {"Atn", fn::Atn, 1, 1, false, false, false},
    {"CBool", fn::CBool, 1, 1, false, false, false},
    {"CByte", fn::CByte, 1, 1, false, false, false},
    {"CCur", fn::CCur, 1, 1, false, false, false},
    {"CDate", fn::CDate, 1, 1, true, false, false},
    {"CDbl", fn::CDbl, 1, 1, false, false, false},
    {"CInt", fn::CInt, 1, 1, false, false, false},
    {"CLng", fn::CLng, 1, 1, false, false, false},
    {"CSng", fn::CSng, 1, 1, false, false, false},
    {"CStr", fn::CStr, 1, 1, true, false, false},
    {"Chr", fn::Chr, 1, 1, false, false, false},
    {"ChrW", fn::ChrW, 1, 1, false, false, false},
    {"Cos", fn::Cos, 1, 1, false, false, false},
    {"Date", fn::Date, 0, 0, false, false, true},
    {"DateAdd", fn::DateAdd, 3, 3, true, false, false},
    {"DateDiff", fn::DateDiff, 3, 5, true, false, false},
    {"DatePart", fn::DatePart, 2, 4, true, false, false},
    {"DateSerial", fn::DateSerial, 3, 3, false, false, false},
    {"DateValue", fn::DateValue, 1, 1, true, false, false},
    {"Day", fn::Day, 1, 1, true, true, false},
    {"Exp", fn::Exp, 1, 1, false, false, false},
    {"Fix", fn::Fix, 1, 1, false, false, false},
    {"FormatCurrency", fn::FormatCurrency, 1, 5, false, false, false},
    {"FormatDateTime", fn::FormatDateTime, 1, 2, true, false, false},
    {"FormatNumber", fn::FormatNumber, 1, 5, false, false, false},
    {"FormatPercent", fn::FormatPercent, 1, 5, false, false, false},
    {"Hex", fn::Hex, 1, 1, false, false, false},
    {"Hour", fn::Hour, 1, 1, true, false, false},
    {"InStr", fn::InStr, 2, 4, false, false, false},
    {"InStrRev", fn::InStrRev, 2, 4, false, false, false},
    {"Int", fn::Int, 1, 1, false, false, false},
    {"IsDate", fn::IsDate, 1, 1, true, false, false},
    {"IsNull", fn::IsNull, 1, 1, false, false, false},
    {"IsNumeric", fn::IsNumeric, 1, 1, false, false, false},
    {"LCase", fn::LCase, 1, 1, false, true, false},
    {"Left", fn::Left, 2, 2, false, true, false},
    {"Len", fn::Len, 1, 1, false, true, false},
    {"Log", fn::Log, 1, 1, false, false, false},
    {"LTrim", fn::LTrim, 1, 1, false, false, false},
    {"Mid", fn::Mid, 2, 3, false, true, false},
    {"Minute", fn::Minute, 1, 1, true, false, false},
    {"Month", fn::Month, 1, 1, true, true, false},
    {"MonthName", fn::MonthName, 1, 2, false, false, false},
    {"Now", fn::Now, 0, 0, false, true, true},
    {"Oct", fn::Oct, 1, 1, false, false, false},
    {"Replace", fn::Replace, 3, 6, false, false, false},
    {"Right", fn::Right, 2, 2, false, true, false},
    {"Round", fn::Round, 1, 2, false, false, false},
    {"RTrim", fn::RTrim, 1, 1, false, false, false},
    {"Second", fn::Second, 1, 1, true, false, false},
    {"Sgn", fn::Sgn, 1, 1, false, false, false},
    {"Sin", fn::Sin, 1, 1, false, false, false},
    {"Space", fn::Space, 1, 1, false, false, false},
    {"Sqr", fn::Sqr, 1, 1, false, false, false},
    {"Tan", fn::Tan, 1, 1, false, false, false},
    {"StrComp", fn::StrComp, 2, 3, false, false, false},
    {"String", fn::String, 2, 2, false, false, false},
    {"StrReverse", fn::StrReverse, 1, 1, false, false, false},
    {"Time", fn::Time, 0, 0, false, false, true},
    {"TimeSerial", fn::TimeSerial, 3, 3, false, false, false},
    {"TimeValue", fn::TimeValue, 1, 1, true, false, false},
    {"Trim", fn::Trim, 1, 1, false, false, false},
    {"UCase", fn::UCase, 1, 1, false, true, false},
    {"Weekday", fn::Weekday, 1, 2, true, false, false},
    {"WeekdayName", fn::WeekdayName, 1, 3, false, false, false},
    {"Year", fn::Year, 1, 1, true, true, false},
};

void callBuiltin(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const auto* b = static_cast<const Builtin*>(sqlite3_user_data(ctx));
    if (argc < b->minArgs || argc > b->maxArgs) {
        const std::string why = std::string("Wrong number of arguments (in ") + b->name + ")";
        return sqlite3_result_error(ctx, why.data(), static_cast<int>(why.size()));
    }
    Variant args[6];
    for (int k = 0; k < argc; ++k) args[k] = valueOf(argv[k], b->dates);
    // Texts are compared without regard to case in Access's queries: the
    // functions that compare take that mode unless the command gives one.
    const Variant text(std::int32_t{1});
    if (b->fn == fn::InStr && argc < 4) {
        if (argc == 2) {
            args[2] = args[1];
            args[1] = args[0];
            args[0] = Variant(std::int32_t{1});
        }
        args[3] = text;
        argc = 4;
    } else if ((b->fn == fn::InStrRev || b->fn == fn::Replace) && argc < b->maxArgs) {
        const int compareAt = b->maxArgs - 1;
        for (; argc < compareAt; ++argc) args[argc] = Variant(std::int32_t{argc == compareAt - 1 ? -1 : 1});
        args[argc++] = text;
    } else if (b->fn == fn::StrComp && argc == 2) {
        args[argc++] = text;
    }
    guarded(ctx, b->name, [&] { setResult(ctx, b->fn(std::span<Variant>(args, static_cast<std::size_t>(argc)))); });
}

// ---------------------------------------------------------------- operators

using BinaryOp = Variant (*)(const Variant&, const Variant&);

struct Operator {
    char sign; // as jetToSqlite writes it: "M" for Mod
    const char* shown; // in messages
    BinaryOp op;
};

constexpr Operator kOperators[] = {
    {'+', "+", ops::add},          {'-', "-", ops::subtract}, {'*', "*", ops::multiply}, {'/', "/", ops::divide},
    {'\\', "\\", ops::intDivide}, {'M', "Mod", ops::mod},    {'^', "^", ops::power},
};

// jet_ops('<operators>', a, b, ...): the operators applied from the left, as
// the script applies them; whole numbers added, subtracted and multiplied
// without a detour through Variants while they fit.
void jetOps(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::string_view signs = textOf(argv[0]);
    if (argc < 2 || signs.size() != static_cast<std::size_t>(argc - 2))
        return sqlite3_result_error(ctx, "jet_ops takes one operand more than its operators", -1);
    int k = 1;
    sqlite3_int64 whole = 0;
    if (sqlite3_value_type(argv[1]) == SQLITE_INTEGER) {
        whole = sqlite3_value_int64(argv[1]);
        for (; k + 1 < argc && sqlite3_value_type(argv[k + 1]) == SQLITE_INTEGER; ++k) {
            const sqlite3_int64 b = sqlite3_value_int64(argv[k + 1]);
            const char sign = signs[static_cast<std::size_t>(k - 1)];
            sqlite3_int64 r;
            if (sign == '+' ? __builtin_add_overflow(whole, b, &r)
                : sign == '-' ? __builtin_sub_overflow(whole, b, &r)
                : sign == '*' ? __builtin_mul_overflow(whole, b, &r)
                              : true)
                break;
            whole = r;
        }
        if (k + 1 == argc) return sqlite3_result_int64(ctx, whole);
    }
    Variant acc = k == 1 ? valueOf(argv[1], true) : wholeValue(whole);
    for (; k + 1 < argc; ++k) {
        const char sign = signs[static_cast<std::size_t>(k - 1)];
        const Operator* o = kOperators;
        while (o != std::end(kOperators) - 1 && o->sign != sign) ++o;
        if (!guarded(ctx, o->shown, [&] { acc = o->op(acc, valueOf(argv[k + 1], true)); })) return;
    }
    setResult(ctx, acc);
}

// jet_number(x, 'Sum'): the argument of Sum or Avg: a number as it is, a
// date as its number, a text as the number it writes (in the query's
// locale), else Type mismatch.
void jetNumber(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_value(ctx, argv[0]);
    guarded(ctx, textOf(argv[1]), [&] { sqlite3_result_double(ctx, valueOf(argv[0], true).toDouble()); });
}

// Sum and Avg of a Currency column, as Access computes them: each value in
// whole ten-thousandths, summed exactly in 64 bits (Overflow past them), and
// Avg's quotient rounded half to even at four decimals, as Currency rounds.
// The result is the real nearest to it, which the recordset reads back as
// that Currency (exactly while it stays below 2^53 ten-thousandths).
struct CurrencyTotal {
    std::int64_t units;
    std::int64_t count;
};

void currencyStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) return;
    auto* total = static_cast<CurrencyTotal*>(sqlite3_aggregate_context(ctx, sizeof(CurrencyTotal)));
    if (!total) return sqlite3_result_error_nomem(ctx);
    std::int64_t units = 0;
    const bool fits = type == SQLITE_INTEGER ? !__builtin_mul_overflow(sqlite3_value_int64(argv[0]), 10000, &units)
                                             : currencyFromDouble(sqlite3_value_double(argv[0]), units);
    if (!fits || __builtin_add_overflow(total->units, units, &total->units))
        return sqlite3_result_error(ctx, static_cast<const char*>(sqlite3_user_data(ctx)), -1);
    ++total->count;
}

void currencySum(sqlite3_context* ctx) {
    const auto* total = static_cast<CurrencyTotal*>(sqlite3_aggregate_context(ctx, 0));
    if (!total || total->count == 0) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, static_cast<double>(total->units) / 10000.0);
}

void currencyAverage(sqlite3_context* ctx) {
    const auto* total = static_cast<CurrencyTotal*>(sqlite3_aggregate_context(ctx, 0));
    if (!total || total->count == 0) return sqlite3_result_null(ctx);
    std::int64_t q = total->units / total->count;
    const std::int64_t r = total->units % total->count;
    // |r| < count, so twice it cannot overflow a count of rows.
    const std::int64_t twice = 2 * (r < 0 ? -r : r);
    if (twice > total->count || (twice == total->count && q % 2 != 0)) q += r < 0 ? -1 : 1;
    sqlite3_result_double(ctx, static_cast<double>(q) / 10000.0);
}

// a & b & ...: the parts as text, a Null part as ""; Null when every part is.
void jetConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string out;
    bool any = false;
    guarded(ctx, "&", [&] {
        for (int k = 0; k < argc; ++k) {
            const int type = sqlite3_value_type(argv[k]);
            if (type == SQLITE_NULL) continue;
            any = true;
            if (type == SQLITE_TEXT && packedIsoDate(textOf(argv[k])) < 0) {
                out += textOf(argv[k]);
            } else if (type == SQLITE_INTEGER) {
                char buf[24];
                out.append(buf, std::to_chars(buf, buf + sizeof buf, sqlite3_value_int64(argv[k])).ptr);
            } else {
                out += valueOf(argv[k], true).toUtf8();
            }
        }
        if (!any) return sqlite3_result_null(ctx);
        sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
    });
}

// ---------------------------------------------------------------- Nz, Val

void jetNz(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL) return sqlite3_result_value(ctx, argv[0]);
    if (argc > 1) return sqlite3_result_value(ctx, argv[1]);
    sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}

// The number a text starts with: blanks anywhere are skipped, the number
// ends at the first character that cannot continue it; 0 when there is none.
// "&H" and "&O" start hexadecimal and octal numbers.
void jetVal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) return sqlite3_result_value(ctx, argv[0]);
    const std::string_view t = textOf(argv[0]);
    std::string n;
    std::size_t i = 0;
    auto skipBlanks = [&] { while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\r' || t[i] == '\n')) ++i; };
    skipBlanks();
    if (i + 1 < t.size() && t[i] == '&' && (t[i + 1] == 'H' || t[i + 1] == 'h' || t[i + 1] == 'O' || t[i + 1] == 'o')) {
        const int base = (t[i + 1] == 'H' || t[i + 1] == 'h') ? 16 : 8;
        std::int64_t v = 0;
        for (i += 2; i < t.size() && v < (std::int64_t{1} << 40); ++i) {
            const char c = t[i];
            const int d = c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : 99;
            if (d >= base) break;
            v = v * base + d;
        }
        return sqlite3_result_int64(ctx, v);
    }
    bool point = false, exponent = false;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if ((c == '-' || c == '+') && (n.empty() || (n.back() == 'e'))) n += c;
        else if (c >= '0' && c <= '9') n += c;
        else if (c == '.' && !point && !exponent) { point = true; n += c; }
        else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && !exponent && !n.empty() && std::isdigit(static_cast<unsigned char>(n.back()))) { exponent = true; n += 'e'; }
        else break;
    }
    while (!n.empty() && (n.back() == 'e' || n.back() == '+' || n.back() == '-' || n.back() == '.')) n.pop_back();
    double v = 0;
    if (!n.empty()) std::from_chars(n.data() + (n[0] == '+'), n.data() + n.size(), v);
    sqlite3_result_double(ctx, v);
}

// ---------------------------------------------------------------- Like

// Access's patterns, without regard to case: * (or %) any run, ? (or _) one
// character, # one digit, [abc] [a-z] [!a-z] one character of (or not of)
// a set. Both kinds of wildcard are read, as commands written through other
// interfaces use the second kind.
bool likeMatch(std::u16string_view s, std::u16string_view p) {
    std::size_t si = 0, pi = 0, starP = std::u16string_view::npos, starS = 0;
    auto one = [&](std::size_t& k, char16_t c) -> bool { // matches c at pattern position k, moving k past it
        const char16_t q = p[k];
        if (q == u'?' || q == u'_') { ++k; return true; }
        if (q == u'#') { ++k; return c >= u'0' && c <= u'9'; }
        if (q == u'[') {
            const std::size_t close = p.find(u']', k + 1);
            if (close != std::u16string_view::npos) {
                std::size_t j = k + 1;
                const bool negate = j < close && p[j] == u'!';
                if (negate) ++j;
                bool in = false;
                for (; j < close; ++j) {
                    if (j + 2 < close && p[j + 1] == u'-') {
                        in |= c >= p[j] && c <= p[j + 2];
                        j += 2;
                    } else {
                        in |= c == p[j];
                    }
                }
                k = close + 1;
                return in != negate;
            }
        }
        ++k;
        return q == c;
    };
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == u'*' || p[pi] == u'%')) {
            starP = ++pi;
            starS = si;
            continue;
        }
        std::size_t k = pi;
        if (pi < p.size() && one(k, s[si])) {
            pi = k;
            ++si;
            continue;
        }
        if (starP == std::u16string_view::npos) return false;
        pi = starP;
        si = ++starS;
    }
    while (pi < p.size() && (p[pi] == u'*' || p[pi] == u'%')) ++pi;
    return pi == p.size();
}

void deleteText(void* p) { delete static_cast<std::u16string*>(p); }

// jet_like(value, pattern): -1 or 0, Null when either is Null.
void jetLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    // The pattern, folded once for the statement when it is a constant.
    auto* pattern = static_cast<std::u16string*>(sqlite3_get_auxdata(ctx, 1));
    std::u16string local;
    if (!pattern) {
        local = foldCase(fromUtf8(textOf(argv[1])));
        pattern = &local;
    }
    const std::u16string value = foldCase(fromUtf8(textOf(argv[0])));
    sqlite3_result_int(ctx, likeMatch(value, *pattern) ? -1 : 0);
    if (pattern == &local) sqlite3_set_auxdata(ctx, 1, new std::u16string(std::move(local)), deleteText);
}

// ---------------------------------------------------------------- Format

std::u16string quotedPicture(std::u16string_view literal) {
    std::u16string out = u"'";
    for (char16_t c : literal) {
        if (c == u'\'') out += u'\'';
        out += c;
    }
    return out + u"'";
}

Variant builtin(script::BuiltinFn f, std::initializer_list<Variant> args) {
    std::vector<Variant> a(args);
    return f(std::span<Variant>(a));
}

// An Access date picture (d m y h n s q w, "AM/PM", ":" and "/" the
// locale's separators, "text" and \c literal) in the script's picture
// language, the parts it lacks written out.
std::u16string formatDate(std::u16string_view f, double date) {
    const LocaleFormat& loc = currentLocale();
    const DateParts parts = dateParts(date);
    const Variant d = Variant::date(date);
    std::u16string pic, literal; // the literal text is quoted once it ends
    auto flush = [&] {
        if (!literal.empty()) pic += quotedPicture(literal);
        literal.clear();
    };
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    auto part = [&](const char16_t* interval) { literal += builtin(fn::DatePart, {Variant(interval), d}).toString(); };
    bool twelveHour = false;
    for (std::size_t k = 0; k + 1 < f.size(); ++k)
        if (lower(f[k]) == u'a' && (lower(f[k + 1]) == u'm' || f[k + 1] == u'/')) twelveHour = true;
    char16_t last = 0; // the last letter written: m after h is a minute
    for (std::size_t i = 0; i < f.size();) {
        const char16_t c = lower(f[i]);
        std::size_t run = 1;
        while (i + run < f.size() && lower(f[i + run]) == c) ++run;
        if (f[i] == u'"') {
            const std::size_t close = f.find(u'"', i + 1);
            const std::size_t end = close == std::u16string_view::npos ? f.size() : close;
            literal += f.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (f[i] == u'\\' && i + 1 < f.size()) {
            literal += f[i + 1];
            i += 2;
            continue;
        }
        if (c == u'a') {
            static constexpr std::u16string_view kMarks[] = {u"am/pm", u"a/p", u"ampm"};
            bool done = false;
            for (std::u16string_view m : kMarks) {
                if (f.size() - i < m.size()) continue;
                std::u16string s(f.substr(i, m.size()));
                for (char16_t& ch : s) ch = lower(ch);
                if (s != m) continue;
                const std::u16string& mark = parts.hour < 12 ? loc.am : loc.pm;
                std::u16string shown = m == u"a/p" ? mark.substr(0, 1) : mark;
                if (f[i] == u'a') shown = toLowerCase(shown);
                literal += shown;
                i += m.size();
                done = true;
                break;
            }
            if (done) continue;
        }
        bool minute = false;
        if (c == u'm') {
            std::size_t j = i + run;
            while (j < f.size() && !(lower(f[j]) >= u'a' && lower(f[j]) <= u'z')) ++j;
            minute = last == u'h' || (j < f.size() && lower(f[j]) == u's');
        }
        const bool pictureLetter = c == u'd' ? run <= 4 : (c == u'm' || c == u'n' || (c == u'y' && run >= 2) || c == u'h' || c == u's');
        if (pictureLetter) flush();
        switch (c) {
        case u'd':
            if (run <= 4) pic.append(run, u'd');
            else literal += builtin(fn::FormatDateTime, {d, Variant(std::int32_t{run == 5 ? 2 : 1})}).toString();
            break;
        case u'm':
            if (minute) pic.append(std::min<std::size_t>(run, 2), u'm');
            else pic.append(std::min<std::size_t>(run, 4), u'M');
            break;
        case u'n': pic.append(std::min<std::size_t>(run, 2), u'm'); break;
        case u'y':
            if (run >= 3) pic += u"yyyy";
            else if (run == 2) pic += u"yy";
            else part(u"y");
            break;
        case u'h': pic.append(std::min<std::size_t>(run, 2), twelveHour ? u'h' : u'H'); break;
        case u's': pic.append(std::min<std::size_t>(run, 2), u's'); break;
        case u'q': part(u"q"); break;
        case u'w': part(run >= 2 ? u"ww" : u"w"); break;
        case u'c': literal += builtin(fn::FormatDateTime, {d, Variant(std::int32_t{0})}).toString(); break;
        case u't':
            if (run == 5) {
                literal += builtin(fn::FormatDateTime, {d, Variant(std::int32_t{3})}).toString();
                break;
            }
            [[fallthrough]];
        default:
            literal += c == u':' ? std::u16string_view(loc.timeSep)
                       : c == u'/' ? std::u16string_view(loc.dateSep)
                                   : f.substr(i, run);
        }
        if (c >= u'a' && c <= u'z') last = c;
        i += run;
    }
    flush();
    return formatDatePicture(pic, parts, loc);
}

// v as m * 10^e with `intDigits` digits before m's point, rounded to
// `decimals` after it; m's magnitude written back to v.
int scaleToExponent(double& v, int intDigits, int decimals) {
    if (v == 0 || !std::isfinite(v)) return 0;
    char buf[64];
    const int precision = std::min(intDigits - 1 + decimals, 40);
    const char* end = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, precision).ptr;
    const char* e = std::find(static_cast<const char*>(buf), end, 'e');
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
    exponent -= intDigits - 1;
    std::string digits;
    for (const char* c = buf; c < e; ++c)
        if (*c != '.') digits += *c;
    digits.insert(std::min(digits.size(), static_cast<std::size_t>(intDigits)), 1, '.');
    double m = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), m);
    v = v < 0 ? -m : m;
    return exponent;
}

// An Access number picture: 0 and # digits, "." the decimal separator, ","
// grouping, % a percentage, E+0 (E-0, e+0, e-0) an exponent of as many
// digits as its zeros, sections for positive;negative;zero, literals around
// the digits. The digits are laid out by FormatNumber.
std::u16string formatNumber(std::u16string_view f, double v) {
    std::vector<std::u16string_view> sections;
    for (std::size_t i = 0, start = 0; i <= f.size(); ++i) {
        // A quoted literal left open runs to the end: the last section ends there.
        if (i < f.size() && f[i] == u'"') { i = std::min(f.find(u'"', i + 1), f.size() - 1); continue; }
        if (i == f.size() || f[i] == u';') { sections.push_back(f.substr(start, i - start)); start = i + 1; }
    }
    std::u16string_view sec = sections[0];
    bool signWritten = false;
    if (v < 0 && sections.size() > 1 && !sections[1].empty()) { sec = sections[1]; v = -v; signWritten = true; }
    else if (v == 0 && sections.size() > 2 && !sections[2].empty()) sec = sections[2];
    std::u16string prefix, suffix;
    int intZeros = 0, fracZeros = 0, fracAll = 0, expZeros = 0;
    bool point = false, group = false, percent = false, digits = false;
    std::u16string expMark; // "E+" ...
    auto placeholder = [&](std::size_t k) { return k < sec.size() && (sec[k] == u'0' || sec[k] == u'#'); };
    for (std::size_t i = 0; i < sec.size(); ++i) {
        const char16_t c = sec[i];
        std::u16string lit;
        if ((c == u'E' || c == u'e') && digits && expMark.empty() && i + 1 < sec.size() &&
            (sec[i + 1] == u'+' || sec[i + 1] == u'-') && placeholder(i + 2)) {
            expMark = sec.substr(i, 2);
            for (i += 2; placeholder(i); ++i) expZeros += sec[i] == u'0';
            --i;
            continue;
        }
        if (c == u'0' || c == u'#') {
            digits = true;
            if (point) { ++fracAll; fracZeros += c == u'0' ? (fracAll == fracZeros + 1) : 0; }
            else intZeros += c == u'0';
            continue;
        }
        if (c == u'.' && !point) { point = true; digits = true; continue; }
        if (c == u',' && digits && !point) { group = true; continue; }
        if (c == u'"') {
            const std::size_t close = std::min(sec.find(u'"', i + 1), sec.size());
            lit = sec.substr(i + 1, close - i - 1);
            i = close;
        } else if (c == u'\\' && i + 1 < sec.size()) {
            lit = sec.substr(++i, 1);
        } else {
            if (c == u'%') percent = true;
            lit = c;
        }
        (digits ? suffix : prefix) += lit;
    }
    if (percent) v *= 100;
    std::u16string exponent;
    if (!expMark.empty()) {
        const int e = scaleToExponent(v, std::max(intZeros, 1), fracAll);
        std::u16string d = fromUtf8(std::to_string(e < 0 ? -e : e));
        if (static_cast<int>(d.size()) < expZeros) d.insert(0, static_cast<std::size_t>(expZeros) - d.size(), u'0');
        exponent = expMark.substr(0, 1) + (e < 0 ? u"-" : expMark[1] == u'+' ? u"+" : u"") + d;
    }
    std::u16string n = builtin(fn::FormatNumber, {Variant(v), Variant(std::int32_t{fracAll}),
                                                   Variant(std::int32_t{intZeros > 0 ? -1 : 0}),
                                                   Variant(std::int32_t{0}), Variant(std::int32_t{group ? -1 : 0})})
                           .toString();
    const LocaleFormat& loc = currentLocale();
    if (fracAll > fracZeros) { // # decimals: trailing zeros go
        const std::size_t sep = n.rfind(loc.decimalSep);
        if (sep != std::u16string::npos) {
            const std::size_t keep = sep + loc.decimalSep.size() + static_cast<std::size_t>(fracZeros);
            while (n.size() > keep && n.back() == u'0') n.pop_back();
        }
    }
    // Leading zeros up to the picture's count of them.
    const std::size_t first = n.find_first_of(u"0123456789");
    std::size_t intDigits = 0;
    for (std::size_t k = first; k < n.size() && n[k] >= u'0' && n[k] <= u'9'; ++k) ++intDigits;
    if (first != std::u16string::npos && !group && static_cast<std::size_t>(intZeros) > intDigits)
        n.insert(first, static_cast<std::size_t>(intZeros) - intDigits, u'0');
    if (!digits) n.clear(); // a section of literals only
    (void)signWritten;
    return prefix + n + exponent + suffix;
}

bool equalsNoCase16(std::u16string_view a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (toLowerCase(a[i]) != static_cast<char16_t>(toLowerAscii(b[i]))) return false;
    return i == a.size() && !b[i];
}

Variant accessFormat(Variant v, const std::u16string& f) {
    if (v.isNull()) return v;
    if (f.empty()) return Variant(v.toString());
    const bool isDate = v.type() == VarType::Date;
    auto number = [&] { return v.toDouble(); };
    // Named formats.
    struct Named { const char* name; int kind; };
    static constexpr Named kNamed[] = {
        {"general date", 0}, {"long date", 1}, {"short date", 2}, {"long time", 3}, {"short time", 4},
        {"medium date", 5}, {"medium time", 6}, {"general number", 7}, {"currency", 8}, {"fixed", 9},
        {"standard", 10}, {"percent", 11}, {"scientific", 12}, {"yes/no", 13}, {"true/false", 14}, {"on/off", 15}};
    for (const Named& n : kNamed) {
        if (!equalsNoCase16(f, n.name)) continue;
        const std::int32_t none = 0, yes = -1;
        switch (n.kind) {
        case 0: case 1: case 2: case 3: case 4:
            return builtin(fn::FormatDateTime, {builtin(fn::CDate, {v}), Variant(std::int32_t{n.kind})});
        case 5: return Variant(formatDate(u"dd-mmm-yy", builtin(fn::CDate, {v}).dateValue()));
        case 6: return Variant(formatDate(u"hh:nn AM/PM", builtin(fn::CDate, {v}).dateValue()));
        case 7: return Variant(Variant(number()).toString());
        case 8: return builtin(fn::FormatCurrency, {Variant(number())});
        case 9: return builtin(fn::FormatNumber, {Variant(number()), Variant(std::int32_t{2}), Variant(yes), Variant(none), Variant(none)});
        case 10: return builtin(fn::FormatNumber, {Variant(number()), Variant(std::int32_t{2}), Variant(yes), Variant(none), Variant(yes)});
        case 11: return builtin(fn::FormatPercent, {Variant(number()), Variant(std::int32_t{2}), Variant(yes), Variant(none), Variant(none)});
        case 12: return Variant(formatNumber(u"0.00E+00", number()));
        default: {
            const bool on = number() != 0;
            static constexpr const char16_t* kWords[3][2] = {{u"No", u"Yes"}, {u"False", u"True"}, {u"Off", u"On"}};
            return Variant(kWords[n.kind - 13][on ? 1 : 0]);
        }
        }
    }
    bool numberPicture = false, datePicture = false;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const char16_t c = toLowerCase(f[i]);
        if (c == u'"') { i = std::min(f.find(u'"', i + 1), f.size()); continue; }
        if (c == u'\\') { ++i; continue; }
        numberPicture |= c == u'0' || c == u'#';
        datePicture |= c == u'd' || c == u'm' || c == u'y' || c == u'h' || c == u'n' || c == u's' || c == u'q' ||
                       c == u'w';
    }
    if (numberPicture && !isDate) return Variant(formatNumber(f, number()));
    if (datePicture || isDate) return Variant(formatDate(f, builtin(fn::CDate, {v}).dateValue()));
    // A text picture: < lower case, > upper case.
    std::u16string s = v.toString();
    if (f.find(u'>') != std::u16string::npos) return Variant(toUpperCase(s));
    if (f.find(u'<') != std::u16string::npos) return Variant(toLowerCase(s));
    return Variant(std::move(s));
}

void jetFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    guarded(ctx, "Format", [&] {
        const std::u16string f = argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL
                                     ? fromUtf8(textOf(argv[1])) : std::u16string();
        setResult(ctx, accessFormat(valueOf(argv[0], true), f));
    });
}

using SqlFn = void (*)(sqlite3_context*, int, sqlite3_value**);

void add(sqlite3* db, const std::string& name, int args, SqlFn f, const void* data, bool deterministic = true) {
    sqlite3_create_function_v2(db, name.c_str(), args, SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0),
                               const_cast<void*>(data), f, nullptr, nullptr, nullptr);
}

struct Own {
    const char* name;
    int args;
    SqlFn fn;
};

constexpr Own kOwn[] = {
    {"Nz", 1, jetNz}, {"Nz", 2, jetNz}, {"Val", 1, jetVal}, {"Format", 1, jetFormat}, {"Format", 2, jetFormat},
};

std::string jetName(const char* name) { return "jet_" + toLowerAscii(name); }

// Access's general sort order, the same for every user: the text collation
// of English (United States).
int collateText(void*, int n1, const void* p1, int n2, const void* p2) {
    return compareText(std::string_view(static_cast<const char*>(p1), static_cast<std::size_t>(n1)),
                       std::string_view(static_cast<const char*>(p2), static_cast<std::size_t>(n2)), 1033);
}

} // namespace

bool isAccessFunction(std::string_view name) {
    for (const Builtin& b : kBuiltins)
        if (equalsNoCaseAscii(name, b.name)) return true;
    for (const Own& o : kOwn)
        if (equalsNoCaseAscii(name, o.name)) return true;
    return false;
}

void addAccessFunctions(sqlite3* db, bool accessDialect) {
    for (const Builtin& b : kBuiltins) {
        if (accessDialect) add(db, jetName(b.name), -1, callBuiltin, &b, !b.volatile_);
        if (b.anyDb) add(db, b.name, -1, callBuiltin, &b, !b.volatile_);
    }
    for (const Own& o : kOwn) {
        if (accessDialect) add(db, jetName(o.name), o.args, o.fn, nullptr);
        if (equalsNoCaseAscii(o.name, "Nz")) add(db, o.name, o.args, o.fn, nullptr);
    }
    if (!accessDialect) return;
    add(db, "jet_ops", -1, jetOps, nullptr);
    add(db, "jet_number", 2, jetNumber, nullptr);
    add(db, "jet_concat", -1, jetConcat, nullptr);
    // The user data: the message of an overflow.
    sqlite3_create_function_v2(db, "jet_sum_currency", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                               const_cast<char*>("Overflow (in Sum)"), nullptr, currencyStep, currencySum, nullptr);
    sqlite3_create_function_v2(db, "jet_avg_currency", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                               const_cast<char*>("Overflow (in Avg)"), nullptr, currencyStep, currencyAverage, nullptr);
    add(db, "jet_like", 2, jetLike, nullptr);
    sqlite3_create_collation(db, kJetTextCollation, SQLITE_UTF8, nullptr, collateText);
}

} // namespace qz::ado
