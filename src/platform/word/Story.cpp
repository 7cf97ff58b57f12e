#include "platform/word/Story.h"

#include <algorithm>
#include <cstring>

namespace qz::word {

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
        std::size_t tail = buf_.size() - gapEnd_;
        std::size_t newCap = std::max<std::size_t>(buf_.size() * 2, buf_.size() + n + 64);
        std::vector<Atom> nb(newCap);
        if (gapStart_) std::memcpy(nb.data(), buf_.data(), gapStart_ * sizeof(Atom));
        if (tail) std::memcpy(nb.data() + newCap - tail, buf_.data() + gapEnd_, tail * sizeof(Atom));
        buf_.swap(nb);
        gapEnd_ = newCap - tail;
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
