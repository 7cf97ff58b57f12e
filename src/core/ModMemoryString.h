// Replace-all for texts of any size, tens of megabytes included: one pass
// finds the occurrences, the result is allocated once at its final size and
// filled in one copy pass. Texts are byte strings (UTF-8 or RTF bytes) and
// are never re-encoded, so every character survives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

// From this length up, an allocation failure is reported as message 3113
// with the system's text in the log's detail line.
inline constexpr std::size_t kLargeStringThreshold = 5242880;

// out := text with every occurrence of `find` replaced by `replacement`,
// scanning from the start, case-sensitive; an empty `find` changes nothing.
// On failure `out` is unchanged.
void QZReplace(std::string_view text, std::string& out, std::string_view find,
               std::string_view replacement);

// Raw byte buffers of the large path.
char* QZAllocateBuffer(std::size_t size);
void QZFreeBuffer(char* base, std::size_t size);
// 1-based position of the first occurrence of `pattern` at or after `start`
// in the buffer, 0 when none.
std::size_t QZInStr(std::size_t start, const char* base, std::size_t length,
                    std::string_view pattern);
// The byte at 1-based position `position` (0 to 255).
int QZGetChar(const char* base, std::size_t position);
// The system's text for an errno, or "Unexpected Error (Cannot decode APPI error).".
std::string GetApiErrorText(int code);

// Memory held back while a large read fills memory, and given back when the
// read is done: a read that does not fit with this much to spare fails with
// std::bad_alloc (the system's "Out of memory"), so that what shows the data
// afterwards (a window's rows, the error dialog itself) still has room.
class MemoryHeadroom {
public:
    explicit MemoryHeadroom(std::size_t bytes);
    ~MemoryHeadroom();
    MemoryHeadroom(const MemoryHeadroom&) = delete;
    MemoryHeadroom& operator=(const MemoryHeadroom&) = delete;

private:
    void* block_;
};

} // namespace qz
