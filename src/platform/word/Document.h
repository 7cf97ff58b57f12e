// A word-processor document: its stories, sections, tables of fonts, colours
// and formats, custom properties, and the members the designer calls.
#pragma once

#include "platform/word/Formats.h"
#include "platform/word/Story.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qz::word {

class Application;
class Document;

// RGB (0xRRGGBB) of a palette colour index 1..16; -1 for 0 (automatic) or others.
std::int32_t PaletteRgb(int index);
// Palette index of an RGB value (-1 = automatic gives 0); 0 when outside the palette.
int PaletteIndex(std::int32_t rgb);
class Range;
class Selection;

struct FontDef {
    int number = 0;       // \fN as written in the file
    std::string decl;     // control words and groups between \fN and the name, verbatim
    std::string name;     // UTF-8
    int charset = 0;      // \fcharsetN; 1 (default) when the file gives none
};

// Paragraph end of some kind, with the paragraph (and row) properties in
// effect at it, verbatim.
struct ParaEndInfo {
    std::string word;  // "par", "cell", "row", "nestcell", "nestrow", "sect"
    std::string props; // control words after \pard, verbatim
    std::string row;   // table-row properties (\trowd ... \cellx) of a table paragraph
    ParaFormat format; // what props state
    RowFormat rowFormat; // what row states

    // A paragraph mark outside any table.
    bool IsPlainParagraph() const { return word == "par" && row.empty(); }
};

// The instruction a symbol is saved as, as text: " SYMBOL n \f "font" \u"
// (a quote or a backslash in the name escaped with a backslash; \u for a
// code above 0xFF; no \f without a font). The reader makes a symbol only of
// an instruction whose saved form is no longer than kMaxSymbolCode
// characters, so that what it made reads back as a symbol.
std::string SymbolFieldCode(unsigned code, const std::string* font);
inline constexpr std::size_t kMaxSymbolCode = 199;

struct FieldInfo {
    std::string prefix; // control words between \field and the instruction (\fldlock ...)
    std::string result; // the content of \fldrslt, verbatim
};

// One custom document property.
class CustomProperty {
public:
    std::string Name;
    std::string Value;
    int Type = 4; // 1 number, 2 boolean, 3 date, 4 text, 5 float
    bool LinkToContent = false;
};

class CustomProperties {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    // By 1-based index.
    CustomProperty& Item(int index);
    // By exact name; an unknown name is an error.
    CustomProperty& Item(const std::string& name);
    CustomProperty* Find(const std::string& name);
    CustomProperty& Add(const std::string& name, bool linkToContent, const std::string& value,
                        int type);
    std::vector<CustomProperty>::iterator begin() { return items_.begin(); }
    std::vector<CustomProperty>::iterator end() { return items_.end(); }
    std::vector<CustomProperty>::const_iterator begin() const { return items_.begin(); }
    std::vector<CustomProperty>::const_iterator end() const { return items_.end(); }

private:
    std::vector<CustomProperty> items_;
};

// Header and footer indexes, as the automation model numbers them.
inline constexpr int kHeaderFooterPrimary = 1;
inline constexpr int kHeaderFooterFirstPage = 2;
inline constexpr int kHeaderFooterEvenPages = 3;
inline constexpr int kHeaderFooterKinds = 3;

class Section;

class HeaderFooter {
public:
    Range GetRange();
    bool Exists() const { return story.size() > 0; }

    Document* doc = nullptr;
    Story story;
    std::string word;     // "header", "headerr", "footerf", ... as read or to write
    std::string lastProps; // properties of the story's final paragraph
    std::optional<std::uint32_t> lastFormat; // the character format of its final mark, when stated
    bool stated = false;   // the document states it (written back even when empty)
};

class Section {
public:
    HeaderFooter& Headers(int index);
    HeaderFooter& Footers(int index);
    const HeaderFooter& Headers(int index) const { return const_cast<Section*>(this)->Headers(index); }
    const HeaderFooter& Footers(int index) const { return const_cast<Section*>(this)->Footers(index); }
    Range GetRange();

    Document* doc = nullptr;
    int index = 0; // 0-based
    std::string props; // control words after \sectd, verbatim
    std::array<HeaderFooter, kHeaderFooterKinds> headers; // [kind - 1]
    std::array<HeaderFooter, kHeaderFooterKinds> footers;
};

class Document {
public:
    explicit Document(Application* app);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // --- automation members ---
    // The title the document's window shows; empty: its name.
    std::string Caption;
    const std::string& Name() const { return name_; }
    const std::string& Path() const { return path_; }
    std::string FullName() const;
    bool Saved() const { return saved_; }
    void SetSaved(bool v) { saved_ = v; }
    bool ReadOnly() const { return readOnly_; }
    // Who has the document open in another studio ("user on host since
    // time"), when this one opened it read-only for that reason; "" otherwise.
    const std::string& LockedBy() const { return lock_.heldBy; }
    // Whether the file was changed by someone else since it was opened or
    // last saved here: Save then refuses (kErrChangedOnDisk) until
    // OverwriteDiskChanges says the author wants this document to replace it.
    bool ChangedOnDisk() const;
    void OverwriteDiskChanges();
    void Save();
    // Saves as RTF (format 6, the only one offered) and takes the new name.
    void SaveAs(const std::string& fileName, int fileFormat = 6);
    CustomProperties& CustomDocumentProperties() { return props_; }
    const CustomProperties& CustomDocumentProperties() const { return props_; }
    int SectionCount() const { return static_cast<int>(sections_.size()); }
    Section& Sections(int index); // 1-based
    // The page of a section (0-based index), as the document and the section state it.
    PageSetup PageSetupOf(int section) const;
    // Gives a section (0-based index) that page: the section states each
    // value that differs from what it showed.
    void SetPageSetup(int section, const PageSetup& page);
    Range Content();
    Selection& GetSelection() { return *selection_; }
    Application* GetApplication() const { return app_; }
    void Close();

    // --- model ---
    Story& MainStory() { return main_; }
    const Story& MainStory() const { return main_; }
    // Marks the document changed (every edit of a story calls it).
    void Changed() { saved_ = false; }
    // Counts the times list numbers were given again (UpdateListNumbers):
    // a window that drew part of the document draws it all when this moved.
    unsigned NumberingChanges() const { return numberingChanges_; }
    void NumberingChanged() { ++numberingChanges_; }

    // Edit journal: between BeginJournal and EndJournal every change of a
    // story is recorded, so that RollBack can restore the stories as they
    // were at a mark. Journals nest; the outermost end forgets the record.
    std::size_t BeginJournal();
    void EndJournal();
    void RollBack(std::size_t mark);
    // Records that [start, end) of a story is about to become newCount atoms.
    void Record(Story& story, long start, long end, long newCount);
    // Records a text of the document's own that is about to change (the
    // preamble, a section's properties, a story's last paragraph's
    // properties), so that undo and a rollback restore it too.
    void RecordText(std::string& text);

    // Undo and redo. Every change of a story between BeginUndoStep and the
    // matching EndUndoStep (they nest) becomes one step that Undo reverts;
    // a new step forgets what could be redone. Undo and Redo return the
    // position of the last change they made (-1 when there was nothing),
    // and put the caret there, in the story the step changed.
    // A step ended as typing (one insertion at the caret) joins the typing
    // step before it when it goes on where that one ended, unless it starts
    // a new word (a character other than a blank after a blank or a mark):
    // typing is undone word by word.
    void BeginUndoStep();
    void EndUndoStep(bool typing = false);
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    long Undo();
    long Redo();
    // Forgets every step (a document loaded or reloaded).
    void ClearUndo();

    std::uint32_t InternFormat(const CharFormat& f);
    const CharFormat& Format(std::uint32_t id) const { return formats_[id]; }
    // What a format's other control words show (strike-through, highlight ...).
    const CharLook& Look(std::uint32_t id) const { return looks_[id]; }
    // The format of text where nothing gives it another: the document's
    // default character properties under its Normal style.
    std::uint32_t DefaultFormat() const { return defaultFormat_; }
    // The format of text typed into an empty story: its paragraph mark's
    // (a header's or footer's, as read), else the default.
    std::uint32_t EmptyStoryFormat(const Story& story) const;
    std::uint32_t InternParaEnd(const std::string& word, const std::string& props,
                                const std::string& row = {});
    const ParaEndInfo& ParaEnd(std::uint32_t id) const { return paraEnds_[id]; }
    // The properties of a story's last paragraph, which has no mark of its
    // own (the main story's, a header's or footer's); nullptr for a story
    // that is none of this document's.
    const std::string* LastProps(const Story& story) const;
    std::string* LastProps(const Story& story);
    std::uint32_t AddFieldInfo(FieldInfo fi);
    FieldInfo& FieldInfoAt(std::uint32_t id) { return fieldInfos_[id]; }
    const FieldInfo& FieldInfoAt(std::uint32_t id) const { return fieldInfos_[id]; }
    std::uint32_t AddOpaque(std::string rtf);
    const std::string& Opaque(std::uint32_t id) const { return opaques_[id]; }

    // Font number for a name, adding a font when the table lacks it.
    int FontNumber(const std::string& name);
    // The same for a font of another table: one of its name, else a copy of it.
    int FontNumber(const FontDef& like);
    // A number no font of the table and no character format uses yet, for
    // a font to be added.
    int FreeFontNumber() const;
    const FontDef* FontByNumber(int number) const;
    // Adds a font to the table, or replaces the one of its number. The
    // table is changed only through these, which keep its index.
    void AddFont(FontDef font);
    void ClearFonts();
    // Colour-table index of a colour (RGB 0xRRGGBB, -1 automatic), added when missing.
    int ColorEntry(std::int32_t rgb);
    std::int32_t ColorRgb(int entry) const;

    // What is wrong with the model, "" when nothing: every atom's format and
    // table entries in range, fields begun and ended in order, each table
    // row's cells ended by its row mark, the selection inside its story.
    // Every edit leaves this "" (the edit tests check it after each step).
    std::string CheckModel() const;

    // Loads an RTF file into this (new) document. Raises on malformed RTF.
    void LoadRtf(const std::string& path);
    void LoadRtfText(std::string_view rtf);
    std::string ToRtf() const;

    // Sets name and folder from a full file name.
    void SetFileName(const std::string& fullName);
    void SetUntitledName(const std::string& name) { name_ = name; path_.clear(); }

    // The tables, for the reader and writer (fonts: read only, see AddFont).
    std::vector<FontDef> fonts;
    std::vector<std::int32_t> colors; // entry 0 is usually automatic (-1)
    std::string preamble;   // groups and document control words of the header, verbatim
    int deff = 0;
    // The document's character set ("ansi", "mac", "pc", "pca") and code
    // page, as read: kept groups hold bytes of it, so the writer declares it.
    std::string charsetWord = "ansi";
    int ansiCodePage = 1252;
    std::vector<std::unique_ptr<Section>> sections_;
    std::string mainLastProps; // properties of the main story's final paragraph
    std::string mainLastMark = "par"; // the mark that ends the main story ("par", or "sect")
    std::optional<std::uint32_t> mainLastFormat; // the character format of that mark, when stated
    // Groups after the main story's final paragraph mark (theme, data store,
    // closing bookmarks ...), verbatim: they belong to no paragraph.
    std::string mainTrailer;

private:
    struct FormatHash {
        std::size_t operator()(const CharFormat& f) const noexcept;
    };

    Application* app_;
    std::string name_;
    std::string path_;
    bool saved_ = true;
    unsigned numberingChanges_ = 0;
    bool readOnly_ = false;
    // What this document holds while open: the kernel's lock of its file,
    // which every name of the file meets, and the lock file beside the file
    // its name leads to, ".~lock.<name>#", naming the user, the host, the
    // process and the time. A second opener meets them and opens read-only.
    struct FileLock {
        std::string file, text; // the lock file taken, and what it says
        std::string heldBy;     // or who holds it
        int fd = -1;            // the document's file, locked
    };
    FileLock lock_;
    // The file as it was when read or last written here.
    struct DiskStamp {
        unsigned long long dev = 0, ino = 0, size = 0;
        long long mtimeSec = 0, mtimeNsec = 0;
        bool operator==(const DiskStamp&) const = default;
    };
    DiskStamp disk_;
    static DiskStamp StampOf(const std::string& path);
    // Takes the lock of a file (nothing when its folder allows none).
    static FileLock TakeLock(const std::string& fullName);
    static void ReleaseLock(FileLock& lock) noexcept;
    // Replaces the file whole with `data`, moving the lock's hold on the
    // file to the new one; raises the error of the write.
    static void WriteLocked(const std::string& path, const std::string& data, FileLock& lock);
    CustomProperties props_;
    Story main_;
    std::unique_ptr<Selection> selection_;

    // Where each font number stands in `fonts`, the number of the first font
    // of each name, and the highest number: lookups take constant time
    // however large the table. Rebuilt when the table's size is not the one
    // indexed.
    std::string CheckStory(const Story& story) const;
    void IndexFonts() const;
    mutable std::unordered_map<int, std::size_t> fontAt_;
    mutable std::unordered_map<std::string, int> fontNamed_;
    mutable int maxFontNumber_ = -1;
    mutable std::size_t fontsIndexed_ = 0;
    // The highest font number a character format ever named, so that a font
    // added by name never takes a number text already stands in.
    int maxFormatFont_ = -1;
    // Takes the character format `id` out of the lookup, so that the same
    // format interned again gets another id (the reader, when a font table
    // read after text takes the number of a font that a symbol added by
    // name: the symbol's format and text's of the same number part there).
    void ForgetFormat(std::uint32_t id);

    std::vector<CharFormat> formats_;
    std::vector<CharLook> looks_; // of each format
    std::unordered_map<CharFormat, std::uint32_t, FormatHash> formatIds_;
    std::uint32_t defaultFormat_ = 0;
    std::vector<ParaEndInfo> paraEnds_;
    std::unordered_map<std::string, std::uint32_t> paraEndIds_;
    std::vector<FieldInfo> fieldInfos_;
    std::vector<std::string> opaques_;

    // A change of a story's atoms, or (story null) of one of the document's
    // own texts: `text` held `oldText` before it.
    struct JournalEntry {
        Story* story;
        long start;
        long newCount;
        std::vector<Atom> old;
        std::string* text = nullptr;
        std::string oldText;
    };
    std::vector<JournalEntry> journal_;
    int journalDepth_ = 0;

    // An undo step: the journal entries of one user action, oldest first;
    // `now` holds what each entry's range became, filled when it is undone.
    // Puts the selection after an undo or redo at `at` in the story it changed.
    void PlaceAfterStep(Story* story, long at);
    struct UndoStep {
        std::vector<JournalEntry> entries;
        std::vector<std::vector<Atom>> now;
    };
    std::vector<UndoStep> undo_, redo_;
    int undoDepth_ = 0;
    long typingEnd_ = -1;  // where the last step, when typing, ended; -1 otherwise
    std::size_t undoMark_ = 0;  // journal entries before the open step

    friend class RtfReader;
    friend class Documents;
};

// A table row's first paragraph may hold text that stands before the row's
// definition (a loop's field between two rows, or before a table): readers
// show it in the row's first cell, but a production that repeats the text
// after it repeats the whole row, definition included. The row-start mark
// is the place where the row's definition and its paragraph's properties
// are stated; what is before it in the paragraph stands before the row. It
// is a kept group ("\\pard") that shows nothing and is no character.
inline constexpr std::string_view kRowStartGroup = "\\pard";
inline bool IsRowStartMark(const Document& doc, const Atom& a) {
    return a.Kind() == AtomKind::Opaque && doc.Opaque(a.value) == kRowStartGroup;
}
// A new row-start mark in a format.
inline Atom RowStartMark(Document& doc, std::uint32_t fmt) {
    return Atom::Make(AtomKind::Opaque, doc.AddOpaque(std::string(kRowStartGroup)), fmt);
}

} // namespace qz::word
