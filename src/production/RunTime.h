// RunTime: the object the generated program knows as oRun. It owns the
// output RTF file while a production runs and writes into it, in program
// order, the template's pure RTF runs (PrintRtf) and the values of expression
// fields (PrintExp), escaping plain text for RTF on the way. Every write is
// one line: the piece followed by CR LF, in Windows-1252; characters outside
// that code page are written as RTF Unicode escapes (\uN?).
//
// QZObject: the name/value object in which Production.AddProperty wraps a
// plain value; the script reads it as the member Value (also its default
// member, so the bare name works in expressions).
#pragma once

#include "platform/automation/SimpleDispatch.h"
#include "platform/system/Files.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qz::production {

// The pure RTF runs of a template, Windows-1252 bytes, indexed from 0.
using RtfRuns = std::vector<std::string>;

class RunTime final : public SimpleDispatch<RunTime> {
public:
    RunTime() = default;
    ~RunTime() override;

    void RtfCollection(std::shared_ptr<const RtfRuns> runs) { runs_ = std::move(runs); }
    void OutputFile(std::string path) { outputFile_ = std::move(path); }
    const std::string& OutputFile() const { return outputFile_; }

    // Opens OutputFile for writing. The document goes to a temporary file
    // beside it; CloseOutputFile puts it in place of OutputFile whole, and
    // CloseOutputFileClean drops it, leaving an earlier document as it was.
    // Failures name the output file and the system's reason (61 for a full disk).
    void OpenOutputFile();
    void CloseOutputFile();
    void CloseOutputFileClean() noexcept;
    bool IsOpen() const { return file_.isOpen(); }
    // The errno of the first failure to open or write the output (0: none).
    int WriteError() const { return writeError_; }
    // The error that reports a failure of the output file.
    AutomationError OutputError(int error) const;

    // Whether the document written so far is whole: its last piece is the
    // template's final run, the one that closes the document. FinalRun sets
    // that run (-1: no check, as for a template that does not end in a run).
    void FinalRun(std::int64_t index) { finalRun_ = index; }
    bool AtEnd() const { return finalRun_ < 0 || (lastPieceIsRun_ && lastRun_ == finalRun_); }
    // The last run written (-1: none yet).
    std::int64_t LastRun() const { return lastRun_; }
    // Whether CloseOutputFile put the document in place, and, when the
    // script closed the output early, the statement that did ("" otherwise).
    bool Committed() const { return committed_; }
    const std::string& ClosedBy() const { return closedBy_; }

    // Writes run Index (0-based).
    void PrintRtf(std::int32_t index);
    // Writes one field value as an RTF group.
    void PrintExp(const Variant& value, bool blankProtect, std::string_view font, bool isRtf);

    // The RTF group that PrintExp writes for a value already made text (UTF-16),
    // without the line break.
    static std::string FormatExp(std::u16string_view value, bool blankProtect,
                                 std::string_view font, bool isRtf);
    // The same group appended to out.
    static void AppendExp(std::string& out, std::u16string_view value, bool blankProtect,
                          std::string_view font, bool isRtf);

    static const MemberTable<RunTime>& members();
    std::u16string typeName() const override { return u"RunTime"; }
    Variant invoke(std::int32_t memberId, std::uint8_t kind, std::span<Variant> args) override;

private:
    Variant memberRtfCollection(std::uint8_t, std::span<Variant> args);
    Variant memberOutputFile(std::uint8_t kind, std::span<Variant> args);
    Variant memberOpenOutputFile(std::uint8_t, std::span<Variant>);
    Variant memberCloseOutputFile(std::uint8_t, std::span<Variant>);
    Variant memberCloseOutputFileClean(std::uint8_t, std::span<Variant>);
    Variant memberPrintRtf(std::uint8_t, std::span<Variant> args);
    Variant memberPrintExp(std::uint8_t, std::span<Variant> args);

    // A line is checked (the file open, no failure so far), written into
    // room made in the buffer, and ended (CR LF after its last byte; the
    // buffer goes out once it is large).
    void checkWritable() const;
    [[noreturn]] void notWritable() const;
    char* room(std::size_t n);
    void grow(std::size_t n);
    void endLine(char* end);
    void writeLine(std::string_view piece);

    std::shared_ptr<const RtfRuns> runs_;
    std::string outputFile_;
    std::int64_t finalRun_ = -1;
    std::int64_t lastRun_ = -1;
    bool lastPieceIsRun_ = false;
    bool committed_ = false;
    std::string closedBy_;
    void flush();

    sys::ReplacementFile file_;
    int writeError_ = 0;
    // The document's bytes not yet written: used_ of capacity_.
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::size_t capacity_ = 0;
    // The fonts a program passes to PrintExp, known by the address of their
    // text: each entry holds the text, so that its address stays its own.
    struct FontText {
        Variant text;
        std::string narrow;
    };
    // The font's control words as bytes, or null when it is not plain ASCII.
    const std::string* plainFont(const Variant& font);
    std::array<FontText, 8> fonts_;
    std::size_t nextFont_ = 0;
    bool printing_ = false; // within PrintExp with a font of fonts_
};

class QZObject final : public SimpleDispatch<QZObject> {
public:
    const std::string& Name() const { return name_; }
    void Name(std::string name) { name_ = std::move(name); }
    const Variant& Value() const { return value_; }
    void Value(Variant value) { value_ = std::move(value); }

    static const MemberTable<QZObject>& members();
    std::u16string typeName() const override { return u"QZObject"; }

private:
    Variant memberName(std::uint8_t kind, std::span<Variant> args);
    Variant memberValue(std::uint8_t kind, std::span<Variant> args);

    std::string name_;
    Variant value_;
};

} // namespace qz::production
