// Time in the tests that wait for something: elapsed milliseconds, a pause,
// and waiting for a condition. A test waits for the event it needs, never
// for a fixed time, so that a busy machine only makes it slower.
#pragma once

#include <chrono>
#include <thread>

using Clock = std::chrono::steady_clock;

// How long a test waits for what must happen: far beyond what a busy
// two-core machine under a sanitizer needs, so that only a fault gets there.
constexpr int kPatienceMs = 30000;

inline long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

inline void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// Looks at `condition` every millisecond until it holds or `limitMs` has
// passed; whether it held.
template <class Condition>
bool WaitUntil(Condition condition, int limitMs = kPatienceMs) {
    for (auto start = Clock::now(); !condition(); Pause(1)) {
        if (MillisecondsSince(start) > limitMs) return condition();
    }
    return true;
}
