#define PCRE2_CODE_UNIT_WIDTH 16
#include "RegExp.h"

#include "Builtins.h"

#include <pcre2.h>

#include <algorithm>

namespace qz::script {

namespace {

// Backtracking budget of one match attempt; beyond it the match fails with an
// error rather than running for minutes.
constexpr std::uint32_t kMatchLimit = 5'000'000;
constexpr std::uint32_t kDepthLimit = 100'000;


// Collection of matches, and the groups of one match.
class SubMatches final : public SimpleDispatch<SubMatches> {
public:
    explicit SubMatches(std::vector<Variant> items) : items_(std::move(items)) {}
    static const MemberTable<SubMatches>& members() {
        static const MemberTable<SubMatches> t{
            {u"Item", kCall | kGet, 1, 1, &SubMatches::item, true},
            {u"Count", kCall | kGet, 0, 0, &SubMatches::count},
        };
        return t;
    }
    std::u16string typeName() const override { return u"ISubMatches"; }
    Ref<Enumerator> newEnum() override;
    std::vector<Variant> items_;

private:
    Variant item(std::uint8_t, std::span<Variant> a) {
        std::int32_t i = a[0].toLong();
        if (i < 0 || i >= static_cast<std::int32_t>(items_.size())) throwRuntimeError(err::InvalidCall);
        return items_[static_cast<std::size_t>(i)];
    }
    Variant count(std::uint8_t, std::span<Variant>) {
        return Variant(static_cast<std::int32_t>(items_.size()));
    }
};

class VectorEnumerator final : public Enumerator {
public:
    explicit VectorEnumerator(std::vector<Variant> items) : items_(std::move(items)) {}
    bool next(Variant& out) override {
        if (pos_ >= items_.size()) return false;
        out = items_[pos_++];
        return true;
    }

private:
    std::vector<Variant> items_;
    std::size_t pos_ = 0;
};

Ref<Enumerator> SubMatches::newEnum() { return Ref<Enumerator>(new VectorEnumerator(items_)); }

class Match final : public SimpleDispatch<Match> {
public:
    explicit Match(RegExp::MatchData d) : d_(std::move(d)) { tally_.set(RegExp::bytesOf(d_)); }
    static const MemberTable<Match>& members() {
        static const MemberTable<Match> t{
            {u"Value", kGet, 0, 0, &Match::value, true},
            {u"FirstIndex", kGet, 0, 0, &Match::firstIndex},
            {u"Length", kGet, 0, 0, &Match::length},
            {u"SubMatches", kGet, 0, 0, &Match::subMatches},
        };
        return t;
    }
    std::u16string typeName() const override { return u"IMatch2"; }

private:
    Variant value(std::uint8_t, std::span<Variant>) { return Variant(d_.value); }
    Variant firstIndex(std::uint8_t, std::span<Variant>) { return Variant(d_.firstIndex); }
    Variant length(std::uint8_t, std::span<Variant>) {
        return Variant(static_cast<std::int32_t>(d_.value.size()));
    }
    Variant subMatches(std::uint8_t, std::span<Variant>) {
        return Variant(Ref<Dispatch>(new SubMatches(d_.subMatches)));
    }
    RegExp::MatchData d_;
    memory::Tally tally_;
};

class Matches final : public SimpleDispatch<Matches> {
public:
    explicit Matches(std::vector<Variant> items) : items_(std::move(items)) {}
    static const MemberTable<Matches>& members() {
        static const MemberTable<Matches> t{
            {u"Item", kCall | kGet, 1, 1, &Matches::item, true},
            {u"Count", kCall | kGet, 0, 0, &Matches::count},
        };
        return t;
    }
    std::u16string typeName() const override { return u"IMatchCollection2"; }
    Ref<Enumerator> newEnum() override { return Ref<Enumerator>(new VectorEnumerator(items_)); }

private:
    Variant item(std::uint8_t, std::span<Variant> a) {
        std::int32_t i = a[0].toLong();
        if (i < 0 || i >= static_cast<std::int32_t>(items_.size())) throwRuntimeError(err::InvalidCall);
        return items_[static_cast<std::size_t>(i)];
    }
    Variant count(std::uint8_t, std::span<Variant>) {
        return Variant(static_cast<std::int32_t>(items_.size()));
    }
    std::vector<Variant> items_;
};

[[noreturn]] void compileError(int code) {
    switch (code) {
    case PCRE2_ERROR_MISSING_SQUARE_BRACKET: throwRuntimeError(5019);
    case PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS: throwRuntimeError(5020);
    case PCRE2_ERROR_QUANTIFIER_INVALID:
    case PCRE2_ERROR_QUANTIFIER_OUT_OF_ORDER:
        throwRuntimeError(5018);
    case PCRE2_ERROR_CLASS_RANGE_ORDER: throwRuntimeError(5021);
    default: throwRuntimeError(err::RegExpSyntax);
    }
}

// The regular expressions of the script language, written for PCRE2. Both
// share most of their syntax; where they differ the pattern is rewritten:
//  - an escaped letter without a meaning of its own is the letter itself
//    (\A, \Z, \z, \G, \Q, \E, \K, \h, \R, \p ... are anchors or classes to PCRE2);
//  - \v is the vertical tab only; \c not followed by a letter is "c";
//  - \n is a back reference when there are n groups, else an octal escape
//    (\1 to \7, \0nn) or the digit itself (\8, \9);
//  - '[' inside a class is a character, never a POSIX class;
//  - what PCRE2 alone has is refused as the language refuses it: groups of
//    the form (? other than (?: (?= (?!, verbs (*...), possessive quantifiers.
constexpr std::int32_t kUnexpectedQuantifier = 5018;

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isOctal(char16_t c) { return c >= u'0' && c <= u'7'; }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The position after a class that starts at p ('['): a ']' right after the
// opening (or after "[^") belongs to the class, as PCRE2 reads it.
std::size_t classEnd(std::u16string_view s, std::size_t p) {
    std::size_t i = p + 1;
    if (i < s.size() && s[i] == u'^') ++i;
    if (i < s.size() && s[i] == u']') ++i;
    while (i < s.size() && s[i] != u']') i += s[i] == u'\\' ? 2 : 1;
    return std::min(i + 1, s.size());
}

std::size_t countGroups(std::u16string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == u'\\') i += 2;
        else if (s[i] == u'[') i = classEnd(s, i);
        else {
            if (s[i] == u'(' && (i + 1 >= s.size() || (s[i + 1] != u'?' && s[i + 1] != u'*'))) ++n;
            ++i;
        }
    }
    return n;
}

void appendHex(std::u16string& out, unsigned v) {
    static const char16_t kHex[] = u"0123456789ABCDEF";
    out += u"\\x";
    out += kHex[(v >> 4) & 15];
    out += kHex[v & 15];
}

// Translates the escape at s[i] == '\\'; returns the position after it.
std::size_t translateEscape(std::u16string_view s, std::size_t i, bool inClass, std::size_t groups,
                            std::u16string& out) {
    if (i + 1 >= s.size()) {
        out += u'\\';  // a pattern that ends in a backslash: PCRE2 refuses it too
        return i + 1;
    }
    const char16_t c = s[i + 1];
    if (isDigit(c)) {
        std::size_t j = i + 1;
        if (!inClass && c != u'0') {
            // A back reference: two digits when that many groups exist, else one.
            if (j + 1 < s.size() && isDigit(s[j + 1])) {
                std::size_t two = (c - u'0') * 10 + (s[j + 1] - u'0');
                if (two <= groups) {
                    out += u"\\g{" + std::u16string(s.substr(j, 2)) + u"}";
                    return j + 2;
                }
            }
            if (static_cast<std::size_t>(c - u'0') <= groups) {
                out += u"\\g{";
                out += c;
                out += u'}';
                return j + 1;
            }
        }
        if (!isOctal(c)) {
            out += c;  // \8, \9: the digit
            return j + 1;
        }
        // Octal: three digits when the first is 0 to 3, else two.
        const std::size_t most = c <= u'3' ? 3 : 2;
        unsigned v = 0;
        std::size_t k = 0;
        for (; k < most && j + k < s.size() && isOctal(s[j + k]); ++k) v = v * 8 + (s[j + k] - u'0');
        appendHex(out, v);
        return j + k;
    }
    if (!isAsciiLetter(c)) {
        out.append(s.substr(i, 2));  // an escaped sign stands for itself in both
        return i + 2;
    }
    switch (c) {
    case u'd': case u'D': case u's': case u'S': case u'w': case u'W':
    case u'f': case u'n': case u'r': case u't': case u'b': case u'x': case u'u':
        out.append(s.substr(i, 2));
        return i + 2;
    case u'B':
        if (inClass) out += u'B';
        else out += u"\\B";
        return i + 2;
    case u'v':
        appendHex(out, 0x0B);
        return i + 2;
    case u'c':
        if (i + 2 < s.size() && isAsciiLetter(s[i + 2])) {
            out.append(s.substr(i, 3));
            return i + 3;
        }
        out += u'c';
        return i + 2;
    default:
        out += c;  // no meaning of its own: the letter
        return i + 2;
    }
}

// The quantifier {n}, {n,} or {n,m} at s[i] == '{': its length, or 0 when
// the brace is a plain character.
std::size_t braceQuantifier(std::u16string_view s, std::size_t i) {
    std::size_t j = i + 1;
    if (j >= s.size() || !isDigit(s[j])) return 0;
    while (j < s.size() && isDigit(s[j])) ++j;
    if (j < s.size() && s[j] == u',') {
        ++j;
        while (j < s.size() && isDigit(s[j])) ++j;
    }
    return j < s.size() && s[j] == u'}' ? j + 1 - i : 0;
}

std::u16string toPcrePattern(std::u16string_view s) {
    const std::size_t groups = countGroups(s);
    std::u16string out;
    out.reserve(s.size() + 8);
    for (std::size_t i = 0; i < s.size();) {
        const char16_t c = s[i];
        if (c == u'\\') {
            i = translateEscape(s, i, false, groups, out);
            continue;
        }
        if (c == u'[') {
            const std::size_t end = classEnd(s, i);
            out += u'[';
            std::size_t j = i + 1;
            if (j < end && s[j] == u'^') out += s[j++];
            if (j < end && s[j] == u']') out += s[j++];
            while (j < end) {
                if (s[j] == u'\\') {
                    j = translateEscape(s, j, true, groups, out);
                } else {
                    if (s[j] == u'[') out += u'\\';  // never a POSIX class
                    out += s[j++];
                }
            }
            i = end;
            continue;
        }
        if (c == u'(' && i + 1 < s.size() && (s[i + 1] == u'?' || s[i + 1] == u'*')) {
            if (s[i + 1] == u'*' || i + 2 >= s.size() ||
                (s[i + 2] != u':' && s[i + 2] != u'=' && s[i + 2] != u'!'))
                throwRuntimeError(kUnexpectedQuantifier);
            out.append(s.substr(i, 3));
            i += 3;
            continue;
        }
        std::size_t q = c == u'*' || c == u'+' || c == u'?' ? 1 : c == u'{' ? braceQuantifier(s, i) : 0;
        if (q > 0) {
            out.append(s.substr(i, q));
            i += q;
            if (i < s.size() && s[i] == u'?') out += s[i++];    // lazy
            if (i < s.size() && s[i] == u'+') throwRuntimeError(kUnexpectedQuantifier);  // possessive
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

} // namespace

struct RegExp::Compiled {
    std::u16string pattern;
    bool ignoreCase = false, multiline = false;
    std::u16string source;            // the pattern as PCRE2 reads it
    std::uint32_t options = 0;
    pcre2_code* code = nullptr;       // for well-formed text, matched unchecked
    pcre2_code* lenient = nullptr;    // for text with unpaired surrogates, made when first needed
    pcre2_match_data* data = nullptr;
    pcre2_match_context* context = nullptr;
    ~Compiled() {
        pcre2_match_data_free(data);
        pcre2_code_free(code);
        pcre2_code_free(lenient);
        pcre2_match_context_free(context);
    }
};

RegExp::RegExp() = default;
RegExp::~RegExp() = default;

RegExp::Compiled& RegExp::compiled() {
    if (compiled_ && compiled_->pattern == pattern && compiled_->ignoreCase == ignoreCase &&
        compiled_->multiline == multiline)
        return *compiled_;
    auto c = std::make_unique<Compiled>();
    c->pattern = pattern;
    c->ignoreCase = ignoreCase;
    c->multiline = multiline;
    // UTF mode gives case-blind matching beyond ASCII; text with unpaired
    // surrogates still matches, through a lenient copy of the pattern (they
    // match nothing but themselves).
    c->options = PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_DOLLAR_ENDONLY | PCRE2_UTF;
    if (ignoreCase) c->options |= PCRE2_CASELESS;
    if (multiline) c->options |= PCRE2_MULTILINE;
    int error = 0;
    PCRE2_SIZE offset = 0;
    c->source = toPcrePattern(pattern);
    c->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(c->source.data()), c->source.size(), c->options,
                            &error, &offset, nullptr);
    if (!c->code) compileError(error);
    c->data = pcre2_match_data_create_from_pattern(c->code, nullptr);
    c->context = pcre2_match_context_create(nullptr);
    if (!c->data || !c->context) throwRuntimeError(err::OutOfMemory);
    pcre2_set_match_limit(c->context, kMatchLimit);
    pcre2_set_depth_limit(c->context, kDepthLimit);
    compiled_ = std::move(c);
    return *compiled_;
}

// Whether the text is well-formed UTF-16 (no unpaired surrogate).
static bool validUtf16(std::u16string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] < 0xD800 || s[i] > 0xDFFF) continue;
        if (s[i] > 0xDBFF || i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
        ++i;
    }
    return true;
}

// validText: the subject is known to be well-formed, so that the matcher
// need not check it at every match of a global search (a search through
// text with unpaired surrogates checks from the start offset on each time,
// and grows with the square of the text; the time-out still stops it).
bool RegExp::matchAt(std::u16string_view subject, std::size_t start, bool validText, std::size_t& begin,
                     std::size_t& end,
                     std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>>* groups) {
    Compiled& c = compiled();
    if (!validText && !c.lenient) {
        int error = 0;
        PCRE2_SIZE offset = 0;
        c.lenient = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(c.source.data()), c.source.size(),
                                  c.options | PCRE2_MATCH_INVALID_UTF, &error, &offset, nullptr);
        if (!c.lenient) compileError(error);
    }
    static const char16_t kNothing[1] = {0};
    const char16_t* text = subject.data() ? subject.data() : kNothing; // PCRE2 wants a pointer
    int rc = pcre2_match(validText ? c.code : c.lenient, reinterpret_cast<PCRE2_SPTR>(text), subject.size(),
                         start, validText ? PCRE2_NO_UTF_CHECK : 0, c.data, c.context);
    if (rc == PCRE2_ERROR_NOMATCH) return false;
    if (rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT)
        throwRuntimeError(err::OutOfStack, "Regular expression is too complex to match");
    if (rc < 0) throwRuntimeError(err::InvalidCall);
    PCRE2_SIZE* ov = pcre2_get_ovector_pointer(c.data);
    begin = ov[0];
    end = ov[1];
    if (groups) {
        std::uint32_t n = 0;
        pcre2_pattern_info(c.code, PCRE2_INFO_CAPTURECOUNT, &n);
        groups->clear();
        for (std::uint32_t g = 1; g <= n; ++g) {
            if (static_cast<int>(g) < rc && ov[2 * g] != PCRE2_UNSET)
                groups->emplace_back(static_cast<std::ptrdiff_t>(ov[2 * g]), static_cast<std::ptrdiff_t>(ov[2 * g + 1]));
            else
                groups->emplace_back(-1, -1);
        }
    }
    return true;
}

// The position after an empty match at p: one character on.
static std::size_t stepOver(std::u16string_view s, std::size_t p) {
    if (p + 1 < s.size() && s[p] >= 0xD800 && s[p] <= 0xDBFF && s[p + 1] >= 0xDC00 && s[p + 1] <= 0xDFFF)
        return p + 2;
    return p + 1;
}

bool RegExp::test(std::u16string_view subject) {
    std::size_t b, e;
    return matchAt(subject, 0, validUtf16(subject), b, e, nullptr);
}

std::vector<RegExp::MatchData> RegExp::execute(std::u16string_view subject) {
    std::vector<MatchData> out;
    std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>> groups;
    std::size_t pos = 0;
    const bool valid = validUtf16(subject);
    // What the matches will hold once they are objects, asked of the memory
    // ceiling before each is made.
    std::int64_t pending = 0;
    while (pos <= subject.size()) {
        checkTimeOut();
        std::size_t b, e;
        if (!matchAt(subject, pos, valid, b, e, &groups)) break;
        pending += static_cast<std::int64_t>(sizeof(MatchData) + (e - b + groups.size()) * sizeof(Variant) +
                                             kMatchObjectBytes);
        reserveMemory(pending);
        MatchData m;
        m.firstIndex = static_cast<std::int32_t>(b);
        m.value = std::u16string(subject.substr(b, e - b));
        for (auto [gb, ge] : groups)
            m.subMatches.push_back(gb < 0 ? Variant()
                                          : Variant(subject.substr(static_cast<std::size_t>(gb),
                                                                   static_cast<std::size_t>(ge - gb))));
        out.push_back(std::move(m));
        if (!global) break;
        pos = e > b ? e : stepOver(subject, e); // an empty match moves on by one
    }
    return out;
}

std::u16string RegExp::replace(std::u16string_view subject, std::u16string_view with) {
    std::u16string out;
    std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>> groups;
    std::size_t pos = 0, copied = 0;
    const bool valid = validUtf16(subject);
    // Every piece goes through put(): the result asks the ceiling before it grows.
    const auto put = [&out](std::u16string_view piece) {
        roomFor(out, piece.size());
        out.append(piece);
    };
    while (pos <= subject.size()) {
        checkTimeOut();
        std::size_t b, e;
        if (!matchAt(subject, pos, valid, b, e, &groups)) break;
        put(subject.substr(copied, b - copied));
        // Expand $$, $&, $`, $', $n and $nn.
        for (std::size_t i = 0; i < with.size(); ++i) {
            char16_t c = with[i];
            if (c != u'$' || i + 1 >= with.size()) {
                put({&c, 1});
                continue;
            }
            char16_t n = with[i + 1];
            if (n == u'$') { put(u"$"); ++i; }
            else if (n == u'&') { put(subject.substr(b, e - b)); ++i; }
            else if (n == u'`') { put(subject.substr(0, b)); ++i; }
            else if (n == u'\'') { put(subject.substr(e)); ++i; }
            else if (n >= u'0' && n <= u'9') {
                std::size_t g = n - u'0', used = 1;
                if (i + 2 < with.size() && with[i + 2] >= u'0' && with[i + 2] <= u'9') {
                    std::size_t g2 = g * 10 + (with[i + 2] - u'0');
                    if (g2 >= 1 && g2 <= groups.size()) { g = g2; used = 2; }
                }
                if (g >= 1 && g <= groups.size()) {
                    auto [gb, ge] = groups[g - 1];
                    if (gb >= 0)
                        put(subject.substr(static_cast<std::size_t>(gb), static_cast<std::size_t>(ge - gb)));
                    i += used;
                } else {
                    put({&c, 1});
                }
            } else {
                put({&c, 1});
            }
        }
        copied = e;
        if (!global) break;
        if (e == b) {
            std::size_t next = stepOver(subject, e);
            if (e < subject.size()) put(subject.substr(e, next - e));
            copied = next;
            pos = next;
        } else {
            pos = e;
        }
    }
    if (copied < subject.size()) put(subject.substr(copied));
    return out;
}

const MemberTable<RegExp>& RegExp::members() {
    static const MemberTable<RegExp> t{
        {u"Pattern", kGet | kLet, 0, 0, &RegExp::patternMember},
        {u"IgnoreCase", kGet | kLet, 0, 0, &RegExp::ignoreCaseMember},
        {u"Global", kGet | kLet, 0, 0, &RegExp::globalMember},
        {u"Multiline", kGet | kLet, 0, 0, &RegExp::multilineMember},
        {u"Test", kCall, 1, 1, &RegExp::testMember},
        {u"Execute", kCall, 1, 1, &RegExp::executeMember},
        {u"Replace", kCall, 2, 2, &RegExp::replaceMember},
    };
    return t;
}

Variant RegExp::patternMember(std::uint8_t kind, std::span<Variant> a) {
    if (kind & kLet) {
        pattern = stringArg(valueOf(a.back()));
        return {};
    }
    return Variant(pattern);
}

#define QZ_BOOL_PROPERTY(member, field)                                  \
    Variant RegExp::member(std::uint8_t kind, std::span<Variant> a) {    \
        if (kind & kLet) {                                               \
            field = a.back().toBool();                                   \
            return {};                                                   \
        }                                                                \
        return Variant(field);                                           \
    }
QZ_BOOL_PROPERTY(ignoreCaseMember, ignoreCase)
QZ_BOOL_PROPERTY(globalMember, global)
QZ_BOOL_PROPERTY(multilineMember, multiline)
#undef QZ_BOOL_PROPERTY

Variant RegExp::testMember(std::uint8_t, std::span<Variant> a) {
    return Variant(test(stringArg(valueOf(a[0]))));
}

Variant RegExp::executeMember(std::uint8_t, std::span<Variant> a) {
    std::vector<Variant> items;
    for (MatchData& m : execute(stringArg(valueOf(a[0]))))
        items.emplace_back(Ref<Dispatch>(new Match(std::move(m))));
    return Variant(Ref<Dispatch>(new Matches(std::move(items))));
}

Variant RegExp::replaceMember(std::uint8_t, std::span<Variant> a) {
    // A Boolean replacement is written as its number: "-1" or "0".
    Variant with = valueOf(a[1]);
    if (with.type() == qz::VarType::Boolean) with = Variant(with.integerValue());
    return Variant(replace(stringArg(valueOf(a[0])), stringArg(with)));
}

} // namespace qz::script
