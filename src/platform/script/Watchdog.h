// The time-out of a running script: a watchdog thread that raises a flag when
// the deadline passes.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace qz::script {

// Raises a flag when the deadline of the running call passes. One thread per
// engine, started by its first time-out and kept for the next calls: arming
// it costs a lock and a wake-up, and the script only ever reads the flag.
class Watchdog {
public:
    explicit Watchdog(std::atomic<bool>& expired) : expired_(expired), thread_([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    void arm(std::int32_t timeoutMs) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            expired_.store(false, std::memory_order_relaxed);
            deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
            armed_ = true;
            ++generation_;
        }
        wake_.notify_one();
    }
    void disarm() {
        std::lock_guard<std::mutex> lock(mutex_);
        expired_.store(false, std::memory_order_relaxed);
        armed_ = false;
        ++generation_;
    }

private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_) {
            if (!armed_) {
                wake_.wait(lock);
                continue;
            }
            const std::uint64_t generation = generation_;
            // Woken early by a new arming, a disarming or the end: look again.
            if (wake_.wait_until(lock, deadline_, [&] { return stop_ || generation_ != generation; })) continue;
            expired_.store(true, std::memory_order_relaxed);
            armed_ = false;
        }
    }

    std::atomic<bool>& expired_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::chrono::steady_clock::time_point deadline_;
    bool armed_ = false;
    bool stop_ = false;
    std::uint64_t generation_ = 0;
    std::thread thread_;  // last: it starts once the rest is ready
};

} // namespace qz::script
