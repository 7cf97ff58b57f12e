#include "production/RunTime.h"

#include "production/Errors.h"
#include "production/TemplateFiles.h"

#include "platform/system/CodePage.h"
#include "platform/system/SystemError.h"
#include "platform/word/RtfText.h"

#include <cerrno>
#include <cstring>

namespace qz::production {

namespace {

constexpr const char* kModule = "RunTime";
constexpr std::size_t kFlushSize = 1 << 16;

// Appends one UTF-16 code unit in Windows-1252 (the byte itself), or as
// \uN? when the code page cannot hold it.
void appendUnit(std::string& out, char16_t c) {
    static constexpr rtf::TextStyle kStyle{false, "?"};
    const int b = c < 0x80 || (c >= 0xD800 && c <= 0xDFFF) ? -1 : sys::unicodeToCp1252(c);
    rtf::AppendTextChar(out, c, b, kStyle);
}

bool startsWith(std::u16string_view s, std::size_t i, std::u16string_view w) {
    return s.size() - i >= w.size() && s.compare(i, w.size(), w) == 0;
}

// The plain-text escapes, in one pass. Equivalent to the sequence: blanks to
// \~ (with blank protection); set \{ \} \~ aside; double every backslash;
// escape { and }; put the set-aside escapes back (the placeholder words
// _QzOpenBrace, _QzCloseBrace and _QzBlankProtect of the value included);
// CR LF to \par.
void escapePlain(std::string& out, std::u16string_view s, bool blankProtect) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        switch (c) {
        case u'\\':
            if (i + 1 < s.size() && (s[i + 1] == u'{' || s[i + 1] == u'}' || s[i + 1] == u'~')) {
                out += '\\';
                out += static_cast<char>(s[++i]);
            } else {
                out += "\\\\";
            }
            continue;
        case u'{': out += "\\{"; continue;
        case u'}': out += "\\}"; continue;
        case u' ':
            out += blankProtect ? "\\~" : " ";
            continue;
        case u'\r':
            if (i + 1 < s.size() && s[i + 1] == u'\n') {
                out += "\\par ";
                ++i;
                continue;
            }
            break;
        case u'_':
            if (startsWith(s, i, u"_QzOpenBrace")) { out += "\\{"; i += 11; continue; }
            if (startsWith(s, i, u"_QzCloseBrace")) { out += "\\}"; i += 12; continue; }
            if (startsWith(s, i, u"_QzBlankProtect")) { out += "\\~"; i += 14; continue; }
            break;
        default:
            break;
        }
        appendUnit(out, c);
    }
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

std::string RunTime::FormatExp(std::u16string_view value, bool blankProtect, std::string_view font,
                               bool isRtf) {
    std::string s;
    s.reserve(value.size() + font.size() + 8);
    s += '{';
    font = trimSpaces(font);
    if (!font.empty()) {
        s += font;
        s += ' ';
    }
    if (isRtf) unescapeRtf(s, value);
    else escapePlain(s, value, blankProtect);
    s += '}';
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
    guarded(kModule, "OpenOutputFile", [&] {
        CloseOutputFileClean();
        writeError_ = 0;
        if (outputFile_.empty()) writeError_ = ENOENT;
        else writeError_ = file_.open(outputFile_);
        if (writeError_) throw OutputError(writeError_);
        buffer_.clear();
        buffer_.reserve(kFlushSize * 2);
    });
}

// Writes the buffer out; the first failure is kept and raised, and nothing
// more is written after it.
void RunTime::flush() {
    if (!writeError_ && !buffer_.empty()) writeError_ = sys::writeAll(file_.fd(), buffer_);
    buffer_.clear();
    if (writeError_) throw OutputError(writeError_);
}

void RunTime::CloseOutputFile() {
    guarded(kModule, "CloseOutputFile", [&] {
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
    });
}

void RunTime::CloseOutputFileClean() noexcept {
    buffer_.clear();
    file_.discard();
}

void RunTime::writeLine(std::string_view piece) {
    if (!file_.isOpen()) throwRuntimeError(err::BadFileNameOrNumber);
    if (writeError_) throw OutputError(writeError_);
    buffer_ += piece;
    buffer_ += "\r\n";
    if (buffer_.size() >= kFlushSize) flush();
}

void RunTime::PrintRtf(std::int32_t index) {
    guarded(kModule, "PrintRtf ", [&] {
        if (!runs_ || index < 0 || static_cast<std::size_t>(index) >= runs_->size())
            throwRuntimeError(err::SubscriptOutOfRange);
        writeLine((*runs_)[static_cast<std::size_t>(index)]);
    });
}

void RunTime::PrintExp(const Variant& value, bool blankProtect, std::string_view font, bool isRtf) {
    guarded(kModule, "PrintExp", [&] {
        const Variant v = value.dereference();
        if (v.isNull() || v.isEmpty()) {
            writeLine(FormatExp({}, blankProtect, font, isRtf));
        } else if (v.isString()) {
            writeLine(FormatExp(v.stringValue(), blankProtect, font, isRtf));
        } else {
            writeLine(FormatExp(v.toString(), blankProtect, font, isRtf));
        }
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

Variant RunTime::memberCloseOutputFile(std::uint8_t, std::span<Variant>) {
    CloseOutputFile();
    return {};
}

Variant RunTime::memberCloseOutputFileClean(std::uint8_t, std::span<Variant>) {
    CloseOutputFileClean();
    return {};
}

Variant RunTime::memberPrintRtf(std::uint8_t, std::span<Variant> args) {
    PrintRtf(args[0].toLong());
    return {};
}

Variant RunTime::memberPrintExp(std::uint8_t, std::span<Variant> args) {
    const Variant font = args[2].dereference();
    if (font.isString()) {
        const std::u16string& f = font.stringValue();
        bool ascii = true;
        for (char16_t c : f) ascii = ascii && c < 0x80;
        if (ascii) {
            // The generated program passes plain control words: no conversion needed.
            std::string narrow(f.begin(), f.end());
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
