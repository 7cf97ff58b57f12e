// What the values made on this thread hold: the text of strings, the
// elements of arrays, the entries of dictionaries and the like, counted as
// they are made, grow and go. A script's memory ceiling is then one load and
// one comparison, whatever state the allocator's heap is in.
//
// The counts are per thread: a value released on another thread than the one
// that made it leaves both counts off by its size, which a ceiling tolerates.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace qz::memory {

namespace detail {
extern __thread std::int64_t tHeld __attribute__((tls_model("initial-exec")));
extern __thread std::int64_t tCeiling __attribute__((tls_model("initial-exec")));
} // namespace detail

inline std::int64_t held() noexcept { return detail::tHeld; }
// What the allocator takes for a block of `bytes`: its header and the
// alignment of its blocks (16 bytes, 32 at least), so that many small values
// are counted as the heap holds them.
constexpr std::int64_t heapBytes(std::size_t bytes) noexcept {
    return std::max<std::int64_t>(32, static_cast<std::int64_t>((bytes + 8 + 15) & ~std::size_t{15}));
}
// Whether `more` bytes on top of what this thread holds would pass its
// ceiling (there is none unless a CeilingScope set one).
inline bool wouldPass(std::int64_t more) noexcept { return detail::tHeld + more > detail::tCeiling; }
// How much more this thread may take before its ceiling; 0 when it has no
// ceiling. A thread that works for this one sets it as its own ceiling.
inline std::int64_t room() noexcept {
    if (detail::tCeiling == std::numeric_limits<std::int64_t>::max()) return 0;
    return std::max<std::int64_t>(detail::tCeiling - detail::tHeld, 1);
}

// The count one object keeps of what it holds: set it again when the object
// grows or shrinks; it is given back when the object goes.
class Tally {
public:
    Tally() = default;
    ~Tally() {
        if (bytes_ != 0) detail::tHeld -= bytes_;
    }
    bool empty() const noexcept { return bytes_ == 0; }
    Tally(const Tally&) = delete;
    Tally& operator=(const Tally&) = delete;
    // Moved with what it counts: the count goes with the object's contents.
    Tally(Tally&& o) noexcept : bytes_(o.bytes_) { o.bytes_ = 0; }
    Tally& operator=(Tally&& o) noexcept {
        if (this != &o) {
            detail::tHeld -= bytes_;
            bytes_ = o.bytes_;
            o.bytes_ = 0;
        }
        return *this;
    }
    void set(std::int64_t bytes) noexcept {
        detail::tHeld += bytes - bytes_;
        bytes_ = bytes;
    }
    // Counts what it holds on this thread from now on, when it was counted on
    // another thread that is done with it.
    void moveHere() noexcept {
        const std::int64_t bytes = bytes_;
        bytes_ = 0;
        set(bytes);
    }

private:
    std::int64_t bytes_ = 0;
};

// Sets this thread's ceiling to `limit` bytes beyond what it holds now (none
// when limit <= 0) for the scope's lifetime; an earlier, lower ceiling set
// outside stays.
class CeilingScope {
public:
    explicit CeilingScope(std::int64_t limit) noexcept : saved_(detail::tCeiling) {
        if (limit > 0 && detail::tHeld + limit < detail::tCeiling) detail::tCeiling = detail::tHeld + limit;
    }
    ~CeilingScope() { detail::tCeiling = saved_; }
    CeilingScope(const CeilingScope&) = delete;
    CeilingScope& operator=(const CeilingScope&) = delete;

private:
    std::int64_t saved_;
};

} // namespace qz::memory
