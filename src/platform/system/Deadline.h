// The deadline of the work running on this thread. Whoever runs work under a
// time-out (the script engine) sets it for the time of the call; calls that
// may block or run long below it (database statements, long built-in
// functions) end there at the latest instead of outliving the time-out.
#pragma once

#include <chrono>

namespace qz::sys {

using DeadlineClock = std::chrono::steady_clock;

// This thread's deadline; DeadlineClock::time_point::max() when there is none.
DeadlineClock::time_point threadDeadline() noexcept;
// Whether this thread's deadline has passed.
bool deadlinePassed() noexcept;

// Sets this thread's deadline for its lifetime (an earlier one set outside
// stays when it is sooner) and puts the previous one back at its end.
class DeadlineScope {
public:
    explicit DeadlineScope(DeadlineClock::time_point deadline) noexcept;
    ~DeadlineScope();
    DeadlineScope(const DeadlineScope&) = delete;
    DeadlineScope& operator=(const DeadlineScope&) = delete;

private:
    DeadlineClock::time_point saved_;
};

} // namespace qz::sys
