// The in-memory document of the word processor: stories of atoms, character
// formats, and the tables that hold what the atoms refer to.
//
// A story is a sequence of atoms, each one position wide. Positions are what
// ranges count; they are the same whether field codes are shown or not,
// because a field is stored as its begin character, its code and its end
// character, and the field's result is kept aside on the begin atom.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qz::word {

enum class AtomKind : std::uint8_t {
    Char,       // value: Unicode code point
    Symbol,     // value: symbol number (font in the format)
    ParaEnd,    // value: index into Document::paraEnds (\par, \cell, \row, \sect ...)
    FieldBegin, // value: index into Document::fieldInfos
    FieldEnd,   // value: 0
    Opaque,     // value: index into Document::opaques (RTF kept verbatim)
};

struct Atom {
    std::uint32_t kind : 3;
    std::uint32_t value : 29;
    std::uint32_t fmt; // index into Document::formats

    AtomKind Kind() const { return static_cast<AtomKind>(kind); }
    static Atom Make(AtomKind k, std::uint32_t v, std::uint32_t f) {
        Atom a;
        a.kind = static_cast<std::uint32_t>(k);
        a.value = v;
        a.fmt = f;
        return a;
    }
};
static_assert(sizeof(Atom) == 8);

inline constexpr char32_t kFieldBeginChar = 0x13;
inline constexpr char32_t kFieldEndChar = 0x15;
inline constexpr char32_t kObjectChar = 0xFFFC;

// Character format. Colour is an index into the document's colour table
// (0 = automatic); font is a font number of the font table (-1 = none given).
struct CharFormat {
    std::int32_t font = -1;
    std::int32_t size = 0; // half points, 0 = not given
    std::int32_t color = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::string extra; // other character control words in effect, verbatim

    bool operator==(const CharFormat&) const = default;
};

// A story stored in a gap buffer: edits near the last edit point (typing,
// inserting a field) move only the atoms between the two points.
class Story {
public:
    Story() = default;
    Story(const Story& o) { *this = o; }
    Story& operator=(const Story& o);

    std::size_t size() const { return cap_ - (gapEnd_ - gapStart_); }
    const Atom& operator[](std::size_t i) const {
        return i < gapStart_ ? buf_[i] : buf_[i + (gapEnd_ - gapStart_)];
    }
    Atom& at(std::size_t i) { return i < gapStart_ ? buf_[i] : buf_[i + (gapEnd_ - gapStart_)]; }

    void insert(std::size_t pos, const Atom* atoms, std::size_t n);
    void erase(std::size_t pos, std::size_t n);
    void push_back(const Atom& a) {
        if (gapStart_ < gapEnd_ && gapEnd_ == cap_) { // the gap is at the end: append in place
            buf_[gapStart_++] = a;
            return;
        }
        insert(size(), &a, 1);
    }
    void pop_back() { erase(size() - 1, 1); }
    void clear() {
        buf_.reset();
        cap_ = gapStart_ = gapEnd_ = 0;
    }

private:
    void moveGap(std::size_t pos);
    // The buffer is left uninitialised: only the atoms outside the gap are ever read.
    std::unique_ptr<Atom[]> buf_;
    std::size_t cap_ = 0;
    std::size_t gapStart_ = 0;
    std::size_t gapEnd_ = 0;
};

} // namespace qz::word
