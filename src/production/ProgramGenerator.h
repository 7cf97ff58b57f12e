// The script program generator: turns a template's element sequence into the
// generated part of the program, one procedure Main that replays the template
// in order, and records which program lines belong to which field so that a
// script error can be traced back to what the author wrote.
//
// The generated part reads, line by line:
//   (empty line)
//   Sub Main()
//   SetLocale(<template locale>)            only for an installed locale
//   oRun.printRtf ( 0)                       a pure RTF run, by position
//   <statement code, unchanged>              a statement field
//   If IsNull(<c>) or IsEmpty(<c>) Then      an expression field (5 or 8 lines)
//      oRun.PrintExp "",0,"<font>",0
//   Else
//   oRun.PrintExp <formatted c>,<b>,"<font>", <r>
//   End If
//   End Sub
#pragma once

#include "core/QzFormat.h"
#include "production/RtfInterpreter.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qz::production {

// The template's default locale and field formats (from its QZC file).
struct TemplateDefaults {
    std::int32_t Locale = 0;
    std::string DateTimeFormat;
    std::string StringFormat;
    std::string NumberFormat;
    std::string CurrencyFormat;
    std::string PercentFormat;
};

// One piece of the generated part.
struct FieldLineRecord {
    std::string Label;        // the field's label; "" for runs and the Main frame
    std::string Code;         // expression: its code; others: the generated text
    std::string Format;       // expression: its format text
    std::int32_t FirstLine = 0;   // 1-based within the generated part
    std::int32_t LineCount = 0;
    std::int32_t ElementType = 0; // 0 run, 1 statement (and the Main frame), 2 expression
};

class FieldLineTable {
public:
    void Reset(std::size_t expected);
    // InsertQzFieldIntoArray
    void Insert(std::int32_t elementType, std::string_view text, std::string_view label,
                std::string_view code, std::string_view format);
    // The record whose lines hold line r of the generated part, or null.
    const FieldLineRecord* Find(std::int32_t r) const;

    const std::vector<FieldLineRecord>& Records() const { return records_; }
    std::int32_t LineCount() const { return lineCount_; }

private:
    std::vector<FieldLineRecord> records_;
    std::int32_t lineCount_ = 0;
};

// Whether a locale id names an installed locale (IsValidLocale with flag 1).
bool IsInstalledLocale(std::int32_t lcid);
// The locale a template's program runs in: the template's Locale when it is
// installed, else the user's.
std::uint32_t ProgramLocale(std::int32_t templateLocale);

// CreateVirtualProgram: the generated part of the program (starting with CR LF)
// and its field line table.
std::string CreateVirtualProgram(const RtfInterpreter& reader, const TemplateDefaults& defaults,
                                 FieldLineTable& table);

// CreateVbScriptExpLine: the script block of one expression field.
std::string CreateVbScriptExpLine(std::string_view code, std::int32_t locale,
                                  std::string_view format, std::string_view font,
                                  const TemplateDefaults& defaults);

std::string CreateFormatStringFunction(std::string_view code, const QzFormatString& f);
std::string CreateFormatDateTimeFunction(std::string_view code, const QzFormatDateTime& f);
std::string CreateFormatNumberFunction(std::string_view code, const QzFormatNumber& f);
std::string CreateFormatCurrencyFunction(std::string_view code, const QzFormatNumber& f);
std::string CreateFormatPercentFunction(std::string_view code, const QzFormatNumber& f);

// The number of LF characters in a text.
std::int32_t CountLineFeeds(std::string_view text);

} // namespace qz::production
