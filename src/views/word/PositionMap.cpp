#include "views/word/PositionMap.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <iterator>

namespace qz::views {

std::size_t PositionMap::blockOf(long modelPos) const {
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), modelPos,
                               [](long pos, const ViewBlock& b) { return pos < b.start; });
    return it == blocks_.begin() ? 0 : static_cast<std::size_t>(it - blocks_.begin() - 1);
}

long PositionMap::modelPosition(int viewPos, long storyEnd) const {
    const QTextBlock tb = text_.findBlock(viewPos);
    if (!tb.isValid() || tb.blockNumber() >= static_cast<int>(blocks_.size())) return storyEnd;
    const ViewBlock& b = blocks_[static_cast<std::size_t>(tb.blockNumber())];
    const int k = std::clamp(viewPos - tb.position(), 0, static_cast<int>(b.map.size()) - 1);
    return b.start + b.map[static_cast<std::size_t>(k)];
}

int PositionMap::viewPosition(long modelPos) const {
    if (blocks_.empty()) return 0;
    const std::size_t n = blockOf(modelPos);
    const ViewBlock& b = blocks_[n];
    const QTextBlock tb = text_.findBlockByNumber(static_cast<int>(n));
    const int rel = static_cast<int>(modelPos - b.start);
    const auto it = std::lower_bound(b.map.begin(), b.map.end(), rel);
    const int k = it == b.map.end() ? static_cast<int>(b.map.size()) - 1 : static_cast<int>(it - b.map.begin());
    return tb.position() + k;
}

std::pair<std::size_t, std::size_t> PositionMap::paragraphs(long from, long to) const {
    std::size_t i = blockOf(from), j = blockOf(std::max(from, to));
    while (i > 0 && blocks_[i - 1].continues) --i;
    while (j + 1 < blocks_.size() && blocks_[j].continues) ++j;
    return {i, j};
}

bool PositionMap::touchesTable(std::size_t first, std::size_t last) const {
    for (std::size_t k = first; k <= last && k < blocks_.size(); ++k)
        if (blocks_[k].table) return true;
    return false;
}

QTextTable* PositionMap::cellTableOf(std::size_t first, std::size_t last) const {
    for (std::size_t k = first; k <= last; ++k)
        if (!blocks_[k].table) return nullptr;
    const QTextBlock a = text_.findBlockByNumber(static_cast<int>(first));
    const QTextBlock b = text_.findBlockByNumber(static_cast<int>(last));
    QTextTable* table = QTextCursor(a).currentTable();
    if (!table || QTextCursor(b).currentTable() != table) return nullptr;
    const QTextTableCell cell = table->cellAt(a.position());
    return cell.isValid() && cell == table->cellAt(b.position()) ? table : nullptr;
}

void PositionMap::replace(std::size_t first, std::size_t last, std::vector<ViewBlock> fresh, long delta) {
    for (std::size_t k = last + 1; k < blocks_.size(); ++k) blocks_[k].start += delta;
    const auto at = blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(first),
                                  blocks_.begin() + static_cast<std::ptrdiff_t>(last + 1));
    blocks_.insert(at, std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
}

} // namespace qz::views
