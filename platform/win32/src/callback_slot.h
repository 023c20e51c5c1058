// A callback and its context that a host or a test installs through the
// control API and that any thread may take: both are set and read together.
#pragma once

#include <mutex>

namespace w32 {

template <class Callback>
class CallbackSlot {
public:
    struct Installed {
        Callback callback;
        void* context;
    };

    void Set(Callback callback, void* context) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_installed = {callback, context};
    }

    Installed Get() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_installed;
    }

private:
    std::mutex m_mutex;
    Installed m_installed{nullptr, nullptr};
};

}  // namespace w32
