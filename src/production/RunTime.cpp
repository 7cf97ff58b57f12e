#include "production/RunTime.h"

#include "production/Errors.h"
#include "production/TemplateFiles.h"

#include "platform/system/CodePage.h"
#include "platform/system/SystemError.h"
#include "platform/word/RtfText.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qz::production {

namespace {

constexpr const char* kModule = "RunTime";
constexpr std::size_t kFlushSize = 1 << 16;
// The longest form of one unit of a value (\u-32768?).
constexpr std::size_t kMaxUnitBytes = 9;
// Values are escaped a piece of at most this many units at a time, each piece
// into room made for its longest result once.
constexpr std::size_t kPiece = 4096;

// Appends one UTF-16 code unit: ASCII as itself, any other as \uN?. A byte
// would be read in the code page of the template and of the font around the
// value (Cyrillic in a Russian template), which need not be Windows-1252.
void appendUnit(std::string& out, char16_t c) {
    static constexpr rtf::TextStyle kStyle{false, "?"};
    rtf::AppendTextChar(out, c, -1, kStyle);
}

// The same at p, which has room for kMaxUnitBytes.
char* putUnit(char* p, char16_t c) {
    if (c < 0x80) {
        *p++ = static_cast<char>(c);
        return p;
    }
    *p++ = '\\';
    *p++ = 'u';
    p = std::to_chars(p, p + 6, c >= 0x8000 ? static_cast<int>(c) - 65536 : static_cast<int>(c)).ptr;
    *p++ = '?';
    return p;
}

bool startsWith(std::u16string_view s, std::size_t i, std::u16string_view w) {
    return s.size() - i >= w.size() && s.compare(i, w.size(), w) == 0;
}

// The ASCII characters written as they are whatever follows them, without
// and with blank protection (which escapes the blank).
constexpr std::array<std::array<bool, 128>, 2> kPlainAscii = [] {
    std::array<std::array<bool, 128>, 2> t{};
    for (std::size_t c = 0; c < 128; ++c) t[0][c] = t[1][c] = true;
    for (char c : {'\\', '{', '}', '\r', '\n', '_'}) t[0][static_cast<std::size_t>(c)] = t[1][static_cast<std::size_t>(c)] = false;
    t[1][' '] = false;
    return t;
}();

#if defined(__SSE2__)
// Copies the leading units of the 8 at s that are surely written as they are
// to p as bytes; returns how many (the units it stops at may be plain too:
// below a blank, past 'z', and \ ] ^ _). p has room for 8 bytes.
std::size_t copyPlain8(char* p, const char16_t* s, bool blankProtect) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    // Signed: a unit from 0x8000 on is below 0x20 too.
    __m128i stop = _mm_or_si128(_mm_cmplt_epi16(v, _mm_set1_epi16(0x20)), _mm_cmpgt_epi16(v, _mm_set1_epi16(0x7A)));
    stop = _mm_or_si128(stop, _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(~3)), _mm_set1_epi16(0x5C)));
    if (blankProtect) stop = _mm_or_si128(stop, _mm_cmpeq_epi16(v, _mm_set1_epi16(' ')));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(v, v));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
    return mask == 0 ? 8 : static_cast<std::size_t>(__builtin_ctz(mask)) / 2;
}
#endif

// The plain-text escapes, in one pass. Equivalent to the sequence: blanks to
// \~ (with blank protection); set \{ \} \~ aside; double every backslash;
// escape { and }; put the set-aside escapes back (the placeholder words
// _QzOpenBrace, _QzCloseBrace and _QzBlankProtect of the value included);
// CR LF, and LF alone, to \par (an RTF reader drops a bare LF, which would
// run the lines of a value read on this system together).
// Escapes s from i up to `end` (an escape of several units may end past it)
// at p, which has room for kMaxUnitBytes a unit; returns the end.
char* escapePiece(char* p, std::u16string_view s, std::size_t& at, std::size_t end, bool blankProtect) {
    auto put2 = [&p](char a, char b) { p[0] = a; p[1] = b; p += 2; };
    const std::array<bool, 128>& plain = kPlainAscii[blankProtect];
    std::size_t i = at; // a local: the bytes written through p might be it, for all the compiler knows
    for (; i < end; ++i) {
#if defined(__SSE2__)
        // Runs of plain units, 8 at a time; the unit after a run is taken below.
        while (end - i >= 8) {
            const std::size_t n = copyPlain8(p, s.data() + i, blankProtect);
            p += n;
            i += n;
            if (n < 8) break;
        }
        if (i == end) break;
#endif
        const char16_t c = s[i];
        if (c < 0x80 && plain[c]) {
            *p++ = static_cast<char>(c);
            continue;
        }
        switch (c) {
        case u'\\':
            if (i + 1 < s.size() && (s[i + 1] == u'{' || s[i + 1] == u'}' || s[i + 1] == u'~')) {
                put2('\\', static_cast<char>(s[++i]));
            } else {
                put2('\\', '\\');
            }
            continue;
        case u'{': put2('\\', '{'); continue;
        case u'}': put2('\\', '}'); continue;
        case u' ': put2('\\', '~'); continue; // blank protection
        case u'\r':
            if (i + 1 < s.size() && s[i + 1] == u'\n') {
                std::memcpy(p, "\\par ", 5);
                p += 5;
                ++i;
                continue;
            }
            break;
        case u'\n': // a line break as this system's files and databases hold it
            std::memcpy(p, "\\par ", 5);
            p += 5;
            continue;
        case u'_':
            if (startsWith(s, i, u"_QzOpenBrace")) { put2('\\', '{'); i += 11; continue; }
            if (startsWith(s, i, u"_QzCloseBrace")) { put2('\\', '}'); i += 12; continue; }
            if (startsWith(s, i, u"_QzBlankProtect")) { put2('\\', '~'); i += 14; continue; }
            break;
        default:
            break;
        }
        p = putUnit(p, c);
    }
    at = i;
    return p;
}

void escapePlain(std::string& out, std::u16string_view s, bool blankProtect) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t at = out.size();
        out.resize(at + kMaxUnitBytes * (std::min(s.size(), i + kPiece) - i));
        char* p = escapePiece(out.data() + at, s, i, std::min(s.size(), i + kPiece), blankProtect);
        out.resize(static_cast<std::size_t>(p - out.data()));
    }
}

// Arguments as a Boolean or a Long: the small whole numbers a program passes
// are read at once, anything else is converted.
bool flagOf(const Variant& v) {
    if (v.type() == VarType::Integer) return v.integerValue() != 0;
    return v.toBool();
}

std::int32_t longOf(const Variant& v) {
    if (v.type() == VarType::Integer) return v.integerValue();
    if (v.type() == VarType::Long) return v.longValue();
    return v.toLong();
}

// The room the group of a plain value of at most kPiece units takes at most.
std::size_t groupRoom(std::u16string_view value, std::string_view font) {
    return font.size() + kMaxUnitBytes * value.size() + 3;
}

// Writes that group ({font value}) at p; returns the end.
char* putGroup(char* p, std::u16string_view value, bool blankProtect, std::string_view font) {
    *p++ = '{';
    if (!font.empty()) {
        std::memcpy(p, font.data(), font.size());
        p += font.size();
        *p++ = ' ';
    }
    std::size_t i = 0;
    p = escapePiece(p, value, i, value.size(), blankProtect);
    *p++ = '}';
    return p;
}

// The value of an RTF-kind field: only \{, \} and \\ are unescaped, in that order.
void unescapeRtf(std::string& out, std::u16string_view value) {
    std::u16string s(value);
    auto replaceAll = [&](std::u16string_view from, std::u16string_view to) {
        std::u16string r;
        r.reserve(s.size());
        std::size_t last = 0;
        for (std::size_t p = s.find(from); p != std::u16string::npos; p = s.find(from, last)) {
            r.append(s, last, p - last);
            r.append(to);
            last = p + from.size();
        }
        r.append(s, last, std::u16string::npos);
        s.swap(r);
    };
    replaceAll(u"\\{", u"{");
    replaceAll(u"\\}", u"}");
    replaceAll(u"\\\\", u"\\");
    for (char16_t c : s) appendUnit(out, c);
}


} // namespace

RunTime::~RunTime() { CloseOutputFileClean(); }

void RunTime::AppendExp(std::string& out, std::u16string_view value, bool blankProtect, std::string_view font,
                        bool isRtf) {
    font = trimSpaces(font);
    if (!isRtf && value.size() <= kPiece) {
        const std::size_t at = out.size();
        out.resize(at + groupRoom(value, font));
        char* p = putGroup(out.data() + at, value, blankProtect, font);
        out.resize(static_cast<std::size_t>(p - out.data()));
        return;
    }
    out += '{';
    if (!font.empty()) {
        out += font;
        out += ' ';
    }
    if (isRtf) unescapeRtf(out, value);
    else escapePlain(out, value, blankProtect);
    out += '}';
}

std::string RunTime::FormatExp(std::u16string_view value, bool blankProtect, std::string_view font,
                               bool isRtf) {
    std::string s;
    s.reserve(value.size() + font.size() + 8);
    AppendExp(s, value, blankProtect, font, isRtf);
    return s;
}

AutomationError RunTime::OutputError(int error) const {
    AutomationError e = sys::systemError(error);
    if (error == ENOENT) {  // the file is made here: what is missing is its folder
        e.Number = 76;
        e.Description = sys::runtimeErrorText(76);
    }
    e.Description += ": cannot write the document \"" + outputFile_ + "\"";
    if (const std::string reason = sys::errnoText(error); !reason.empty()) e.Description += " (" + reason + ")";
    return e;
}

void RunTime::OpenOutputFile() {
    Handled(kModule, "OpenOutputFile", kErrLog | kErrRaise, [&] {
        CloseOutputFileClean();
        writeError_ = 0;
        lastRun_ = -1;
        lastPieceIsRun_ = committed_ = false;
        closedBy_.clear();
        if (outputFile_.empty()) writeError_ = ENOENT;
        else writeError_ = file_.open(outputFile_);
        if (writeError_) throw OutputError(writeError_);
    });
}

// Writes the buffer out; the first failure is kept and raised, and nothing
// more is written after it.
void RunTime::flush() {
    if (!writeError_ && used_ > 0) writeError_ = file_.write(std::string_view(buffer_.get(), used_));
    used_ = 0;
    if (writeError_) throw OutputError(writeError_);
}

void RunTime::CloseOutputFile() {
    Handled(kModule, "CloseOutputFile", kErrLog | kErrRaise, [&] {
        if (!file_.isOpen()) return;
        try {
            flush();
        } catch (...) {
            file_.discard();
            throw;
        }
        if (const int e = file_.commit()) {
            writeError_ = e;
            throw OutputError(e);
        }
        committed_ = true;
    });
}

void RunTime::CloseOutputFileClean() noexcept {
    used_ = 0;
    file_.discard();
}

void RunTime::notWritable() const {
    if (!file_.isOpen() && !closedBy_.empty())
        throw AutomationError(OwnErrorNumber(msg::ScriptRunFailed), kModule,
                              closedBy_ + " closed the document before its end; nothing more can be written");
    if (!file_.isOpen()) throwRuntimeError(err::BadFileNameOrNumber);
    throw OutputError(writeError_);
}

inline void RunTime::checkWritable() const {
    if (!file_.isOpen() || writeError_) [[unlikely]] notWritable();
}

void RunTime::grow(std::size_t n) {
    const std::size_t size = std::max(kFlushSize * 2, used_ + n);
    auto bigger = std::make_unique_for_overwrite<char[]>(size);
    if (used_ > 0) std::memcpy(bigger.get(), buffer_.get(), used_);
    buffer_ = std::move(bigger);
    capacity_ = size;
}

inline char* RunTime::room(std::size_t n) {
    if (capacity_ - used_ < n) [[unlikely]] grow(n);
    return buffer_.get() + used_;
}

inline void RunTime::endLine(char* end) {
    end[0] = '\r';
    end[1] = '\n';
    used_ = static_cast<std::size_t>(end + 2 - buffer_.get());
    if (used_ >= kFlushSize) [[unlikely]] flush();
}

void RunTime::writeLine(std::string_view piece) {
    checkWritable();
    char* p = room(piece.size() + 2);
    std::memcpy(p, piece.data(), piece.size());
    endLine(p + piece.size());
}

void RunTime::PrintRtf(std::int32_t index) {
    Handled(kModule, "PrintRtf ", kErrLog | kErrRaise, [&] {
        if (!runs_ || index < 0 || static_cast<std::size_t>(index) >= runs_->size())
            throwRuntimeError(err::SubscriptOutOfRange);
        writeLine((*runs_)[static_cast<std::size_t>(index)]);
        lastRun_ = index;
        lastPieceIsRun_ = true;
    });
}

void RunTime::PrintExp(const Variant& value, bool blankProtect, std::string_view font, bool isRtf) {
    Handled(kModule, "PrintExp", kErrLog | kErrRaise, [&] {
        // An object stands for its default value; any other value is read
        // where it is, and a text is escaped straight into the output.
        const Variant held = value.isObject() ? value.dereference() : Variant();
        const Variant& v = value.isObject() ? held : value;
        std::u16string text;
        std::u16string_view s;
        if (v.isString()) s = v.stringValue();
        else if (!v.isNull() && !v.isEmpty()) s = text = v.toString();
        checkWritable();
        lastPieceIsRun_ = false;
        if (isRtf || s.size() > kPiece) return writeLine(FormatExp(s, blankProtect, font, isRtf));
        font = trimSpaces(font);
        char* p = room(groupRoom(s, font) + 2);
        endLine(putGroup(p, s, blankProtect, font));
    });
}

// Script face -------------------------------------------------------------

const MemberTable<RunTime>& RunTime::members() {
    static const MemberTable<RunTime> table{
        {u"RtfCollection", kSet, 0, 0, &RunTime::memberRtfCollection},
        {u"OutputFile", kLet | kGet, 0, 0, &RunTime::memberOutputFile},
        {u"OpenOutputFile", kCall, 0, 0, &RunTime::memberOpenOutputFile},
        {u"CloseOutputFile", kCall, 0, 0, &RunTime::memberCloseOutputFile},
        {u"CloseOutputFileClean", kCall, 0, 0, &RunTime::memberCloseOutputFileClean},
        {u"PrintRtf", kCall, 1, 1, &RunTime::memberPrintRtf},
        {u"PrintExp", kCall, 4, 4, &RunTime::memberPrintExp},
    };
    return table;
}

Variant RunTime::invoke(std::int32_t id, std::uint8_t kind, std::span<Variant> args) {
    // PrintRtf and PrintExp, called for every piece of every row, go straight
    // to their handlers when called as methods with their arguments; any
    // other call, and every fault, goes through the table's checks.
    static const std::int32_t printRtf = members().find(u"PrintRtf");
    static const std::int32_t printExp = members().find(u"PrintExp");
    if (kind & kCall) {
        if (id == printRtf && args.size() == 1) return memberPrintRtf(kCall, args);
        if (id == printExp && args.size() == 4) return memberPrintExp(kCall, args);
    }
    return SimpleDispatch::invoke(id, kind, args);
}

Variant RunTime::memberRtfCollection(std::uint8_t, std::span<Variant> args) {
    // A collection of texts set from the script replaces the runs.
    Ref<Dispatch> obj = args.back().toObject();
    auto runs = std::make_shared<RtfRuns>();
    if (obj) {
        Ref<Enumerator> e = obj->newEnum();
        if (!e) throwRuntimeError(err::NotACollection);
        for (Variant item; e->next(item);) runs->push_back(sys::utf8ToCp1252(item.toUtf8()));
    }
    runs_ = std::move(runs);
    finalRun_ = -1; // the script's own runs: which one closes the document is its own affair
    return {};
}

Variant RunTime::memberOutputFile(std::uint8_t kind, std::span<Variant> args) {
    if (kind & kLet) {
        outputFile_ = args.back().toUtf8();
        return {};
    }
    return Variant::fromUtf8(outputFile_);
}

Variant RunTime::memberOpenOutputFile(std::uint8_t, std::span<Variant>) {
    OpenOutputFile();
    return {};
}

// The script may close the output itself. A whole document is put in place;
// one closed before its end is dropped, so that a partial document never
// takes the output's place, and the script learns it at that statement.
Variant RunTime::memberCloseOutputFile(std::uint8_t, std::span<Variant>) {
    if (!file_.isOpen() || AtEnd()) {
        CloseOutputFile();
        return {};
    }
    CloseOutputFileClean();
    closedBy_ = "oRun.CloseOutputFile";
    Handled(kModule, "CloseOutputFile", kErrLog | kErrRaise, [&] {
        throw AutomationError(OwnErrorNumber(msg::ScriptRunFailed), kModule,
                              "oRun.CloseOutputFile closed the document before its end; the output was not written");
    });
    return {};
}

Variant RunTime::memberCloseOutputFileClean(std::uint8_t, std::span<Variant>) {
    if (file_.isOpen()) closedBy_ = "oRun.CloseOutputFileClean";
    CloseOutputFileClean();
    return {};
}

Variant RunTime::memberPrintRtf(std::uint8_t, std::span<Variant> args) {
    PrintRtf(longOf(args[0]));
    return {};
}

const std::string* RunTime::plainFont(const Variant& font) {
    const std::u16string& f = font.stringValue();
    for (const FontText& e : fonts_)
        if (e.text.isString() && &e.text.stringValue() == &f) return &e.narrow;
    for (char16_t c : f)
        if (c >= 0x80) return nullptr;
    FontText& e = fonts_[nextFont_];
    nextFont_ = (nextFont_ + 1) % fonts_.size();
    e.text = font;
    e.narrow.resize(f.size());
    std::transform(f.begin(), f.end(), e.narrow.begin(), [](char16_t c) { return static_cast<char>(c); });
    return &e.narrow;
}

Variant RunTime::memberPrintExp(std::uint8_t, std::span<Variant> args) {
    const Variant held = args[2].isObject() ? args[2].dereference() : Variant();
    const Variant& font = args[2].isObject() ? held : args[2];
    if (font.isString() && !printing_) {
        // The generated program passes plain control words, the same literal
        // text on every pass: known by its address, it is taken over as it
        // is once. A value that runs a script which prints (an object's
        // default member) converts its fonts apart, so that it cannot
        // replace a font in use.
        if (const std::string* narrow = plainFont(font)) {
            printing_ = true;
            struct Done {
                bool& flag;
                ~Done() { flag = false; }
            } done{printing_};
            PrintExp(args[0], flagOf(args[1]), *narrow, flagOf(args[3]));
            return {};
        }
    }
    if (font.isString()) {
        const std::u16string& f = font.stringValue();
        if (std::all_of(f.begin(), f.end(), [](char16_t c) { return c < 0x80; })) {
            std::string narrow(f.size(), ' ');
            std::transform(f.begin(), f.end(), narrow.begin(), [](char16_t c) { return static_cast<char>(c); });
            PrintExp(args[0], args[1].toBool(), narrow, args[3].toBool());
            return {};
        }
    }
    PrintExp(args[0], args[1].toBool(), sys::utf8ToCp1252(font.toUtf8()), args[3].toBool());
    return {};
}

const MemberTable<QZObject>& QZObject::members() {
    static const MemberTable<QZObject> table{
        {u"Name", kGet | kLet, 0, 0, &QZObject::memberName},
        {u"Value", kGet | kLet, 0, 0, &QZObject::memberValue, true},
    };
    return table;
}

Variant QZObject::memberName(std::uint8_t kind, std::span<Variant> args) {
    if (kind & kLet) {
        name_ = args.back().toUtf8();
        return {};
    }
    return Variant::fromUtf8(name_);
}

Variant QZObject::memberValue(std::uint8_t kind, std::span<Variant> args) {
    if (kind & kLet) {
        value_ = args.back();
        return {};
    }
    return value_;
}

} // namespace qz::production
