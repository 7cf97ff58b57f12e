#include "platform/system/Deadline.h"

#include <algorithm>

namespace qz::sys {

namespace {
thread_local DeadlineClock::time_point tDeadline = DeadlineClock::time_point::max();
}

DeadlineClock::time_point threadDeadline() noexcept { return tDeadline; }

bool deadlinePassed() noexcept {
    return tDeadline != DeadlineClock::time_point::max() && DeadlineClock::now() >= tDeadline;
}

DeadlineScope::DeadlineScope(DeadlineClock::time_point deadline) noexcept : saved_(tDeadline) {
    tDeadline = std::min(tDeadline, deadline);
}

DeadlineScope::~DeadlineScope() { tDeadline = saved_; }

} // namespace qz::sys
