// Which clients the server keeps, so that no client can lock the others
// out: a client without a watch is closed after a minute without a good
// command, as the GPS daemon does (bytes alone, one a second, do not keep
// it); a newcomer that finds every slot taken is served by closing the
// client without a watch that has been idle longest; and when the process
// has no descriptor left for a newcomer, accepting pauses until one frees
// (a client closes) or a while has passed, instead of failing at once
// again and again. Times come from the caller, so that tests move them.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <vector>

namespace vpihost {

class ClientSlots {
public:
    using Clock = std::chrono::steady_clock;

    explicit ClientSlots(size_t capacity = kCapacity, Clock::duration idleLimit = kIdleLimit);

    // A newcomer: true with *evict the client to close first (-1 when a
    // slot is free); false when every client watches, and the newcomer is
    // to be refused.
    bool Admit(int* evict) const;
    void Opened(int client, Clock::time_point now);
    // A command that was answered without an error.
    void Answered(int client, Clock::time_point now);
    void Watching(int client, bool watching, Clock::time_point now);
    void Closed(int client);

    // The clients without a watch idle past the limit at now.
    std::vector<int> Idle(Clock::time_point now) const;

    // Accepting failed with this errno: out of descriptors pauses it.
    void AcceptFailed(int error, Clock::time_point now);
    bool Accepting(Clock::time_point now) const;

    // The next moment something is due (an idle client, the end of a
    // pause); Clock::time_point::max() when nothing is.
    Clock::time_point Deadline() const;

    size_t Count() const { return m_clients.size(); }

    static constexpr size_t kCapacity = 256;
    static constexpr Clock::duration kIdleLimit = std::chrono::seconds(60);
    // A pause for descriptors that something else in the process frees.
    static constexpr Clock::duration kAcceptRetry = std::chrono::seconds(1);

private:
    struct Client {
        Clock::time_point since;  // the last good command, or the connection
        bool watching = false;
    };

    size_t m_capacity;
    Clock::duration m_idleLimit;
    std::map<int, Client> m_clients;
    bool m_paused = false;
    Clock::time_point m_pausedUntil;
};

}  // namespace vpihost
