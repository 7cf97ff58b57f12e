#include "production/ProgramGenerator.h"

#include "production/Errors.h"

#include "platform/system/Locales.h"

#include <cstring>

namespace qz::production {

namespace {

constexpr const char* kModule = "Production";
constexpr std::string_view kCrLf = "\r\n";

std::string flag(bool b) { return b ? "-1" : "0"; }

std::string numberCall(std::string_view function, std::string_view code, const QzFormatNumber& f) {
    std::string s(function);
    s += '(';
    s += code;
    for (std::int32_t v : {f.lNumberOfDigits, f.lLeadingDigit, f.lParenthesisNegative, f.lGroupDigits}) {
        s += ", ";
        s += std::to_string(v);
    }
    s += ')';
    return s;
}

} // namespace

bool IsInstalledLocale(std::int32_t lcid) {
    return lcid > 0 && sys::isValidLcid(static_cast<std::uint32_t>(lcid));
}

std::uint32_t ProgramLocale(std::int32_t templateLocale) {
    return IsInstalledLocale(templateLocale) ? static_cast<std::uint32_t>(templateLocale) : sys::userDefaultLcid();
}

std::int32_t CountLineFeeds(std::string_view text) {
    // memchr passes over the text between line feeds many bytes at a time
    // (a byte loop over every generated line shows in the profile).
    std::int32_t n = 0;
    const char* end = text.data() + text.size();
    for (const char* p = text.data(); p != end; ++p, ++n) {
        p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (p == nullptr) break;
    }
    return n;
}

void FieldLineTable::Reset(std::size_t expected) {
    records_.clear();
    records_.reserve(expected);
    lineCount_ = 0;
}

void FieldLineTable::Insert(std::int32_t elementType, std::string_view text, std::string_view label,
                            std::string_view code, std::string_view format) {
    FieldLineRecord r;
    r.ElementType = elementType;
    r.LineCount = CountLineFeeds(text) + 1;
    r.FirstLine = lineCount_ + 1;
    if (elementType == kElementExpression) {
        r.Code = code;
        r.Format = format;
    } else {
        r.Code = text;
    }
    r.Label = label;
    lineCount_ += r.LineCount;
    records_.push_back(std::move(r));
}

const FieldLineRecord* FieldLineTable::Find(std::int32_t r) const {
    // Records are in line order: search by halving.
    std::ptrdiff_t low = 0, high = static_cast<std::ptrdiff_t>(records_.size()) - 1;
    while (low <= high) {
        const std::ptrdiff_t mid = (low + high) / 2;
        const FieldLineRecord& rec = records_[static_cast<std::size_t>(mid)];
        if (rec.FirstLine + rec.LineCount - 1 < r) low = mid + 1;
        else if (rec.FirstLine <= r) return &rec;
        else high = mid - 1;
    }
    return nullptr;
}

std::string CreateFormatStringFunction(std::string_view code, const QzFormatString& f) {
    if (f.lMaxLength > 0) return "Left(" + std::string(code) + ", " + std::to_string(f.lMaxLength) + ")";
    return std::string(code);
}

std::string CreateFormatDateTimeFunction(std::string_view code, const QzFormatDateTime& f) {
    if (f.lFormatNumber > 0)
        return "FormatDateTime(" + std::string(code) + ", " + std::to_string(f.lFormatNumber) + ")";
    return std::string(code);
}

std::string CreateFormatNumberFunction(std::string_view code, const QzFormatNumber& f) {
    return numberCall("FormatNumber", code, f);
}

std::string CreateFormatCurrencyFunction(std::string_view code, const QzFormatNumber& f) {
    return numberCall("FormatCurrency", code, f);
}

std::string CreateFormatPercentFunction(std::string_view code, const QzFormatNumber& f) {
    return numberCall("FormatPercent", code, f);
}

std::string CreateVbScriptExpLine(std::string_view code, std::int32_t locale,
                                  std::string_view format, std::string_view font,
                                  const TemplateDefaults& defaults) {
    return Handled(kModule, "CreateVbScriptExpLine", kErrLog | kErrRaise, [&] {
        const bool useDefault = UseDefaultTemplateProperties(format);
        auto pick = [&](const std::string& dflt) { return useDefault ? std::string_view(dflt) : format; };

        std::string formatted;
        bool blankProtect = false;
        bool isRtf = false;
        switch (GetFormatType(format)) {
        case kQzFormatDateTime: {
            const QzFormatDateTime f = RetrieveDateTimeFormat(pick(defaults.DateTimeFormat));
            formatted = CreateFormatDateTimeFunction(code, f);
            blankProtect = f.bUseBlankProtect;
            break;
        }
        case kQzFormatNumber: {
            const QzFormatNumber f = RetrieveNumberFormat(pick(defaults.NumberFormat), false);
            formatted = CreateFormatNumberFunction(code, f);
            blankProtect = f.bUseBlankProtect;
            break;
        }
        case kQzFormatCurrency: {
            const QzFormatNumber f = RetrieveNumberFormat(pick(defaults.CurrencyFormat), true);
            formatted = CreateFormatCurrencyFunction(code, f);
            blankProtect = f.bUseBlankProtect;
            break;
        }
        case kQzFormatPercent: {
            const QzFormatNumber f = RetrieveNumberFormat(pick(defaults.PercentFormat), false);
            formatted = CreateFormatPercentFunction(code, f);
            blankProtect = f.bUseBlankProtect;
            break;
        }
        case kQzFormatRtf:
            formatted = code;
            isRtf = true;
            break;
        default: {
            const QzFormatString f = RetrieveStringFormat(pick(defaults.StringFormat));
            formatted = CreateFormatStringFunction(code, f);
            blankProtect = f.bUseBlankProtect;
            break;
        }
        }

        const bool withLocale = IsInstalledLocale(locale);
        std::string s;
        s.reserve(2 * code.size() + formatted.size() + 2 * font.size() + 192);  // and the block's own text
        if (withLocale) {
            s += "qzLocaleTemp_ = GetLocale()";
            s += kCrLf;
            s += "SetLocale(" + std::to_string(locale) + ")";
            s += kCrLf;
        }
        s += "If IsNull(";
        s += code;
        s += ") or IsEmpty(";
        s += code;
        s += ") Then";
        s += kCrLf;
        s += "   oRun.PrintExp \"\",0,\"";
        s += font;
        s += "\",0";
        s += kCrLf;
        s += "Else ";
        s += kCrLf;
        s += "oRun.PrintExp ";
        s += formatted;
        s += ',';
        s += flag(blankProtect);
        s += ",\"";
        s += font;
        s += "\", ";
        s += flag(isRtf);
        s += kCrLf;
        s += "End If ";
        if (withLocale) {
            s += kCrLf;
            s += "SetLocale(qzLocaleTemp_)";
        }
        return s;
    });
}

std::string CreateVirtualProgram(const RtfInterpreter& reader, const TemplateDefaults& defaults,
                                 FieldLineTable& table) {
    return Handled(kModule, "CreateVirtualProgram", kErrLog | kErrRaise, [&] {
        const std::int32_t n = reader.NbElement();
        table.Reset(static_cast<std::size_t>(n) + 2);
        std::string program;

        std::string piece = "\r\nSub Main()";
        if (IsInstalledLocale(defaults.Locale)) {
            piece += kCrLf;
            piece += "SetLocale(" + std::to_string(defaults.Locale) + ")";
        }
        program += piece;
        table.Insert(kElementStatement, piece, "", "", "");

        for (std::int32_t i = 0; i < n; ++i) {
            const std::int32_t t = reader.GetElementType(i);
            const std::int32_t p = reader.GetElementPosition(i);
            program += kCrLf;
            if (t == kElementRtf) {
                piece = "oRun.printRtf (";
                if (p >= 0) piece += ' ';
                piece += std::to_string(p);
                piece += ')';
                table.Insert(t, piece, "", "", "");
                program += piece;
            } else if (t == kElementStatement) {
                const std::string& code = reader.GetStatementCode(p);
                table.Insert(t, code, reader.GetStatementLabel(p), "", "");
                program += code;
            } else {
                const std::string& code = reader.GetExpressionCode(p);
                const std::string& format = reader.GetExpressionFormat(p);
                piece = CreateVbScriptExpLine(code, reader.GetExpressionLocale(p), format,
                                              reader.GetExpressionFont(p), defaults);
                table.Insert(t, piece, reader.GetExpressionLabel(p), code, format);
                program += piece;
            }
        }

        program += "\r\nEnd Sub";
        table.Insert(kElementStatement, "End Sub", "", "", "");
        return program;
    });
}

} // namespace qz::production
