#include "platform/word/Story.h"

#include <algorithm>
#include <cstring>

namespace qz::word {

Story& Story::operator=(const Story& o) {
    if (this == &o) return *this;
    std::size_t n = o.size();
    std::unique_ptr<Atom[]> nb(n ? new Atom[n] : nullptr);
    for (std::size_t i = 0; i < n; ++i) nb[i] = o[i];
    buf_ = std::move(nb);
    cap_ = gapStart_ = gapEnd_ = n;
    return *this;
}

void Story::moveGap(std::size_t pos) {
    if (pos < gapStart_) {
        std::size_t n = gapStart_ - pos;
        std::memmove(&buf_[gapEnd_ - n], &buf_[pos], n * sizeof(Atom));
        gapStart_ = pos;
        gapEnd_ -= n;
    } else if (pos > gapStart_) {
        std::size_t n = pos - gapStart_;
        std::memmove(&buf_[gapStart_], &buf_[gapEnd_], n * sizeof(Atom));
        gapStart_ += n;
        gapEnd_ += n;
    }
}

void Story::insert(std::size_t pos, const Atom* atoms, std::size_t n) {
    if (n == 0) return;
    moveGap(pos);
    if (gapEnd_ - gapStart_ < n) {
        // Grow: the new buffer keeps the gap at the insertion point.
        std::size_t tail = cap_ - gapEnd_;
        std::size_t newCap = std::max<std::size_t>(cap_ * 2, cap_ + n + 64);
        std::unique_ptr<Atom[]> nb(new Atom[newCap]);
        if (gapStart_) std::memcpy(nb.get(), buf_.get(), gapStart_ * sizeof(Atom));
        if (tail) std::memcpy(nb.get() + newCap - tail, buf_.get() + gapEnd_, tail * sizeof(Atom));
        buf_ = std::move(nb);
        gapEnd_ = newCap - tail;
        cap_ = newCap;
    }
    std::memcpy(&buf_[gapStart_], atoms, n * sizeof(Atom));
    gapStart_ += n;
}

void Story::erase(std::size_t pos, std::size_t n) {
    if (n == 0) return;
    moveGap(pos);
    gapEnd_ += n;
}

} // namespace qz::word
