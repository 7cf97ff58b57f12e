// Waiting in a test for what another process or thread brings about.
#pragma once

#include <chrono>
#include <thread>

namespace qz::test {

// True as soon as `holds()` does; false when it still does not after `bound`,
// which lies far beyond what a loaded machine takes, so that only a hang
// fails: how fast the machine is never decides the outcome.
template <class Pred>
bool eventually(Pred&& holds, std::chrono::seconds bound = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!holds()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace qz::test
