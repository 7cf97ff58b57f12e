// Script run-time and compilation errors: numbers, English texts and raisers.
// The table itself lives with the automation layer, whose conversions raise
// the same errors.
#pragma once

#include "platform/automation/ErrorTexts.h"
#include "platform/automation/MemoryMeter.h"
#include "platform/system/Deadline.h"

#include <cstddef>
#include <cstdint>

namespace qz::script {

using qz::errorText;
using qz::kCompileErrorSource;
using qz::kRuntimeErrorSource;
using qz::runtimeError;
using qz::throwCompileError;
using qz::throwRuntimeError;
namespace err = qz::err;

struct Block;

// The script was stopped: by the time-out, or (outOfMemory) because it grew
// past its memory ceiling. On Error Resume Next does not catch it. The
// statement it stopped in is noted on the way out (line 0: not yet).
struct ScriptAbort {
    bool outOfMemory = false;
    std::int32_t line = 0, col = 0;
    const Block* block = nullptr;
    void noteStatement(std::int32_t l, std::int32_t c, const Block* b) noexcept {
        if (line == 0) line = l, col = c, block = b;
    }
};

// For built-ins that can run long: stops the script once its time-out has passed.
inline void checkTimeOut() {
    if (sys::deadlinePassed()) throw ScriptAbort{};
}

// Loops over a built-in's input look at the time-out once in this many turns
// (k & kPollMask == kPollMask).
inline constexpr std::size_t kPollMask = 0xFFF;

// Before a built-in allocates in proportion to its input: stops the script
// when `bytes` more would take it past its memory ceiling.
inline void reserveMemory(std::int64_t bytes) {
    if (memory::wouldPass(bytes)) throw ScriptAbort{true};
}

} // namespace qz::script
