// Find and replace inside a code box: the search state that outlives each
// find dialog (so the next one starts with the last search and replace
// texts), the search text picked from the box, and the text operations the
// dialog runs. Positions count characters from 1, as the dialog shows them;
// the box's own SelStart counts from 0.
#pragma once

#include "platform/ui/Controls.h"

#include <cstdint>
#include <string>

namespace qz::editors {

// Compare modes: exact (Match case ticked) or letter case ignored.
inline constexpr std::int16_t kCompareBinary = 0;
inline constexpr std::int16_t kCompareText = 1;

struct FindReplaceState {
    std::string text;       // copy of the box's whole text
    std::string search;
    std::string replace;
    std::int16_t compareMode = kCompareBinary;
    bool fromTop = false;   // set by every reset, never cleared
    bool countMode = false;
    bool replacing = false; // the find step does not count while set
    std::int32_t startPosition = 0;
    std::int32_t currentPosition = 0;
    std::int32_t matchCount = 0;
    std::int32_t changeCount = 0;
    // The part of the text searched: characters regionStart to regionEnd - 1
    // (1-based) when the author chose to search the selected text; 0 and 0
    // for the whole text.
    std::int32_t regionStart = 0;
    std::int32_t regionEnd = 0;
};

// The state of this thread's find dialogs.
FindReplaceState& TheFindReplaceState();

// The initial search text: the box's selected text up to its first CR LF, or
// with nothing selected the word around the caret ("" between delimiters).
std::string GetFindTextFromTextBox(const ui::TextBox& box);

// The number of characters of a text.
std::int32_t CharCount(const std::string& text);

// The 1-based position of the first occurrence of `find` at or after the
// position `from` (1-based; below 1 counts as 1) that ends before `limit`
// (a 1-based position just past the last character allowed; 0 for the end
// of the text), compared with the compare mode; 0 when there is none or
// `find` is empty.
std::int32_t FindFrom(const std::string& text, const std::string& find, std::int32_t from,
                      std::int16_t compareMode, std::int32_t limit = 0);

// Replaces every occurrence in the state's text (within its region) from the
// start, resuming after each inserted text so that it is never searched
// again; returns the number of changes (also in changeCount). An empty
// search text changes nothing.
std::int32_t ReplaceAllInText(FindReplaceState& state);

} // namespace qz::editors
