#include "MemoryMeter.h"

namespace qz::memory::detail {

__thread std::int64_t tHeld = 0;
__thread std::int64_t tCeiling = std::numeric_limits<std::int64_t>::max();

} // namespace qz::memory::detail
