// Bulleted and numbered lists. The document keeps its lists in its list table
// and list override table (in the preamble); a paragraph joins one by \lsN
// \ilvlN, and keeps its number or bullet as a {\listtext ...} group at its
// start for readers that do not number lists themselves (the display shows
// that group). ListFormat is the automation model's member over a range.
#pragma once

#include "platform/word/Range.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qz::word {

// The content of the list-number group ({\listtext ...}, {\pntext ...})
// that a kept group is or holds at its top; empty when there is none.
std::string_view KeptListText(std::string_view group);

// Whether the atom at `at` of the story is such a kept group: the number or
// bullet a list paragraph starts with.
bool HoldsListText(const Document& doc, const Story& story, long at);

// List types as ListFormat.ListType reads them.
inline constexpr int kListNoNumbering = 0;
inline constexpr int kListSimpleNumbering = 3;
inline constexpr int kListBullet = 2;

// One level of a list: its number format (\levelnfc: 0 decimal, 1 and 2
// upper and lower roman, 3 and 4 upper and lower letter, 23 bullet, 255
// none; the others spell numbers in other scripts: 33 to 39 Chinese
// counting, 11 Japanese, 45 Hebrew, 14 full-width figures ...), where it
// starts, and its text (read in its font's code page), in which the
// characters 0 to 8 stand for the number of that level.
struct ListLevel {
    int nfc = 0;
    int start = 1;
    std::u32string text;
    int font = -1; // the font its number or bullet shows in (\f), -1 the paragraph's
    int size = 0;  // its size (\fs, half points), 0 the paragraph's
    int follow = 0; // what follows the number (\levelfollow): 0 a tab, 1 a space, 2 nothing
};

// The bullet (and the tab after it) that a paragraph of a bullet level
// shows, in Unicode: a symbol font's characters (as bytes or as the private
// use characters word processors write them as) taken as the symbols they
// are; empty for a level of numbers.
std::u32string LevelBullet(const Document& doc, const ListLevel& level);

// The numbers of a story's list paragraphs, worked out in the story's order
// from each list's levels: a list counts each level on from where it starts,
// and a paragraph of a level starts the deeper levels over.
class ListNumbering {
public:
    explicit ListNumbering(const Document& doc) : doc_(doc) {}
    // Counts the paragraph of the format (of a list or not) and returns its
    // number as its level's text puts it ("2.", "iii)", "1.4"); nothing for
    // a paragraph of no list, of a bullet level or of a level the list lacks.
    std::optional<std::u32string> Next(const ParaFormat& f);
    // Counts the paragraphs of the story whose marks stand before pos.
    void CountBefore(const Story& story, long pos);
    // The character that follows a number at the paragraph's level (a tab,
    // a space, or 0 for nothing).
    char32_t Follow(const ParaFormat& f);
    // The paragraph's level of its list, if the list has it.
    const ListLevel* Level(const ParaFormat& f);

private:
    struct List {
        std::vector<ListLevel> levels;
        int counts[9];
    };
    List& ListOf(int ls);
    const Document& doc_;
    std::map<int, List> lists_;
};

// The levels of the list that override `ls` of the document's tables names
// (empty when there is none).
std::vector<ListLevel> ListLevels(const Document& doc, int ls);

// Adds a list of nine levels to the document's tables, bulleted or numbered
// (1., 2., ...), indented by half an inch a level; returns its \ls number.
int AddList(Document& doc, bool numbered);

// Gives every paragraph of the story that belongs to list `ls` its number or
// bullet (its {\listtext} group), counting through the story; paragraphs
// that belong to no list lose a kept one.
void UpdateListNumbers(Document& doc, Story& story, int ls);

class ListFormat {
public:
    explicit ListFormat(Range range) : r_(std::move(range)) {}
    // The list type of the range's first paragraph.
    int ListType() const;
    // Bullets (numbers) for the range's paragraphs; when they all have them
    // already, they are removed, as the toolbar's button does. The paragraphs
    // join the list of the paragraph before them when it is of the kind.
    void ApplyBulletDefault();
    void ApplyNumberDefault();
    // Takes the range's paragraphs out of their lists.
    void RemoveNumbers();

private:
    void Apply(bool numbered);
    // The range whose paragraphs a list command changes.
    static Range Scope(const Range& r);
    Range r_;
};

} // namespace qz::word
