// String functions. Positions count UTF-16 units from 1; the B forms count
// bytes of the UTF-16 text, two per unit.
#include "Builtins.h"

#include "platform/automation/LocaleFormat.h"
#include "platform/automation/Text.h"
#include "platform/system/CodePage.h"

#include <algorithm>

namespace qz::script::fn {
namespace {

using std::u16string;
using std::u16string_view;


// The text of an argument without copying it: a view of its String, or of
// its conversion kept in `keep`. False when it is Null.
bool textView(const Variant& v, Variant& keep, u16string_view& out) {
    keep = valueOf(v);
    if (keep.isNull()) return false;
    if (!keep.isString()) keep = Variant(keep.toString());
    out = keep.stringValue();
    return true;
}
// The same where Null is an error.
u16string_view textView(const Variant& v, Variant& keep) {
    u16string_view out;
    if (!textView(v, keep, out)) throwRuntimeError(err::InvalidNull);
    return out;
}

// A part of a text as a String of its own, asked of the ceiling first when
// it is long.
Variant copyOf(u16string_view part) {
    if (part.size() > 4096) reserveMemory(static_cast<std::int64_t>(part.size() * sizeof(char16_t)));
    return Variant(part);
}


// Searches needle in hay from position start (0-based), case-blind in text mode.
std::size_t findFrom(u16string_view hay, u16string_view needle, std::size_t start,
                     ops::CompareMode mode) {
    if (mode == ops::CompareMode::Binary) {
        // A long search looks at the time-out every million or so
        // comparisons: a long needle makes each position cost more.
        const std::size_t step = std::max<std::size_t>(4096, (std::size_t{1} << 20) / std::max<std::size_t>(needle.size(), 1));
        if (start >= hay.size() || hay.size() - start <= step) return hay.find(needle, start);
        for (std::size_t from = start; from < hay.size(); from += step) {
            const std::size_t p = hay.substr(from, step + needle.size() - 1).find(needle);
            if (p != u16string_view::npos) return from + p;
            checkTimeOut();
        }
        return u16string_view::npos;
    }
    if (needle.size() > hay.size()) return u16string_view::npos;
    for (std::size_t i = start; i + needle.size() <= hay.size(); ++i) {
        if (equalsNoCase(hay.substr(i, needle.size()), needle)) return i;
        if ((i & kPollMask) == kPollMask) checkTimeOut();
    }
    return u16string_view::npos;
}

std::size_t findLastAt(u16string_view hay, u16string_view needle, std::size_t lastStart,
                       ops::CompareMode mode) {
    if (needle.size() > hay.size()) return u16string_view::npos;
    std::size_t i = std::min(lastStart, hay.size() - needle.size());
    for (;; --i) {
        u16string_view part = hay.substr(i, needle.size());
        if (mode == ops::CompareMode::Binary ? part == needle : equalsNoCase(part, needle)) return i;
        if (i == 0) break;
        if ((i & kPollMask) == 0) checkTimeOut();
    }
    return u16string_view::npos;
}

Variant instr(std::span<Variant> a, bool bytes) {
    // InStr([start,] string1, string2[, compare])
    std::int64_t start = 1;
    std::size_t first = 0;
    if (a.size() >= 3) {
        refuseNullNumbers(a, {0, 3});
        if (given(a, 0)) start = valueOf(a[0]).toLong();
        first = 1;
    }
    ops::CompareMode mode = compareArg(a, first + 2);
    if (start < 1) throwRuntimeError(err::InvalidCall);
    Variant keepHay, keepNeedle;
    u16string_view hay, needle;
    if (!textView(a[first], keepHay, hay) || !textView(a[first + 1], keepNeedle, needle)) return Variant::null();
    if (bytes) start = (start + 1) / 2;
    std::int32_t result = 0;
    if (static_cast<std::size_t>(start) > hay.size()) {
        result = 0;
    } else if (needle.empty()) {
        result = static_cast<std::int32_t>(start);
    } else {
        std::size_t p = findFrom(hay, needle, static_cast<std::size_t>(start - 1), mode);
        result = p == u16string_view::npos ? 0 : static_cast<std::int32_t>(p + 1);
    }
    if (bytes && result > 0) result = result * 2 - 1;
    return Variant(result);
}

// Left/Right/Mid length argument: Null raises 94, negative raises 5.
std::int64_t countArg(const Variant& v) {
    std::int32_t n = valueOf(v).toLong();
    if (n < 0) throwRuntimeError(err::InvalidCall);
    return n;
}

Variant trimmed(const Variant& v, bool left, bool right) {
    Variant keep;
    u16string_view s;
    if (!textView(v, keep, s)) return Variant::null();
    std::size_t b = 0, e = s.size();
    if (left) while (b < e && s[b] == u' ') ++b;
    if (right) while (e > b && s[e - 1] == u' ') --e;
    return copyOf(s.substr(b, e - b));
}

} // namespace

Variant Asc(std::span<Variant> a) {
    u16string s = stringArg(valueOf(a[0]));
    if (s.empty()) throwRuntimeError(err::InvalidCall);
    int b = sys::unicodeToCp1252(s[0]);
    return Variant(static_cast<std::int16_t>(b < 0 ? '?' : b));
}

Variant AscW(std::span<Variant> a) {
    u16string s = stringArg(valueOf(a[0]));
    if (s.empty()) throwRuntimeError(err::InvalidCall);
    return Variant(static_cast<std::int16_t>(s[0]));
}

Variant AscB(std::span<Variant> a) {
    u16string s = stringArg(valueOf(a[0]));
    if (s.empty()) throwRuntimeError(err::InvalidCall);
    return Variant(static_cast<std::int16_t>(s[0] & 0xFF));
}

Variant Chr(std::span<Variant> a) {
    std::int32_t n = valueOf(a[0]).toLong();
    if (n < 0 || n > 255) throwRuntimeError(err::InvalidCall);
    return Variant(u16string(1, static_cast<char16_t>(sys::cp1252ToUnicode(static_cast<unsigned char>(n)))));
}

Variant ChrW(std::span<Variant> a) {
    std::int32_t n = valueOf(a[0]).toLong();
    if (n < -32768 || n > 65535) throwRuntimeError(err::InvalidCall);
    return Variant(u16string(1, static_cast<char16_t>(n & 0xFFFF)));
}

Variant ChrB(std::span<Variant> a) {
    std::int32_t n = valueOf(a[0]).toLong();
    if (n < 0 || n > 255) throwRuntimeError(err::InvalidCall);
    return Variant(u16string(1, static_cast<char16_t>(n)));
}

Variant InStr(std::span<Variant> a) { return instr(a, false); }
Variant InStrB(std::span<Variant> a) { return instr(a, true); }

Variant InStrRev(std::span<Variant> a) {
    // InStrRev(string1, string2[, start[, compare]])
    refuseNullNumbers(a, {2, 3});
    std::int32_t start = given(a, 2) ? valueOf(a[2]).toLong() : -1;
    if (given(a, 3)) static_cast<void>(valueOf(a[3]).toLong());
    if (start == 0 || start < -1) throwRuntimeError(err::InvalidCall);
    ops::CompareMode mode = compareArg(a, 3);
    Variant keepHay, keepNeedle;
    u16string_view hay, needle;
    if (!textView(a[0], keepHay, hay) || !textView(a[1], keepNeedle, needle)) {
        // With the start and the compare mode given, the texts are taken as
        // texts: Null is refused (with fewer arguments it gives Null).
        if (given(a, 2) && given(a, 3)) throwRuntimeError(err::InvalidNull);
        return Variant::null();
    }
    std::int64_t from = start == -1 ? static_cast<std::int64_t>(hay.size()) : start;
    if (from > static_cast<std::int64_t>(hay.size())) return Variant(std::int32_t{0});
    if (needle.empty()) return Variant(static_cast<std::int32_t>(from));
    if (static_cast<std::int64_t>(needle.size()) > from) return Variant(std::int32_t{0});
    std::size_t p = findLastAt(u16string_view(hay).substr(0, static_cast<std::size_t>(from)), needle,
                               static_cast<std::size_t>(from - static_cast<std::int64_t>(needle.size())), mode);
    return Variant(p == u16string::npos ? std::int32_t{0} : static_cast<std::int32_t>(p + 1));
}

Variant Left(std::span<Variant> a) {
    std::int64_t n = countArg(a[1]);
    Variant keep;
    u16string_view s;
    if (!textView(a[0], keep, s)) return Variant::null();
    return copyOf(s.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(n, s.size()))));
}

Variant LeftB(std::span<Variant> a) {
    std::int64_t n = countArg(a[1]);
    Variant keep;
    u16string_view s;
    if (!textView(a[0], keep, s)) return Variant::null();
    return copyOf(s.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(n / 2, s.size()))));
}

Variant Right(std::span<Variant> a) {
    std::int64_t n = countArg(a[1]);
    Variant keep;
    u16string_view s;
    if (!textView(a[0], keep, s)) return Variant::null();
    std::size_t k = static_cast<std::size_t>(std::min<std::int64_t>(n, s.size()));
    return copyOf(s.substr(s.size() - k));
}

Variant RightB(std::span<Variant> a) {
    std::int64_t n = countArg(a[1]);
    Variant keep;
    u16string_view s;
    if (!textView(a[0], keep, s)) return Variant::null();
    std::size_t k = static_cast<std::size_t>(std::min<std::int64_t>(n / 2, s.size()));
    return copyOf(s.substr(s.size() - k));
}

static Variant mid(std::span<Variant> a, bool bytes) {
    refuseNullNumbers(a, {1, 2});
    std::int32_t start = valueOf(a[1]).toLong();
    std::int64_t len = given(a, 2) ? valueOf(a[2]).toLong() : -1;
    if (start < 1 || (given(a, 2) && len < 0)) throwRuntimeError(err::InvalidCall);
    Variant keep;
    u16string_view s;
    if (!textView(a[0], keep, s)) return Variant::null();
    std::int64_t from = bytes ? (start - 1) / 2 : start - 1;
    if (bytes && len >= 0) len /= 2;
    if (from >= static_cast<std::int64_t>(s.size())) return Variant(u16string());
    std::size_t count = len < 0 ? u16string::npos : static_cast<std::size_t>(len);
    return copyOf(s.substr(static_cast<std::size_t>(from), count));
}

Variant Mid(std::span<Variant> a) { return mid(a, false); }
Variant MidB(std::span<Variant> a) { return mid(a, true); }

Variant Len(std::span<Variant> a) {
    if (a[0].isString()) return Variant(static_cast<std::int32_t>(a[0].stringValue().size()));
    Variant v = valueOf(a[0]);
    if (v.isNull()) return Variant::null();
    if (v.isString()) return Variant(static_cast<std::int32_t>(v.stringValue().size()));
    return Variant(static_cast<std::int32_t>(v.toString().size()));
}

Variant LenB(std::span<Variant> a) {
    Variant v = Len(a);
    if (v.isNull()) return v;
    return Variant(v.longValue() * 2);
}

namespace {

// LCase and UCase: a long text's result is asked of the ceiling before it
// is made, and changed piece by piece (each letter's case on its own) with a
// look at the time-out between pieces.
Variant changedCase(const Variant& arg, u16string (*change)(u16string_view), char16_t (*changeOne)(char16_t)) {
    Variant keep;
    u16string_view s;
    if (!textView(arg, keep, s)) return Variant::null();
    constexpr std::size_t kPiece = 1 << 16;
    if (s.size() <= kPiece) return Variant(change(s));
    reserveMemory(static_cast<std::int64_t>(s.size() * sizeof(char16_t)));
    u16string out(s);
    for (std::size_t from = 0; from < out.size(); from += kPiece) {
        for (std::size_t i = from, end = std::min(out.size(), from + kPiece); i < end; ++i) out[i] = changeOne(out[i]);
        checkTimeOut();
    }
    return Variant(std::move(out));
}

} // namespace

Variant LCase(std::span<Variant> a) {
    return changedCase(a[0], toLowerCase, [](char16_t c) { return toLowerCase(c); });
}

Variant UCase(std::span<Variant> a) {
    return changedCase(a[0], toUpperCase, [](char16_t c) { return toUpperCase(c); });
}

Variant LTrim(std::span<Variant> a) { return trimmed(a[0], true, false); }
Variant RTrim(std::span<Variant> a) { return trimmed(a[0], false, true); }
Variant Trim(std::span<Variant> a) { return trimmed(a[0], true, true); }

Variant Replace(std::span<Variant> a) {
    // Replace(expression, find, replacewith[, start[, count[, compare]]])
    Variant keepExpr;
    const u16string_view expr = textView(a[0], keepExpr);
    const u16string find = stringArg(valueOf(a[1]));
    const u16string with = stringArg(valueOf(a[2]));
    std::int32_t start = longArg(a, 3, 1);
    std::int32_t count = longArg(a, 4, -1);
    ops::CompareMode mode = compareArg(a, 5);
    if (start < 1 || count < -1) throwRuntimeError(err::InvalidCall);
    // The result starts at `start`: what comes before it is dropped.
    if (static_cast<std::size_t>(start) > expr.size()) return Variant(u16string());
    u16string_view rest = u16string_view(expr).substr(static_cast<std::size_t>(start - 1));
    if (find.empty() || count == 0) {
        reserveMemory(static_cast<std::int64_t>(rest.size() * sizeof(char16_t)));
        return Variant(u16string(rest));
    }
    u16string out;
    std::size_t pos = 0;
    std::int64_t done = 0;
    while (count == -1 || done < count) {
        std::size_t p = findFrom(rest, find, pos, mode);
        if (p == u16string::npos) break;
        roomFor(out, (p - pos) + with.size());
        out.append(rest.substr(pos, p - pos));
        out += with;
        pos = p + find.size();
        if ((++done & kPollMask) == 0) checkTimeOut();
    }
    roomFor(out, rest.size() - pos);
    out.append(rest.substr(pos));
    return Variant(std::move(out));
}

Variant Space(std::span<Variant> a) {
    std::int32_t n = valueOf(a[0]).toLong();
    checkLength(n);
    return Variant(u16string(static_cast<std::size_t>(n), u' '));
}

Variant String(std::span<Variant> a) {
    Variant nv = valueOf(a[0]), cv = valueOf(a[1]);
    if (nv.isNull() || cv.isNull()) return Variant::null();
    std::int32_t n = nv.toLong();
    checkLength(n);
    char16_t c;
    if (cv.isString()) {
        if (cv.stringValue().empty()) throwRuntimeError(err::InvalidCall);
        c = cv.stringValue()[0];
    } else {
        std::int32_t code = cv.toLong();
        if (code < 0) throwRuntimeError(err::InvalidCall);
        c = static_cast<char16_t>(sys::cp1252ToUnicode(static_cast<unsigned char>(code % 256)));
    }
    return Variant(u16string(static_cast<std::size_t>(n), c));
}

Variant StrComp(std::span<Variant> a) {
    ops::CompareMode mode = compareArg(a, 2);
    Variant keepX, keepY;
    u16string_view x, y;
    if (!textView(a[0], keepX, x) || !textView(a[1], keepY, y)) return Variant::null();
    int r = mode == ops::CompareMode::Text ? compareText(x, y, currentLocale().lcid) : compareBinary(x, y);
    return Variant(static_cast<std::int16_t>(r));
}

Variant StrReverse(std::span<Variant> a) {
    u16string s = stringArg(valueOf(a[0]));
    std::reverse(s.begin(), s.end());
    return Variant(std::move(s));
}

Variant Split(std::span<Variant> a) {
    // Split(expression[, delimiter[, count[, compare]]])
    Variant keepExpr;
    const u16string_view expr = textView(a[0], keepExpr);
    u16string delim = given(a, 1) ? stringArg(valueOf(a[1])) : u16string(u" ");
    std::int32_t count = longArg(a, 2, -1);
    ops::CompareMode mode = compareArg(a, 3);
    if (count < -1) throwRuntimeError(err::InvalidCall);
    std::vector<Variant> parts;
    if (!expr.empty() && count != 0) {
        if (delim.empty()) {
            parts.emplace_back(expr);
        } else {
            std::size_t pos = 0;
            while (count == -1 || static_cast<std::int32_t>(parts.size()) < count - 1) {
                std::size_t p = findFrom(expr, delim, pos, mode);
                if (p == u16string::npos) break;
                beforeGrowing(parts);
                parts.emplace_back(expr.substr(pos, p - pos));
                pos = p + delim.size();
            }
            parts.emplace_back(expr.substr(pos));
        }
    }
    return Variant(SafeArray::fromVector(std::move(parts)));
}

Variant Join(std::span<Variant> a) {
    SafeArray* arr = valueOf(a[0]).arrayValue();
    if (!arr) throwRuntimeError(err::TypeMismatch);
    if (arr->bounds.size() != 1) throwRuntimeError(err::SubscriptOutOfRange);
    u16string delim = given(a, 1) ? stringArg(valueOf(a[1])) : u16string(u" ");
    u16string out;
    for (std::size_t i = 0; i < arr->data.size(); ++i) {
        const Variant& e = arr->data[i];
        const u16string& text = e.isString() ? e.stringValue() : e.toString();
        roomFor(out, (i ? delim.size() : 0) + text.size());
        if (i) out += delim;
        out += text;
        if ((i & kPollMask) == kPollMask) checkTimeOut();
    }
    return Variant(std::move(out));
}

Variant Filter(std::span<Variant> a) {
    // Filter(InputStrings, Value[, Include[, Compare]])
    Variant list = valueOf(a[0]);
    if (list.isNull()) throwRuntimeError(err::InvalidNull);
    SafeArray* arr = list.arrayValue();
    if (!arr) throwRuntimeError(err::TypeMismatch);
    if (arr->bounds.size() != 1) throwRuntimeError(err::SubscriptOutOfRange);
    u16string value = stringArg(valueOf(a[1]));
    bool include = given(a, 2) ? a[2].toBool() : true;
    ops::CompareMode mode = compareArg(a, 3);
    std::vector<Variant> out;
    for (std::size_t i = 0; i < arr->data.size(); ++i) {
        const Variant& e = arr->data[i];
        // A text is kept by sharing it, not by a copy: millions kept cost no
        // text each to make, nor to free when the script ends or stops.
        const Variant text = e.isString() ? e : Variant(e.toString());
        bool found = findFrom(text.stringValue(), value, 0, mode) != u16string::npos;
        if (found == include) {
            beforeGrowing(out);
            out.push_back(text);
        }
        if ((i & kPollMask) == kPollMask) checkTimeOut();
    }
    return Variant(SafeArray::fromVector(std::move(out)));
}

Variant Escape(std::span<Variant> a) {
    Variant keep;
    u16string_view s;
    if (!textView(a[0], keep, s)) return Variant::null();
    static const char16_t* kHex = u"0123456789ABCDEF";
    u16string out;
    out.reserve(s.size());
    for (char16_t c : s) {
        bool plain = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
                     c == u'@' || c == u'*' || c == u'_' || c == u'+' || c == u'-' || c == u'.' ||
                     c == u'/';
        if (plain) {
            out += c;
        } else if (c < 256) {
            out += u'%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += u"%u";
            for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 15];
        }
    }
    checkLength(static_cast<std::int64_t>(out.size()));
    return Variant(std::move(out));
}

Variant Unescape(std::span<Variant> a) {
    Variant keep;
    u16string_view s;
    if (!textView(a[0], keep, s)) return Variant::null();
    auto hexAt = [&](std::size_t i, int digits, char16_t& out) {
        if (i + digits > s.size()) return false;
        unsigned v = 0;
        for (int k = 0; k < digits; ++k) {
            char16_t c = s[i + k];
            int d = (c >= u'0' && c <= u'9') ? c - u'0'
                  : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                  : (c >= u'A' && c <= u'F') ? c - u'A' + 10 : -1;
            if (d < 0) return false;
            v = v * 16 + static_cast<unsigned>(d);
        }
        out = static_cast<char16_t>(v);
        return true;
    };
    u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char16_t c;
        if (s[i] == u'%' && i + 1 < s.size() && s[i + 1] == u'u' && hexAt(i + 2, 4, c)) {
            out += c;
            i += 6;
        } else if (s[i] == u'%' && hexAt(i + 1, 2, c)) {
            out += c;
            i += 3;
        } else {
            out += s[i++];
        }
    }
    return Variant(std::move(out));
}

} // namespace qz::script::fn
