// Entry points of the fuzz targets. Each one feeds arbitrary bytes to one of
// the system's input readers and must return without a crash, a hang or a
// sanitizer report; the errors the readers raise for bad input are expected
// and swallowed. The same functions serve libFuzzer (one executable per
// target, see LibFuzzerMain.cpp) and the corpus replay test that CI runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qz::fuzz {

// The production engine's template reader: splits the bytes into RTF runs,
// statement fields and expression fields, and reads each field.
void RtfTemplate(const std::uint8_t* data, std::size_t size);

// The script engine: the text up to the first NUL byte is given to AddCode,
// the rest (or, without a NUL, the whole text again) to Eval.
void Script(const std::uint8_t* data, std::size_t size);

// The reader of recordsets saved as XML; every row and field is then read.
void SavedRecordset(const std::uint8_t* data, std::size_t size);

// The QZC configuration file loader; the loaded model is read through.
void QzcFile(const std::uint8_t* data, std::size_t size);

// The word model: loads the bytes as RTF, saves, reloads the saved text.
void WordRtf(const std::uint8_t* data, std::size_t size);

// The field format text readers and writers.
void FormatText(const std::uint8_t* data, std::size_t size);

// The SQL parser of the query builder over a fixed schema; what it accepts
// is written back and must read back into the same model.
void QueryParser(const std::uint8_t* data, std::size_t size);

// The .xlsx workbook reader, through an Excel connection; every table it
// lists is then read.
void Xlsx(const std::uint8_t* data, std::size_t size);

// A command in Access SQL on a folder of text files: translated, run, and
// its rows read.
void AccessSql(const std::uint8_t* data, std::size_t size);

// The .xls workbook reader, through an Excel connection; every table it
// lists is then read.
void Xls(const std::uint8_t* data, std::size_t size);

// Opens the bytes as an Excel workbook file of the name, with the Excel
// version its connection states ("Excel 8.0", "Excel 12.0 Xml"), under a
// memory ceiling, and reads every table it lists.
void ReadWorkbook(const std::uint8_t* data, std::size_t size, std::string_view fileName, std::string_view kind);

// Stops the process with a message: a broken invariant that a sanitizer
// would not see (for example a text that does not survive a round trip).
[[noreturn]] void Fail(const char* what);

// Writes the bytes to a file of this process's own scratch folder (made
// once, under the temporary folder) and returns the file's path.
std::string ScratchFile(std::string_view name, std::string_view bytes);

} // namespace qz::fuzz
