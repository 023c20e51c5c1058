// Holds a fast replay back while its consumers are behind: the loop says
// after each turn whether the record queue or an output that still reads
// is over its high-water mark, and the replay's writer waits at each
// sentence start while that holds. An output that stalls stops holding
// after a grace (it is then dropped, or leaves its lines out), so that
// nothing holds the replay for ever.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace vpihost {

class HoldBack {
public:
    // behind: looked at by the replay's thread too (the record queue).
    explicit HoldBack(std::function<bool()> behind) : m_behind(std::move(behind)) {}

    // The loop.
    void Set(bool held) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_held == held) return;
            m_held = held;
        }
        if (!held) m_released.notify_all();
    }
    // The replay's thread: returns once neither held nor behind, or once
    // stop is set; looks again every kStepMs.
    void Wait(const std::atomic<bool>& stop) {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!stop.load() && (m_held || m_behind())) m_released.wait_for(lock, std::chrono::milliseconds(kStepMs));
    }

    static constexpr int kStepMs = 20;

private:
    std::function<bool()> m_behind;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_held = false;
};

}  // namespace vpihost
