// Builds template RTF the way the designer's word processor saves it: each
// field of the system is a MACROBUTTON field whose instruction holds the two
// delimiters as nested SYMBOL fields around the label and a nested SET field
// with the payload. Texts are given in Windows-1252 and escaped as RTF.
#pragma once

#include "platform/automation/Text.h"
#include "platform/system/CodePage.h"

#include <string>
#include <string_view>

namespace qz::test {

// Escapes plain text for RTF the way the designer writes it: braces with a
// backslash, a backslash as \'5c, characters above 0x7F (the section sign
// included) as \'hh in lower case.
inline std::string rtfText(std::string_view text) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        if (c == '{' || c == '}') { out += '\\'; out += static_cast<char>(c); }
        else if (c == '\\' || c >= 0x80) {
            out += "\\'";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else out += static_cast<char>(c);
    }
    return out;
}

// Escapes UTF-8 text the way the designer writes it: characters of
// Windows-1252 as rtfText does, others as \uN (N signed 16-bit, characters
// beyond U+FFFF as a surrogate pair) each followed by the fallback \'3f.
inline std::string rtfUnicodeText(std::string_view utf8) {
    std::string out;
    auto unit = [&out](unsigned u) {
        out += "\\u" + std::to_string(u >= 0x8000 ? static_cast<int>(u) - 65536 : static_cast<int>(u)) +
               "\\'3f";
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = nextUtf8(utf8, i);
        const int b = sys::unicodeToCp1252(c);
        if (b >= 0) {
            const char byte = static_cast<char>(b);
            out += rtfText(std::string_view(&byte, 1));
        } else if (c > 0xFFFF) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

inline std::string symbolField(int code, std::string_view shown, bool unicode = false) {
    return "{\\field{\\*\\fldinst SYMBOL " + std::to_string(code) +
           " \\'5cf \"Wingdings\"" + (unicode ? " \\'5cu" : "") + "}{\\fldrslt{\\f1 " +
           std::string(shown) + "}}}";
}

// payload: everything after "SET _QZ...377 ", already escaped.
inline std::string systemField(bool expression, std::string_view label,
                               std::string_view escapedPayload,
                               std::string_view font = "\\f0\\fs24\\cf0 ") {
    const char* macro = expression ? "modExpressionMacro" : "modStatementMacro";
    const char* name = expression ? "QZExpression377" : "QZStatement377";
    const int colour = expression ? 9 : 6;
    const std::string open = expression ? symbolField(61558, "\\u-3978?", true) : symbolField(215, "\\'d7");
    const std::string close = expression ? symbolField(61558, "\\u-3978?", true) : symbolField(216, "\\'d8");
    return std::string("{\\field{\\*\\fldinst {\\cf0  MACROBUTTON ") + macro + " }{\\cf" +
           std::to_string(colour) + " " + open + rtfText(label) + close +
           "}{\\cf0 {\\field{\\*\\fldinst {" + std::string(font) + " SET _" + name + " " +
           std::string(escapedPayload) + "}}{\\fldrslt }}}}{\\fldrslt }}";
}

inline std::string statementField(std::string_view label, std::string_view code) {
    return systemField(false, label, rtfText(code));
}

inline std::string expressionField(std::string_view label, std::string_view code,
                                   std::string_view format, std::string_view locale = "-1",
                                   std::string_view font = "\\f0\\fs24\\cf0 ") {
    return systemField(true, label,
                       rtfText(code) + "\\'a7" + rtfText(format) + "\\'a7" + rtfText(locale),
                       font);
}

// A whole document around a body.
inline std::string rtfDocument(std::string_view body) {
    return std::string("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}"
                       "{\\f1\\fnil\\fcharset2 Wingdings;}}\r\n"
                       "{\\colortbl;\\red0\\green0\\blue0;}\r\n"
                       "\\pard\\plain ") +
           std::string(body) + "\\par }";
}

} // namespace qz::test
